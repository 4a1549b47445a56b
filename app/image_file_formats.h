// The direct paths for the common image formats, behind readImageFile and writeImageFile: each
// format in its own source, with plain functions over bytes and images that tests call alone.
// No format library's header appears here.
//
// A direct reader gives the image; or a failure (Status: damagedData for a damaged file,
// cancelled, ...); or declines a file it does not read simply (an unusual layout), which the
// general image-file library then reads. Messages carry no "cannot read PATH:" prefix.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "app/image.h"
#include "base/status.h"

namespace orichalcumite {

class BufferedOutput;

enum class ImageFileFormat { png, tiff, pnm, jpeg, other };

// The format that a file's first bytes announce (at least 8 bytes make sure); `other` when
// none of the direct ones.
ImageFileFormat formatOfContents(std::span<const uint8_t> firstBytes);
// The format that the name of `path` asks for when writing, from its extension in any case.
ImageFileFormat formatOfName(const std::string& path);
// The format's name in messages, as users know it from other tools ("png", "tiff", ...).
const char* formatName(ImageFileFormat format);

struct DirectRead {
  std::optional<Image> image;
  Status failure;         // when there is no image and the file was not declined
  bool declined = false;  // the general library should read this file
  std::string warning;    // a whole image was read, but the file may be damaged

  static DirectRead decline() {
    DirectRead read;
    read.declined = true;
    return read;
  }
  static DirectRead fail(StatusCode code, std::string why) {
    DirectRead read;
    read.failure = Status(code, std::move(why));
    return read;
  }
};

// What readers need besides the file: its size, for the size check before allocating, and the
// flag they look at between bands.
struct ReadContext {
  uint64_t fileBytes = 0;
  const std::atomic<bool>* cancel = nullptr;
};

// An all-zero image of that shape, once the file's size and the machine's memory make it
// plausible (checkDeclaredImageSize); otherwise nothing, with the reason in `*why`.
std::optional<Image> imageForFile(int width, int height, int channels, bool hasAlpha,
                                  SampleType type, const ReadContext& context, Status* why);

// Reading and writing through the general image-file library whatever the format, as for
// formats without a direct path: for checking the direct paths against it.
std::optional<Image> readWithGeneralLibrary(const std::string& path, std::string* error);
bool writeWithGeneralLibrary(const std::string& path, const Image& image, std::string* error);

// Pixels are read and written in bands of about this many bytes, a cancel looked at between.
inline constexpr size_t kBandBytes = size_t(2) << 20;
inline bool isSet(const std::atomic<bool>* flag) {
  return flag && flag->load(std::memory_order_relaxed);
}

// Binary PGM / PPM (P5, P6) with a maximum of 255 or 65535; 16-bit samples big-endian.
DirectRead readPnmFile(const std::string& path, const ReadContext& context);
// Grey or RGB without alpha, 8 or 16 bits. The caller has checked that the image fits.
Status writePnmFile(const Image& image, BufferedOutput& out, const std::atomic<bool>* cancel);
// Whether writePnmFile can hold the image; else the reason.
Status pnmCanHold(const Image& image);

// PNG: 8/16-bit grey, grey+alpha, RGB, RGBA, not interlaced, no palette or transparency chunk.
DirectRead readPngFile(const std::string& path, const ReadContext& context);
Status pngCanHold(const Image& image);
Status writePngFile(const Image& image, BufferedOutput& out, const std::atomic<bool>* cancel);

// TIFF: strips, chunky, 8/16-bit integer or 32-bit float, grey or RGB with an optional alpha.
DirectRead readTiffFile(const std::string& path, const ReadContext& context);
Status tiffCanHold(const Image& image);
Status writeTiffFile(const Image& image, BufferedOutput& out, const std::atomic<bool>* cancel);

// JPEG: 8-bit grey or RGB.
DirectRead readJpegFile(const std::string& path, const ReadContext& context);
Status jpegCanHold(const Image& image);
Status writeJpegFile(const Image& image, BufferedOutput& out, const std::atomic<bool>* cancel);

}  // namespace orichalcumite
