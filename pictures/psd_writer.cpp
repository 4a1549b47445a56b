#include "pictures/psd_writer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>

#include "base/byte_writer.h"
#include "base/replace_file.h"
#include "pictures/detail/picture_access.h"
#include "pictures/detail/texel_formats.h"
#include "pictures/picture.h"

namespace orichalcumite {
namespace {

// The print record: sixty 16-bit words.
constexpr uint16_t kPrintRecord[] = {
    40, 0,   72,   72,  0, 0, 743,  594,  0xFFF7, 0xFFF7, 783,  603,    8194, 1320,  1020,
    0,  0,   360,  360, 0, 0, 3715, 2970, 372,    50,     2970, 18600,  75,   1,     257,
    0,  1,   9999, 1,   1, 0, 0,    0,    0,      0,      0,    0,      0,    0,     0,
    1,  100, 768,  0,   0, 0, 515,  8369, 1024,   4608,   768,  0x4500, 0,    13892, 24864};
static_assert(sizeof kPrintRecord == 120);

// HDR toning information of 32-bit documents, with the name "Default" in UTF-16.
constexpr uint16_t kHdrToning[] = {0x6864, 0x7274, 0x0000, 0x0003, 0x3F00, 0x0000, 0x0000, 0x0002,
                                   0x0000, 0x0008, 0x0044, 0x0065, 0x0066, 0x0061, 0x0075, 0x006C,
                                   0x0074, 0x0000, 0x0002, 0x0002, 0x0000, 0x0000, 0x00FF, 0x00FF,
                                   0x0101, 0x0000, 0x0000, 0x0000, 0x0000, 0x4180, 0x0000, 0x0000,
                                   0x0001, 0x0000, 0x0000, 0x3F80, 0x0000};
static_assert(sizeof kHdrToning == 74);

constexpr uint16_t kResourcePrintRecord = 1001;
constexpr uint16_t kResourceResolution = 1005;
constexpr uint16_t kResourcePrintFlags = 1011;
constexpr uint16_t kResourceTransferFunctions = 1016;
constexpr uint16_t kResourceUrl = 1035;
constexpr uint16_t kResourceIccProfile = 1039;
constexpr uint16_t kResourceExif = 1058;
constexpr uint16_t kResourceLayerSelection = 1069;
constexpr uint16_t kResourceLayerGroupsEnabled = 1072;
constexpr uint16_t kResourceLayerState = 1024;
constexpr uint16_t kResourceLayerGroups = 1026;

// Extra data of the layer record: mask length, blending ranges with their length, and the
// name padded to four bytes.
constexpr uint32_t kLayerExtraLength = 4 + 4 + 40 + 8;
// Bounds, channel count and list, blend signature and key, opacity, clipping, flags, filler,
// extra length and the extra data.
constexpr uint64_t kLayerRecordLength =
    16 + 2 + 6 * kPsdChannelsPerLayer + 8 + 4 + 4 + kLayerExtraLength;
// A band fills about this much of each plane: large writes, small buffers.
constexpr size_t kBandPlaneBytes = size_t{256} << 10;
constexpr int kMaxWriterThreads = 8;

uint64_t channelDataLength(const PsdOptions& o) {
  return uint64_t(o.bytesPerChannel) * uint64_t(o.width) * uint64_t(o.height) + 2;
}

uint64_t roundUp4(uint64_t n) { return (n + 3) & ~uint64_t{3}; }

// The layer information with its length field, padded to four bytes for the "Lr16" and
// "Lr32" blocks (the channel data keep it a multiple of four already).
uint64_t paddedLayerInfoSize(const PsdOptions& o) { return roundUp4(4 + psdLayerInfoLength(o)); }

uint64_t layerSectionLength(const PsdOptions& o) {
  switch (o.bytesPerChannel) {
    case 2: return paddedLayerInfoSize(o) + 28;
    case 4: return paddedLayerInfoSize(o) + 68;
    default: return psdLayerInfoLength(o) + 8;
  }
}

void resourceBlock(ByteWriter& w, uint16_t id, std::span<const uint8_t> data) {
  w.text("8BIM");
  w.u16(id);
  w.u16(0);  // empty name, padded
  w.u32(static_cast<uint32_t>(data.size()));
  w.bytes(data);
  if (data.size() % 2 != 0) w.u8(0);
}

void resourceWords(ByteWriter& w, uint16_t id, std::span<const uint16_t> words) {
  ByteWriter data;
  for (uint16_t word : words) data.u16(word);
  resourceBlock(w, id, data.data());
}

void layerInformationStart(ByteWriter& w, const PsdOptions& o) {
  w.u32(static_cast<uint32_t>(psdLayerInfoLength(o)));
  w.u16(kPsdLayerCount);
  w.u32(0);
  w.u32(0);
  w.u32(static_cast<uint32_t>(o.height));
  w.u32(static_cast<uint32_t>(o.width));
  w.u16(kPsdChannelsPerLayer);
  for (int16_t id : {int16_t{-1}, int16_t{0}, int16_t{1}, int16_t{2}}) {
    w.i16(id);
    w.u32(static_cast<uint32_t>(channelDataLength(o)));
  }
  w.text("8BIM");
  w.text("norm");
  w.u8(255);                              // opacity
  w.u8(0);                                // clipping
  w.u8(o.bytesPerChannel == 4 ? 8 : 40);  // flags
  w.u8(0);                                // filler
  w.u32(kLayerExtraLength);
  w.u32(0);  // no layer mask
  w.u32(40);
  for (int i = 0; i < 5; ++i)
    for (uint8_t b : {0, 0, 255, 255, 0, 0, 255, 255}) w.u8(b);
  w.pascalString(kPsdLayerName);
  static_assert(sizeof kPsdLayerName - 1 + 1 == 8, "the name fills a multiple of four bytes");
}

uint16_t fileValue16Of(int internal) {
  return internal >= 32768 ? uint16_t{65535} : static_cast<uint16_t>(internal * 2);
}
void storeU16(uint8_t* out, uint16_t v) {
  out[0] = static_cast<uint8_t>(v >> 8);
  out[1] = static_cast<uint8_t>(v);
}
void storeF32(uint8_t* out, float v) {
  const uint32_t bits = std::bit_cast<uint32_t>(v);
  out[0] = static_cast<uint8_t>(bits >> 24);
  out[1] = static_cast<uint8_t>(bits >> 16);
  out[2] = static_cast<uint8_t>(bits >> 8);
  out[3] = static_cast<uint8_t>(bits);
}

// Where each part of the document lies in the file.
struct PsdLayout {
  uint64_t planeBytes = 0;                                    // one channel's rows
  std::array<uint64_t, kPsdChannelsPerLayer> layerChannel{};  // first row of each channel
  uint64_t layerSectionEnd = 0;                               // what follows the last channel
  uint64_t compositeCode = 0;                                 // the composite's compression code
  std::array<uint64_t, 5> compositePlane{};                   // first row of each composite plane
  uint64_t end = 0;
};

PsdLayout psdLayout(const PsdOptions& o, uint64_t head) {
  PsdLayout l;
  l.planeBytes = uint64_t(o.width) * uint64_t(o.height) * uint64_t(o.bytesPerChannel);
  for (int c = 0; c < kPsdChannelsPerLayer; ++c)
    l.layerChannel[size_t(c)] = head + uint64_t(c) * (2 + l.planeBytes) + 2;
  l.layerSectionEnd = head + kPsdChannelsPerLayer * (2 + l.planeBytes);
  l.compositeCode = l.layerSectionEnd + psdLayerSectionEnd(o).size();
  const int planes = psdCompositePlaneCount(o.bytesPerChannel);
  for (int p = 0; p < planes; ++p)
    l.compositePlane[size_t(p)] = l.compositeCode + 2 + uint64_t(p) * l.planeBytes;
  l.end = l.compositeCode + 2 + uint64_t(planes) * l.planeBytes;
  return l;
}

// One band of rows in file form: the layer's transparency, red, green and blue, then the
// composite's planes, each `rows` × the row's bytes. The texel types are the picture's own,
// so the band is read once however many planes it fills.
class BandEncoder {
 public:
  BandEncoder(const Picture& picture, int bytesPerChannel)
      : picture_(picture),
        bpc_(bytesPerChannel),
        planes_(kPsdChannelsPerLayer + psdCompositePlaneCount(bytesPerChannel)) {}

