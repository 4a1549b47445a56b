// The reflection lookup of the environment picture: the shader forms three picture points per
// pixel (from the surface around the pixel's corners); the area they span is the pixel's
// footprint on the environment, and a wider footprint is read from a smaller pyramid level,
// so that a strongly curved surface reflects a smoothly blurred environment instead of
// aliasing.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pictures/picture.h"
#include "pictures/rgba.h"

namespace orichalcumite {

// How much of the spread of the three points the filter covers. The 5 x 5 sampler already
// spans about three texels of the level it reads, so a footprint starts to need a smaller
// level only when its points lie more than about 1 / 0.3 texels apart.
inline constexpr float kEnvironmentFootprint = 0.3f;

// A point on the picture in normalised coordinates (0..1 across; the centre is (0.5, 0.5)).
struct EnvironmentPoint {
  float u = 0.5f;
  float v = 0.5f;
};

// Where one lookup reads: its centre, clamped to 0..1, and the pyramid level with the
// fraction of the way to the next smaller level.
struct EnvironmentFootprint {
  float u = 0.5f;
  float v = 0.5f;
  int level = 0;
  float levelFraction = 0.0f;
};

namespace detail {

// log2(x) for x >= 1 to about 0.01: the exponent plus a quadratic through the mantissa's
// ends. Continuous and increasing, which is all a level choice needs.
inline float approximateLog2(float x) {
  const auto bits = std::bit_cast<std::uint32_t>(x);
  const auto exponent = static_cast<float>(static_cast<int>(bits >> 23) - 127);
  const float m = std::bit_cast<float>((bits & 0x007fffffu) | 0x3f800000u);  // 1..2
  return exponent + (-1.0f / 3.0f * m + 2.0f) * m - 5.0f / 3.0f;
}

// A coordinate into 0..1; NaN becomes 0.
inline float unitClamped(float v) { return v > 0.0f ? std::min(v, 1.0f) : 0.0f; }

}  // namespace detail

// Reads an environment picture over footprints. Holds a pointer to the picture, which must
// outlive it and must not change while it is used. Every member is const and safe to call
// from any number of threads.
//
// The filter: the picture's own 5 x 5 reconstruction, evaluated once when the sampler is made
// on a grid of 1, 2, 4 or 8 points per pixel of each pyramid level up to kPreparedLevelSide
// (so that every level has at least kRefinedSide points a side, or 8 per pixel), and
// interpolated linearly between grid points per lookup; the two levels of a footprint are
// blended. A shading pixel so pays for four grid reads per level instead of 25 picture reads,
// and a strongly magnified environment still shows the 5 x 5 filter's smooth curve rather
// than the creases of plain linear interpolation between picture pixels. Larger levels are
// read through Picture::samplePoint.
class EnvironmentSampler {
 public:
  explicit EnvironmentSampler(const Picture& picture,
                              float footprintParameter = kEnvironmentFootprint);
  // The copies point into the sampler's own storage: moving keeps them, copying would not.
  EnvironmentSampler(const EnvironmentSampler&) = delete;
  EnvironmentSampler& operator=(const EnvironmentSampler&) = delete;
  EnvironmentSampler(EnvironmentSampler&&) noexcept = default;
  EnvironmentSampler& operator=(EnvironmentSampler&&) noexcept = default;

  const Picture& picture() const { return *picture_; }

  // The footprint of three points: centred on their mean; its size is the longest distance
  // between two of them in level-0 texels times the footprint parameter, and a size s above
  // 1 reads level log2(s) (whole part the level, the rest the fraction), no further than
  // the smallest level. Points outside 0..1 are allowed; the centre is clamped.
  EnvironmentFootprint footprint(const EnvironmentPoint& a, const EnvironmentPoint& b,
                                 const EnvironmentPoint& c) const {
    EnvironmentFootprint f;
    float lod = 0.0f;
    footprints(&a.u, &a.v, &b.u, &b.v, &c.u, &c.v, 1, &f.u, &f.v, &lod);
    f.level = static_cast<int>(lod);
    f.levelFraction = lod - static_cast<float>(f.level);
    return f;
  }

