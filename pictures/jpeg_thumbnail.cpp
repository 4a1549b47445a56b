// Temporary stand-in so that the settings files can be built beside it; the JPEG work
// replaces this file.
#include "pictures/jpeg_thumbnail.h"

#include "base/byte_reader.h"
#include "base/byte_writer.h"

namespace orichalcumite {

std::vector<uint8_t> buildIptcBlock(bool, const std::vector<std::string>&) { return {}; }
std::vector<uint8_t> buildExifBlock() { return {}; }
std::vector<uint8_t> encodeJpeg(const Picture&, int, std::span<const uint8_t>,
                                std::span<const uint8_t>) {
  return {};
}
std::unique_ptr<Picture> decodeJpeg(std::span<const uint8_t>, int, int) { return nullptr; }
void writeThumbnailRecord(ByteWriter& out, const Picture*, bool withHeader, int) {
  if (withHeader) out.i32(0);
}
bool readThumbnailRecord(ByteReader& in, bool, ThumbnailRecord* record) {
  *record = {};
  if (!in.i32(&record->version)) return false;
  if (record->version == 0) return true;
  int32_t length = 0;
  if (!in.i32(&record->width) || !in.i32(&record->height) || !in.i32(&length)) return false;
  return length >= 0 && in.skip(static_cast<size_t>(length));
}
Status writeJpegFile(const Picture&, const std::string&, int, std::span<const uint8_t>,
                     std::span<const uint8_t>) {
  return Status(StatusCode::ioError, "JPEG writing is not built yet");
}

}  // namespace orichalcumite
