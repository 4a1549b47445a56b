// Thumbnail records as preset and memory-dot files carry them: any bytes either read as a
// record (with a decoded picture of the record's clamped size, or none) or are refused, and
// the reader never claims more bytes than it was given.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/byte_reader.h"
#include "fuzz/fuzz_support.h"
#include "pictures/jpeg_thumbnail.h"

using namespace orichalcumite;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader in(std::span<const uint8_t>(data, size));
  ThumbnailRecord record;
  const bool ok = readThumbnailRecord(in, true, &record);
  if (in.position() > size) fuzz::broken("read past the end");
  if (!ok) {
    if (record.picture) fuzz::broken("a refused record left a picture");
    return 0;
  }
  if (record.width < 0 || record.width > kThumbnailSide || record.height < 0 ||
      record.height > kThumbnailSide) {
    fuzz::broken("a size outside 0..128");
  }
  if (record.picture) {
    if (record.version != 1) fuzz::broken("a picture from a record that is not version 1");
    if (record.picture->width() != record.width || record.picture->height() != record.height) {
      fuzz::broken("a picture of another size than the record's");
    }
    // Every pixel is readable and opaque.
    for (int y = 0; y < record.height; ++y) {
      for (int x = 0; x < record.width; ++x) {
        if (record.picture->readPicturePixel(x, y, 0).alpha != 1.0f) fuzz::broken("not opaque");
      }
    }
  }
  return 0;
}
