// JPEG thumbnails and the metadata blocks that go with them: the thumbnail records inside
// preset and memory-dot files, and the bare JPEG files of the gallery pages. Compression uses
// our own quantisation tables (chosen by quality / 10) with optimised Huffman coding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"
#include "pictures/picture.h"

namespace orichalcumite {

class ByteReader;
class ByteWriter;

constexpr int kThumbnailSide = 128;            // thumbnails are written 128 x 128
constexpr size_t kThumbnailJpegLimit = 49152;  // readers accept at most this many JPEG bytes
constexpr int kThumbnailQuality = 80;

// The maker's web address that every IPTC block carries as its source (27 bytes).
inline constexpr char kIptcSource[] = "https://orichalcumite.org/ ";

// The IPTC image-resource block ("8BIM", resource 0x0404): record version, source, today's
// date, caption, the keyword "Orichalcumite" and each non-empty entry of `keywords` (cut to 50
// bytes). With `withJpegHeader` it starts with "Photoshop 3.0\0", as an APP13 marker wants.
// Keywords that would take the block past what one JPEG marker holds (65533 bytes) are left
// out, so the block can always be written.
std::vector<uint8_t> buildIptcBlock(bool withJpegHeader, const std::vector<std::string>& keywords);

// A day of the calendar: year, month 1..12, day 1..31.
struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
};
// The same block with `created` as its date instead of today (local time).
std::vector<uint8_t> buildIptcBlock(bool withJpegHeader, const std::vector<std::string>& keywords,
                                    CalendarDate created);
// The EXIF block of an APP1 marker: one IFD whose Software entry reads "Orichalcumite".
std::vector<uint8_t> buildExifBlock();

// Compresses level 0 of `picture` (channels clamped to 0..1, times 255, truncated) at
// `quality` (clamped to 0..99). Pictures narrower or lower than 16 pixels are compressed at
// 16, the extra columns and rows repeating the edge. `iptc` and `exif`, when not empty, are
// written as APP13 and APP1 markers. Empty when the picture cannot be compressed.
std::vector<uint8_t> encodeJpeg(const Picture& picture, int quality,
                                std::span<const uint8_t> iptc = {},
                                std::span<const uint8_t> exif = {});

// Decompresses a JPEG stream into a new 8-bit colour picture of `width` x `height` (a grey
// stream fills all three channels; alpha is 1; the stream's pixels beyond that size are
// ignored, missing ones are black). Null when the stream cannot be decoded, when its own size
// exceeds 4096 x 4096 pixels, or when it has other than one or three components.
std::unique_ptr<Picture> decodeJpeg(std::span<const uint8_t> jpeg, int width, int height);

// Writes a thumbnail record: version 1, width, height, length and the JPEG bytes of
// `picture` at `quality`, or version 0 alone when `picture` is null or cannot be compressed.
// Without `withHeader` only the JPEG bytes are written.
void writeThumbnailRecord(ByteWriter& out, const Picture* picture, bool withHeader, int quality);

struct ThumbnailRecord {
  int32_t version = 0;               // 0: no thumbnail
  int32_t width = 0;                 // clamped to 0..128
  int32_t height = 0;                // clamped to 0..128
  std::unique_ptr<Picture> picture;  // the decoded thumbnail, when one was wanted and decoded
};

// Reads a thumbnail record. With `wantPicture` a version-1 record of at most 49152 JPEG bytes
// is decoded into `record->picture`; anything else is skipped by its length. A JPEG that does
// not decode leaves no picture; the reader still ends after the record. False on a short read.
bool readThumbnailRecord(ByteReader& in, bool wantPicture, ThumbnailRecord* record);

// Writes `picture` as a JPEG file (through a temporary file renamed into place).
Status writeJpegFile(const Picture& picture, const std::string& path, int quality,
                     std::span<const uint8_t> iptc = {}, std::span<const uint8_t> exif = {});

}  // namespace orichalcumite
