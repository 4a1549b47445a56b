#include "ui/environment_swatch.h"

#include <algorithm>
#include <cmath>

#include "pictures/environment_sampler.h"
#include "pictures/picture.h"
#include "pictures/picture_slots.h"
#include "render/shading_maths.h"

namespace orichalcumite {
namespace {

constexpr float kCentre = 32.5f;  // the middle of pixel 32, in pixel-edge coordinates
// The surface never quite turns side-on, so that the lookup's direction stays finite.
constexpr float kLeastFacing = 0.02f;
// The light: from the upper left and in front; a dull base so the unlit side still shows the
// picture, and a small highlight.
constexpr float kLightX = -0.45f, kLightY = -0.55f, kLightZ = 0.70f;
constexpr float kAmbient = 0.35f, kDiffuse = 0.75f, kHighlight = 0.35f, kHighlightPower = 24.0f;

struct SurfacePoint {
  float nx, ny, nz;
};

// The sphere's surface under (px, py), clamped onto its outline from outside.
SurfacePoint surfaceAt(float px, float py) {
  float nx = (px - kCentre) / kEnvironmentSphereRadius;
  float ny = (py - kCentre) / kEnvironmentSphereRadius;
  const float across = std::sqrt(nx * nx + ny * ny);
  const float limit = std::sqrt(1.0f - kLeastFacing * kLeastFacing);
  if (across > limit) {
    nx *= limit / across;
    ny *= limit / across;
  }
  return {nx, ny, std::sqrt(std::max(kLeastFacing * kLeastFacing, 1.0f - nx * nx - ny * ny))};
}

// Where the renderer's spherical lookup reads for a surface facing `n`: its direction in
// the image plane, as the pixel offset spherePoint takes (hundredths of the depth), turned by
// the spin.
EnvironmentPoint lookupPoint(const SurfacePoint& n, const EnvironmentRotation& spin) {
  return spunPoint(spherePoint(100.0f * n.nx / n.nz, 100.0f * n.ny / n.nz),
                   static_cast<float>(spin.cosTheta), static_cast<float>(spin.sinTheta));
}

uint8_t toByte(float v) {
  const float scaled = v > 0.0f ? std::min(v, 1.0f) * 255.0f + 0.5f : 0.0f;
  return static_cast<uint8_t>(scaled);
}

}  // namespace

std::vector<uint8_t> environmentSwatchPixels(const Picture* environment, int spin) {
  constexpr int kSide = kEnvironmentSwatchSide;
  std::vector<uint8_t> rgb(size_t{kSide} * kSide * 3, kEnvironmentSwatchBackground);
  if (environment == nullptr) return rgb;
  const EnvironmentSampler sampler(*environment);
  const EnvironmentRotation rotation = environmentRotation(spin);
  const float lightLength = std::sqrt(kLightX * kLightX + kLightY * kLightY + kLightZ * kLightZ);
  const float lx = kLightX / lightLength, ly = kLightY / lightLength, lz = kLightZ / lightLength;
  // The half-way vector between the light and the viewer (0, 0, 1), for the highlight.
  const float hLength = std::sqrt(lx * lx + ly * ly + (lz + 1) * (lz + 1));
  const float hx = lx / hLength, hy = ly / hLength, hz = (lz + 1) / hLength;
  const float background = kEnvironmentSwatchBackground / 255.0f;

  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
      const float distance = std::hypot(px - kCentre, py - kCentre);
      // The share of the pixel the sphere covers, over one pixel of its outline.
      const float cover = std::clamp(kEnvironmentSphereRadius - distance + 0.5f, 0.0f, 1.0f);
      if (cover <= 0.0f) continue;
      const SurfacePoint n = surfaceAt(px, py);
      // The pixel's footprint on the picture, from its corner and its neighbours' as the
      // renderer forms it, chooses the pyramid level.
      const EnvironmentFootprint f = sampler.footprint(
          lookupPoint(n, rotation), lookupPoint(surfaceAt(px + 1.0f, py), rotation),
          lookupPoint(surfaceAt(px, py + 1.0f), rotation));
      const EnvironmentPoint centre = lookupPoint(n, rotation);
      const Rgba seen = sampler.sampleAt(centre.u, centre.v, f.level, f.levelFraction);
      const float facing = std::max(0.0f, n.nx * lx + n.ny * ly + n.nz * lz);
      const float shade = kAmbient + kDiffuse * facing;
      const float highlight =
          kHighlight * std::pow(std::max(0.0f, n.nx * hx + n.ny * hy + n.nz * hz), kHighlightPower);
      uint8_t* out = rgb.data() + (static_cast<size_t>(y) * kSide + x) * 3;
      const float channels[3] = {seen.red, seen.green, seen.blue};
      for (int c = 0; c < 3; ++c) {
        const float lit = channels[c] * shade + highlight;
        out[c] = toByte(background + (lit - background) * cover);
      }
    }
  }
  return rgb;
}

}  // namespace orichalcumite
