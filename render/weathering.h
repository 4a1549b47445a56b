// The weathering layers laid over the lit colour by the final pass, in this order: tarnish in
// hollows, water stains, abrasion on ridges, lichen blotches, moss and dust. Here are the
// per-pixel mathematics as plain inline functions, the water that runs down the surface from
// row to row, and the row stages that the layers read (blotch values, the moss's smoothed
// height). render/weathering_layers.h strings them together for the band kernels.
//
// Units: colours in 0..255 units; weights and levels in 256ths; heights in depth units
// (larger is deeper). Region coordinates: (0, 0) is the render region's top-left pixel.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "render/weathering_plan.h"

namespace orichalcumite {

struct HeightView;
class RandomGenerator;

// ---------------------------------------------------------------------------------------------
// Per-pixel mathematics.

// A light's diffuse level as a layer colour takes it: never below 0, and above 256 compressed
// by squeeze (f / 256: 150 / 256 for tarnish and abrasion, 85 / 256 for stains and dust,
// 50 / 256 for the lichen and moss bumps).
inline float layerLevel(float level, float squeeze) {
  level = level > 0.0f ? level : 0.0f;
  return level > 256.0f ? (level - 256.0f) * squeeze + 256.0f : level;
}

inline constexpr float kTarnishSqueeze = 150.0f / 256.0f;
inline constexpr float kStainSqueeze = 85.0f / 256.0f;
inline constexpr float kBumpSqueeze = 50.0f / 256.0f;

// mix(c, x, w) = (x w + (256 - w) c) / 256: w = 0 keeps c, 256 gives x.
inline float mixToward(float c, float x, float w) { return c + (x - c) * w * (1.0f / 256.0f); }

// The jitter table's entry for a position. Any coordinates; the arithmetic wraps.
inline int32_t jitterAt(const JitterTable& table, int32_t x, int32_t y) {
  const auto ux = static_cast<uint32_t>(x);
  const uint32_t i = 17u * static_cast<uint32_t>(y) + (10u - (ux ^ 44u)) * ux;
  return table[i & (kJitterEntries - 1)];
}

// The four jitter values of the moss bump at (x, y), for the heights at (x, y), (x + 1, y),
// (x, y + 1) and (x + 1, y + 1).
struct MossJitter {
  float j00 = 0.0f, j10 = 0.0f, j01 = 0.0f, j11 = 0.0f;
};

inline MossJitter mossJitter(const JitterTable& table, int32_t x, int32_t y) {
  const auto ux = static_cast<uint32_t>(x);
  const auto uy = static_cast<uint32_t>(y);
  const uint32_t x1 = (10u - (ux ^ 44u)) * ux;
  const uint32_t x2 = 0u - ((ux + 1u) ^ 44u) * ux;
  constexpr uint32_t kMask = kJitterEntries - 1;
  return {static_cast<float>(table[(17u * uy + x1) & kMask]),
          static_cast<float>(table[(x2 + 17u * uy + 12u) & kMask]),
          static_cast<float>(table[(uy + x1 + 17u) & kMask]),
          static_cast<float>(table[(x2 + uy + 29u) & kMask])};
}

// The level of a bump of lichen or moss from a light's diffuse response to the bumped
// heights: response + 256, never below 0, compressed above 256.
inline float bumpLevel(float response) { return layerLevel(response + 256.0f, kBumpSqueeze); }

// Coverage of a blotch of value b (>= 1): 4b, full from 4b = 253 on.
inline float blotchCoverage(float b) { return 4.0f * b < 253.0f ? 4.0f * b : 256.0f; }

// Coverage of moss of density n (> 0): 8n, at most 256.
inline float mossCoverage(float n) { return std::min(8.0f * n, 256.0f); }

// The lichen ramp index from the first three octaves: min(63, whole part of
// 1260 (|w| + 0.2)(|t| + 0.1)(|d| + 0.3)).
inline int lichenIndex(float t, float w, float d) {
  const float v = 1260.0f * (std::fabs(w) + 0.2f) * (std::fabs(t) + 0.1f) * (std::fabs(d) + 0.3f);
  return v < 63.0f ? static_cast<int>(v) : 63;
}

// The blotch value from the four octaves (t = n0, w = c2 n1, d = c3 n2 and g = n3) and half
// the jitter at the pixel (whole). 0 outside a blotch; a pixel with a value below 1 has none.
inline float blotchValue(const WeatheringPlan& p, float t, float w, float d, float g,
                         float halfJitter) {
  const float value = g * p.octaveWeight4 + t + p.blotchBase + w + d;
  // Whole part of (value - threshold) x 600; below 0 there is no blotch. The noise sum lies
  // within 0..2 I, so the product stays small.
  const float j = (value - p.blotchThreshold) * 600.0f;
  const auto whole = static_cast<float>(static_cast<int32_t>(j > -1.0f ? j : -1.0f));
  const auto b =
      static_cast<float>(static_cast<int32_t>(halfJitter * p.inverseScale + whole * p.blotchGain));
  return whole >= 0.0f ? b : 0.0f;
}

// Water that lichen of blotch value b (>= 1) soaks up from its column; `leak` is the preview
// scale x leakiness.
inline int32_t lichenWaterLoss(int64_t leak, float b) {
  return static_cast<int32_t>(leak * static_cast<int64_t>(b) / 2048);
}

// Water that moss of coverage w lets seep out below it on region row y; `leak` is leakiness x
// the preview scale. Every eighth row seeps a little more than the one above it.
inline int32_t mossWaterGain(float leak, float w, int32_t y) {
  const auto rowSeep = static_cast<float>((y & 7) << 8);
  return static_cast<int32_t>((leak * w + rowSeep) * (1.0f / 2048.0f));
}

// How much the surface rises down the image at column i of a row, times the dust gain: the
// heights of the row and of the row below it, columns i and i + 1.
inline float dustRise(const float* row, const float* below, int32_t i, float gain) {
  return (row[i + 1] + row[i] - below[i] - below[i + 1]) * gain;
}

// Dust cover (0..256) of a pixel of surface slope `slope` and rise e. Each covered pixel (a
// cover above 0) draws one dust colour from the render's generator.
inline float dustCover(float slope, float e) {
  const float k = slope * e * (1.0f / 32.0f);
  const float limited = k < 256.0f ? k : 256.0f;
  return e > 0.0f ? limited : 0.0f;
}

// Scratch of improvedNoiseRow for rows of up to `width` pixels.
struct NoiseRowScratch {
  std::array<float, 2 * 257> cells{};  // per lattice column: the corner blend's slope and base
  std::vector<int32_t> cell;           // per pixel: its lattice column
  std::vector<float> fraction;         // per pixel: its place across that column, 0..1
  // Per pixel: its column's values and its right-hand neighbour's (narrow cells only).
  std::vector<float> alphaLeft, betaLeft, alphaRight, betaRight;
};

// 2-D improved noise along a row: out[i] = improvedNoise(tables, f u_i, f v) for
// u_i = uStart + i uStep (whole image coordinates), i < count (at most the scratch's width).
// Equal to improvedNoise up to float rounding, for coordinates within +-2^30.
void improvedNoiseRow(const NoiseTables& tables, float frequency, int32_t uStart, int32_t uStep,
                      int32_t v, int32_t count, NoiseRowScratch& scratch, float* out);

// ---------------------------------------------------------------------------------------------
// Per-render state.

// The water that runs down the surface, one amount per region column, and the rows the
// layers share between neighbouring rows. Made once per render for the region's width; the
// final pass shades one band at a time, so the one scratch serves the whole render and carries
// the water from band to band.
struct WeatheringScratch {
  // Water per column (whole units), at index column + 1; entries 0 and width + 1 are the
  // neighbours across the image's ends (the water wraps round).
  std::vector<int32_t> water;
  std::vector<int32_t> moved;  // the same layout: the amounts after a flow step
  // A flow step's parts per column (index = column): what stays, what goes left and right,
  // and the two random wanders.
  std::vector<int32_t> keep, toLeft, toRight;
  std::vector<float> wanderStand, wanderAdded;