  // The footprints of n pixels at once, from their points' coordinates: centres into u and
  // v, and the level as a level of detail, whole part the level, the rest the fraction.
  void footprints(const float* au, const float* av, const float* bu, const float* bv,
                  const float* cu, const float* cv, int n, float* u, float* v,
                  float* levelOfDetail) const {
    const float tu = texelsU_, tv = texelsV_;
    const float top = static_cast<float>(topLevel_);
    for (int i = 0; i < n; ++i) {
      const float abU = (bu[i] - au[i]) * tu, abV = (bv[i] - av[i]) * tv;
      const float acU = (cu[i] - au[i]) * tu, acV = (cv[i] - av[i]) * tv;
      const float bcU = (cu[i] - bu[i]) * tu, bcV = (cv[i] - bv[i]) * tv;
      float spread = std::max(abU * abU + abV * abV, acU * acU + acV * acV);
      spread = std::max(spread, bcU * bcU + bcV * bcV);
      // Limited to 2^120 so that the logarithm's bit arithmetic stays finite; NaN counts as
      // no spread.
      const float lod = 0.5f * detail::approximateLog2(std::min(spread, 0x1p120f));
      levelOfDetail[i] = spread > 1.0f ? std::min(lod, top) : 0.0f;
      u[i] = detail::unitClamped((au[i] + bu[i] + cu[i]) * (1.0f / 3.0f));
      v[i] = detail::unitClamped((av[i] + bv[i] + cv[i]) * (1.0f / 3.0f));
    }
  }

  // Samples n footprints given as by footprints(): channels 0..1 into red, green and blue.
  void sampleFootprints(const float* u, const float* v, const float* levelOfDetail, int n,
                        float* red, float* green, float* blue) const;

  // The picture over a footprint, channels 0..1 (alpha included).
  Rgba sample(const EnvironmentFootprint& f) const {
    return sampleAt(f.u, f.v, f.level, f.levelFraction);
  }

  // The picture at (u, v) (clamped to 0..1) read at `level` blended towards the next smaller
  // level by `levelFraction`, channels 0..1. See the class comment for the filter.
  Rgba sampleAt(float u, float v, int level, float levelFraction) const;

  // Levels up to this many pixels a side are prepared (512 x 512 takes 4.3 MB).
  static constexpr int kPreparedLevelSide = 512;
  // Smaller levels are refined until a side has at least this many points (or 8 per pixel).
  static constexpr int kRefinedSide = 256;
  static constexpr int kMaxRefinement = 8;

  // Grid points per picture pixel along an axis of a prepared level `side` pixels long: the
  // smallest of 1, 2, 4, 8 that reaches kRefinedSide points, else 8.
  static int refinementOf(int side);

 private:
  struct alignas(16) Texel {
    float channel[4];  // red, green, blue, alpha, 0..1
  };
  struct PreparedLevel {
    const Texel* origin = nullptr;  // grid point (0, 0); null when the level is not prepared
    std::ptrdiff_t stride = 0;      // texels from one grid row to the next
    int factorX = 1;                // grid points per picture pixel
    int factorY = 1;
    float widthF = 0.0f;  // grid size
    float heightF = 0.0f;
  };

  void prepareLevel(int level, Texel* grid, std::vector<Texel>& work);
  Rgba sampleLevel(int level, float u, float v) const;
  static Rgba samplePrepared(const PreparedLevel& p, float u, float v);

  const Picture* picture_;
  float texelsU_;
  float texelsV_;
  int topLevel_;
  std::vector<Texel> grids_;
  PreparedLevel prepared_[kMaxPictureLevels];
};

}  // namespace orichalcumite
