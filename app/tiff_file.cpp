// TIFF files. Reading goes through libtiff (every compression it knows), for the layouts that
// map straight onto our images: strips, chunky samples, grey or RGB with at most one extra
// sample that is an alpha. Tiles, planes, palettes, odd depths, CMYK, YCbCr and JPEG inside TIFF
// go to the general library.
//
// Writing is our own and uncompressed: a large image then costs one pass over its bytes, while
// deflating it would take most of a second; the files are larger, and every TIFF reader
// reads them. The alpha is marked as unassociated, so its colours stay straight.
#include "app/tiff_file.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/buffered_output.h"
#include "app/image_file_formats.h"

namespace orichalcumite {
namespace {

constexpr size_t kStripBytes = size_t(256) << 10;

void put16(std::string& out, uint16_t v) {
  out.push_back(char(v & 0xff));
  out.push_back(char(v >> 8));
}
void put32(std::string& out, uint32_t v) {
  put16(out, uint16_t(v & 0xffff));
  put16(out, uint16_t(v >> 16));
}

struct Entry {
  uint16_t tag;
  uint16_t type;  // 3 SHORT, 4 LONG
  std::vector<uint32_t> values;
};

}  // namespace

uint32_t tiffStripRows(size_t rowBytes) {
  return uint32_t(std::max<size_t>(1, kStripBytes / std::max<size_t>(1, rowBytes)));
}

bool tiffHeadAndTail(const Image& image, std::string* head, std::string* tail) {
  const uint64_t dataBytes = uint64_t(image.byteCount());
  const uint32_t stripRows = tiffStripRows(image.rowBytes());
  const uint32_t strips = uint32_t((uint64_t(image.height()) + stripRows - 1) / stripRows);
  // The directory and its arrays must be addressable with 32-bit offsets.
  if (8 + dataBytes + 64 * 12 + uint64_t(strips) * 8 + 64 > 0xffffffffull) return false;
  const uint32_t directory = uint32_t(8 + dataBytes + (dataBytes & 1));  // word aligned
  head->assign("II*\0", 4);
  put32(*head, directory);

  const uint16_t bits = uint16_t(sampleSize(image.type()) * 8);
  const uint16_t format = image.type() == SampleType::float32 ? 3 : 1;
  const uint16_t channels = uint16_t(image.channels());
  std::vector<uint32_t> offsets(strips), counts(strips);
  for (uint32_t s = 0; s < strips; ++s) {
    const uint64_t firstRow = uint64_t(s) * stripRows;
    const uint64_t rows = std::min<uint64_t>(stripRows, uint64_t(image.height()) - firstRow);
    offsets[s] = uint32_t(8 + firstRow * image.rowBytes());
    counts[s] = uint32_t(rows * image.rowBytes());
  }
  std::vector<Entry> entries = {
      {256, 4, {uint32_t(image.width())}},
      {257, 4, {uint32_t(image.height())}},
      {258, 3, std::vector<uint32_t>(channels, bits)},
      {259, 3, {1}},                         // no compression
      {262, 3, {image.isGrey() ? 1u : 2u}},  // black is zero / RGB
      {273, 4, offsets},
      {274, 3, {1}},  // top left
      {277, 3, {channels}},
      {278, 4, {stripRows}},
      {279, 4, counts},
      {284, 3, {1}},  // chunky
  };
  if (image.hasAlpha()) entries.push_back({338, 3, {2}});  // unassociated alpha
  entries.push_back({339, 3, std::vector<uint32_t>(channels, format)});

  // Arrays that do not fit in an entry's four bytes follow the directory.
  const uint32_t arraysStart = directory + 2 + uint32_t(entries.size()) * 12 + 4;
  std::string arrays;
  tail->assign(directory - 8 - dataBytes, '\0');
  put16(*tail, uint16_t(entries.size()));
  for (const Entry& entry : entries) {
    const size_t size = entry.type == 3 ? 2 : 4;
    put16(*tail, entry.tag);
    put16(*tail, entry.type);
    put32(*tail, uint32_t(entry.values.size()));
    std::string packed;
    for (uint32_t v : entry.values) entry.type == 3 ? put16(packed, uint16_t(v)) : put32(packed, v);
    if (entry.values.size() * size <= 4) {
      packed.resize(4, '\0');
      tail->append(packed);
    } else {
      put32(*tail, arraysStart + uint32_t(arrays.size()));
      arrays.append(packed);
      if (arrays.size() & 1) arrays.push_back('\0');
    }
  }
  put32(*tail, 0);  // no further directory
  tail->append(arrays);
  return true;
}

Status tiffCanHold(const Image& image) {
  std::string head, tail;
  if (!tiffHeadAndTail(image, &head, &tail))
    return {StatusCode::invalidArgument, "the image is too large for a TIFF file"};
  return Status::success();
}

Status writeTiffFile(const Image& image, BufferedOutput& out, const std::atomic<bool>* cancel) {
  std::string head, tail;
  if (!tiffHeadAndTail(image, &head, &tail))
    return {StatusCode::invalidArgument, "the image is too large for a TIFF file"};
  out.append(head);
  const size_t rowBytes = image.rowBytes();
  const int bandRows = int(std::max<size_t>(1, kBandBytes / rowBytes));
  for (int row = 0; row < image.height(); row += bandRows) {
    if (isSet(cancel)) return {StatusCode::cancelled, "cancelled"};
    const int rows = std::min(bandRows, image.height() - row);
    out.append({reinterpret_cast<const char*>(image.data()) + size_t(row) * rowBytes,
                size_t(rows) * rowBytes});
  }
  out.append(tail);
  return Status::success();
}

// ---------------------------------------------------------------------------------------------
// Reading

namespace {

struct TiffMessages {
  std::string error;
};

__attribute__((format(printf, 4, 0))) int onTiffError(TIFF*, void* user, const char*,
                                                      const char* format, va_list args) {
  auto* messages = static_cast<TiffMessages*>(user);
  if (messages->error.empty()) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    messages->error = text;
  }
  return 1;
}

// Warnings are about tags this reader does not use; they are not passed on.
int onTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

template <typename T> T field(TIFF* tiff, uint32_t tag, T fallback) {
  T value = fallback;
  if (!TIFFGetFieldDefaulted(tiff, tag, &value)) return fallback;
  return value;
}

}  // namespace

