#include "host/preview_source.h"

#include <algorithm>
#include <cstring>

namespace orichalcumite {
namespace {

template <typename Sample> uint8_t displayValue(const uint8_t* p) {
  Sample s;
  std::memcpy(&s, p, sizeof s);
  if constexpr (sizeof(Sample) == 1)
    return s;
  else if constexpr (sizeof(Sample) == 2)
    return displayValue16(s);
  else
    return displayValueFloat(s);
}

template <typename Sample>
void copyRows(const SourceBuffer& source, const Rect32& region, const Rect32& part,
              uint8_t* buffer) {
  const int colourPlanes = source.greyscale ? 1 : 3;
  const size_t width = static_cast<size_t>(region.width());
  const size_t planeSize = width * static_cast<size_t>(region.height());
  const size_t pixelBytes = static_cast<size_t>(source.planes) * sizeof(Sample);
  for (int32_t y = part.top; y < part.bottom; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(source.data) +
                         static_cast<ptrdiff_t>(y - source.rect.top) * source.rowBytes +
                         static_cast<ptrdiff_t>(part.left - source.rect.left) * pixelBytes;
    uint8_t* out = buffer + static_cast<size_t>(y - region.top) * width +
                   static_cast<size_t>(part.left - region.left);
    const int outPlanes = colourPlanes + (source.transparencyPlane >= 0 ? 1 : 0);
    for (int c = 0; c < outPlanes; ++c) {
      const int sample = c < colourPlanes ? c : source.transparencyPlane;
      const uint8_t* in = row + static_cast<size_t>(sample) * sizeof(Sample);
      uint8_t* plane = out + static_cast<size_t>(c) * planeSize;
      for (int32_t i = 0; i < part.width(); ++i, in += pixelBytes)
        plane[i] = displayValue<Sample>(in);
    }
  }
}

}  // namespace

void copySourceToPreview(const SourceBuffer& source, const Rect32& region, uint8_t* buffer) {
  if (!source.data || !buffer) return;
  // A colour image needs three samples a pixel; fewer would read the next pixel's.
  if (source.planes < (source.greyscale ? 1 : 3)) return;
  if (source.transparencyPlane >= source.planes) return;
  const Rect32 part{std::max(region.top, source.rect.top), std::max(region.left, source.rect.left),
                    std::min(region.bottom, source.rect.bottom),
                    std::min(region.right, source.rect.right)};
  if (part.top >= part.bottom || part.left >= part.right) return;
  switch (source.imageClass) {
    case ImageClass::eightBit: copyRows<uint8_t>(source, region, part, buffer); break;
    case ImageClass::sixteenBit: copyRows<uint16_t>(source, region, part, buffer); break;
    case ImageClass::highDynamicRange: copyRows<float>(source, region, part, buffer); break;
  }
}

}  // namespace orichalcumite