  // Lichen: blotch values of the previous and the current row (columns 0..width), the
  // current row's ramp index, the four octaves and the noise cell table.
  std::vector<float> blotchAbove, blotchHere;
  std::vector<uint8_t> lichenIndex;
  std::array<std::vector<float>, kBlotchOctaves> octaves;
  NoiseRowScratch noise;
  std::vector<float> blotchJitter;  // per column: the jitter's half, whole
  int32_t blotchRow = -1;           // the row blotchHere holds; -1 none

  // Moss: five rows of height plus jitter (columns -2..width + 3, at index column + 2), kept
  // as a ring; their three weighted column sums; the smoothed height P of the previous and
  // the current row (columns 0..width + 1); the rise N of the previous and the current row
  // (columns 0..width).
  std::array<std::vector<float>, 5> mossRing;
  int mossRingNext = 0;  // the ring row the next row goes into
  std::array<std::vector<float>, 3> mossSums;
  std::vector<float> smoothAbove, smoothHere;
  std::vector<float> riseAbove, riseHere;
  int32_t mossRow = -1;  // the row riseHere holds; -1 none

  int32_t width = 0;

  // Sizes the buffers for a region `regionWidth` wide; false when memory runs out.
  bool prepare(int32_t regionWidth);
};

// ---------------------------------------------------------------------------------------------
// Row stages.

// Water can pile up under moss row after row; it is held below this so that the flow's
// products stay inside 32 bits on any image. Far above what any stain shows (400).
inline constexpr int32_t kMaxWater = 1 << 20;

// Rain at the top of the image: each column's water = rain x 9 + a fresh random bit.
void startRain(const WeatheringPlan& plan, RandomGenerator& random, WeatheringScratch& scratch);

// The water flows before region row y is shaded, once per preview scale step: each column i
// moves part of its water to the neighbour that the row's slope
// o = (3 H(i + 2) + 9 H(i) - 3 H(i - 1) - 9 H(i + 1)) / scale points to (a fresh random
// wander replaces a slope of at most 9, and a second is added; both are drawn for every
// column), then two smoothing passes spread it by the diffusion. `row` is the height-field
// row y, readable from column -1 to width + 1.
void flowWater(const WeatheringPlan& plan, const float* row, RandomGenerator& random,
               WeatheringScratch& scratch);

// Makes blotchHere hold region row y and blotchAbove row y - 1 (carried from the previous
// call when that was row y - 1), with the lichen index of row y.
void advanceBlotchRows(const WeatheringPlan& plan, int32_t y, WeatheringScratch& scratch);

// Makes riseHere hold the moss rise N of region row y and riseAbove that of row y - 1
// (carried when the previous call was row y - 1). Reads the field 4 pixels round the region.
void advanceMossRows(const WeatheringPlan& plan, const HeightView& heights, int32_t y,
                     WeatheringScratch& scratch);

}  // namespace orichalcumite