  int planeCount() const { return planes_; }
  // Fills `out[p]` (planeCount() pointers) with rows [y0, y1).
  void encode(int y0, int y1, uint8_t* const* out) const {
    const size_t rowBytes = size_t(picture_.width()) * size_t(bpc_);
    for (int y = y0; y < y1; ++y) {
      uint8_t* row[9];
      for (int p = 0; p < planes_; ++p) row[p] = out[p] + size_t(y - y0) * rowBytes;
      switch (bpc_) {
        case 1: encodeRow8(y, row); break;
        case 2: encodeRow16(y, row); break;
        default: encodeRowFloat(y, row); break;
      }
    }
  }

 private:
  // Calls run(x, texels, count) for the runs of row y that lie in one tile each.
  template <class Texel, class Run> void forRuns(int y, Run run) const {
    const auto view = detail::PictureAccess::read<Texel>(picture_, 0);
    for (int x = 0; x < view.width; x += kPictureTileSide) {
      const int count = std::min(kPictureTileSide, view.width - x);
      run(x, view.tileRow(x, y), count);
    }
  }

  void encodeRow8(int y, uint8_t* const* row) const {
    forRuns<uint32_t>(y, [&](int x0, const uint32_t* words, int count) {
      for (int i = 0; i < count; ++i) {
        const int x = x0 + i;
        const uint32_t w = words[i];
        const int r = int(w >> 24), g = int(w >> 16) & 0xff, b = int(w >> 8) & 0xff,
                  a = int(w) & 0xff;
        row[0][x] = uint8_t(a);
        row[1][x] = uint8_t(r);
        row[2][x] = uint8_t(g);
        row[3][x] = uint8_t(b);
        row[4][x] = psdComposite8(x, y, r, a);
        row[5][x] = psdComposite8(x, y, g, a);
        row[6][x] = psdComposite8(x, y, b, a);
        row[7][x] = uint8_t(a);
      }
    });
  }

