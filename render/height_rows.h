// Row kernels that roughen and emboss the height field, and the depth of the edgeless shape.
// Each works on `count` consecutive depths of one row.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/random_generator.h"

namespace orichalcumite {

// Grit: each depth becomes depth - grit x u / 256, with u = the next byte (next() & 255) of
// `random`, one per pixel, left to right. Does nothing (and draws nothing) for grit 0.
void applyGritRow(float* depths, int32_t count, int grit, RandomGenerator& random);

// The brightest source channel value embossing takes into account: a high-dynamic-range
// source brighter than this embosses as if it were this bright, which keeps the integer
// arithmetic below in range.
inline constexpr float kBrightestEmbossedChannel = 65535.0f;

// Embossing brightness of a source colour with channels 0..1: the whole part of
// (76 green + 38 red + 14 blue) x 128, so white gives 16384. Negative or NaN weighted sums
// count as 0.
inline int64_t embossBrightness(float red, float green, float blue) {
  const float weighted = 76.0f * green + 38.0f * red + 14.0f * blue;
  const float limited =
      weighted > 0.0f ? std::min(weighted, 128.0f * kBrightestEmbossedChannel) : 0.0f;
  return static_cast<int64_t>(limited * 128.0f);
}

// Embossing: each depth becomes depth - (L x embossing) >> 11 (an arithmetic shift), with L
// the embossBrightness of the source pixel. `rgba` holds `sourceCount` pixels of four floats;
// depths beyond them use the last source pixel. A null `rgba` or sourceCount below 1 leaves
// the row unchanged.
void embossRow(float* depths, int32_t count, const float* rgba, int32_t sourceCount, int embossing);

// Depth of the edgeless shape: -m x radiusPx x height / 50 for mask bytes m (null: 255).
void edgelessDepthRow(float* depths, const uint8_t* mask, int32_t count, int radiusPx, int height);

}  // namespace orichalcumite
