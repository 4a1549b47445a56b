#include "pictures/texture_generators.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "base/random_generator.h"

namespace orichalcumite {
namespace {

// Degrees to radians as the profiles have always divided (not 180 / pi to full precision).
constexpr double kDegreesPerRadian = 57.295779524;

// Value of every texel of the flat texture ("none").
constexpr int32_t kFlatTexel = 192;

// The walk lifts its profile values (about -64..64) into the middle of the byte range.
constexpr int32_t kWalkLift = 128;

// Region widths are held to this when the walk draws for its columns: a bound on the work
// far above any real region. Only the tile's 256 columns keep their values.
constexpr int kMaxWalkRegionWidth = 1 << 20;

// Walk rows run once before the tile's rows, so that the first rows already look settled.
constexpr int kWalkWarmUpRows = 8;

// Cells: 32 units a side, points jittered by up to 27 units, candidates looked up from half a
// cell up and left of the texel.
constexpr int32_t kCellSide = 32;
constexpr int32_t kCellLookBack = 16;
constexpr int32_t kLightCellNearestLimit = 10000;
constexpr int32_t kDarkCellNearestLimit = 1023;
constexpr int32_t kLightCellOffset = -160;
constexpr int32_t kDarkCellOffset = 208;

struct Octave {
  int32_t shift;
  int32_t offset;  // texels, so that octaves do not share their lattice points
  int32_t weight;
};
constexpr Octave kOctaves[kTextureOctaves] = {
    {2, 1, 10}, {3, 0, 7}, {4, 4, 5}, {5, 3, 3}, {6, 2, 1}};
// Weights sum to 26: the octave sum shifted down by 12 lies in about -104..-2.
constexpr int kOctaveSumShift = 12;

int coarsenessIndex(int coarseness) { return std::clamp(coarseness, 1, 3) - 1; }
int32_t walkGainOf(int detail) { return 6 - std::clamp(detail, 1, 5); }

int16_t truncatedProfileValue(double v) { return static_cast<int16_t>(static_cast<int32_t>(v)); }
// Single-precision products: widening to double is exact.
int16_t truncatedProfileValue(float v) { return truncatedProfileValue(static_cast<double>(v)); }

}  // namespace

TextureRecipe textureRecipe(int textureChoice) {
  using G = TextureGenerator;
  switch (textureChoice) {
    case 2: return {G::walk, 5, 1, 0, 1, -0.25f};               // claws
    case 3: return {G::walk, 5, 1, 0, 3, 0.25f};                // wiggles
    case 4: return {G::walk, 5, 1, 0, 5, 0.25f};                // arabesque
    case 5: return {G::walk, 5, 1, 0, 2, 0.25f};                // squiggles
    case 6: return {G::bandedNoise, 4, 3, 40, 3, 0.5f};         // plateaux
    case 7: return {G::lightCells, 5, 2, 0, 55, -0.25f};        // bubbles
    case 8: return {G::darkCells, 5, 2, 0, 3, -0.5f};           // anti-bubbles
    case 9: return {G::octaveNoise, 5, 3, 0, 3, 0.25f};         // noise
    case 10: return {G::octaveNoise, 5, 3, 0, 3, 0.25f, 0, 1};  // wide noise
    case 11: return {G::octaveNoise, 5, 3, 0, 3, 0.25f, 1, 0};  // tall noise
    case 12: return {G::bandedNoise, 5, 3, 40, 2, 0.5f};        // fractal
    case 13: return {G::picture, 5, 1, 0, 1, 0.25f};            // texture file
    default: return {G::flat, 5, 1, 0, 1, 0.25f};               // none
  }
}

TextureProfile textureProfile(int profileKind, float amplitude) {
  TextureProfile p{};
  const float a = amplitude;
  switch (profileKind) {
    case 1:
      for (int k = 0; k < 240; ++k) p[k] = truncatedProfileValue(static_cast<float>(k) * a);
      for (int t = 0; t < 16; ++t)
        p[240 + t] = truncatedProfileValue(static_cast<float>(248 - 16 * t) * a);
      break;
    case 2:
      for (int k = 0; k < 128; ++k) p[k] = truncatedProfileValue(2.0f * a * static_cast<float>(k));
      for (int t = 0; t < 128; ++t)
        p[128 + t] = truncatedProfileValue(static_cast<float>(255 - 2 * t) * a);
      break;
    case 3: {
      const auto height = static_cast<double>(255.0f * a);  // single-precision product
      for (int k = 0; k < 256; ++k) {
        const int degrees = (180 * k) / 255;  // whole degrees
        p[k] = truncatedProfileValue(std::sin(degrees / kDegreesPerRadian) * height);
      }
      break;
    }
    case 5: {
      const auto height = static_cast<double>(255.0f * a);  // single-precision product
      for (int k = 0; k < 128; ++k) {
        const int degrees = (180 * k) / 127;
        p[64 + k] = truncatedProfileValue(std::sin(degrees / kDegreesPerRadian) * height);
      }
      break;
    }
    case 55: {
      const auto height = static_cast<double>(3.0f * 255.0f * a);  // single-precision product
      for (int k = 0; k < 256; ++k) {
        const int degrees = (90 * k) / 255;
        // The 90 is added in radians, after the conversion: it sets where on the sine the
        // rim starts.
        p[k] = truncatedProfileValue(255.0 - std::sin(degrees / kDegreesPerRadian + 90.0) * height);
      }
      break;
    }
    default: break;
  }
  return p;
}

uint8_t storedTexelByte(int32_t v) {
  const auto unit = static_cast<float>(v * 0.003921568627451);
  return static_cast<uint8_t>(static_cast<int32_t>(unit * 255.0f) & 255);
}

// ---- Walk.

WalkGenerator prepareWalk(const TextureRecipe& recipe, const TextureProfile& profile,
                          RandomGenerator& rng, int regionWidth) {
  WalkGenerator walk;
  walk.profile = profile;
  walk.walkStep = 64 >> coarsenessIndex(recipe.coarseness);
  walk.walkGain = walkGainOf(recipe.detail);
  const int columns = std::clamp(regionWidth, kTextureTileSide, kMaxWalkRegionWidth);
  // The first fill only advances the generator: its values are overwritten right away.
  for (int i = 0; i < columns; ++i) rng.next();
  for (int i = 0; i < columns; ++i) {
    const int32_t value = rng.next() & 2047;
    if (i < kTextureTileSide) walk.state[i] = value;
  }
  walk.previous = 0;
  return walk;
}

void walkRow(WalkGenerator& walk, RandomGenerator& rng, TexelRow texels) {
  int32_t previous = walk.previous;
  for (int x = 0; x < kTextureTileSide; ++x) {
    const int32_t share = (rng.next() & 7) + 12;  // 12..19 of 32 from the column above
    const int32_t above = static_cast<int16_t>(walk.state[x]);
    int32_t b = walk.walkStep + ((32 - share) * previous + share * above) / 32;
    if (b >= 1024) b -= 2047;
    texels[x] = walk.profile[((b + 1023) * walk.walkGain / 8) & 255] + kWalkLift;
    walk.state[x] = b;
    previous = b;
  }
  walk.previous = previous;
}

void blendWalkSeam(std::span<uint8_t> grid) {
  constexpr int side = kTextureTileSide;
  if (grid.size() < static_cast<std::size_t>(side) * side) return;
  constexpr int blendOffset = kWalkTileHeight - 1;
  for (int i = 0; i < kWalkSeamRows; ++i) {
    const float w = static_cast<float>(i) / 16.0f;
    uint8_t* row = grid.data() + static_cast<std::size_t>(i) * side;
    const uint8_t* partner = grid.data() + static_cast<std::size_t>(i + blendOffset) * side;
    for (int x = 0; x < side; ++x) {
      const float a = partner[x];
      const float b = row[x];
      row[x] = static_cast<uint8_t>(static_cast<int32_t>(a + (b - a) * w));
    }
  }
}

// ---- Cells.

CellGenerator prepareCells(const TextureRecipe& recipe, const TextureProfile& profile,
                           RandomGenerator& rng) {
  CellGenerator cells;
  cells.profile = profile;
  cells.light = recipe.generator == TextureGenerator::lightCells;
  cells.cellShift = 2 - coarsenessIndex(recipe.coarseness);
  for (auto& j : cells.jitter) j = static_cast<int16_t>((rng.next() >> 3) % 28);
  const int cellDepth = 8 - std::clamp(recipe.detail, 1, 5);
  for (std::size_t k = 0; k < cells.root.size(); ++k)
    cells.root[k] = static_cast<int16_t>(std::sqrt(static_cast<double>(k)) * 3 * cellDepth);
  return cells;
}

void cellRow(const CellGenerator& cells, int32_t y, TexelRow texels) {
  const int32_t shift = cells.cellShift;
  const int32_t nearestLimit = cells.light ? kLightCellNearestLimit : kDarkCellNearestLimit;
  const int32_t offset = cells.light ? kLightCellOffset : kDarkCellOffset;
  const int32_t f = (y & 255) << shift;
  const int32_t firstCellRow = (f - kCellLookBack) >> 5;

  // The nine candidate points of the current cell column, looked up again only when the
  // column changes along the row.
  int32_t pointX[9] = {};
  int32_t pointY[9] = {};
  int32_t cachedColumn = INT32_MIN;
  for (int x = 0; x < kTextureTileSide; ++x) {
    const int32_t g = x << shift;
    const int32_t firstCellColumn = (g - kCellLookBack) >> 5;
    if (firstCellColumn != cachedColumn) {
      cachedColumn = firstCellColumn;
      for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
          const int32_t cx = firstCellColumn + i;
          const int32_t cy = firstCellRow + j;
          const int32_t jx = cells.jitter[((cx & 15) * 17 + (cy & 15) * 27) & 1023] & 31;
          const int32_t jy = cells.jitter[((cx & 15) * 19 + (cy & 15) * 37) & 1023] & 31;
          pointX[3 * i + j] = kCellSide * cx + jx;
          pointY[3 * i + j] = kCellSide * cy + jy;
        }
      }
    }
    int32_t nearest = 0;
    for (int n = 0; n < 9; ++n) {
      const int32_t dx = g - pointX[n];
      const int32_t dy = f - pointY[n];
      const int32_t d = dx * dx + dy * dy;
      // Only the distance to the first candidate is capped: at 1023 for dark cells; the
      // light-cell cap lies beyond any distance that can occur.
      nearest = n == 0 ? std::min(d, nearestLimit) : std::min(nearest, d);
    }
    // With jitter 0..27 the nearest point lies within 3698 squared units, so the mirrored
    // index stays in 0..2047; the clamp only guards the table bounds.
    const int32_t rootIndex = std::clamp(nearest < 2048 ? nearest : 4095 - nearest, 0, 2147);
    // Roots above 511 cannot occur for the listed choices; the mask keeps the mirrored
    // profile index inside the profile for any depth.
    const int32_t r = cells.root[rootIndex] & 511;
    texels[x] = std::clamp(offset + cells.profile[r < 256 ? r : 511 - r], 0, 255);
  }
}

