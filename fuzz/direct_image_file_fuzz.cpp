// The direct image-file readers (PNG both ways, TIFF, JPEG, PNM) on any bytes: each either
// gives an image of the size it claims, declines, or fails with a reason; and where the quick
// PNG reader gives an image, libpng gives the very same one.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "app/image_file_formats.h"
#include "app/png_file.h"
#include "fuzz/fuzz_support.h"

using namespace orichalcumite;

namespace {

std::unique_ptr<fuzz::ScratchFolder> scratch;

void check(const DirectRead& read) {
  if (read.image) {
    if (read.image->width() <= 0 || read.image->height() <= 0)
      fuzz::broken("an image without pixels");
  } else if (!read.declined && read.failure.message().empty()) {
    fuzz::broken("refused without a reason");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::keepSanitizerReportsVisible();
  scratch = std::make_unique<fuzz::ScratchFolder>();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = scratch->write("input", data, size);
  const ReadContext context{uint64_t(size), nullptr};
  switch (formatOfContents({data, size})) {
    case ImageFileFormat::png: {
      const DirectRead quick = readPngQuickly(path, context);
      const DirectRead reference = readPngWithLibpng(path, context);
      check(quick);
      check(reference);
      if (quick.image && (!reference.image || *quick.image != *reference.image))
        fuzz::broken("the quick PNG reader disagrees with libpng");
      break;
    }
    case ImageFileFormat::tiff: check(readTiffFile(path, context)); break;
    case ImageFileFormat::jpeg: check(readJpegFile(path, context)); break;
    case ImageFileFormat::pnm: check(readPnmFile(path, context)); break;
    case ImageFileFormat::other: break;
  }
  return 0;
}
