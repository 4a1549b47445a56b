// JPEG thumbnails through libjpeg (the 6.2 interface), and the IPTC and EXIF blocks.
//
// libjpeg reports a fatal error by calling an exit routine that must not return; ours jumps
// back with longjmp. Only the two small functions compressJpeg and decompressJpeg call into the
// library, and they hold nothing with a destructor, so the jump never skips C++ clean-up. Pixels
// reach them through plain row functions, so no C++ object lives in the frames a jump crosses.
#include "pictures/jpeg_thumbnail.h"

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <string_view>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/replace_file.h"

namespace orichalcumite {
namespace {

#include "pictures/jpeg_quant_tables.inc"

// The first component's sampling by quality decile: halved chrominance resolution (2 x 2)
// for the low qualities, full resolution (1 x 1) from quality 50 up.
constexpr int kLuminanceSampling[10] = {2, 2, 2, 2, 2, 1, 1, 1, 1, 1};

// Pictures smaller than this are compressed at this size: one MCU at 2 x 2 sampling.
constexpr int kMinimumJpegSide = 16;
// A marker's length field counts itself, so its data holds at most 65535 - 2 bytes.
constexpr size_t kMarkerDataLimit = 65533;
// Decoding refuses streams whose own size exceeds this many pixels, so that damaged headers
// cannot make the library allocate gigabytes. Thumbnails are far below it.
constexpr long kDecodePixelLimit = 4096L * 4096L;
// Memory the library may use for whole-image buffers (progressive streams).
constexpr long kDecodeMemoryLimit = 256L << 20;
// More scans than this is no picture anyone wrote; a damaged stream can claim thousands.
constexpr int kDecodeScanLimit = 100;

constexpr std::string_view kMakerName = "Orichalcumite";
constexpr std::string_view kCaption = "Made with Orichalcumite";
constexpr std::string_view kJpegResourceHeader{"Photoshop 3.0\0", 14};
constexpr size_t kKeywordLimit = 50;
static_assert(sizeof(kIptcSource) - 1 == 27, "the IPTC source is 27 bytes");

// ---- libjpeg glue ------------------------------------------------------------------------

struct JpegErrors {
  jpeg_error_mgr manager;  // first, so the library's pointer to it is a pointer to this
  std::jmp_buf jump;
};

[[noreturn]] void jumpOut(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}
// Warnings (a stream that ends early, say) are not failures, and nothing goes to stderr.
void ignoreMessage(j_common_ptr, int) {}
void ignoreOutput(j_common_ptr) {}

void installErrors(JpegErrors* errors) {
  jpeg_std_error(&errors->manager);
  errors->manager.error_exit = jumpOut;
  errors->manager.emit_message = ignoreMessage;
  errors->manager.output_message = ignoreOutput;
}

void limitScans(j_common_ptr info) {
  if (info->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kDecodeScanLimit) {
    jumpOut(info);
  }
}

// Fills one row of `width` RGB samples for row `y`.
using RowSource = void (*)(const void* context, int y, int width, JSAMPLE* rgb);

struct CompressJob {
  int width = 0;  // at least kMinimumJpegSide each
  int height = 0;
  int decile = 0;
  const uint8_t* iptc = nullptr;
  size_t iptcSize = 0;
  const uint8_t* exif = nullptr;
  size_t exifSize = 0;
  RowSource source = nullptr;
  const void* context = nullptr;
  JSAMPLE* row = nullptr;  // width * 3 samples of scratch
  // The stream, allocated by the library with malloc; the caller frees it, also on failure.
  unsigned char* stream = nullptr;
  unsigned long streamSize = 0;
};

bool compressJpeg(CompressJob* job) {
  jpeg_compress_struct info;
  JpegErrors errors;
  installErrors(&errors);
  info.err = &errors.manager;
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &job->stream, &job->streamSize);
  info.image_width = static_cast<JDIMENSION>(job->width);
  info.image_height = static_cast<JDIMENSION>(job->height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  info.optimize_coding = TRUE;
  // Our own tables replace the library's quality scaling: a scale of 100 installs them as
  // they stand (limited to 1..255 for baseline streams, which they already are).
  jpeg_add_quant_table(&info, 0, kJpegQuantTables[job->decile][0], 100, TRUE);
  jpeg_add_quant_table(&info, 1, kJpegQuantTables[job->decile][1], 100, TRUE);
  info.comp_info[0].h_samp_factor = kLuminanceSampling[job->decile];
  info.comp_info[0].v_samp_factor = kLuminanceSampling[job->decile];
  jpeg_start_compress(&info, TRUE);
  if (job->iptcSize > 0) {
    jpeg_write_marker(&info, JPEG_APP0 + 13, job->iptc, static_cast<unsigned>(job->iptcSize));
  }
  if (job->exifSize > 0) {
    jpeg_write_marker(&info, JPEG_APP0 + 1, job->exif, static_cast<unsigned>(job->exifSize));
  }
  JSAMPROW rows[1] = {job->row};
  for (int y = 0; y < job->height; ++y) {
    job->source(job->context, y, job->width, job->row);
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

// Takes row `y` of the decoded stream: `width` pixels of `components` (1 or 3) samples.
using RowSink = void (*)(void* context, int y, const JSAMPLE* samples, int width, int components);

struct DecompressJob {
  const uint8_t* stream = nullptr;
  size_t streamSize = 0;
  int rowsWanted = 0;  // decoding stops after this many rows
  RowSink sink = nullptr;
  void* context = nullptr;
};

bool decompressJpeg(DecompressJob* job) {
  jpeg_decompress_struct info;
  JpegErrors errors;
  jpeg_progress_mgr progress{};
  installErrors(&errors);
  progress.progress_monitor = limitScans;
  info.err = &errors.manager;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  info.mem->max_memory_to_use = kDecodeMemoryLimit;
  info.progress = &progress;
  jpeg_mem_src(&info, job->stream, static_cast<unsigned long>(job->streamSize));
  jpeg_read_header(&info, TRUE);
  const bool usable = (info.num_components == 1 || info.num_components == 3) &&
                      static_cast<long>(info.image_width) * static_cast<long>(info.image_height) <=
                          kDecodePixelLimit;
  if (!usable) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_start_decompress(&info);
  const int components = info.output_components;
  if (components != 1 && components != 3) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                             info.output_width * components, 1);
  while (info.output_scanline < info.output_height &&
         static_cast<int>(info.output_scanline) < job->rowsWanted) {
    const int y = static_cast<int>(info.output_scanline);
    if (jpeg_read_scanlines(&info, row, 1) != 1) break;
    job->sink(job->context, y, row[0], static_cast<int>(info.output_width), components);
  }
  // Rows beyond those wanted are never read, so the stream is abandoned rather than finished.
  jpeg_destroy_decompress(&info);
  return true;
}

struct FreeStream {
  void operator()(unsigned char* p) const { std::free(p); }
};

// ---- pixels ------------------------------------------------------------------------------

// A channel in 0..1 as a JPEG sample: clamped, times 255, truncated (NaN counts as 0).
JSAMPLE sampleOf(float value) {
  if (!(value > 0.0f)) return 0;
  if (value >= 1.0f) return 255;
  return static_cast<JSAMPLE>(value * 255.0f);
}

// Rows of level 0; columns and rows past the picture repeat its last column and row, whatever
// the picture's wrap mode.
void pictureRow(const void* context, int y, int width, JSAMPLE* rgb) {
  const Picture& picture = *static_cast<const Picture*>(context);
  const int sourceY = std::min(y, picture.height() - 1);
  const int lastX = picture.width() - 1;
  for (int x = 0; x < width; ++x) {
    const Rgba p = picture.readPicturePixel(std::min(x, lastX), sourceY, 0);
    rgb[3 * x] = sampleOf(p.red);
    rgb[3 * x + 1] = sampleOf(p.green);
    rgb[3 * x + 2] = sampleOf(p.blue);
  }
}

void storeRow(void* context, int y, const JSAMPLE* samples, int width, int components) {
  Picture& picture = *static_cast<Picture*>(context);
  const int count = std::min(width, picture.width());
  for (int x = 0; x < count; ++x) {
    if (components == 3) {
      picture.setPixel(x, y, 0, samples[3 * x], samples[3 * x + 1], samples[3 * x + 2], 255);
    } else {
      picture.setPixel(x, y, 0, samples[x], samples[x], samples[x], 255);
    }
  }
}

// ---- IPTC ----------------------------------------------------------------------------------

constexpr size_t kIptcRecordHeader = 5;  // 0x1C, record, dataset, 16-bit length

void iptcRecord(ByteWriter& out, uint8_t dataset, std::string_view data) {
  out.u8(0x1C);
  out.u8(2);
  out.u8(dataset);
  out.u16(static_cast<uint16_t>(data.size()));
  out.text(data);
}

CalendarDate today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local)) return {1970, 1, 1};
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace

std::vector<uint8_t> buildIptcBlock(bool withJpegHeader, const std::vector<std::string>& keywords,
                                    CalendarDate created) {
  // The date is always eight digits, whatever the caller passed.
  char date[16];
  std::snprintf(date, sizeof date, "%04d%02d%02d", std::clamp(created.year, 0, 9999),
                std::clamp(created.month, 0, 99), std::clamp(created.day, 0, 99));

  ByteWriter records;
  iptcRecord(records, 0, std::string_view("\0\2", 2));
  iptcRecord(records, 115, std::string_view(kIptcSource, sizeof(kIptcSource) - 1));
  iptcRecord(records, 55, date);
  iptcRecord(records, 120, kCaption);
  iptcRecord(records, 25, kMakerName);

  // Everything but the records: header, "8BIM", id, empty name with its pad, length; and one
  // possible pad byte after the records.
  const size_t frame = (withJpegHeader ? kJpegResourceHeader.size() : 0) + 4 + 2 + 2 + 4 + 1;
  for (const std::string& keyword : keywords) {
    if (keyword.empty()) continue;
    const std::string_view cut = std::string_view(keyword).substr(0, kKeywordLimit);
    if (frame + records.size() + kIptcRecordHeader + cut.size() > kMarkerDataLimit) break;
    iptcRecord(records, 25, cut);
  }
  if (records.size() % 2 != 0) records.u8(0);

  ByteWriter block;
  // Byte by byte: GCC 12 misreads a range insert into the still empty vector as an overflow.
  if (withJpegHeader) {
    for (const char c : kJpegResourceHeader) block.u8(static_cast<uint8_t>(c));
  }
  block.u32(0x3842494D);  // "8BIM"
  block.u16(0x0404);
  block.u8(0);  // empty name
  block.u8(0);  // its pad byte
  block.u32(static_cast<uint32_t>(records.size()));
  block.bytes(records.data());
  return block.take();
}

std::vector<uint8_t> buildIptcBlock(bool withJpegHeader, const std::vector<std::string>& keywords) {
  return buildIptcBlock(withJpegHeader, keywords, today());
}

std::vector<uint8_t> buildExifBlock() {
  // The TIFF structure after the identifier counts its offsets from the "MM".
  static constexpr uint8_t kBlock[] = {
      'E',  'x',  'i',  'f',  0,    0,              // identifier
      'M',  'M',  0x00, 0x2A, 0x00, 0x00, 0x00, 8,  // big-endian header, the IFD at offset 8
      0x00, 1,                                      // one entry:
      0x01, 0x31, 0x00, 2,                          //   Software, ASCII,
      0x00, 0x00, 0x00, 14,                         //   14 bytes,
      0x00, 0x00, 0x00, 26,                         //   at 8 + 2 + 12 + 4 = 26
      0x00, 0x00, 0x00, 0x00,                       // no further IFD
      'O',  'r',  'i',  'c',  'h',  'a',  'l',  'c', 'u', 'm', 'i', 't', 'e', 0,
  };
  static_assert(sizeof(kBlock) == 6 + 26 + 14);
  return std::vector<uint8_t>(std::begin(kBlock), std::end(kBlock));
}

std::vector<uint8_t> encodeJpeg(const Picture& picture, int quality, std::span<const uint8_t> iptc,
                                std::span<const uint8_t> exif) {
  if (picture.width() < 1 || picture.height() < 1) return {};
  if (iptc.size() > kMarkerDataLimit || exif.size() > kMarkerDataLimit) return {};
  CompressJob job;
  job.width = std::max(picture.width(), kMinimumJpegSide);
  job.height = std::max(picture.height(), kMinimumJpegSide);
  job.decile = std::clamp(quality, 0, 99) / 10;
  job.iptc = iptc.data();
  job.iptcSize = iptc.size();
  job.exif = exif.data();
  job.exifSize = exif.size();
  job.source = pictureRow;
  job.context = &picture;
  std::vector<JSAMPLE> row(static_cast<size_t>(job.width) * 3);
  job.row = row.data();
  const bool done = compressJpeg(&job);
  const std::unique_ptr<unsigned char, FreeStream> stream(job.stream);
  if (!done || !stream) return {};
  return std::vector<uint8_t>(stream.get(), stream.get() + job.streamSize);
}

std::unique_ptr<Picture> decodeJpeg(std::span<const uint8_t> jpeg, int width, int height) {
  if (width < 1 || height < 1 || jpeg.empty()) return nullptr;
  std::unique_ptr<Picture> picture =
      createPicture(width, height, PictureKind::rgba8, WrapMode::clamp);
  if (!picture) return nullptr;
  picture->fill(0, 0, 0, 255);  // what the stream does not cover stays black
  DecompressJob job;
  job.stream = jpeg.data();
  job.streamSize = jpeg.size();
  job.rowsWanted = height;
  job.sink = storeRow;
  job.context = picture.get();
  if (!decompressJpeg(&job)) return nullptr;
  picture->buildPyramid();
  return picture;
}

void writeThumbnailRecord(ByteWriter& out, const Picture* picture, bool withHeader, int quality) {
  std::vector<uint8_t> jpeg;
  if (picture) jpeg = encodeJpeg(*picture, quality);
  if (jpeg.empty()) {
    if (withHeader) out.i32(0);
    return;
  }
  if (withHeader) {
    out.i32(1);
    out.i32(picture->width());
    out.i32(picture->height());
    out.i32(static_cast<int32_t>(jpeg.size()));
  }
  out.bytes(jpeg);
}

bool readThumbnailRecord(ByteReader& in, bool wantPicture, ThumbnailRecord* record) {
  *record = {};
  if (!in.i32(&record->version)) return false;
  if (record->version == 0) return true;
  // A negative version is no layout we know, not even one whose length we could skip.
  if (record->version < 0) return false;
  int32_t length = 0;
  if (!in.i32(&record->width) || !in.i32(&record->height) || !in.i32(&length)) return false;
  record->width = std::clamp(record->width, 0, kThumbnailSide);
  record->height = std::clamp(record->height, 0, kThumbnailSide);
  if (length < 0) return false;
  const size_t size = static_cast<size_t>(length);
  if (record->version != 1 || !wantPicture || size > kThumbnailJpegLimit) return in.skip(size);
  std::span<const uint8_t> jpeg;
  if (!in.bytes(size, &jpeg)) return false;
  record->picture = decodeJpeg(jpeg, record->width, record->height);
  return true;
}

Status writeJpegFile(const Picture& picture, const std::string& path, int quality,
                     std::span<const uint8_t> iptc, std::span<const uint8_t> exif) {
  const std::vector<uint8_t> jpeg = encodeJpeg(picture, quality, iptc, exif);
  if (jpeg.empty()) {
    return Status(StatusCode::invalidArgument, "Cannot compress the picture for " + path);
  }
  return replaceFileContents(
      path, std::string_view(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()));
}

}  // namespace orichalcumite
