#pragma once

#include <array>
#include <cstdint>

namespace orichalcumite {

// The 5 x 5 picture sampler places its taps at whole-pixel offsets -2..+2 from the nearest
// pixel and weights them by a tabled kernel; a position between two pixels is one of 512
// sub-positions per axis, so sampling needs no trigonometry.
inline constexpr int kSamplerSubPositions = 512;
inline constexpr int kSamplerTaps = 5;

// Integer weight rows sum to exactly these, so a flat area samples to exactly its value.
inline constexpr std::int32_t kSamplerOne8Bit = 2048;    // 8-bit layouts
inline constexpr std::int32_t kSamplerOne16Bit = 32768;  // 16-bit layouts

// Weight tables indexed [sub-position][tap], tap 0 being offset -2 and tap 4 offset +2.
// Sub-position i stands for a sampling point i / 512 of a pixel past the point half a pixel
// before the nearest pixel centre, so i = 256 samples that centre.
struct SamplerWeights {
  using FloatRow = std::array<float, kSamplerTaps>;
  using FixedRow = std::array<std::int32_t, kSamplerTaps>;
  std::array<FloatRow, kSamplerSubPositions> real;     // rows sum to 1 (float layouts)
  std::array<FixedRow, kSamplerSubPositions> fixed8;   // rows sum to 2048
  std::array<FixedRow, kSamplerSubPositions> fixed16;  // rows sum to 32768
};

// Builds the tables from the box-filtered Lanczos-2 kernel (about 50 000 sine evaluations).
SamplerWeights makeSamplerWeights();

// The tables every Picture shares, built on first use. Thread-safe; never changes after.
const SamplerWeights& samplerWeights();

}  // namespace orichalcumite
