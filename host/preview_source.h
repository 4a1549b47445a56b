// The host's unprocessed source pixels as the preview shows them while a pan moves: samples of
// any image class turned into 8-bit display values in the planar preview buffer.
#pragma once

#include <cstdint>

#include "base/rect.h"
#include "host/host_image.h"

namespace orichalcumite {

// 8-bit display values of one sample. 16-bit samples run 0..32768 and become s × 255 / 32768
// truncated (32767 gives 254, 32768 gives 255; larger values, which no host should send, 255).
// Floats are clamped to 0..1 and multiplied by 255, truncated; NaN shows as 0.
constexpr uint8_t displayValue16(uint16_t sample) {
  const uint32_t s = sample > 32768 ? 32768u : sample;
  return static_cast<uint8_t>(s * 255u / 32768u);
}
constexpr uint8_t displayValueFloat(float sample) {
  if (!(sample > 0.0f)) return 0;  // also NaN
  if (sample >= 1.0f) return 255;
  return static_cast<uint8_t>(sample * 255.0f);
}

// The host's interleaved input buffer as advanceState delivered it: `rect` (the host's inRect)
// rows of `planes` samples a pixel, `rowBytes` apart.
struct SourceBuffer {
  const void* data = nullptr;
  int32_t rowBytes = 0;
  Rect32 rect;
  ImageClass imageClass = ImageClass::eightBit;
  int planes = 0;
  bool greyscale = false;
  // The sample of each pixel that holds the layer's transparency, or -1. When set, the
  // preview buffer has a coverage plane after its colour planes and it is copied there too.
  int transparencyPlane = -1;
};

// Writes the display values of `region` into `buffer`: one plane (grey) or three (red, green,
// blue) of width × height bytes, one after another, where width and height are the region's,
// then the coverage plane when the source has a transparency plane.
// Pixels of the region that the source does not cover, and everything without source data,
// stay as they were.
void copySourceToPreview(const SourceBuffer& source, const Rect32& region, uint8_t* buffer);

}  // namespace orichalcumite
