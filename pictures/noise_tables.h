// The seeded noise tables: integer and float tables derived from one fixed 2048-entry base
// table and a seed, read by the texture generators and by the weathering layers. Also the two
// noise functions built on them: integer value noise and 2-D improved gradient noise.
//
// The tables are one plain record. The render driver builds a fresh record from the effect's
// random seed at every render start on its own thread; worker threads then only read it, so
// nothing here is shared or mutable between renders.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <span>

namespace orichalcumite {

inline constexpr int kNoiseTableSize = 2048;
inline constexpr int kNoiseTableMask = kNoiseTableSize - 1;
// The classic gradient tables hold 256 entries and their repeat, plus two more so that a
// lookup at index + 1 of the last entry stays inside.
inline constexpr int kGradientTableSize = 514;
inline constexpr int kImprovedPermutationSize = 512;
inline constexpr int kImprovedGradientCount = 16;

// BaseNoiseTable: 2048 fixed values in 0..2047 (1345 distinct; not a permutation).
std::span<const int16_t, kNoiseTableSize> baseNoiseTable();

// The 256-entry reference permutation of improved noise (starts 151, 160, 137, 91, 90, 15).
std::span<const uint8_t, 256> improvedNoiseReferencePermutation();

struct Gradient2 {
  float x = 0.0f;
  float y = 0.0f;
};

struct Gradient3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

using ByteNoiseTable = std::array<int32_t, kNoiseTableSize>;

struct NoiseTables {
  // Seeded tables (buildNoiseTables).
  ByteNoiseTable byteNoise{};                       // 0..255, shuffled by the seed
  std::array<int32_t, kNoiseTableSize> rawNoise{};  // BaseNoiseTable, 0..2047
  std::array<float, kNoiseTableSize> unitNoise{};   // byteNoise / 255, 0..1

  // Classic gradient noise (buildGradientTables): a permutation of 0..255 and 1-, 2- and
  // 3-D gradients, each followed by a copy of its entries 0..257.
  std::array<int32_t, kGradientTableSize> permutation{};
  std::array<float, kGradientTableSize> gradient1{};      // in -1..1, never 0
  std::array<Gradient2, kGradientTableSize> gradient2{};  // unit length
  std::array<Gradient3, kGradientTableSize> gradient3{};  // unit length

