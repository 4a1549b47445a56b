// Comparing names the way users type them: ASCII letters without regard to case. Scripting
// names, enumeration names and enable-expression identifiers are all plain ASCII; bytes
// outside A..Z are compared as they are, whatever the process locale.
#pragma once

#include <string>
#include <string_view>

namespace orichalcumite {

// True when `a` and `b` have the same length and differ at most in the case of ASCII letters.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// `c` with A..Z turned into a..z; every other byte unchanged.
constexpr char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
// `text` with every ASCII letter in lower case.
std::string asciiLowerText(std::string_view text);

}  // namespace orichalcumite
