// Distance to the mask edge, and its mapping to bevel closeness.
//
// Pixels start as seeds (partly covered pixels, whose coverage m / 255 serves as a sub-pixel
// distance, and everything outside the mask at 0) or as unknown. Four sweeps then carry an
// approximate Euclidean distance from the seeds into the unknown pixels; every pixel costs
// the same small amount of work whatever the bevel radius.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/rect.h"
#include "render/float_image.h"

namespace orichalcumite {

// The start value of a pixel that lies fully inside the mask: farther than any image.
inline constexpr float kUnknownDistance = 9000000.0f;

// Closeness runs 0 (at or beyond the bevel radius) to this value (at the mask edge).
inline constexpr float kMaxCloseness = 3000.0f;

// Seeds `count` pixels of one row from mask bytes 0..255: m / 255 for m < 255, else
// kUnknownDistance. A null mask means 255 everywhere.
void seedDistanceRow(float* row, const uint8_t* mask, int32_t count);

// One sweep update of a pixel whose value is f, given its four direct neighbours. Seeds
// (f below 1) never change. Otherwise a is the nearer horizontal neighbour and b the nearer
// vertical one: when they differ by 1 or more the front arrives straight from the nearer,
// else it arrives diagonally and c solves (c - a)^2 + (c - b)^2 = 1. The pixel keeps the
// smaller of f and c. The square root is taken only on the diagonal branch; both branches
// come in long runs across a mask, so they predict well.
inline float sweptDistance(float f, float left, float right, float up, float down) {
  if (!(f >= 1.0f)) return f;
  const float a = std::min(left, right);
  const float b = std::min(up, down);
  const float diff = a - b;
  if (std::fabs(diff) >= 1.0f) return std::min(f, std::min(a, b) + 1.0f);
  return std::min(f, (a + b + std::sqrt(2.0f - diff * diff)) * 0.5f);
}

// Runs the four sweeps over `area`, in this order: x and y ascending; x descending, y
// ascending; both descending; x ascending, y descending. Each update reads only the four
// direct neighbours, so any order that is ascending (or descending) in both x and y gives
// bit-identical results; the sweeps walk rows for the cache and advance several rows
// together, staggered by one pixel, so that consecutive updates do not wait for each other.
// The one-pixel ring around `area` is read but not written: `area` must lie at least one
// pixel inside the image.
void sweepDistances(FloatImage& field, const Rect32& area);

// Maps each distance d of `area` to closeness 3000 - d x 3000 / (radiusPx + 1), limited to
// 0..3000.
void closenessFromDistance(FloatImage& field, const Rect32& area, int radiusPx);

}  // namespace orichalcumite
