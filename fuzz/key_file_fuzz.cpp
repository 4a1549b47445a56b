// Settings-key files (machine-wide or per user; anyone with write access to either may put
// anything there): any bytes either parse or are refused; a file that takes a new value still
// parses, with that value and every other value of the key as they were.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "settings/detail/key_file.h"

using namespace orichalcumite;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string group = "SOFTWARE\\Ferrovantine PV\\Orichalcumite\\2.00";
  const auto before = detail::keyFileValues(text, group);
  if (!before) {
    if (detail::keyFileWithValue(text, group, "EnviroPath", "/p"))
      fuzz::broken("a file that does not parse was written over");
    return 0;
  }
  const auto written = detail::keyFileWithValue(text, group, "EnviroPath", "/pictures\n x");
  // A file that GLib reads but would not write back as it read it is refused, never changed.
  if (!written) return 0;
  const auto after = detail::keyFileValues(*written, group);
  if (!after) fuzz::broken("a written file does not parse");
  const auto value = after->find("EnviroPath");
  if (value == after->end() || value->second != "/pictures\n x")
    fuzz::broken("the written value does not read back");
  for (const auto& [name, old] : *before) {
    if (name == "EnviroPath") continue;
    const auto kept = after->find(name);
    if (kept == after->end() || kept->second != old) fuzz::broken("another value changed");
  }
  return 0;
}
