// Descriptor bytes (from a module's Finish or a recorded handle): any bytes either decode or
// are refused; what decodes encodes into exactly the bytes it came from (the layout is fixed
// and the decoder refuses anything left over).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "app/descriptor.h"
#include "fuzz/fuzz_support.h"

using namespace orichalcumite;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto descriptor = decodeDescriptor(std::span(data, size), &error);
  if (!descriptor) {
    if (error.empty()) fuzz::broken("refused without a reason");
    return 0;
  }
  const std::vector<uint8_t> bytes = encodeDescriptor(*descriptor);
  if (bytes.size() != size || !std::equal(bytes.begin(), bytes.end(), data))
    fuzz::broken("a decoded descriptor encodes into other bytes");
  return 0;
}
