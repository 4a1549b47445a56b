// Action files: any text either parses into a descriptor or is refused with a reason; what
// parses writes back into text that parses to the same descriptor.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/action_file.h"
#include "fuzz/fuzz_support.h"

using namespace orichalcumite;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto descriptor = parseActionText(text, &error);
  if (!descriptor) {
    if (error.empty()) fuzz::broken("refused without a reason");
    return 0;
  }
  std::string writeError;
  const auto written = actionText(*descriptor, &writeError);
  if (!written) fuzz::broken("a parsed descriptor cannot be written back");
  const auto again = parseActionText(*written, &error);
  if (!again || *again != *descriptor) fuzz::broken("written text parses to something else");
  return 0;
}