// ---- Octave and banded noise.

NoiseGenerator prepareNoise(const TextureRecipe& recipe, const TextureProfile& profile,
                            RandomGenerator& rng) {
  NoiseGenerator noise;
  noise.profile = profile;
  buildByteNoise(noise.byteNoise, rng.next() & 255);
  noise.banded = recipe.generator == TextureGenerator::bandedNoise;
  noise.profileKind = recipe.profileKind;
  noise.octaveShiftX = recipe.octaveShiftX;
  noise.octaveShiftY = recipe.octaveShiftY;
  noise.noiseFloor = recipe.bandOffset * 512 / 100 - 127;
  noise.bandShift = recipe.bandOffset * 64 / 100;
  noise.bandStep = (8 >> coarsenessIndex(recipe.coarseness)) * walkGainOf(recipe.detail);
  for (int o = 0; o < kTextureOctaves; ++o) {
    const int32_t shiftX = noise.octaveShiftX + kOctaves[o].shift;
    for (int32_t x = 0; x < kTextureTileSide; ++x)
      noise.columns[o][x] = valueNoiseColumn((x + kOctaves[o].offset) << shiftX, 256 << shiftX);
  }
  return noise;
}

void noiseRow(const NoiseGenerator& noise, int32_t y, TexelRow texels) {
  ValueNoiseAxis rows[kTextureOctaves];
  for (int o = 0; o < kTextureOctaves; ++o) {
    const int32_t shiftY = noise.octaveShiftY + kOctaves[o].shift;
    rows[o] = valueNoiseRow((y + kOctaves[o].offset) << shiftY, 256 << shiftY);
  }
  for (int32_t x = 0; x < kTextureTileSide; ++x) {
    int32_t sum = 0;
    for (int o = 0; o < kTextureOctaves; ++o)
      sum += kOctaves[o].weight * valueNoiseAt(noise.byteNoise, noise.columns[o][x], rows[o]);
    int32_t h = sum >> kOctaveSumShift;
    if (noise.banded) {
      texels[x] = noise.profile[((y + x) * noise.bandStep + ((h * noise.bandShift) >> 4)) & 255];
    } else {
      if (noise.profileKind != 1) h = noise.profile[h & 255] * 3;
      texels[x] = std::max(h, noise.noiseFloor);
    }
  }
}