  // Improved noise (buildGradientTables): the reference permutation turned by the seed,
  // stored twice in a row, and the 16 gradient directions.
  std::array<int32_t, kImprovedPermutationSize> improvedPermutation{};
  std::array<Gradient2, kImprovedGradientCount> improvedGradients{};
};

// ByteNoise alone: the low 8 bits of BaseNoiseTable shuffled by `seed`. Only the low 11 bits
// of the seed matter; any value is accepted.
void buildByteNoise(ByteNoiseTable& byteNoise, int32_t seed);

// Fills byteNoise, rawNoise and unitNoise from `seed` (any value; only its low 11 bits
// matter). Leaves the gradient tables alone.
void buildNoiseTables(NoiseTables& tables, int32_t seed);

// Fills the classic gradient tables from tables.byteNoise (so call buildNoiseTables first),
// then the improved-noise permutation from `randomSeed` (only its low 8 bits matter) and the
// improved-noise gradients.
void buildGradientTables(NoiseTables& tables, int32_t randomSeed);

// Every table for one render: buildNoiseTables(randomSeed), then buildGradientTables.
NoiseTables makeNoiseTables(int32_t randomSeed);

// Five constants of the lichen-blotch noise, derived from the tables and the blotch size.
struct BlotchNoiseConstants {
  float c0 = 0.0f;  // octave ratio, 1.5..3.5
  float c1 = 0.0f;  // c0 x 2
  float c2 = 0.0f;  // octave weight, 0.3..1
  float c3 = 0.0f;  // c2 squared
  float c4 = 0.0f;  // base frequency per image pixel, 0.08 at size 0 down to 0.00125 at 100
};

// `blotchSize` is the 0..100 setting; other values extrapolate the same curve.
BlotchNoiseConstants derivedNoiseConstants(const NoiseTables& tables, int32_t blotchSize);

// One axis of valueNoise resolved for a coordinate: the table offsets of the two lattice
// lines around it and the weight 0..127 of the second one.
struct ValueNoiseAxis {
  int32_t first = 0;
  int32_t second = 0;
  int32_t weight = 0;
};

// x folded into 0..2047 (mirrored about 2048), lattice lines 29 table entries apart.
inline ValueNoiseAxis valueNoiseColumn(int32_t x, int32_t periodX) {
  int32_t fx = x & 4095;
  if (fx > 2047) fx = 4096 - fx;
  const int32_t mask = (periodX >> 7) - 1;
  return {((fx >> 7) & mask) * 29, (((fx >> 7) + 1) & mask) * 29, fx & 127};
}

// y folded into 0..2048, lattice lines 37 table entries apart.
inline ValueNoiseAxis valueNoiseRow(int32_t y, int32_t periodY) {
  int32_t fy = y & 4095;
  if (fy > 2048) fy = 4096 - fy;
  const int32_t mask = (periodY >> 7) - 1;
  return {((fy >> 7) & mask) * 37, (((fy >> 7) + 1) & mask) * 37, fy & 127};
}

// Blends the four table entries of a resolved column and row.
inline int32_t valueNoiseAt(const ByteNoiseTable& noise, const ValueNoiseAxis& column,
                            const ValueNoiseAxis& row) {
  const int32_t tx = column.weight;
  const int32_t ty = row.weight;
  const int32_t top = (noise[(column.first + row.first) & kNoiseTableMask] * (127 - tx) +
                       tx * noise[(column.second + row.first) & kNoiseTableMask]) >>
                      3;
  const int32_t bottom = (noise[(column.first + row.second) & kNoiseTableMask] * (127 - tx) +
                          tx * noise[(column.second + row.second) & kNoiseTableMask]) >>
                         3;
  return ((top * (127 - ty) + ty * bottom) >> 5) - 16256;
}

// Integer bilinear noise on byteNoise. x and y count in 1/128 of a lattice cell and may be
// any value: each is folded into 0..2048 (mirrored about 2048, so the pattern repeats every
// 4096 units). The lattice repeats every periodX / 128 cells across and periodY / 128 down
// (periods are powers of two, at least 128). The result is in -16256..-191 (the weights sum
// to 127, not 128) and changes by at most 128 between neighbouring x or y. Loops that keep
// one coordinate fixed resolve it once with valueNoiseColumn / valueNoiseRow and call
// valueNoiseAt.
inline int32_t valueNoise(const ByteNoiseTable& noise, int32_t x, int32_t y, int32_t periodX,
                          int32_t periodY) {
  return valueNoiseAt(noise, valueNoiseColumn(x, periodX), valueNoiseRow(y, periodY));
}

namespace detail {

// Fade curve 6t^5 - 15t^4 + 10t^3: flat at both ends, so cells join smoothly.
inline float improvedFade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

inline float improvedCorner(const Gradient2& g, float dx, float dy) { return dx * g.x + dy * g.y; }

}  // namespace detail

// 2-D improved gradient noise on tables.improvedPermutation and improvedGradients. Zero at
// whole-number points, continuous, repeats every 256 units on both axes, and stays within
// -1..1. Inputs beyond +-2^30 (where a float has no fractional part left) and NaN give 0.
inline float improvedNoise(const NoiseTables& tables, float x, float y) {
  constexpr float kLimit = 1073741824.0f;
  if (!(std::fabs(x) < kLimit) || !(std::fabs(y) < kLimit)) return 0.0f;
  const float floorX = std::floor(x);
  const float floorY = std::floor(y);
  const int32_t cellX = static_cast<int32_t>(floorX) & 255;
  const int32_t cellY = static_cast<int32_t>(floorY) & 255;
  const float fx = x - floorX;
  const float fy = y - floorY;
  const auto& p = tables.improvedPermutation;
  const auto& g = tables.improvedGradients;
  const int32_t h00 = p[p[p[cellX] + cellY]] & 15;
  const int32_t h01 = p[p[p[cellX] + cellY + 1]] & 15;
  const int32_t h10 = p[p[p[cellX + 1] + cellY]] & 15;
  const int32_t h11 = p[p[p[cellX + 1] + cellY + 1]] & 15;
  const float nAA = detail::improvedCorner(g[h00], fx, fy);
  const float nBA = detail::improvedCorner(g[h10], fx - 1.0f, fy);
  const float nAB = detail::improvedCorner(g[h01], fx, fy - 1.0f);
  const float nBB = detail::improvedCorner(g[h11], fx - 1.0f, fy - 1.0f);
  const float u = detail::improvedFade(fx);
  const float v = detail::improvedFade(fy);
  const float top = nAA + (nBA - nAA) * u;
  const float bottom = nAB + (nBB - nAB) * u;
  return top + (bottom - top) * v;
}

}  // namespace orichalcumite
