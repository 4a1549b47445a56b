#include "pictures/texture_tile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/random_generator.h"
#include "tests/pictures/picture_test_support.h"

namespace orichalcumite {
namespace {

using testing::storedPixel;

constexpr int kBuiltInChoices = 12;

bool isWalkChoice(int choice) { return choice >= 2 && choice <= 5; }

// The green bytes of a tile, rows top to bottom.
struct Grey {
  int width = 0;
  int height = 0;
  std::vector<int> values;
  int at(int x, int y) const { return values[static_cast<std::size_t>(y * width + x)]; }
};

Grey greyOf(const Picture& picture) {
  Grey g{picture.width(), picture.height(), {}};
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x)
      g.values.push_back(static_cast<int>(storedPixel(picture, x, y).green));
  return g;
}

Grey tileGrey(int choice, uint32_t seed) {
  RandomGenerator rng(seed);
  const auto tile = buildTextureTile(choice, rng);
  return tile ? greyOf(*tile) : Grey{};
}

// Mean absolute difference between texels (x, y) and (x + dx, y + dy) inside the tile.
double meanStep(const Grey& g, int dx, int dy) {
  double sum = 0.0;
  for (int y = 0; y + dy < g.height; ++y)
    for (int x = 0; x + dx < g.width; ++x) sum += std::abs(g.at(x, y) - g.at(x + dx, y + dy));
  return sum / ((g.width - dx) * (g.height - dy));
}

// Mean absolute difference across the wrap: last column against first, or last row against
// first.
double meanSeamStep(const Grey& g, bool acrossColumns) {
  double sum = 0.0;
  const int n = acrossColumns ? g.height : g.width;
  for (int i = 0; i < n; ++i) {
    sum += acrossColumns ? std::abs(g.at(g.width - 1, i) - g.at(0, i))
                         : std::abs(g.at(i, g.height - 1) - g.at(i, 0));
  }
  return sum / n;
}

TEST(TextureProfile, handWorkedValuesOfEveryKind) {
  const TextureProfile saw = textureProfile(1, -0.25f);  // claws
  EXPECT_EQ(saw[4], -1);
  EXPECT_EQ(saw[239], -59);  // -59.75 truncated toward zero
  EXPECT_EQ(saw[240], -62);  // quick return: 248 x -0.25
  EXPECT_EQ(saw[255], -2);
  const TextureProfile triangle = textureProfile(2, 0.5f);  // fractal
  EXPECT_EQ(triangle[127], 127);
  EXPECT_EQ(triangle[128], 127);  // 127.5
  EXPECT_EQ(triangle[255], 0);
  const TextureProfile halfSine = textureProfile(3, 0.25f);  // noise
  EXPECT_EQ(halfSine[64], 45);                               // 45 degrees: 63.75 x 0.7071
  EXPECT_EQ(halfSine[128], 63);                              // 90 degrees
  EXPECT_EQ(halfSine[255], 0);                               // 180 degrees, a hair short of pi
  const TextureProfile bump = textureProfile(5, 0.25f);      // arabesque
  EXPECT_EQ(bump[64], 0);
  EXPECT_EQ(bump[128], 63);
  EXPECT_EQ(bump[191], 0);
  EXPECT_EQ(bump[40] + bump[220], 0);
  const TextureProfile rim = textureProfile(55, -0.25f);  // bubbles
  EXPECT_EQ(rim[0], 425);                                 // 255 + 191.25 x sin(90 rad) = 425.98
  EXPECT_EQ(rim[128], 315);  // 45 degrees: 255 + 191.25 x sin(90.785 rad) = 315.30
  EXPECT_EQ(rim[255], 169);  // 90 degrees: 255 + 191.25 x cos(90 rad) = 169.31
  for (const int16_t v : textureProfile(4, 0.25f)) EXPECT_EQ(v, 0);
}

TEST(TextureTexels, storedByteIsWhatAPictureStoresForTheValue) {
  EXPECT_EQ(storedTexelByte(192), 192);
  EXPECT_EQ(storedTexelByte(256), 0);  // low 8 bits
  auto pixel = createPicture(1, 1, PictureKind::rgba8, WrapMode::wrapBoth);
  ASSERT_TRUE(pixel);
  for (int v = -600; v <= 600; ++v) {
    // A generator value becomes v x 0.003921568627451 in every channel.
    const auto f = static_cast<float>(v * 0.003921568627451);
    pixel->writeFloat(0, 0, 0, {f, f, f, 1.0f});
    ASSERT_EQ(storedTexelByte(v), static_cast<int>(storedPixel(*pixel, 0, 0).red)) << v;
  }
}

TEST(WalkSeam, firstSeventeenRowsBlendIntoTheLastOnes) {
  std::vector<uint8_t> grid(256 * 256);
  // Row r holds r.
  for (std::size_t i = 0; i < grid.size(); ++i) grid[i] = static_cast<uint8_t>(i / 256);
  blendWalkSeam(grid);
  auto rowValue = [&](int y) { return grid[static_cast<std::size_t>(y * 256 + 17)]; };
  EXPECT_EQ(rowValue(0), 239);  // all of row 239
  EXPECT_EQ(rowValue(1), 225);  // 240 + (1 - 240) / 16 = 225.06
  EXPECT_EQ(rowValue(8), 127);  // 247 + (8 - 247) / 2 = 127.5
  EXPECT_EQ(rowValue(15), 29);  // 254 + (15 - 254) x 15 / 16 = 29.94
  EXPECT_EQ(rowValue(16), 16);  // all of row 16
  EXPECT_EQ(rowValue(17), 17);
  std::vector<uint8_t> tooSmall(100, 7);
  blendWalkSeam(tooSmall);
  EXPECT_EQ(tooSmall, std::vector<uint8_t>(100, 7));
}

TEST(TextureTile, everyBuiltInChoiceGivesAWrappingGreyTile) {
  for (int choice = 1; choice <= kBuiltInChoices; ++choice) {
    SCOPED_TRACE(::testing::Message() << "choice " << choice);
    RandomGenerator rng(5);
    const auto tile = buildTextureTile(choice, rng);
    ASSERT_TRUE(tile);
    EXPECT_EQ(tile->width(), 256);
    EXPECT_EQ(tile->height(), isWalkChoice(choice) ? 240 : 256);
    EXPECT_EQ(tile->kind(), PictureKind::rgba8);
    EXPECT_EQ(tile->wrapMode(), WrapMode::wrapBoth);
    EXPECT_EQ(tile->pyramidState(), PyramidState::built);
    for (int y = 0; y < tile->height(); y += 3) {
      for (int x = 0; x < 256; x += 5) {
        const Rgba p = storedPixel(*tile, x, y);
        ASSERT_EQ(p.red, p.green) << x << "," << y;
        ASSERT_EQ(p.blue, p.green) << x << "," << y;
        ASSERT_EQ(p.alpha, 255.0f) << x << "," << y;
      }
    }
  }
}

TEST(TextureTile, noneAndUnknownChoicesAreFlatAndTextureFileBuildsNothing) {
  for (const int choice : {1, 0, 14, -3}) {
    RandomGenerator rng(9);
    const auto tile = buildTextureTile(choice, rng);
    ASSERT_TRUE(tile) << choice;
    EXPECT_EQ(tile->height(), 256);
    for (const int v : greyOf(*tile).values) ASSERT_EQ(v, 192) << choice;
    EXPECT_EQ(rng.next(), RandomGenerator(9).next()) << "a flat tile draws nothing";
  }
  RandomGenerator rng(9);
  EXPECT_EQ(buildTextureTile(kTextureChoiceFile, rng), nullptr);
  EXPECT_EQ(rng.next(), RandomGenerator(9).next());
}

TEST(TextureTile, sameGeneratorSeedGivesTheSameTileAndOtherSeedsDiffer) {
  for (int choice = 2; choice <= kBuiltInChoices; ++choice) {
    const Grey a = tileGrey(choice, 1234);
    EXPECT_EQ(a.values, tileGrey(choice, 1234).values) << choice;
    EXPECT_NE(a.values, tileGrey(choice, 4321).values) << choice;
  }
}

TEST(TextureTile, drawsTheStatedCountOfRandomNumbers) {
  // Walk: two fills of max(region width, 256), then one per texel of 8 warm-up rows and 256
  // rows; cells: 1024 jitters; noise: one table seed.
  struct Case {
    int choice;
    int regionWidth;
    long draws;
  };
  for (const Case c : {Case{2, 100, 2 * 256 + 264 * 256}, Case{5, 1000, 2 * 1000 + 264 * 256},
                       Case{7, 1000, 1024}, Case{8, 10, 1024}, Case{6, 1000, 1}, Case{11, 5, 1}}) {
    RandomGenerator rng(77);
    ASSERT_TRUE(buildTextureTile(c.choice, rng, c.regionWidth));
    RandomGenerator expected(77);
    for (long i = 0; i < c.draws; ++i) expected.next();
    EXPECT_EQ(rng.next(), expected.next()) << "choice " << c.choice << " width " << c.regionWidth;
  }
}

TEST(TextureTile, tilesRepeatWithoutASeam) {
  for (int choice = 2; choice <= kBuiltInChoices; ++choice) {
    SCOPED_TRACE(::testing::Message() << "choice " << choice);
    const Grey g = tileGrey(choice, 31);
    // Stepping across the wrap is no rougher than an ordinary step inside the tile.
    EXPECT_LE(meanSeamStep(g, true), 2.0 * meanStep(g, 1, 0) + 1.0);
    EXPECT_LE(meanSeamStep(g, false), 2.0 * meanStep(g, 0, 1) + 1.0);
    // A walk tile's first row is all of its old row 239, the row it now wraps to.
    if (isWalkChoice(choice)) {
      for (int x = 0; x < 256; ++x) ASSERT_EQ(g.at(x, 0), g.at(x, 239)) << x;
    }
  }
}

TEST(TextureTile, wideAndTallNoiseStretchTheirAxis) {
  const Grey plain = tileGrey(9, 3);
  const Grey wide = tileGrey(kTextureChoiceWideNoise, 3);
  const Grey tall = tileGrey(kTextureChoiceTallNoise, 3);
  EXPECT_LT(meanStep(wide, 1, 0), 0.75 * meanStep(wide, 0, 1));
  EXPECT_LT(meanStep(tall, 0, 1), 0.75 * meanStep(tall, 1, 0));
  const double ratio = meanStep(plain, 1, 0) / meanStep(plain, 0, 1);
  EXPECT_GT(ratio, 0.75);
  EXPECT_LT(ratio, 1.0 / 0.75);
}

// Slow reference: five octaves (shift, texel offset, weight) of valueNoise per texel, then
// the profile as each generator uses it.
int32_t referenceNoiseTexel(const NoiseGenerator& n, int x, int y) {
  const int octaves[5][3] = {{2, 1, 10}, {3, 0, 7}, {4, 4, 5}, {5, 3, 3}, {6, 2, 1}};
  int32_t sum = 0;
  for (const auto& o : octaves) {
    const int sx = n.octaveShiftX + o[0];
    const int sy = n.octaveShiftY + o[0];
    sum += o[2] * valueNoise(n.byteNoise, (x + o[1]) << sx, (y + o[1]) << sy, 256 << sx, 256 << sy);
  }
  const int32_t h = sum >> 12;
  if (n.banded) return n.profile[((y + x) * n.bandStep + ((h * n.bandShift) >> 4)) & 255];
  return std::max(n.profile[h & 255] * 3, n.noiseFloor);
}

TEST(NoiseGenerator, rowsMatchAPlainOctaveSum) {
  for (const int choice : {6, 9, 10, 11, 12}) {
    SCOPED_TRACE(::testing::Message() << "choice " << choice);
    const TextureRecipe recipe = textureRecipe(choice);
    RandomGenerator rng(static_cast<uint32_t>(choice));
    const TextureProfile profile = textureProfile(recipe.profileKind, recipe.amplitude);
    const NoiseGenerator noise = prepareNoise(recipe, profile, rng);
    std::array<int32_t, 256> row{};
    for (int y = 0; y < 256; y += 5) {
      noiseRow(noise, y, row);
      for (int x = 0; x < 256; ++x)
        ASSERT_EQ(row[static_cast<std::size_t>(x)], referenceNoiseTexel(noise, x, y)) << x;
    }
  }
}

TEST(CellGenerator, cellPointsAreTheBrightestOrFlattestTexels) {
  for (const int choice : {7, 8}) {
    SCOPED_TRACE(::testing::Message() << "choice " << choice);
    const TextureRecipe recipe = textureRecipe(choice);
    RandomGenerator rng(21);
    const TextureProfile profile = textureProfile(recipe.profileKind, recipe.amplitude);
    const CellGenerator cells = prepareCells(recipe, profile, rng);
    ASSERT_EQ(cells.cellShift, 1);
    for (const int16_t j : cells.jitter) ASSERT_TRUE(j >= 0 && j <= 27) << j;
    // A texel on a cell's point is at distance 0: root 0, profile entry 0, so 255 for light
    // cells (-160 + 425, clamped) and 208 for dark cells (208 + 0).
    const int atPoint = choice == 7 ? 255 : 208;
    int checked = 0;
    std::array<int32_t, 256> row{};
    for (int cy = 0; cy < 16; ++cy) {
      for (int cx = 0; cx < 16; ++cx) {
        const int px = 32 * cx + (cells.jitter[(cx * 17 + cy * 27) & 1023] & 31);
        const int py = 32 * cy + (cells.jitter[(cx * 19 + cy * 37) & 1023] & 31);
        if (px % 2 != 0 || py % 2 != 0) continue;  // texel (x, y) sits at (2x, 2y)
        cellRow(cells, py / 2, row);
        ASSERT_EQ(row[static_cast<std::size_t>(px / 2)], atPoint) << cx << "," << cy;
        ++checked;
      }
    }
    EXPECT_GT(checked, 20);
    for (int y = 0; y < 256; ++y) {
      cellRow(cells, y, row);
      for (const int32_t v : row) ASSERT_TRUE(v >= 0 && v <= 255) << v;
    }
  }
}

}  // namespace
}  // namespace orichalcumite
