// Image files: any file either reads into an image of the size it claims or is refused with a
// reason. The reader takes a path, so each input is written to a scratch file first, named
// with the extension its first bytes suggest.
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
  // OpenImageIO loads its format plug-ins on first use; do it here, not in the first input.
  std::string error;
  (void)readImageFile(scratch->write("input.png", nullptr, 0), &error);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name = "input." + fuzz::pictureExtensionFor(data, size);
  const std::string path = scratch->write(name, data, size);
  std::string error;
  const auto image = readImageFile(path, &error);
  if (!image) {
    if (error.empty()) fuzz::broken("refused without a reason");
    return 0;
  }
  if (image->width() <= 0 || image->height() <= 0) fuzz::broken("an image without pixels");
  return 0;
}
