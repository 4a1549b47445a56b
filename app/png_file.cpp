// PNG files. Writing is our own: every row takes the Up filter, and horizontal strips of rows
// are deflated separately on all cores, each strip ending on a byte boundary (a sync flush) so
// that the raw streams join into the one zlib stream the format wants; their Adler-32 sums are
// combined. Reading goes through libpng, which handles every chunk and damage the way other
// tools do; interlaced, palette, low-depth and transparency-keyed files go to the general
// library, which reads them the way the program always has.
#include "app/png_file.h"

#include <libdeflate.h>
#include <png.h>
#include <sys/mman.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "app/buffered_output.h"
#include "app/image_file_formats.h"

namespace orichalcumite {
namespace {

// Rows that take the Up filter and are deflated with runs only (zlib's RLE strategy) make files
// of a filtered photograph about 2 % larger than a full search at level 1 in 60 % of its time,
// and a full search at zlib's default level takes twice as long again. The strip size keeps all
// cores busy without hurting compression.
constexpr int kDeflateLevel = 1;
constexpr size_t kStripBytes = size_t(1) << 20;

void putBigEndian32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

int colourTypeOf(const Image& image) {
  if (image.isGrey()) return image.hasAlpha() ? 4 : 0;
  return image.hasAlpha() ? 6 : 2;
}

struct Strip {
  std::string idat;  // the whole IDAT chunk
  uint32_t adler = 1;
  size_t rawBytes = 0;
};

// Deflates one strip as raw deflate blocks; the last strip finishes the stream.
bool compressStrip(const Image& image, int firstRow, int endRow, bool last, Strip& strip) {
  std::vector<uint8_t> raw;
  appendUpFilteredRows(image, firstRow, endRow, raw);
  strip.rawBytes = raw.size();
  strip.adler = uint32_t(adler32(1, raw.data(), uInt(raw.size())));
  z_stream z{};
  if (deflateInit2(&z, kDeflateLevel, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK) return false;
  std::string data(deflateBound(&z, uLong(raw.size())) + 16 + (last ? 4 : 0), '\0');
  z.next_in = raw.data();
  z.avail_in = uInt(raw.size());
  z.next_out = reinterpret_cast<Bytef*>(data.data() + 8);
  z.avail_out = uInt(data.size() - 8 - 4);
  const int result = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
  const bool ok =
      last ? result == Z_STREAM_END : (result == Z_OK && z.avail_in == 0 && z.avail_out > 0);
  const size_t compressed = z.total_out;
  deflateEnd(&z);
  if (!ok) return false;
  data.resize(8 + compressed);
  strip.idat = std::move(data);
  return true;
}

void finishIdat(std::string& idat, std::string_view extra) {
  idat.append(extra);
  const size_t length = idat.size() - 8;
  putBigEndian32(reinterpret_cast<uint8_t*>(idat.data()), uint32_t(length));
  std::memcpy(idat.data() + 4, "IDAT", 4);
  const uint32_t crc =
      uint32_t(crc32(0, reinterpret_cast<const Bytef*>(idat.data() + 4), uInt(length + 4)));
  uint8_t tail[4];
  putBigEndian32(tail, crc);
  idat.append(reinterpret_cast<const char*>(tail), 4);
}

// Runs body(i) for i in 0..count-1 on up to `threads` threads.
template <typename Body> void forEachOnThreads(int count, int threads, Body&& body) {
  std::atomic<int> next{0};
  auto work = [&] {
    for (int i = next++; i < count; i = next++) body(i);
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < std::min(threads, count); ++t) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
}

std::string headerBytes(const Image& image) {
  std::string bytes("\x89PNG\r\n\x1a\n", 8);
  uint8_t ihdr[13];
  putBigEndian32(ihdr, uint32_t(image.width()));
  putBigEndian32(ihdr + 4, uint32_t(image.height()));
  ihdr[8] = image.type() == SampleType::uint8 ? 8 : 16;
  ihdr[9] = uint8_t(colourTypeOf(image));
  ihdr[10] = ihdr[11] = ihdr[12] = 0;
  bytes += pngChunk("IHDR", {reinterpret_cast<const char*>(ihdr), sizeof ihdr});
  return bytes;
}

// Writes the image data in waves of strips, each wave compressed on all threads; `emit` gets
// the chunks in order. False when cancelled or when zlib fails.
template <typename Emit>
Status writeImageData(const Image& image, int threads, const std::atomic<bool>* cancel,
                      Emit&& emit) {
  const int stripRows = pngStripRows(image.rowBytes());
  const int stripCount = (image.height() + stripRows - 1) / stripRows;
  const int wave = std::max(1, threads) * 2;
  uint32_t adler = 1;
  for (int first = 0; first < stripCount; first += wave) {
    if (isSet(cancel)) return {StatusCode::cancelled, "cancelled"};
    const int count = std::min(wave, stripCount - first);
    std::vector<Strip> strips(static_cast<size_t>(count));
    std::atomic<bool> failed{false};
    forEachOnThreads(count, threads, [&](int i) {
      const int strip = first + i;
      const int endRow = std::min(image.height(), (strip + 1) * stripRows);
      if (!compressStrip(image, strip * stripRows, endRow, strip == stripCount - 1,
                         strips[size_t(i)]))
        failed = true;
    });
    if (failed) return {StatusCode::ioError, "the compressor failed"};
    for (Strip& strip : strips) {
      adler = uint32_t(adler32_combine(adler, strip.adler, z_off_t(strip.rawBytes)));
      std::string extra;
      if (&strip == &strips.front() && first == 0) {
        // The zlib header (deflate, 32 KB window, fastest) goes before the first strip.
        strip.idat.insert(8, "\x78\x01", 2);
      }
      if (first + (&strip - strips.data()) == stripCount - 1) {
        uint8_t sum[4];
        putBigEndian32(sum, adler);
        extra.assign(reinterpret_cast<const char*>(sum), 4);
      }
      finishIdat(strip.idat, extra);
      emit(std::string_view(strip.idat));
    }
  }
  return Status::success();
}

int writerThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return int(std::clamp(cores, 1u, 8u));
}

}  // namespace

std::string pngChunk(std::string_view type, std::string_view data) {
  std::string chunk(8, '\0');
  putBigEndian32(reinterpret_cast<uint8_t*>(chunk.data()), uint32_t(data.size()));
  std::memcpy(chunk.data() + 4, type.data(), 4);
  chunk.append(data);
  const uint32_t crc =
      uint32_t(crc32(0, reinterpret_cast<const Bytef*>(chunk.data() + 4), uInt(data.size() + 4)));
  uint8_t tail[4];
  putBigEndian32(tail, crc);
  chunk.append(reinterpret_cast<const char*>(tail), 4);
  return chunk;
}

void appendUpFilteredRows(const Image& image, int firstRow, int endRow, std::vector<uint8_t>& out) {
  const size_t rowBytes = image.rowBytes();
  const bool wide = image.type() == SampleType::uint16;
  // The rows in the file's byte order: 16-bit samples big-endian.
  std::vector<uint8_t> above(rowBytes, 0), row(rowBytes);
  const auto fileRow = [&](int y, uint8_t* target) {
    const uint8_t* source = image.data() + size_t(y) * rowBytes;
    if (!wide) {
      std::memcpy(target, source, rowBytes);
      return;
    }
    for (size_t i = 0; i < rowBytes; i += 2) {
      uint16_t v;
      std::memcpy(&v, source + i, 2);
      target[i] = uint8_t(v >> 8);
      target[i + 1] = uint8_t(v);
    }
  };
  if (firstRow > 0) fileRow(firstRow - 1, above.data());
  size_t at = out.size();
  out.resize(at + size_t(endRow - firstRow) * (rowBytes + 1));
  for (int y = firstRow; y < endRow; ++y) {
    fileRow(y, row.data());
    uint8_t* target = out.data() + at;
    target[0] = 2;  // Up
    for (size_t i = 0; i < rowBytes; ++i) target[1 + i] = uint8_t(row[i] - above[i]);
    std::swap(row, above);
    at += rowBytes + 1;
  }
}

int pngStripRows(size_t rowBytes) {
  return int(std::max<size_t>(1, kStripBytes / std::max<size_t>(1, rowBytes)));
}

std::string pngFileBytes(const Image& image, int threads) {
  std::string bytes = headerBytes(image);
  writeImageData(image, threads, nullptr, [&](std::string_view chunk) { bytes.append(chunk); });
  bytes += pngChunk("IEND", {});
  return bytes;
}

Status pngCanHold(const Image& image) {
  if (image.type() == SampleType::float32)
    return {StatusCode::invalidArgument, "the png format cannot hold 32-bit float samples"};
  return Status::success();
}

Status writePngFile(const Image& image, BufferedOutput& out, const std::atomic<bool>* cancel) {
  out.append(headerBytes(image));
  if (Status data = writeImageData(image, writerThreads(), cancel,
                                   [&](std::string_view chunk) { out.append(chunk); });
      !data)
    return data;
  out.append(pngChunk("IEND", {}));
  return Status::success();
}

// ---------------------------------------------------------------------------------------------
// Reading

namespace {

struct PngReadState {
  std::jmp_buf jump;
  std::string error;
  std::string warning;
};

void onPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngReadState*>(png_get_error_ptr(png));
  state->error = message ? message : "damaged PNG data";
  std::longjmp(state->jump, 1);
}

void onPngWarning(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngReadState*>(png_get_error_ptr(png));
  if (state->warning.empty() && message) state->warning = message;
}

struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

}  // namespace

