#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

#include "base/random_generator.h"
#include "pictures/noise_tables.h"
#include "render/weathering.h"
#include "render/weathering_plan.h"

namespace orichalcumite {
namespace {

SettingsColour colour(int r, int g, int b) {
  return {static_cast<uint16_t>(r * 256), static_cast<uint16_t>(g * 256),
          static_cast<uint16_t>(b * 256)};
}

void expectEntry(const LayerColour& entry, float r, float g, float b) {
  EXPECT_EQ(entry[0], r);
  EXPECT_EQ(entry[1], g);
  EXPECT_EQ(entry[2], b);
}

// ---- Per-render tables against values worked by hand from the factory colours.

TEST(WeatheringTables, StainRampsRunFromTheFirstDirtToTheSecond) {
  const SettingsColour dirt1 = colour(168, 199, 153), dirt2 = colour(244, 200, 199);
  const StainRamp dry = dryStainRamp(dirt1, dirt2);
  ASSERT_EQ(dry.size(), 401u);
  expectEntry(dry[0], 168, 199, 153);  // the first dirt up to entry 128
  expectEntry(dry[128], 168, 199, 153);
  // Entry 200: u = 144, (144 x dirt2 + 112 x dirt1) / 256.
  expectEntry(dry[200], 210, 199, 178);
  // Entry 400: u = 254, then darkened to 1 - 145 / 1450 = 0.9.
  expectEntry(dry[400], 219, 179, 178);

  const StainRamp wet = wetStainRamp(dirt1, dirt2);
  ASSERT_EQ(wet.size(), 401u);
  expectEntry(wet[0], 255, 255, 255);  // a multiplier: nothing at first
  // Entry 128: 255 (dirt1 / 256)^1.28; entry 200: t = 0.5625; entry 400: 255 (dirt2 / 256)^4.
  expectEntry(wet[128], 148, 184, 131);
  expectEntry(wet[200], 172, 154, 124);
  expectEntry(wet[400], 210, 94, 93);
}

TEST(WeatheringTables, DustPaletteShadesTheDustColourByFreshValues) {
  RandomGenerator random(99), reference(99);
  const DustPalette palette = dustPalette(colour(50, 50, 45), random);
  ASSERT_EQ(palette.size(), 32u);
  for (const LayerColour& entry : palette) {
    // One value 0..15 per entry, shared by its channels: r = 0 gives (45, 45, 40), r = 15 the
    // colour itself.
    const int r = reference.next() & 15;
    expectEntry(entry, static_cast<float>(50 * (135 + r) / 150),
                static_cast<float>(50 * (135 + r) / 150), static_cast<float>(45 * (135 + r) / 150));
    EXPECT_GE(entry[2], 40.0f);
    EXPECT_LE(entry[0], 50.0f);
  }
}

TEST(WeatheringTables, LichenRampRunsFromPaleToTheColour) {
  // Wax (128, 116, 100): luma 30056, / 256 = 117; pale = ((c + 117) x 128) >> 8, the blue
  // then x 195 >> 8.
  const LichenRamp ramp = lichenRamp(colour(128, 116, 100));
  ASSERT_EQ(ramp.size(), 64u);
  expectEntry(ramp[0], 122, 116, 82);
  expectEntry(ramp[21], 123, 116, 87);  // v = 85
  expectEntry(ramp[63], 128, 116, 100);
}

TEST(WeatheringTables, MossTables) {
  // Moss 2 (81, 95, 44): the steep colour is (108, 104, 69) (channel mixes x 165 / 128).
  const MossSlopeRamp ramp = mossSlopeRamp(colour(81, 95, 44));
  ASSERT_EQ(ramp.size(), 256u);
  expectEntry(ramp[0], 81, 95, 44);
  expectEntry(ramp[80], 81, 95, 44);
  EXPECT_EQ(ramp[168][0], 94.0f);  // Dk = 128: halfway
  expectEntry(ramp[255], 108, 104, 69);

  // Blotch size 50: 256 x 0.64^(l / 30).
  const MossShadeTable shade = mossShadeTable(50);
  ASSERT_EQ(shade.size(), 256u);
  EXPECT_EQ(shade[0], 256.0f);
  EXPECT_EQ(shade[30], 163.0f);
  EXPECT_EQ(shade[60], 104.0f);
  EXPECT_EQ(shade[255], 5.0f);
  EXPECT_EQ(mossShadeTable(0)[200], 256.0f);
}

TEST(WeatheringTables, JitterIsAFreshByteScaledByGritAndPreviewScale) {
  for (int scale : {1, 2, 3}) {
    RandomGenerator random(5), reference(5);
    const JitterTable table = jitterTable(20, scale, random);
    ASSERT_EQ(table.size(), 512u);
    for (int32_t j : table) {
      EXPECT_EQ(j, (reference.next() & 255) * 180 / (scale * 256));
      EXPECT_LE(j, 179 / scale);
    }
  }
}

TEST(WeatheringTables, PlanIsInactiveWithoutLayersAndDrawsNothing) {
  WeatheringInputs in;
  RandomGenerator random(3);
  in.random = &random;
  in.settings.grit = 60;  // grit alone roughens the field, not the colour
  in.settings.evaporation = 100;
  in.settings.wetRain = true;
  EXPECT_FALSE(hasWeathering(in.settings));
  EXPECT_FALSE(makeWeatheringPlan(in).active);
  EXPECT_EQ(random.next(), RandomGenerator(3).next());

  const NoiseTables noise = makeNoiseTables(21);
  in.noise = &noise;
  for (int layer = 0; layer < 7; ++layer) {
    WeatheringSettings s;
    int* amounts[] = {&s.tarnish,  &s.abrasion, &s.rain, &s.leakiness,
                      &s.blotches, &s.moss,     &s.dust};
    *amounts[layer] = 1;
    in.settings = s;
    EXPECT_TRUE(hasWeathering(s)) << layer;
    const WeatheringPlan p = makeWeatheringPlan(in);
    EXPECT_TRUE(p.active) << layer;
    EXPECT_EQ(p.curvature, layer < 2) << layer;
    EXPECT_EQ(p.rain, layer == 2 || layer == 3) << layer;
    EXPECT_EQ(p.blotches, layer == 4) << layer;
  }
}

// ---- Per-pixel mathematics.

TEST(WeatheringMaths, LevelsMixesAndCoverage) {
  EXPECT_EQ(layerLevel(-20.0f, kTarnishSqueeze), 0.0f);
  EXPECT_EQ(layerLevel(200.0f, kTarnishSqueeze), 200.0f);
  EXPECT_FLOAT_EQ(layerLevel(512.0f, kTarnishSqueeze), 406.0f);  // 256 x 150 / 256 + 256
  EXPECT_FLOAT_EQ(layerLevel(512.0f, kStainSqueeze), 341.0f);
  EXPECT_EQ(bumpLevel(-300.0f), 0.0f);
  EXPECT_EQ(bumpLevel(0.0f), 256.0f);
  EXPECT_FLOAT_EQ(bumpLevel(256.0f), 306.0f);

  EXPECT_EQ(mixToward(100.0f, 200.0f, 0.0f), 100.0f);
  EXPECT_EQ(mixToward(100.0f, 200.0f, 256.0f), 200.0f);
  EXPECT_EQ(mixToward(100.0f, 200.0f, 64.0f), 125.0f);

  EXPECT_EQ(blotchCoverage(10.0f), 40.0f);
  EXPECT_EQ(blotchCoverage(63.0f), 252.0f);
  EXPECT_EQ(blotchCoverage(64.0f), 256.0f);
  EXPECT_EQ(mossCoverage(3.0f), 24.0f);
  EXPECT_EQ(mossCoverage(40.0f), 256.0f);

  // 1260 x 0.2 x 0.1 x 0.3 = 7.56; large octaves reach the ramp's end.
  EXPECT_EQ(lichenIndex(0.0f, 0.0f, 0.0f), 7);
  EXPECT_EQ(lichenIndex(0.1f, -0.1f, 0.1f), 30);  // 1260 x 0.3 x 0.2 x 0.4 = 30.24
  EXPECT_EQ(lichenIndex(-0.5f, 0.3f, 0.2f), 63);  // 189
}

TEST(WeatheringMaths, JitterPositions) {
  JitterTable table{};
  std::iota(table.begin(), table.end(), 0);
  // (17 y + (10 - (x XOR 44)) x) AND 511 at (3, 2): 34 - 37 x 3 = -77, i.e. 435.
  EXPECT_EQ(jitterAt(table, 3, 2), 435);
  EXPECT_EQ(jitterAt(table, 0, 0), 0);
  EXPECT_EQ(jitterAt(table, -2, -1), (-17 + (10 - (-2 ^ 44)) * -2) & 511);
  // The moss picks with X1 = -111 and X2 = -(4 XOR 44) x 3 = -120.
  const MossJitter j = mossJitter(table, 3, 2);
  EXPECT_EQ(j.j00, 435.0f);
  EXPECT_EQ(j.j10, 438.0f);  // -120 + 34 + 12
  EXPECT_EQ(j.j01, 420.0f);  // 2 - 111 + 17
  EXPECT_EQ(j.j11, 423.0f);  // -120 + 2 + 29
  // Far out the arithmetic wraps rather than overflowing.
  EXPECT_GE(jitterAt(table, 2000000000, 2000000000), 0);
}

TEST(WeatheringMaths, ImprovedNoiseRowFollowsThePlainFunction) {
  const NoiseTables tables = makeNoiseTables(77);
  std::vector<float> out(300);
  NoiseRowScratch scratch;
  scratch.cell.resize(300);
  scratch.fraction.resize(300);
  for (auto* v : {&scratch.alphaLeft, &scratch.betaLeft, &scratch.alphaRight, &scratch.betaRight})
    v->resize(300);
  // Cells of many pixels, of a few, of less than one (and wrapping the lattice), from
  // negative and positive starts, with preview steps.
  struct Case {
    float frequency;
    int32_t start, step, v;
  };
  for (const Case& c : {Case{0.01f, 0, 1, 5}, Case{0.013f, -120, 2, -37}, Case{0.2f, 999, 1, 12345},
                        Case{1.7f, 3, 3, 8}, Case{0.08f, 40000, 4, 700}}) {
    improvedNoiseRow(tables, c.frequency, c.start, c.step, c.v, 300, scratch, out.data());
    for (int32_t i = 0; i < 300; ++i) {
      const float expected =
          improvedNoise(tables, c.frequency * static_cast<float>(c.start + i * c.step),
                        c.frequency * static_cast<float>(c.v));
      ASSERT_NEAR(out[static_cast<size_t>(i)], expected, 2e-6f) << c.frequency << " " << i;
    }
  }
}

// ---- The water.

// A region `width` wide with water `amount` per column and the height row `row` (columns -1 ..
// width + 1 at index column + 1).
struct WaterScene {
  explicit WaterScene(int32_t width) : heights(static_cast<size_t>(width) + 3, 0.0f) {
    scratch.prepare(width);
    plan.scale = 1;
    plan.inverseScale = 1.0f;
    plan.diffusionCentre = 256;
  }
  void fill(int32_t amount) { std::fill(scratch.water.begin(), scratch.water.end(), amount); }
  float& height(int32_t x) { return heights[static_cast<size_t>(x + 1)]; }
  int32_t water(int32_t x) const { return scratch.water[static_cast<size_t>(x + 1)]; }
  int32_t total() const {
    return std::accumulate(scratch.water.begin() + 1, scratch.water.end() - 1, 0);
  }
  void flow(uint32_t seed = 1) {
    RandomGenerator random(seed);
    flowWater(plan, heights.data() + 1, random, scratch);
  }

