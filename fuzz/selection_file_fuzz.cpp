// Selection files: any file either reads into one byte per pixel of the image's size or is
// refused with a reason. The input's first four bytes are the image's width and height (16
// bits each, big-endian), so that both matching and mismatched sizes are tried; the rest is
// the file, written to a scratch file with the extension its first bytes suggest.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <OpenImageIO/imageio.h>

#include "app/image_files.h"
#include "fuzz/fuzz_support.h"

using namespace orichalcumite;

namespace {
std::unique_ptr<fuzz::ScratchFolder> scratch;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::keepSanitizerReportsVisible();
  scratch = std::make_unique<fuzz::ScratchFolder>();
  // Only the reader the contents ask for: trying every reader on each damaged input would
  // spend the run on format probing.
  OIIO::attribute("try_all_readers", 0);
  std::string error;
  (void)readSelectionFile(scratch->write("selection.png", nullptr, 0), 1, 1, &error);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int width = (data[0] << 8) | data[1];
  const int height = (data[2] << 8) | data[3];
  const std::string name = "selection." + fuzz::pictureExtensionFor(data + 4, size - 4);
  const std::string path = scratch->write(name, data + 4, size - 4);
  std::string error;
  const auto mask = readSelectionFile(path, width, height, &error);
  if (!mask) {
    if (error.empty()) fuzz::broken("refused without a reason");
    return 0;
  }
  if (mask->size() != size_t(width) * size_t(height)) fuzz::broken("a mask of the wrong size");
  return 0;
}
