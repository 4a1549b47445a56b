// The procedural texture generators: the texture choice table, the brightness profiles and
// the row generators (flat, random walk, dark and light cells, octave noise, banded noise)
// that fill a 256 x 256 grid of grey texels. texture_tile.h turns that grid into the
// texture picture.
//
// All of this runs on the thread that builds the tile, never during a render. Generators
// that draw random numbers take the run's generator; tiles therefore differ from one build
// to the next unless the generator is seeded the same way.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "pictures/noise_tables.h"

namespace orichalcumite {

class RandomGenerator;

inline constexpr int kTextureTileSide = 256;
// The walk generator folds its last 16 rows into its first ones and keeps 240 rows.
inline constexpr int kWalkTileHeight = 240;
inline constexpr int kWalkSeamRows = 17;

// Texture choices (1..13) this part treats by number.
inline constexpr int kTextureChoiceNone = 1;
inline constexpr int kTextureChoicePlateaux = 6;
inline constexpr int kTextureChoiceWideNoise = 10;
inline constexpr int kTextureChoiceTallNoise = 11;
inline constexpr int kTextureChoiceFile = 13;
// Built when no tile exists yet (the first filter run).
inline constexpr int kDefaultTextureChoice = kTextureChoicePlateaux;

enum class TextureGenerator : int {
  flat = 0,
  walk = 1,
  darkCells = 6,
  lightCells = 7,
  octaveNoise = 9,
  bandedNoise = 10,
  picture = 13,  // the loaded texture file is the tile
};

// What a texture choice generates and with which parameters.
struct TextureRecipe {
  TextureGenerator generator = TextureGenerator::flat;
  int detail = 5;       // 1..5
  int coarseness = 1;   // 1..3
  int bandOffset = 0;   // 0 or 40
  int profileKind = 1;  // 1, 2, 3, 5 or 55: see textureProfile
  float amplitude = 0.25f;
  // Octave noise and banded noise sample every octave at twice the rate on an axis whose
  // shift is 1; "wide noise" and "tall noise" use 0 on one axis.
  int octaveShiftX = 1;
  int octaveShiftY = 1;
};

// The recipe of a texture choice 1..13. Any other number is treated as 1 ("none").
TextureRecipe textureRecipe(int textureChoice);

// 256 brightness values that map a generator's phase to a texel. Each value is truncated
// toward zero.
using TextureProfile = std::array<int16_t, 256>;

// Profile kinds: 1 sawtooth with a quick return, 2 triangle, 3 half sine, 5 a half-sine bump
// in the middle half, 55 a bubble rim; `amplitude` scales and may be negative. Any other
// kind gives all zeros.
TextureProfile textureProfile(int profileKind, float amplitude);

// The byte an 8-bit picture stores for generator value v: v / 255 as a float, times 255 in
// single precision, truncated, low 8 bits (values outside 0..255 wrap).
uint8_t storedTexelByte(int32_t v);

using TexelRow = std::span<int32_t, kTextureTileSide>;

// ---- Random walk ("claws", "wiggles", "arabesque", "squiggles"): every column carries a
// value that drifts towards its left neighbour by a random share each row, stepping by
// walkStep and wrapping at +-1024; the profile turns it into brightness.
struct WalkGenerator {
  TextureProfile profile{};
  int32_t walkStep = 64;                          // 64, 32, 16 for coarseness 1, 2, 3
  int32_t walkGain = 1;                           // 6 - detail
  std::array<int32_t, kTextureTileSide> state{};  // per column, read as signed 16-bit
  int32_t previous = 0;  // carried from each texel to the next, across rows too
};

// Draws 2 x max(regionWidth, 256) random numbers (regionWidth is the image region's width
// in pixels, held to 2^20), so the stream a later generator sees matches a render of that
// width; the state of columns 0..255 comes from the second half.
WalkGenerator prepareWalk(const TextureRecipe& recipe, const TextureProfile& profile,
                          RandomGenerator& rng, int regionWidth);
// Next row of the walk; draws one random number per texel.
void walkRow(WalkGenerator& walk, RandomGenerator& rng, TexelRow texels);

// Blends rows 0..16 of a walk grid (256 bytes per row, at least 256 rows) towards rows
// 239..255: row i becomes row(i + 239) + (row i - row(i + 239)) x i / 16, truncated. Rows
// 0..239 then repeat without a seam.
void blendWalkSeam(std::span<uint8_t> grid);

// ---- Cells ("bubbles", "anti-bubbles"): one jittered point per 32 x 32 cell; each texel
// takes the profile at the root of its squared distance to the nearest point. The pattern
// repeats every 16 cells, which is the tile for the shift of the listed choices.
struct CellGenerator {
  TextureProfile profile{};
  bool light = false;                  // light cells (bubbles) or dark cells (anti-bubbles)
  int32_t cellShift = 1;               // 2, 1, 0 for coarseness 1, 2, 3
  std::array<int16_t, 1024> jitter{};  // point offsets 0..27
  std::array<int16_t, 2148> root{};    // int(sqrt(k) x 3 x cellDepth), cellDepth = 8 - detail
};

// Draws 1024 random numbers.
CellGenerator prepareCells(const TextureRecipe& recipe, const TextureProfile& profile,
                           RandomGenerator& rng);
// Row y (only its low 8 bits matter). Texels are in 0..255.
void cellRow(const CellGenerator& cells, int32_t y, TexelRow texels);

// ---- Octave noise ("noise", "wide noise", "tall noise") and banded noise ("plateaux",
// "fractal"): five octaves of value noise on a byte table of their own, either shaped by the
// profile or used to bend diagonal bands.
inline constexpr int kTextureOctaves = 5;

struct NoiseGenerator {
  TextureProfile profile{};
  ByteNoiseTable byteNoise{};  // seeded from the run's generator, not the effect's seed
  // Every octave's value-noise columns, resolved once for the tile's 256 columns.
  std::array<std::array<ValueNoiseAxis, kTextureTileSide>, kTextureOctaves> columns{};
  bool banded = false;
  int32_t profileKind = 3;
  int32_t octaveShiftX = 1;
  int32_t octaveShiftY = 1;
  int32_t noiseFloor = -127;  // octave noise: bandOffset x 512 / 100 - 127
  int32_t bandShift = 0;      // banded: bandOffset x 64 / 100
  int32_t bandStep = 2;       // banded: 8, 4, 2 for coarseness 1, 2, 3, times 6 - detail
};

// Draws one random number (the table seed, 0..255).
NoiseGenerator prepareNoise(const TextureRecipe& recipe, const TextureProfile& profile,
                            RandomGenerator& rng);
// Row y of the tile.
void noiseRow(const NoiseGenerator& noise, int32_t y, TexelRow texels);

// ---- The whole grid.

// A generated tile as the bytes an 8-bit grey picture stores, rows top to bottom.
struct TextureTexels {
  int width = 0;
  int height = 0;              // 256, or 240 for the walk generator; 0 for "texture file"
  std::vector<uint8_t> bytes;  // width x height
};

// Runs the generator of `textureChoice` over the whole tile (the walk after eight warm-up
// rows, and with its seam blended). "texture file" generates nothing (height 0).
TextureTexels generateTextureTexels(int textureChoice, RandomGenerator& rng,
                                    int regionWidth = kTextureTileSide);

}  // namespace orichalcumite
