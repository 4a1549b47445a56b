// Four-character codes: the 32-bit identifiers of the filter protocol, of descriptor keys and
// of enumeration values ("GL62", "8BIM"), first character in the most significant byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orichalcumite {

// fourCC("GL62") == 0x474C3632. Usable in constant expressions.
constexpr uint32_t fourCC(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
         (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

// The four bytes of `code` as text, first character first; any byte value passes through.
std::string fourCCText(uint32_t code);
// fourCCText for people: bytes outside printable ASCII (0x20..0x7E) become '?'.
std::string printableFourCCText(uint32_t code);
// The code of exactly four bytes of text; nothing for any other length.
std::optional<uint32_t> fourCCFromText(std::string_view text);

}  // namespace orichalcumite