  WeatheringPlan plan;
  WeatheringScratch scratch;
  std::vector<float> heights;
};

TEST(Water, RainStartsAtNineTimesTheAmountPlusARandomBit) {
  WaterScene scene(40);
  scene.plan.rainStart = 60 * 9;
  RandomGenerator random(4);
  startRain(scene.plan, random, scene.scratch);
  int ones = 0;
  for (int32_t x = 0; x < 40; ++x) {
    EXPECT_TRUE(scene.water(x) == 540 || scene.water(x) == 541);
    ones += scene.water(x) - 540;
  }
  EXPECT_GT(ones, 0);
  EXPECT_LT(ones, 40);
}

TEST(Water, WithoutWanderWaterOnlyMovesWhereTheSlopeExceedsNine) {
  WaterScene scene(12);
  scene.fill(256);
  // One column 1 unit deep: the row slope 3 H(i + 2) + 9 H(i) - 3 H(i - 1) - 9 H(i + 1) is at
  // most 9 everywhere, so nothing moves.
  scene.height(6) = 1.0f;
  scene.flow();
  for (int32_t x = 0; x < 12; ++x) EXPECT_EQ(scene.water(x), 256) << x;

  // 10 deep: slopes 30 at column 4, -90 at 5, 90 at 6, -30 at 7; the water there moves that
  // many 256ths to the right (positive) or left (negative) neighbour.
  scene.height(6) = 10.0f;
  scene.flow();
  const int32_t expected[12] = {256, 256, 256, 256, 316, 196, 196, 316, 256, 256, 256, 256};
  for (int32_t x = 0; x < 12; ++x) EXPECT_EQ(scene.water(x), expected[x]) << x;
  EXPECT_EQ(scene.total(), 12 * 256);
}

TEST(Water, FlowWrapsAtTheEndsAndKeepsItsAmount) {
  WaterScene scene(8);
  scene.fill(256);
  // The last column 10 deep: it sends 90 to the right, which is the first column.
  scene.height(7) = 10.0f;
  scene.flow();
  EXPECT_EQ(scene.water(0), 256 + 90);
  EXPECT_EQ(scene.water(7), 256 - 90);
  EXPECT_EQ(scene.water(6), 256 - 90 + 30);  // -90 to the left, 30 from the left
  EXPECT_EQ(scene.water(5), 256 - 30 + 90);
  EXPECT_EQ(scene.total(), 8 * 256);

  // With wander every column moves a little each way, but nothing is lost without diffusion.
  scene.plan.wanderGain = 100.0f / 400.0f;
  for (uint32_t seed = 1; seed < 20; ++seed) scene.flow(seed);
  EXPECT_EQ(scene.total(), 8 * 256);
}

TEST(Water, DiffusionSpreadsAColumnOverItsNeighbours) {
  WaterScene scene(9);
  scene.fill(0);
  scene.scratch.water[5] = 256;  // column 4
  // Diffusion 50: f = 32, g = 192. First pass 32 | 192 | 32, second 4 | 48 | 152 | 48 | 4.
  scene.plan.diffusionSide = 32;
  scene.plan.diffusionCentre = 192;
  scene.flow();
  const int32_t expected[9] = {0, 0, 4, 48, 152, 48, 4, 0, 0};
  for (int32_t x = 0; x < 9; ++x) EXPECT_EQ(scene.water(x), expected[x]) << x;
}

TEST(Water, PreviewScaleFlowsOncePerStepAtTheScaledSlope) {
  // At scale 2 the slope is halved (10 deep gives 45 at column 6) and the water moves twice.
  WaterScene scene(12);
  scene.fill(256);
  scene.plan.scale = 2;
  scene.plan.inverseScale = 0.5f;
  scene.height(6) = 10.0f;
  scene.flow();
  EXPECT_EQ(scene.total(), 12 * 256);
  EXPECT_LT(scene.water(5), 256 - 45);  // 45 left in the first step and more in the second
}

TEST(Water, NeverOverflowsOrGoesNegative) {
  WaterScene scene(16);
  scene.fill(kMaxWater);
  scene.plan.wanderGain = 0.25f;
  scene.plan.diffusionSide = 64;
  scene.plan.diffusionCentre = 128;
  for (int32_t x = -1; x <= 17; ++x) scene.height(x) = (x % 3) * 5000.0f;
  for (uint32_t seed = 1; seed < 50; ++seed) {
    scene.flow(seed);
    for (int32_t x = 0; x < 16; ++x) {
      ASSERT_GE(scene.water(x), 0);
      ASSERT_LE(scene.water(x), kMaxWater);
    }
  }
}

}  // namespace
}  // namespace orichalcumite
