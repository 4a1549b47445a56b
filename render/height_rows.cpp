#include "render/height_rows.h"

namespace orichalcumite {

void applyGritRow(float* depths, int32_t count, int grit, RandomGenerator& random) {
  if (grit == 0) return;
  const float perStep = static_cast<float>(grit) / 256.0f;
  for (int32_t x = 0; x < count; ++x)
    depths[x] -= perStep * static_cast<float>(random.next() & 255);
}

void embossRow(float* depths, int32_t count, const float* rgba, int32_t sourceCount,
               int embossing) {
  if (!rgba || sourceCount < 1 || embossing == 0) return;
  int64_t change = 0;
  for (int32_t x = 0; x < count; ++x) {
    // Past the source's right edge the last column's change repeats.
    if (x < sourceCount) {
      const float* p = rgba + 4 * static_cast<std::ptrdiff_t>(x);
      change = (embossBrightness(p[0], p[1], p[2]) * embossing) >> 11;
    }
    depths[x] -= static_cast<float>(change);
  }
}

void edgelessDepthRow(float* depths, const uint8_t* mask, int32_t count, int radiusPx, int height) {
  const int64_t perLevel = static_cast<int64_t>(radiusPx) * height;
  for (int32_t x = 0; x < count; ++x) {
    const int64_t m = mask ? mask[x] : 255;
    depths[x] = -static_cast<float>(m * perLevel) / 50.0f;
  }
}

}  // namespace orichalcumite
