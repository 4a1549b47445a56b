// The pixels as a filter sees them, and the way back to the file.
//
// A filter works in the host's sample units: 8-bit 0..255, 16-bit 0..32768 (not 65535) and
// 32-bit float with 1.0 as white. Files hold 16-bit samples as 0..65535, so 65536 file levels
// meet 32769 host levels; the way back therefore keeps the original file value of every sample
// the filter left as it was, and of every pixel outside the selection, so that nothing the
// filter did not touch changes in any depth.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "app/image.h"
#include "base/large_block.h"

namespace orichalcumite {

// 16-bit file value 0..65535 to host value 0..32768, rounded to nearest.
uint16_t hostFromFile16(uint16_t fileValue);
// Host value to 16-bit file value, rounded to nearest; host values above 32768 (which a filter
// may write) clamp to 65535.
uint16_t fileFromHost16(uint16_t hostValue);

// Interleaved planes of a whole document in host units, `planes` samples per pixel.
// Bytes of a whole plane set or mask: large blocks backed by huge pages that arrive
// zero-filled, so that making a plane set of a large image costs a few hundred page faults
// rather than tens of thousands.
using HostBytes = LargeBytes;

struct HostPlanes {
  int width = 0;
  int height = 0;
  int planes = 0;
  SampleType type = SampleType::uint8;
  HostBytes bytes;
  // Read-only planes that are another owner's bytes (an image whose samples already are host
  // units), which must outlive these planes; null when the planes are `bytes`.
  const uint8_t* lent = nullptr;

  size_t pixelBytes() const { return size_t(planes) * sampleSize(type); }
  size_t rowBytes() const { return size_t(width) * pixelBytes(); }
  const uint8_t* data() const { return lent ? lent : bytes.data(); }
  // Only planes of their own are written.
  uint8_t* pixel(int x, int y) {
    return bytes.data() + size_t(y) * rowBytes() + size_t(x) * pixelBytes();
  }
  const uint8_t* pixel(int x, int y) const {
    return data() + size_t(y) * rowBytes() + size_t(x) * pixelBytes();
  }
};

// The colour channels of `image` (never its alpha) in host units.
HostPlanes hostColourPlanes(const Image& image);
// The same planes, lent from `image` itself when its samples already are exactly those (8-bit
// or float without alpha): then they are read-only and valid while the image is unchanged.
HostPlanes lentColourPlanes(const Image& image);
// Planes of their own with the samples of `planes`.
HostPlanes ownedCopy(const HostPlanes& planes);

// One byte per pixel from the first channel of `image`: 8-bit as it is, 16-bit and float
// scaled to 0..255 and rounded (float clamped to 0..1 first). Used for selection masks.
HostBytes maskBytesFromImage(const Image& image);
// The alpha of `image` as 0..255 bytes, like maskBytesFromImage; empty without alpha.
HostBytes alphaBytes(const Image& image);
// Per pixel: 1 when the alpha is exactly 0 (fully transparent); empty without alpha.
HostBytes transparentPixels(const Image& image);
// round(a × b / 255) per pixel: a selection restricted to the visible part of a layer.
HostBytes multiplyMasks(std::span<const uint8_t> a, std::span<const uint8_t> b);

// Gives each fully transparent pixel the colour of the nearest pixels that are not: growing
// outwards one ring at a time, a pixel takes the mean of its already coloured 8-neighbours.
// Leaves everything as it is when no pixel is visible.
void defringe(HostPlanes& planes, std::span<const uint8_t> transparent);
// Sets every plane of each fully transparent pixel to `value` (host units).
void fillTransparent(HostPlanes& planes, std::span<const uint8_t> transparent, double value);

// How the filtered planes go back into the image.
struct ResultRule {
  // The host blends the filter's output with the original by the mask (the filter did not
  // take the masking upon itself).
  bool autoMask = true;
  // The filter may change pixels outside the selection (mask 0).
  bool writesOutsideSelection = false;
};

// Writes the filtered colour planes `result` back into `image` (which still holds the original
// file values). `mask` holds one byte per pixel, or is empty for "everything selected". A
// sample keeps its original file value when its pixel's mask is 0 (unless the rule allows
// writing outside the selection) or when its host value after blending equals the host value
// of the original. The alpha channel is never changed.
void applyResult(Image& image, const HostPlanes& result, std::span<const uint8_t> mask,
                 ResultRule rule);
// The same for image rows [firstRow, endRow) alone; calls for rows that do not overlap may run
// at once.
void applyResultRows(Image& image, const HostPlanes& result, std::span<const uint8_t> mask,
                     ResultRule rule, int firstRow, int endRow);

}  // namespace orichalcumite
