#include "gallery/grey_gif.h"

#include <algorithm>
#include <unordered_map>

namespace orichalcumite {
namespace {

// 16 colours need 4 bits per pixel, the smallest LZW start a GIF allows for them.
constexpr int kMinimumCodeSize = 4;
constexpr int kClearCode = 1 << kMinimumCodeSize;
constexpr int kEndCode = kClearCode + 1;
constexpr int kMaxCode = 4095;  // codes are at most 12 bits wide

void putLittle16(std::vector<uint8_t>& out, int value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

// Packs codes least significant bit first, as GIF wants.
class CodeWriter {
 public:
  void put(int code, int bits) {
    buffer_ |= static_cast<uint32_t>(code) << used_;
    used_ += bits;
    while (used_ >= 8) {
      bytes_.push_back(static_cast<uint8_t>(buffer_ & 0xFF));
      buffer_ >>= 8;
      used_ -= 8;
    }
  }
  std::vector<uint8_t> finish() {
    if (used_ > 0) bytes_.push_back(static_cast<uint8_t>(buffer_ & 0xFF));
    buffer_ = 0;
    used_ = 0;
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t buffer_ = 0;
  int used_ = 0;
};

std::vector<uint8_t> compress(std::span<const uint8_t> pixels) {
  CodeWriter writer;
  // Dictionary: (prefix code << 8 | next pixel) -> code.
  std::unordered_map<uint32_t, int> table;
  int codeSize = kMinimumCodeSize + 1;
  int nextCode = kEndCode + 1;
  writer.put(kClearCode, codeSize);
  int prefix = std::min<int>(pixels[0], kGreyGifLevels - 1);
  for (size_t i = 1; i < pixels.size(); ++i) {
    const int pixel = std::min<int>(pixels[i], kGreyGifLevels - 1);
    const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | static_cast<uint32_t>(pixel);
    if (const auto found = table.find(key); found != table.end()) {
      prefix = found->second;
      continue;
    }
    writer.put(prefix, codeSize);
    if (nextCode <= kMaxCode) {
      table.emplace(key, nextCode);
      // A reader adds its entry for this code one code later, so it widens its codes once
      // the entry just made is the first that needs the wider size.
      if (nextCode == (1 << codeSize) && codeSize < 12) ++codeSize;
      ++nextCode;
    }
    if (nextCode > kMaxCode) {
      // The table is full: start afresh rather than carry on with a fixed table.
      writer.put(kClearCode, codeSize);
      table.clear();
      codeSize = kMinimumCodeSize + 1;
      nextCode = kEndCode + 1;
    }
    prefix = pixel;
  }
  writer.put(prefix, codeSize);
  writer.put(kEndCode, codeSize);
  return writer.finish();
}

}  // namespace

std::vector<uint8_t> encodeGreyGif(int width, int height, std::span<const uint8_t> indices) {
  if (width < 1 || height < 1 || width > 65535 || height > 65535) return {};
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (indices.size() < count) return {};

  std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
  putLittle16(out, width);
  putLittle16(out, height);
  // Global colour table of 2^(3 + 1) entries, 4 bits of colour resolution.
  out.push_back(0x80 | 0x30 | 0x03);
  out.push_back(0);  // background colour
  out.push_back(0);  // square pixels
  for (int i = 0; i < kGreyGifLevels; ++i) out.insert(out.end(), 3, greyGifLevel(i));

  out.push_back(0x2C);  // image descriptor
  putLittle16(out, 0);
  putLittle16(out, 0);
  putLittle16(out, width);
  putLittle16(out, height);
  out.push_back(0);  // no local colour table, not interlaced

  out.push_back(kMinimumCodeSize);
  const std::vector<uint8_t> data = compress(indices.first(count));
  for (size_t at = 0; at < data.size(); at += 255) {
    const size_t block = std::min<size_t>(255, data.size() - at);
    out.push_back(static_cast<uint8_t>(block));
    out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(at),
               data.begin() + static_cast<ptrdiff_t>(at + block));
  }
  out.push_back(0);     // end of the image data
  out.push_back(0x3B);  // trailer
  return out;
}

}  // namespace orichalcumite
