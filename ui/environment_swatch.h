// The environment swatch (38): the environment picture wrapped round a lit sphere the way the
// renderer's spherical reflection wraps it, turned by the effect's environment spin.
#pragma once

#include <cstdint>
#include <vector>

namespace orichalcumite {

class Picture;

constexpr int kEnvironmentSwatchSide = 64;
// The sphere's radius in pixels; its centre is the middle of pixel (32, 32).
constexpr float kEnvironmentSphereRadius = 29.0f;
// What shows round the sphere: the face colour of the dialog's swatches.
constexpr uint8_t kEnvironmentSwatchBackground = 222;

// The swatch's pixels: 64 × 64 RGB bytes, rows top to bottom. A point of the sphere whose
// surface faces direction n reads the environment where the renderer's spherical lookup reads
// for that direction (the centre, facing the viewer, reads the picture's centre), turned by
// `spin` quarter turns, and is lit from the upper left. Outside the sphere, and throughout
// when there is no picture, the background. The picture is read through its pyramid, so its
// levels must have been built (or it has none).
std::vector<uint8_t> environmentSwatchPixels(const Picture* environment, int spin);

}  // namespace orichalcumite