DirectRead readPngWithLibpng(const std::string& path, const ReadContext& context) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return DirectRead::fail(StatusCode::ioError, std::strerror(errno));
  // Everything below that libpng may jump over lives outside the setjmp frame.
  PngReadState state;
  PngReader reader;
  std::optional<Image> image;
  DirectRead declined = DirectRead::decline();
  Status refused;
  bool decline = false;
  // Row pointers for one band; declared here because libpng may jump out of the loop below,
  // past the destructor of anything declared in it.
  std::vector<png_bytep> rows;
  reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, onPngError, onPngWarning);
  if (!reader.png) return DirectRead::fail(StatusCode::ioError, "not enough memory");
  reader.info = png_create_info_struct(reader.png);
  if (!reader.info) return DirectRead::fail(StatusCode::ioError, "not enough memory");
  if (setjmp(state.jump)) {
    // A failure while reading rows means damaged data; before the header was understood too.
    return DirectRead::fail(StatusCode::damagedData, state.error);
  }
  png_init_io(reader.png, file.get());
  // Large images are the point of this path; libpng's own default limit is a million columns.
  png_set_user_limits(reader.png, 0x7fffffff, 0x7fffffff);
  png_read_info(reader.png, reader.info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(reader.png, reader.info, &width, &height, &depth, &colourType, &interlace, nullptr,
               nullptr);
  const bool plain =
      interlace == PNG_INTERLACE_NONE && (depth == 8 || depth == 16) &&
      (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA ||
       colourType == PNG_COLOR_TYPE_RGB || colourType == PNG_COLOR_TYPE_RGB_ALPHA) &&
      !png_get_valid(reader.png, reader.info, PNG_INFO_tRNS);
  if (!plain) {
    decline = true;
  } else {
    const int channels = png_get_channels(reader.png, reader.info);
    const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0;
    const SampleType type = depth == 8 ? SampleType::uint8 : SampleType::uint16;
    image = imageForFile(int(width), int(height), channels, alpha, type, context, &refused);
    if (image) {
      if (depth == 16) png_set_swap(reader.png);  // our samples are in the machine's order
      png_read_update_info(reader.png, reader.info);
      const size_t rowBytes = image->rowBytes();
      const int bandRows = int(
          std::min<size_t>(size_t(image->height()), std::max<size_t>(1, kBandBytes / rowBytes)));
      rows.resize(size_t(bandRows));
      for (int row = 0; row < image->height(); row += bandRows) {
        if (isSet(context.cancel)) {
          refused = Status(StatusCode::cancelled, "cancelled");
          image.reset();
          break;
        }
        const int count = std::min(bandRows, image->height() - row);
        for (int i = 0; i < count; ++i)
          rows[size_t(i)] = image->data() + size_t(row + i) * rowBytes;
        png_read_rows(reader.png, rows.data(), nullptr, png_uint_32(count));
      }
      if (image) {
        // What follows the pixels only matters as a sign of damage: the image is whole.
        if (setjmp(state.jump)) {
          DirectRead read{std::move(image), {}, false, state.error};
          return read;
        }
        png_read_end(reader.png, nullptr);
      }
    }
  }
  if (decline) return declined;
  if (!image) return DirectRead::fail(refused.code(), refused.message());
  return DirectRead{std::move(image), {}, false, state.warning};
}

