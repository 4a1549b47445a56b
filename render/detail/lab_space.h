// LabSpace: a perceptual lightness / red-green / yellow-blue space looked up in two
// 16 × 16 × 16 tables with tetrahedral interpolation, for the glue modes that mix colours
// by lightness and opponent colour. Fixed-point in, fixed-point out (32768 = 1.0 on every
// axis; the opponent axes are neutral at 128/255).
#pragma once

#include <cstdint>
#include <utility>

#include "render/detail/glue_fixed.h"

namespace orichalcumite::detail {

// Grid points of three bytes, first axis fastest (3 bytes apart), then the second (48), then
// the third (768). Grid index k stands for the byte value 17 k on each axis.
extern const uint8_t* const kLabForward;  // red, green, blue → lightness, red-green, yellow-blue
extern const uint8_t* const kLabInverse;  // lightness, red-green, yellow-blue → red, green, blue

// Interpolates `table` at a fixed-point point. Each coordinate is limited to 0..ONE; ONE
// falls on the last grid point, whose upper neighbour then has weight 0 (and is never read).
inline Fixed3 labLookup(const uint8_t* table, int64_t c0, int64_t c1, int64_t c2) {
  // A cell spans ONE / 15 fixed-point units: c × 15 holds the cell index above bit 15 and
  // the position inside the cell below it.
  const int64_t t[3] = {clampOne(c0) * 15, clampOne(c1) * 15, clampOne(c2) * 15};
  int32_t index[3], step[3];
  int64_t frac[3];
  constexpr int32_t stride[3] = {3, 48, 768};
  for (int a = 0; a < 3; ++a) {
    index[a] = int32_t(t[a] >> 15);  // 0..15
    frac[a] = t[a] & 32767;          // 0 at index 15, which only ONE reaches
    step[a] = index[a] < 15 ? stride[a] : 0;
  }
  // Tetrahedral interpolation: walk from the cell's low corner to its high corner along the
  // axes in order of decreasing fraction; the weights are the differences of the sorted
  // fractions and add up to ONE.
  int order[3] = {0, 1, 2};
  if (frac[order[0]] < frac[order[1]]) std::swap(order[0], order[1]);
  if (frac[order[1]] < frac[order[2]]) std::swap(order[1], order[2]);
  if (frac[order[0]] < frac[order[1]]) std::swap(order[0], order[1]);
  const int64_t weight[4] = {kOne - frac[order[0]], frac[order[0]] - frac[order[1]],
                             frac[order[1]] - frac[order[2]], frac[order[2]]};
  const uint8_t* corner =
      table + index[0] * stride[0] + index[1] * stride[1] + index[2] * stride[2];
  int64_t sum[3] = {weight[0] * corner[0], weight[0] * corner[1], weight[0] * corner[2]};
  for (int k = 1; k < 4; ++k) {
    corner += step[order[k - 1]];
    for (int c = 0; c < 3; ++c) sum[c] += weight[k] * corner[c];
  }
  // The sums are byte values × ONE; byte 255 is ONE.
  return {sum[0] / 255, sum[1] / 255, sum[2] / 255};
}

inline Fixed3 labOf(const Fixed3& rgb) {
  return labLookup(kLabForward, rgb.red, rgb.green, rgb.blue);
}
inline Fixed3 rgbOfLab(const Fixed3& lab) {
  return labLookup(kLabInverse, lab.red, lab.green, lab.blue);
}

}  // namespace orichalcumite::detail