// ---- The whole grid.

TextureTexels generateTextureTexels(int textureChoice, RandomGenerator& rng, int regionWidth) {
  const TextureRecipe recipe = textureRecipe(textureChoice);
  TextureTexels texels;
  if (recipe.generator == TextureGenerator::picture) return texels;
  const TextureProfile profile = textureProfile(recipe.profileKind, recipe.amplitude);
  constexpr int side = kTextureTileSide;
  texels.width = side;
  texels.height = side;
  texels.bytes.assign(static_cast<std::size_t>(side) * side, storedTexelByte(kFlatTexel));

  std::array<int32_t, side> row{};
  auto store = [&](int y) {
    uint8_t* out = texels.bytes.data() + static_cast<std::size_t>(y) * side;
    for (int x = 0; x < side; ++x) out[x] = storedTexelByte(row[x]);
  };
  switch (recipe.generator) {
    case TextureGenerator::walk: {
      WalkGenerator walk = prepareWalk(recipe, profile, rng, regionWidth);
      for (int y = 0; y < kWalkWarmUpRows; ++y) walkRow(walk, rng, row);
      for (int y = 0; y < side; ++y) {
        walkRow(walk, rng, row);
        store(y);
      }
      blendWalkSeam(texels.bytes);
      texels.height = kWalkTileHeight;
      texels.bytes.resize(static_cast<std::size_t>(side) * kWalkTileHeight);
      break;
    }
    case TextureGenerator::darkCells:
    case TextureGenerator::lightCells: {
      const CellGenerator cells = prepareCells(recipe, profile, rng);
      for (int y = 0; y < side; ++y) {
        cellRow(cells, y, row);
        store(y);
      }
      break;
    }
    case TextureGenerator::octaveNoise:
    case TextureGenerator::bandedNoise: {
      const NoiseGenerator noise = prepareNoise(recipe, profile, rng);
      for (int y = 0; y < side; ++y) {
        noiseRow(noise, y, row);
        store(y);
      }
      break;
    }
    case TextureGenerator::flat:
    case TextureGenerator::picture: break;
  }
  return texels;
}

}  // namespace orichalcumite