DirectRead readTiffFile(const std::string& path, const ReadContext& context) {
  TiffMessages messages;
  std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                       &TIFFOpenOptionsFree);
  if (!options) return DirectRead::fail(StatusCode::ioError, "not enough memory");
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onTiffError, &messages);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onTiffWarning, nullptr);
  std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpenExt(path.c_str(), "r", options.get()),
                                              &TIFFClose);
  const auto damaged = [&](const char* fallback) {
    return DirectRead::fail(StatusCode::damagedData,
                            messages.error.empty() ? std::string(fallback) : messages.error);
  };
  if (!tiff) return damaged("not a readable TIFF file");
  if (TIFFIsTiled(tiff.get())) return DirectRead::decline();
  uint32_t width = 0, height = 0;
  if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height))
    return damaged("the file gives no image size");
  const auto bits = field<uint16_t>(tiff.get(), TIFFTAG_BITSPERSAMPLE, 1);
  const auto format = field<uint16_t>(tiff.get(), TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
  const auto samples = field<uint16_t>(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
  const auto planar = field<uint16_t>(tiff.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  const auto photometric = field<uint16_t>(tiff.get(), TIFFTAG_PHOTOMETRIC, 0xffff);
  const auto compression = field<uint16_t>(tiff.get(), TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  const auto orientation = field<uint16_t>(tiff.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  uint16_t extraCount = 0;
  uint16_t* extraTypes = nullptr;
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);

  SampleType type;
  if (format == SAMPLEFORMAT_UINT && bits == 8) {
    type = SampleType::uint8;
  } else if (format == SAMPLEFORMAT_UINT && bits == 16) {
    type = SampleType::uint16;
  } else if (format == SAMPLEFORMAT_IEEEFP && bits == 32) {
    type = SampleType::float32;
  } else {
    return DirectRead::decline();
  }
  const int colours = photometric == PHOTOMETRIC_MINISBLACK ? 1
                      : photometric == PHOTOMETRIC_RGB      ? 3
                                                            : 0;
  const bool alphaExtra =
      extraCount == 1 && extraTypes &&
      (extraTypes[0] == EXTRASAMPLE_ASSOCALPHA || extraTypes[0] == EXTRASAMPLE_UNASSALPHA);
  const bool simple =
      colours > 0 && planar == PLANARCONFIG_CONTIG && compression != COMPRESSION_JPEG &&
      compression != COMPRESSION_OJPEG && orientation == ORIENTATION_TOPLEFT &&
      ((samples == colours && extraCount == 0) || (samples == colours + 1 && alphaExtra));
  if (!simple) return DirectRead::decline();

  Status refused;
  auto image = imageForFile(int(std::min<uint32_t>(width, 0x7fffffff)),
                            int(std::min<uint32_t>(height, 0x7fffffff)), samples, samples > colours,
                            type, context, &refused);
  if (!image) return DirectRead::fail(refused.code(), refused.message());
  const size_t rowBytes = image->rowBytes();
  if (TIFFScanlineSize64(tiff.get()) != uint64_t(rowBytes))
    return damaged("the rows have an unexpected size");
  const auto rowsPerStrip =
      std::min(field<uint32_t>(tiff.get(), TIFFTAG_ROWSPERSTRIP, height), height);
  const uint32_t strips = TIFFNumberOfStrips(tiff.get());
  if (rowsPerStrip == 0 || uint64_t(strips) * rowsPerStrip < height)
    return damaged("the strips do not cover the image");
  const uint32_t stripsPerBand =
      std::max<uint32_t>(1, uint32_t(kBandBytes / (rowBytes * rowsPerStrip)));
  for (uint32_t strip = 0; uint64_t(strip) * rowsPerStrip < height; ++strip) {
    if (strip % stripsPerBand == 0 && isSet(context.cancel))
      return DirectRead::fail(StatusCode::cancelled, "cancelled");
    const uint32_t firstRow = strip * rowsPerStrip;
    const uint32_t rows = std::min(rowsPerStrip, height - firstRow);
    const tmsize_t want = tmsize_t(size_t(rows) * rowBytes);
    const tmsize_t got =
        TIFFReadEncodedStrip(tiff.get(), strip, image->data() + size_t(firstRow) * rowBytes, want);
    if (got != want) return damaged("the file ends before its pixels do");
  }
  return DirectRead{std::move(image), {}, false, {}};
}

}  // namespace orichalcumite