  void encodeRow16(int y, uint8_t* const* row) const {
    forRuns<detail::Rgba16Texel>(y, [&](int x0, const detail::Rgba16Texel* texels, int count) {
      for (int i = 0; i < count; ++i) {
        const int x = x0 + i;
        const size_t at = size_t(x) * 2;
        const detail::Rgba16Texel& t = texels[i];
        const int r = std::min<int>(t.red, 32768), g = std::min<int>(t.green, 32768),
                  b = std::min<int>(t.blue, 32768), a = std::min<int>(t.alpha, 32768);
        storeU16(row[0] + at, fileValue16Of(a));
        storeU16(row[1] + at, fileValue16Of(r));
        storeU16(row[2] + at, fileValue16Of(g));
        storeU16(row[3] + at, fileValue16Of(b));
        storeU16(row[4] + at, fileValue16Of(psdComposite16(x, y, r, a)));
        storeU16(row[5] + at, fileValue16Of(psdComposite16(x, y, g, a)));
        storeU16(row[6] + at, fileValue16Of(psdComposite16(x, y, b, a)));
        storeU16(row[7] + at, fileValue16Of(a));
        storeU16(row[8] + at, fileValue16Of(a));
      }
    });
  }

  void encodeRowFloat(int y, uint8_t* const* row) const {
    forRuns<detail::RgbaFloatTexel>(
        y, [&](int x0, const detail::RgbaFloatTexel* texels, int count) {
          for (int i = 0; i < count; ++i) {
            const int x = x0 + i;
            const size_t at = size_t(x) * 4;
            const detail::RgbaFloatTexel& t = texels[i];
            storeF32(row[0] + at, t.alpha);
            storeF32(row[1] + at, t.red);
            storeF32(row[2] + at, t.green);
            storeF32(row[3] + at, t.blue);
            storeF32(row[4] + at, psdCompositeFloat(x, y, t.red, t.alpha));
            storeF32(row[5] + at, psdCompositeFloat(x, y, t.green, t.alpha));
            storeF32(row[6] + at, psdCompositeFloat(x, y, t.blue, t.alpha));
            storeF32(row[7] + at, t.alpha);
          }
        });
  }

