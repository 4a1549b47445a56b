#pragma once

#include <cmath>
#include <cstdint>
#include <random>

#include "pictures/picture.h"

namespace orichalcumite::testing {

// A pixel in storage units (0..255, 0..65535 or floats), read through the public API.
inline Rgba storedPixel(const Picture& picture, int x, int y, int level = 0) {
  const Rgba p = picture.readPicturePixel(x, y, level);
  const float m = picture.writeMultiplier();
  if (m == 1.0f) return p;
  return {std::round(p.red * m), std::round(p.green * m), std::round(p.blue * m),
          std::round(p.alpha * m)};
}

// Fills level 0 with seeded noise covering the layout's whole range.
inline void fillWithNoise(Picture& picture, std::uint32_t seed) {
  std::mt19937 random(seed);
  const int top = picture.writeMultiplier() == 255.0f ? 255 : 65535;
  std::uniform_int_distribution<int> channel(0, top);
  std::uniform_real_distribution<float> real(-0.5f, 2.0f);
  const bool isFloat =
      picture.kind() == PictureKind::greyFloat || picture.kind() == PictureKind::rgbaFloat;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      if (isFloat) {
        picture.writeFloat(x, y, 0, {real(random), real(random), real(random), real(random)});
      } else {
        picture.setPixel(x, y, 0, channel(random), channel(random), channel(random),
                         channel(random));
      }
    }
  }
}

}  // namespace orichalcumite::testing