// ---------------------------------------------------------------------------------------------
// Reading quickly: the image data of a well-formed file in one piece, inflated by libdeflate
// (about twice as fast as zlib) and unfiltered here.

namespace {

uint32_t bigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// A large scratch buffer, not zeroed, in huge pages where the system grants them: touching tens
// of megabytes a page of 4 KB at a time costs more than inflating them on a virtual machine.
class ScratchBuffer {
 public:
  explicit ScratchBuffer(size_t bytes) : size_(bytes) {
    if (bytes == 0) return;
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    madvise(memory, bytes, MADV_HUGEPAGE);
    data_ = static_cast<uint8_t*>(memory);
  }
  ~ScratchBuffer() {
    if (data_) munmap(data_, size_);
  }
  ScratchBuffer(const ScratchBuffer&) = delete;
  ScratchBuffer& operator=(const ScratchBuffer&) = delete;

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

int paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

}  // namespace

bool unfilterPngRow(int filter, uint8_t* row, const uint8_t* above, size_t rowBytes,
                    size_t pixelBytes) {
  switch (filter) {
    case 0: return true;
    case 1:
      for (size_t i = pixelBytes; i < rowBytes; ++i) row[i] = uint8_t(row[i] + row[i - pixelBytes]);
      return true;
    case 2:
      if (above)
        for (size_t i = 0; i < rowBytes; ++i) row[i] = uint8_t(row[i] + above[i]);
      return true;
    case 3:
      for (size_t i = 0; i < rowBytes; ++i) {
        const int left = i >= pixelBytes ? row[i - pixelBytes] : 0;
        const int up = above ? above[i] : 0;
        row[i] = uint8_t(row[i] + ((left + up) >> 1));
      }
      return true;
    case 4:
      for (size_t i = 0; i < rowBytes; ++i) {
        const int left = i >= pixelBytes ? row[i - pixelBytes] : 0;
        const int up = above ? above[i] : 0;
        const int upLeft = above && i >= pixelBytes ? above[i - pixelBytes] : 0;
        row[i] = uint8_t(row[i] + paeth(left, up, upLeft));
      }
      return true;
    default: return false;
  }
}

DirectRead readPngQuickly(const std::string& path, const ReadContext& context) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return DirectRead::decline();
  uint8_t signature[8];
  if (std::fread(signature, 1, 8, file.get()) != 8 ||
      std::memcmp(signature, "\x89PNG\r\n\x1a\n", 8) != 0)
    return DirectRead::decline();
  // The chunks, each checked against its CRC; anything unusual is left to libpng, which says
  // precisely what is wrong or warns about what it can live with.
  uint32_t width = 0, height = 0;
  int depth = 0, colourType = -1;
  // The image data cannot be longer than the file.
  ScratchBuffer compressed(size_t(std::min<uint64_t>(context.fileBytes, uint64_t(1) << 40)));
  size_t compressedBytes = 0;
  if (!compressed.data()) return DirectRead::decline();
  std::vector<uint8_t> other;
  bool seenHeader = false, seenData = false, dataEnded = false, ended = false;
  uint64_t consumed = 8;  // bytes of the file read so far
  while (!ended) {
    uint8_t head[8];
    if (std::fread(head, 1, 8, file.get()) != 8) return DirectRead::decline();
    const uint32_t length = bigEndian32(head);
    // A chunk longer than the rest of the file is damage, found before anything is allocated.
    consumed += 8;
    if (length > 0x7fffffff ||
        uint64_t(length) + 4 > context.fileBytes - std::min(context.fileBytes, consumed))
      return DirectRead::decline();
    consumed += uint64_t(length) + 4;
    const std::string type(reinterpret_cast<const char*>(head + 4), 4);
    const bool isData = type == "IDAT";
    if (isData && (dataEnded || !seenHeader)) return DirectRead::decline();
    if (!isData && seenData) dataEnded = true;
    uint8_t* data = nullptr;
    if (isData) {
      if (length > compressed.size() - compressedBytes) return DirectRead::decline();
      data = compressed.data() + compressedBytes;
      compressedBytes += length;
    } else {
      other.resize(length);
      data = other.data();
    }
    uint8_t crc[4];
    if (std::fread(data, 1, length, file.get()) != length || std::fread(crc, 1, 4, file.get()) != 4)
      return DirectRead::decline();
    uLong sum = crc32(0, head + 4, 4);
    sum = crc32(sum, data, uInt(length));
    if (uint32_t(sum) != bigEndian32(crc)) return DirectRead::decline();
    if (type == "IHDR") {
      if (seenHeader || length != 13) return DirectRead::decline();
      seenHeader = true;
      width = bigEndian32(other.data());
      height = bigEndian32(other.data() + 4);
      depth = other[8];
      colourType = other[9];
      if (other[10] != 0 || other[11] != 0 || other[12] != 0) return DirectRead::decline();
    } else if (type == "IEND") {
      ended = true;
    } else if (isData) {
      seenData = true;
    } else if (type == "PLTE" || type == "tRNS" || !(type[0] & 0x20)) {
      // Palettes and transparency keys, and critical chunks we do not know.
      return DirectRead::decline();
    }
  }
  if (!seenHeader || !seenData || (depth != 8 && depth != 16) ||
      (colourType != 0 && colourType != 2 && colourType != 4 && colourType != 6) || width == 0 ||
      height == 0 || width > 0x7fffffff || height > 0x7fffffff)
    return DirectRead::decline();
  const int channels = colourType == 0 ? 1 : colourType == 4 ? 2 : colourType == 2 ? 3 : 4;
  const SampleType type = depth == 8 ? SampleType::uint8 : SampleType::uint16;
  Status refused;
  auto image = imageForFile(int(width), int(height), channels, (colourType & 4) != 0, type, context,
                            &refused);
  if (!image) return DirectRead::decline();
  if (isSet(context.cancel)) return DirectRead::fail(StatusCode::cancelled, "cancelled");
  const size_t rowBytes = image->rowBytes();
  const size_t pixelBytes = size_t(channels) * sampleSize(type);
  ScratchBuffer filtered(size_t(height) * (rowBytes + 1));
  if (!filtered.data()) return DirectRead::decline();
  std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> inflater(
      libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
  if (!inflater) return DirectRead::decline();
  size_t inflated = 0;
  if (libdeflate_zlib_decompress(inflater.get(), compressed.data(), compressedBytes,
                                 filtered.data(), filtered.size(),
                                 &inflated) != LIBDEFLATE_SUCCESS ||
      inflated != filtered.size())
    return DirectRead::decline();
  const int bandRows = int(std::max<size_t>(1, kBandBytes / rowBytes));
  const uint8_t* above = nullptr;
  for (uint32_t y = 0; y < height; ++y) {
    if (y % uint32_t(bandRows) == 0 && isSet(context.cancel))
      return DirectRead::fail(StatusCode::cancelled, "cancelled");
    uint8_t* row = filtered.data() + size_t(y) * (rowBytes + 1);
    if (!unfilterPngRow(row[0], row + 1, above, rowBytes, pixelBytes)) return DirectRead::decline();
    above = row + 1;
    uint8_t* target = image->data() + size_t(y) * rowBytes;
    if (type == SampleType::uint8) {
      std::memcpy(target, row + 1, rowBytes);
    } else {
      for (size_t i = 0; i < rowBytes; i += 2) {
        const uint16_t v = uint16_t(row[1 + i] << 8 | row[2 + i]);
        std::memcpy(target + i, &v, 2);
      }
    }
  }
  return DirectRead{std::move(image), {}, false, {}};
}

DirectRead readPngFile(const std::string& path, const ReadContext& context) {
  DirectRead quick = readPngQuickly(path, context);
  if (!quick.declined) return quick;
  return readPngWithLibpng(path, context);
}

}  // namespace orichalcumite