  const Picture& picture_;
  int bpc_;
  int planes_;
};

}  // namespace

Status checkPsdOptions(const PsdOptions& o) {
  if (o.bytesPerChannel != 1 && o.bytesPerChannel != 2 && o.bytesPerChannel != 4)
    return {StatusCode::invalidArgument, "a PSD document has 8, 16 or 32 bits per channel"};
  if (o.width < 1 || o.height < 1 || o.width > kPsdMaxSide || o.height > kPsdMaxSide)
    return {StatusCode::invalidArgument,
            "a PSD document is 1 to " + std::to_string(kPsdMaxSide) + " pixels wide and high"};
  if (layerSectionLength(o) > std::numeric_limits<uint32_t>::max())
    return {StatusCode::invalidArgument, "the image is too large for a PSD document of " +
                                             std::to_string(8 * o.bytesPerChannel) + " bits"};
  return Status::success();
}

std::vector<uint8_t> psdFileHeader(const PsdOptions& o) {
  ByteWriter w;
  w.u32(0x38425053);  // "8BPS"
  w.u16(1);
  for (int i = 0; i < 6; ++i) w.u8(0);
  w.u16(o.bytesPerChannel == 2 ? 4 : 3);
  w.u32(static_cast<uint32_t>(o.height));
  w.u32(static_cast<uint32_t>(o.width));
  w.u16(static_cast<uint16_t>(8 * o.bytesPerChannel));
  w.u16(3);  // RGB
  return w.take();
}

std::vector<uint8_t> psdColourModeData(int bytesPerChannel) {
  ByteWriter w;
  if (bytesPerChannel != 4) {
    w.u32(0);
    return w.take();
  }
  w.u32(sizeof kHdrToning);
  for (uint16_t word : kHdrToning) w.u16(word);
  return w.take();
}

std::vector<uint8_t> psdImageResources(const PsdOptions& o) {
  ByteWriter w;
  w.u32(0);  // the section length, patched below
  resourceWords(w, kResourcePrintRecord, kPrintRecord);
  // 72 dpi (16.16 fixed) in inches, horizontally and vertically.
  resourceWords(w, kResourceResolution, std::array<uint16_t, 8>{72, 0, 1, 1, 72, 0, 1, 1});
  resourceBlock(w, kResourcePrintFlags, std::array<uint8_t, 9>{0, 0, 0, 0, 0, 0, 0, 0, 1});
  std::vector<uint16_t> transfer;
  for (int i = 0; i < 4; ++i) {
    transfer.push_back(0);
    transfer.insert(transfer.end(), 11, 0xFFFF);
    transfer.push_back(1000);
    transfer.push_back(0);
  }
  resourceWords(w, kResourceTransferFunctions, transfer);
  const std::string_view url(kIptcSource, sizeof kIptcSource - 1);
  resourceBlock(w, kResourceUrl, {reinterpret_cast<const uint8_t*>(url.data()), url.size()});
  if (!o.iccProfile.empty()) resourceBlock(w, kResourceIccProfile, o.iccProfile);
  // The IPTC block is an image-resource block already.
  w.bytes(o.created ? buildIptcBlock(false, o.keywords, *o.created)
                    : buildIptcBlock(false, o.keywords));
  // The EXIF resource holds the TIFF structure without the APP1 identifier.
  const std::vector<uint8_t> exif = buildExifBlock();
  resourceBlock(w, kResourceExif, std::span(exif).subspan(6));
  if (o.bytesPerChannel == 4) {
    resourceBlock(w, kResourceLayerSelection, std::array<uint8_t, 6>{0, 1, 0, 0, 0, 12});
    const std::vector<uint8_t> enabled(kPsdLayerCount, 1);
    resourceBlock(w, kResourceLayerGroupsEnabled, enabled);
  }
  resourceWords(w, kResourceLayerState, std::array<uint16_t, 1>{kPsdLayerCount});
  const std::vector<uint16_t> groups(kPsdLayerCount, 0);
  resourceWords(w, kResourceLayerGroups, groups);
  w.patchU32(0, static_cast<uint32_t>(w.size() - 4));
  return w.take();
}

uint64_t psdLayerInfoLength(const PsdOptions& o) {
  return 2 + kLayerRecordLength + kPsdChannelsPerLayer * channelDataLength(o);
}

std::vector<uint8_t> psdLayerSectionStart(const PsdOptions& o) {
  ByteWriter w;
  w.u32(static_cast<uint32_t>(layerSectionLength(o)));
  if (o.bytesPerChannel != 1) {
    const char* const depth = o.bytesPerChannel == 2 ? "16" : "32";
    w.u32(0);  // empty plain layer information
    w.u32(0);  // empty global layer mask
    w.text("8BIMMt");
    w.text(depth);
    w.u32(0);
    w.text("8BIMLr");
    w.text(depth);
  }
  layerInformationStart(w, o);
  return w.take();
}

std::vector<uint8_t> psdLayerSectionEnd(const PsdOptions& o) {
  ByteWriter w;
  if (o.bytesPerChannel == 1) {
    w.u32(0);  // global layer mask
    return w.take();
  }
  for (uint64_t i = 4 + psdLayerInfoLength(o); i < paddedLayerInfoSize(o); ++i) w.u8(0);
  if (o.bytesPerChannel == 4) {
    w.text("8BIMLMsk");
    w.u32(14);
    w.u16(0);  // colour space
    for (uint16_t c : {0xFFFF, 0, 0, 0}) w.u16(c);
    w.u16(50);   // opacity
    w.u8(0x80);  // kind
    w.u8(0);
    w.u16(0);  // pad to four
    w.text("8BIMPat3");
    w.u32(0);
  }
  return w.take();
}

int psdCompositePlaneCount(int bytesPerChannel) { return bytesPerChannel == 2 ? 5 : 4; }

uint64_t psdFileSize(const PsdOptions& o) {
  const uint64_t pixels = uint64_t(o.width) * uint64_t(o.height);
  return psdFileHeader(o).size() + psdColourModeData(o.bytesPerChannel).size() +
         psdImageResources(o).size() + 4 + layerSectionLength(o) + 2 +
         uint64_t(psdCompositePlaneCount(o.bytesPerChannel)) * pixels * o.bytesPerChannel;
}

uint16_t psdFileValue16(int internal) { return fileValue16Of(std::clamp(internal, 0, 32768)); }

uint8_t psdComposite8(int x, int y, int channel, int alpha) {
  const int background = ((x ^ y) & 8) == 0 ? 255 : 204;
  return static_cast<uint8_t>((background * (255 - alpha) + channel * alpha) / 255);
}

uint16_t psdComposite16(int x, int y, int channel, int alpha) {
  const int background = ((x ^ y) & 8) == 0 ? 32640 : 26112;
  return static_cast<uint16_t>((background * (32768 - alpha) + channel * alpha) >> 15);
}

float psdCompositeFloat(int x, int y, float channel, float alpha) {
  const float background = ((x ^ y) & 8) == 0 ? 1.0f : 0.8f;
  const float a = std::clamp(alpha, 0.0f, 1.0f);
  return background * (1.0f - a) + channel * a;
}

Status writePsd(const PsdSink& sink, const PsdOptions& o, const Picture& picture,
                const PsdProgress& progress, int processors) {
  if (Status valid = checkPsdOptions(o); !valid) return valid;
  const PictureKind wanted = o.bytesPerChannel == 1   ? PictureKind::rgba8
                             : o.bytesPerChannel == 2 ? PictureKind::rgba16
                                                      : PictureKind::rgbaFloat;
  if (picture.kind() != wanted || picture.width() != o.width || picture.height() != o.height)
    return {StatusCode::invalidArgument, "the export picture does not match the document"};

  // Everything before the pixels, and the fixed pieces between them.
  std::vector<uint8_t> head;
  for (const std::vector<uint8_t>& section :
       {psdFileHeader(o), psdColourModeData(o.bytesPerChannel), psdImageResources(o),
        psdLayerSectionStart(o)})
    head.insert(head.end(), section.begin(), section.end());
  const PsdLayout layout = psdLayout(o, head.size());
  const uint8_t raw[2] = {0, 0};  // compression code 0: raw rows
  if (Status s = sink(0, head); !s) return s;
  for (int c = 0; c < kPsdChannelsPerLayer; ++c)
    if (Status s = sink(layout.layerChannel[size_t(c)] - 2, raw); !s) return s;
  if (Status s = sink(layout.layerSectionEnd, psdLayerSectionEnd(o)); !s) return s;
  if (Status s = sink(layout.compositeCode, raw); !s) return s;

  // The pixels in bands of rows, each band read once and written to every plane at its place;
  // bands go to `processors` threads (the calling one included), which alone reports progress.
  const BandEncoder encoder(picture, o.bytesPerChannel);
  const size_t rowBytes = size_t(o.width) * size_t(o.bytesPerChannel);
  const int bandRows = int(std::clamp<size_t>(kBandPlaneBytes / rowBytes, 1, size_t(o.height)));
  const int bands = (o.height + bandRows - 1) / bandRows;
  const int threads =
      std::clamp(processors > 0 ? processors : int(std::thread::hardware_concurrency()), 1,
                 std::min(bands, kMaxWriterThreads));
  std::atomic<int> nextBand{0}, bandsDone{0};
  std::atomic<bool> stop{false};
  std::mutex failureLock;
  Status failure;
  const auto fail = [&](Status status) {
    std::lock_guard<std::mutex> lock(failureLock);
    if (failure.ok()) failure = std::move(status);
    stop = true;
  };
  const auto work = [&](bool reports) {
    std::vector<uint8_t> buffer;
    try {
      buffer.resize(size_t(encoder.planeCount()) * size_t(bandRows) * rowBytes);
    } catch (const std::bad_alloc&) {
      fail({StatusCode::ioError, "not enough memory to write the PSD document"});
      return;
    }
    uint8_t* planes[9];
    for (int p = 0; p < encoder.planeCount(); ++p)
      planes[p] = buffer.data() + size_t(p) * size_t(bandRows) * rowBytes;
    for (int band = nextBand++; band < bands && !stop; band = nextBand++) {
      const int y0 = band * bandRows, y1 = std::min(o.height, y0 + bandRows);
      encoder.encode(y0, y1, planes);
      const size_t bytes = size_t(y1 - y0) * rowBytes;
      const uint64_t rowOffset = uint64_t(y0) * rowBytes;
      for (int p = 0; p < encoder.planeCount() && !stop; ++p) {
        const uint64_t at = p < kPsdChannelsPerLayer
                                ? layout.layerChannel[size_t(p)]
                                : layout.compositePlane[size_t(p - kPsdChannelsPerLayer)];
        if (Status s = sink(at + rowOffset, {planes[p], bytes}); !s) fail(std::move(s));
      }
      const int done = ++bandsDone;
      if (reports && progress && !stop && !progress(double(done) / bands))
        fail({StatusCode::cancelled, "cancelled"});
    }
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) helpers.emplace_back(work, false);
  work(true);
  for (std::thread& helper : helpers) helper.join();
  if (!failure.ok()) return failure;
  if (progress && !progress(1.0)) return {StatusCode::cancelled, "cancelled"};
  return Status::success();
}

Result<std::vector<uint8_t>> psdDocument(const PsdOptions& options, const Picture& picture) {
  if (Status valid = checkPsdOptions(options); !valid) return valid;
  std::vector<uint8_t> document(psdFileSize(options));
  const PsdSink sink = [&document](uint64_t offset, std::span<const uint8_t> bytes) {
    if (offset + bytes.size() > document.size())
      return Status{StatusCode::damagedData, "a PSD write beyond the document's size"};
    std::copy(bytes.begin(), bytes.end(), document.begin() + std::ptrdiff_t(offset));
    return Status::success();
  };
  if (Status s = writePsd(sink, options, picture); !s) return s;
  return document;
}

Status writePsdFile(const std::string& path, const PsdOptions& options, const Picture& picture,
                    const PsdProgress& progress, int processors) {
  if (Status valid = checkPsdOptions(options); !valid) return valid;
  Result<TemporaryFile> file = TemporaryFile::create(path);
  if (!file) return file.status();
  const PsdSink sink = [&file](uint64_t offset, std::span<const uint8_t> bytes) {
    return file->writeAt(offset, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  };
  if (Status s = writePsd(sink, options, picture, progress, processors); !s) return s;
  return file->commit();
}

}  // namespace orichalcumite
