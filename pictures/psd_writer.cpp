#include "pictures/psd_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/byte_writer.h"
#include "base/replace_file.h"
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
constexpr size_t kChunkBytes = size_t{1} << 20;

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

uint8_t clampedStorage8(float v) {
  return static_cast<uint8_t>(std::clamp(std::lround(v * 255.0f), 0L, 255L));
}
int storage16(float v) {
  return static_cast<int>(std::clamp(std::lround(v * 32768.0f), 0L, 32768L));
}
uint16_t fileValue16(int internal) {
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
float planeOf(const Rgba& p, int plane) {
  switch (plane) {
    case 0: return p.red;
    case 1: return p.green;
    case 2: return p.blue;
    default: return p.alpha;
  }
}

// Collects the document's bytes into chunks for the sink.
class ChunkedOutput {
 public:
  explicit ChunkedOutput(const PsdSink& sink) : sink_(sink) { buffer_.reserve(kChunkBytes); }
  Status add(std::span<const uint8_t> bytes) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    return buffer_.size() >= kChunkBytes ? flush() : Status::success();
  }
  // Room for `count` bytes at the end of the buffer, written by the caller.
  uint8_t* extend(size_t count) {
    const size_t at = buffer_.size();
    buffer_.resize(at + count);
    return buffer_.data() + at;
  }
  bool full() const { return buffer_.size() >= kChunkBytes; }
  Status flush() {
    if (buffer_.empty()) return Status::success();
    Status status = sink_(buffer_);
    buffer_.clear();
    return status;
  }

 private:
  const PsdSink& sink_;
  std::vector<uint8_t> buffer_;
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

void psdLayerChannelRow(std::span<const Rgba> row, int plane, int bytesPerChannel, uint8_t* out) {
  switch (bytesPerChannel) {
    case 1:
      for (size_t i = 0; i < row.size(); ++i) out[i] = clampedStorage8(planeOf(row[i], plane));
      break;
    case 2:
      for (size_t i = 0; i < row.size(); ++i)
        storeU16(out + 2 * i, fileValue16(storage16(planeOf(row[i], plane))));
      break;
    default:
      for (size_t i = 0; i < row.size(); ++i) storeF32(out + 4 * i, planeOf(row[i], plane));
      break;
  }
}

void psdCompositeRow(std::span<const Rgba> row, int y, int plane, int bytesPerChannel,
                     uint8_t* out) {
  if (plane >= 3) {
    psdLayerChannelRow(row, 3, bytesPerChannel, out);
    return;
  }
  switch (bytesPerChannel) {
    case 1:
      for (size_t i = 0; i < row.size(); ++i)
        out[i] = psdComposite8(int(i), y, clampedStorage8(planeOf(row[i], plane)),
                               clampedStorage8(row[i].alpha));
      break;
    case 2:
      for (size_t i = 0; i < row.size(); ++i)
        storeU16(out + 2 * i,
                 fileValue16(psdComposite16(int(i), y, storage16(planeOf(row[i], plane)),
                                            storage16(row[i].alpha))));
      break;
    default:
      for (size_t i = 0; i < row.size(); ++i)
        storeF32(out + 4 * i, psdCompositeFloat(int(i), y, planeOf(row[i], plane), row[i].alpha));
      break;
  }
}

Status writePsd(const PsdSink& sink, const PsdOptions& o, const Picture& picture,
                const PsdProgress& progress) {
  if (Status valid = checkPsdOptions(o); !valid) return valid;
  const PictureKind wanted = o.bytesPerChannel == 1   ? PictureKind::rgba8
                             : o.bytesPerChannel == 2 ? PictureKind::rgba16
                                                      : PictureKind::rgbaFloat;
  if (picture.kind() != wanted || picture.width() != o.width || picture.height() != o.height)
    return {StatusCode::invalidArgument, "the export picture does not match the document"};

  ChunkedOutput out(sink);
  for (const std::vector<uint8_t>& section :
       {psdFileHeader(o), psdColourModeData(o.bytesPerChannel), psdImageResources(o),
        psdLayerSectionStart(o)})
    if (Status s = out.add(section); !s) return s;

  // Four layer channels and the composite's planes, each read row by row from the picture.
  const int layerPlanes[] = {3, 0, 1, 2};
  const int compositePlanes = psdCompositePlaneCount(o.bytesPerChannel);
  const int totalPlanes = kPsdChannelsPerLayer + compositePlanes;
  const size_t rowBytes = size_t(o.width) * size_t(o.bytesPerChannel);
  std::vector<Rgba> row(size_t(o.width));
  const auto readRow = [&](int y) {
    for (int x = 0; x < o.width; ++x) row[size_t(x)] = picture.readPicturePixel(x, y, 0);
  };
  const uint8_t compression[2] = {0, 0};  // raw
  for (int p = 0; p < totalPlanes; ++p) {
    const bool composite = p >= kPsdChannelsPerLayer;
    if (p == kPsdChannelsPerLayer) {
      if (Status s = out.add(psdLayerSectionEnd(o)); !s) return s;
    }
    if (!composite || p == kPsdChannelsPerLayer)
      if (Status s = out.add(compression); !s) return s;
    for (int y = 0; y < o.height; ++y) {
      readRow(y);
      uint8_t* bytes = out.extend(rowBytes);
      if (composite)
        psdCompositeRow(row, y, p - kPsdChannelsPerLayer, o.bytesPerChannel, bytes);
      else
        psdLayerChannelRow(row, layerPlanes[p], o.bytesPerChannel, bytes);
      if (out.full()) {
        if (Status s = out.flush(); !s) return s;
        const double done = (p + double(y + 1) / o.height) / totalPlanes;
        if (progress && !progress(done)) return {StatusCode::cancelled, "cancelled"};
      }
    }
  }
  if (Status s = out.flush(); !s) return s;
  if (progress && !progress(1.0)) return {StatusCode::cancelled, "cancelled"};
  return Status::success();
}

Result<std::vector<uint8_t>> psdDocument(const PsdOptions& options, const Picture& picture) {
  std::vector<uint8_t> document;
  const PsdSink sink = [&document](std::span<const uint8_t> bytes) {
    document.insert(document.end(), bytes.begin(), bytes.end());
    return Status::success();
  };
  if (Status s = writePsd(sink, options, picture); !s) return s;
  return document;
}

Status writePsdFile(const std::string& path, const PsdOptions& options, const Picture& picture,
                    const PsdProgress& progress) {
  if (Status valid = checkPsdOptions(options); !valid) return valid;
  Result<TemporaryFile> file = TemporaryFile::create(path);
  if (!file) return file.status();
  uint64_t offset = 0;
  const PsdSink sink = [&](std::span<const uint8_t> bytes) {
    Status s = file->writeAt(offset, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    offset += bytes.size();
    return s;
  };
  if (Status s = writePsd(sink, options, picture, progress); !s) return s;
  return file->commit();
}

}  // namespace orichalcumite
