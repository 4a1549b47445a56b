// The host program's in-memory image: interleaved samples exactly as the file holds them
// (8-bit 0..255, 16-bit 0..65535, 32-bit float with 1.0 as white), one to four channels of
// which the last may be a straight (unassociated) alpha.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/large_block.h"

namespace orichalcumite {

enum class SampleType { uint8, uint16, float32 };

// Bytes per sample: 1, 2 or 4.
size_t sampleSize(SampleType type);
// "8-bit", "16-bit" or "32-bit float".
const char* sampleTypeName(SampleType type);

class Image {
 public:
  Image() = default;

  // An image of the given shape with every sample 0. Gives nothing when a dimension is not
  // positive, `channels` is outside 1..4, an alpha is asked for on a single channel, or the
  // pixel data would not fit in memory; `*error` then says why.
  static std::optional<Image> make(int width, int height, int channels, bool hasAlpha,
                                   SampleType type, std::string* error = nullptr);

  int width() const { return width_; }
  int height() const { return height_; }
  int channels() const { return channels_; }
  bool hasAlpha() const { return hasAlpha_; }
  // Channels before the alpha: 1 for grey, 3 for RGB.
  int colourChannels() const { return hasAlpha_ ? channels_ - 1 : channels_; }
  bool isGrey() const { return colourChannels() < 3; }
  SampleType type() const { return type_; }
  size_t pixelCount() const { return size_t(width_) * size_t(height_); }
  size_t rowBytes() const { return size_t(width_) * size_t(channels_) * sampleSize(type_); }

  uint8_t* data() { return bytes_.data(); }
  const uint8_t* data() const { return bytes_.data(); }
  size_t byteCount() const { return bytes_.size(); }

  // Sample c of pixel (x, y) converted to double, in file units. Coordinates must be inside.
  double sample(int x, int y, int c) const;
  // Stores a value in file units: integers are rounded to nearest and clamped to their range.
  void setSample(int x, int y, int c, double value);

  bool operator==(const Image& other) const = default;

 private:
  int width_ = 0;
  int height_ = 0;
  int channels_ = 0;
  bool hasAlpha_ = false;
  SampleType type_ = SampleType::uint8;
  // Large blocks: a fresh image's samples are zero without a fill pass, and huge pages keep
  // the faults of first touching them few.
  std::vector<uint8_t, LargeBlockAllocator<uint8_t>> bytes_;
};

// The brightness of each pixel as a one-channel image of the same size and depth: a grey image
// gives its grey, an RGB image 0.2126 R + 0.7152 G + 0.0722 B (the Rec. 709 weights), rounded
// to the nearest integer at integer depths. The alpha, if any, plays no part.
Image luminance(const Image& image);

}  // namespace orichalcumite
