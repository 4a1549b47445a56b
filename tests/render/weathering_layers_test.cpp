#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "pictures/noise_tables.h"
#include "render/height_field.h"
#include "render/weathering_layers.h"
#include "tests/render/shading_test_support.h"

namespace orichalcumite {
namespace {

using testing::ShadingScene;
using testing::wavySurface;

// Shades the scene's region with `plan`, in bands of `bandRows`; as ShadingScene::shade, but
// with a plan the test may have changed.
std::vector<Rgba> shadeWith(ShadingScene& scene, const ShadingPlan& plan, int32_t bandRows = 64) {
  const Rect32& region = scene.region();
  ShadingScratch scratch;
  scratch.prepare(region.width());
  std::vector<Rgba> out(scene.source.size());
  for (int32_t top = 0; top < region.height(); top += bandRows) {
    const Rect32 unit{region.top + top, region.left,
                      region.top + std::min(top + bandRows, region.height()), region.right};
    BandBuffer band;
    band.allocate(unit);
    for (int32_t y = unit.top; y < unit.bottom; ++y)
      for (int32_t x = unit.left; x < unit.right; ++x)
        *band.pixel(x, y) = scene.sourceAt(x - region.left, y - region.top);
    shadeBand(plan, band, region, scratch);
    for (int32_t y = unit.top; y < unit.bottom; ++y)
      for (int32_t x = unit.left; x < unit.right; ++x)
        out[scene.index(x - region.left, y - region.top)] = *band.pixel(x, y);
  }
  return out;
}

void expectSameMaterial(const std::vector<Rgba>& a, const std::vector<Rgba>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(a[i].red, b[i].red) << i;
    ASSERT_EQ(a[i].green, b[i].green) << i;
    ASSERT_EQ(a[i].blue, b[i].blue) << i;
    ASSERT_EQ(a[i].alpha, b[i].alpha) << i;
  }
}

// How many pixels of `a` differ from `b`.
size_t changedPixels(const std::vector<Rgba>& a, const std::vector<Rgba>& b) {
  size_t n = 0;
  for (size_t i = 0; i < a.size(); ++i)
    n += a[i].red != b[i].red || a[i].green != b[i].green || a[i].blue != b[i].blue;
  return n;
}

void setEveryLayer(EffectSettings& s, int amount) {
  s.tarnish = s.abrasion = s.rain = s.leakiness = s.blotches = s.moss = s.dust = amount;
}

// ---- Neutral settings.

TEST(WeatheringLayers, AllSettingsAtZeroLeaveTheLitColourAsItWas) {
  ShadingScene scene({3, 5, 3 + 20, 5 + 150});
  scene.setHeights(wavySurface(3, 300.0f));
  scene.useGradientEnvironment();
  scene.minimum = -300.0f;
  scene.maximum = 300.0f;
  EffectSettings& s = scene.settings;
  // The other weathering settings alone turn nothing on.
  s.evaporation = 100, s.wander = 100, s.diffusion = 100, s.wetRain = 1, s.grit = 50,
  s.blotchSize = 3;
  struct Variant {
    int glue, reflection, glassiness;
    uint16_t light2;
  };
  for (const Variant& v : {Variant{1, 0, 0, 0}, Variant{1, 60, 40, 40000}, Variant{15, 30, 0, 0},
                           Variant{kHeightGlueMode, 0, 0, 0}}) {
    s.glue = v.glue;
    s.reflection = v.reflection;
    s.glassiness = v.glassiness;
    s.colours[light2Color] = {v.light2, v.light2, v.light2};
    std::unique_ptr<ShadingPlan> plan = scene.plan();
    ASSERT_FALSE(plan->weathering.active);
    const std::vector<Rgba> plain = shadeWith(scene, *plan);
    // The kernel with the weathering hook, every layer off, gives the same colours.
    plan->weathering.active = true;
    const BandKernel plainKernel = plan->kernel;
    plan->kernel = selectBandKernel(*plan);
    ASSERT_NE(plan->kernel, plainKernel) << v.glue;
    expectSameMaterial(shadeWith(scene, *plan), plain);
  }
}

TEST(WeatheringLayers, FlatGroundGetsNoTarnishOrAbrasion) {
  ShadingScene scene({0, 0, 12, 30});
  scene.setHeights([](int32_t, int32_t) { return 37.0f; });
  const std::vector<Rgba> plain = scene.shade();
  scene.settings.tarnish = scene.settings.abrasion = 100;
  expectSameMaterial(scene.shade(), plain);
  // On rough ground they do show.
  scene.setHeights(wavySurface(8, 300.0f));
  scene.settings.tarnish = scene.settings.abrasion = 0;
  const std::vector<Rgba> roughPlain = scene.shade();
  scene.settings.tarnish = scene.settings.abrasion = 100;
  EXPECT_GT(changedPixels(scene.shade(), roughPlain), 200u);
}

TEST(WeatheringLayers, HighEvaporationLeavesNoStains) {
  ShadingScene scene({0, 0, 40, 60});
  scene.setHeights(wavySurface(12, 200.0f));
  scene.settings.gloss = 80;
  const std::vector<Rgba> plain = scene.shade();
  // Water starts at 30 x 9 (+ 1) and cannot pile up to 100 x 9 here.
  EffectSettings& s = scene.settings;
  s.rain = 30;
  s.evaporation = 100;
  s.wander = 100;
  for (int wet : {0, 1}) {
    s.wetRain = wet;
    expectSameMaterial(scene.shade(), plain);
  }
  // With less evaporation the same rain stains.
  s.evaporation = 10;
  EXPECT_GT(changedPixels(scene.shade(), plain), 1000u);
}

// ---- Layers against hand-worked colours (the unlit material without reflection keeps the
// whole source, 127 for 0.5, and lit(K) = K).

TEST(WeatheringLayers, StainsTakeTheirRampsColour) {
  ShadingScene scene({0, 0, 6, 8});
  EffectSettings& s = scene.settings;
  s.glue = kUnlitGlueMode;
  s.rain = 100;  // 900 units everywhere: no slope, no wander, no diffusion to move them
  s.evaporation = 0;
  s.wander = 0;
  s.diffusion = 0;
  // Dry: mixed 255/256 of the way to dry ramp entry 255 (243, 199, 198).
  for (const Rgba& m : scene.shade()) {
    EXPECT_NEAR(m.red * 255.0f, 127.0f + (243.0f - 127.0f) * 255.0f / 256.0f, 1e-3f);
    EXPECT_NEAR(m.green * 255.0f, 127.0f + (199.0f - 127.0f) * 255.0f / 256.0f, 1e-3f);
    EXPECT_NEAR(m.blue * 255.0f, 127.0f + (198.0f - 127.0f) * 255.0f / 256.0f, 1e-3f);
  }
  // Wet: times wet ramp entry 400 (210, 94, 93) / 256.
  s.wetRain = 1;
  for (const Rgba& m : scene.shade()) {
    EXPECT_NEAR(m.red * 255.0f, 127.0f * 210.0f / 256.0f, 1e-3f);
    EXPECT_NEAR(m.green * 255.0f, 127.0f * 94.0f / 256.0f, 1e-3f);
    EXPECT_NEAR(m.blue * 255.0f, 127.0f * 93.0f / 256.0f, 1e-3f);
  }
}

TEST(WeatheringLayers, TarnishDullsHollowsAndAbrasionRidges) {
  // The paraboloid -4 (x^2 + y^2) has curvature -131.34 everywhere (see the curvature test):
  // tarnish 50 mixes 131.34 x 256 / 290.4 = 115.78 of 256 of the tarnish colour (74, 164, 137).
  ShadingScene scene({0, 0, 4, 4});
  scene.setHeights([](int32_t x, int32_t y) { return -4.0f * static_cast<float>(x * x + y * y); });
  EffectSettings& s = scene.settings;
  s.glue = kUnlitGlueMode;
  s.tarnish = 50;
  s.abrasion = 50;
  const float w = 131.34f * 256.0f / 290.4f;
  for (const Rgba& m : scene.shade()) {
    EXPECT_NEAR(m.red * 255.0f, 127.0f + (74.0f - 127.0f) * w / 256.0f, 0.05f);
    EXPECT_NEAR(m.green * 255.0f, 127.0f + (164.0f - 127.0f) * w / 256.0f, 0.05f);
    EXPECT_NEAR(m.blue * 255.0f, 127.0f + (137.0f - 127.0f) * w / 256.0f, 0.05f);
  }
  // The ridge takes the abrasion colour (20, 20, 20).
  scene.setHeights([](int32_t x, int32_t y) { return 4.0f * static_cast<float>(x * x + y * y); });
  for (const Rgba& m : scene.shade())
    EXPECT_NEAR(m.green * 255.0f, 127.0f + (20.0f - 127.0f) * w / 256.0f, 0.05f);
  // Amounts above 50 count four times: abrasion 60 is 90, nearly twice 50.
  s.abrasion = 60;
  for (const Rgba& m : scene.shade())
    EXPECT_NEAR(m.green * 255.0f, 127.0f + (20.0f - 127.0f) * w * 1.8f / 256.0f, 0.1f);
}

TEST(WeatheringLayers, MossAndDustSettleOnFacesThatLookUpTheImage) {
  // Unlit, so that the steep slopes do not light everything white.
  ShadingScene scene({0, 0, 16, 40});
  scene.settings.glue = kUnlitGlueMode;
  // Depth falling by 200 per row: the surface rises down the image and faces up it.
  auto rising = [](int32_t, int32_t y) { return -200.0f * static_cast<float>(y); };
  auto falling = [](int32_t, int32_t y) { return 200.0f * static_cast<float>(y); };
  for (int layer = 0; layer < 2; ++layer) {
    EffectSettings& s = scene.settings;
    s.moss = s.dust = 0;
    scene.setHeights(rising);
    const std::vector<Rgba> plainRising = scene.shade();
    scene.setHeights(falling);
    const std::vector<Rgba> plainFalling = scene.shade();
    (layer == 0 ? s.moss : s.dust) = 100;
    scene.setHeights(rising);
    EXPECT_EQ(changedPixels(scene.shade(), plainRising), scene.source.size()) << layer;
    scene.setHeights(falling);
    expectSameMaterial(scene.shade(), plainFalling);
  }
}

// ---- The row machinery against slow references.

// The blotch value and moss terms of region pixel (x, y), worked out directly from the field,
// the noise and the jitter table.
struct SlowReference {
  const HeightView& heights;
  const NoiseTables& noise;
  const WeatheringPlan& plan;
  int blotches, blotchSize, moss;

  float jitter(int32_t x, int32_t y) const {
    return static_cast<float>(
        plan.jitter[static_cast<size_t>((17 * y + (10 - (x ^ 44)) * x) & 511)]);
  }
  double smoothHeight(int32_t x, int32_t y) const {
    static const int kWeights[5][5] = {{6, 19, 28, 19, 6},
                                       {19, 59, 87, 59, 19},
                                       {28, 87, 127, 87, 28},
                                       {19, 59, 87, 59, 19},
                                       {6, 19, 28, 19, 6}};
    double sum = 0.0;
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx)
        sum += kWeights[dy + 2][dx + 2] * (static_cast<double>(heights.at(x + dx, y + dy)) +
                                           static_cast<double>(jitter(x + dx, y + dy)));
    return -sum / 999.0;
  }
  double rise(int32_t x, int32_t y) const {
    return smoothHeight(x + 1, y) + smoothHeight(x, y) - smoothHeight(x, y - 1) -
           smoothHeight(x + 1, y - 1);
  }
  float blotch(int32_t x, int32_t y) const {
    const BlotchNoiseConstants c = derivedNoiseConstants(noise, blotchSize);
    const float u = static_cast<float>(x * plan.scale + plan.offsetX);
    const float v = static_cast<float>(y * plan.scale + plan.offsetY);
    auto n = [&](float f) { return static_cast<double>(improvedNoise(noise, f * u, f * v)); };
    const double c2 = static_cast<double>(c.c2), c3 = static_cast<double>(c.c3),
                 c4 = static_cast<double>(c.c4);
    const double t = n(c.c4), w = c2 * n(c.c4 * c.c0), d = c3 * n(c.c4 * c.c1),
                 g = n(c.c4 * c.c1 * c.c0);
    const double base = c2 + 1.0 + c3 + c2 * c3;
    const double value = g * c2 * c3 + t + base + w + d;
    const double threshold = (1.0 - std::sqrt(blotches / 200.0)) * base * 2.0;
    const auto j = static_cast<int>((value - threshold) * 600.0);
    if (j < 0) return 0.0f;
    const auto half = static_cast<double>(static_cast<int>(jitter(x, y)) >> 1);
    return static_cast<float>(
        static_cast<int>(half / plan.scale + j * 2.0 / (c4 * 100.0) / plan.scale));
  }
};

TEST(WeatheringLayers, BlotchAndMossRowsFollowTheirSlowReferences) {
  ShadingScene scene({0, 0, 30, 70});
  scene.setHeights(wavySurface(21, 900.0f));
  EffectSettings& s = scene.settings;
  s.glue = kHeightGlueMode;
  s.moss = 80;
  s.blotches = 70;
  s.blotchSize = 20;
  s.randomSeed = 300;
  s.grit = 30;
  const NoiseTables noise = makeNoiseTables(s.randomSeed);
  for (int scale : {1, 3}) {
    ShadingInputs in;
    in.settings = &s;
    in.heights = scene.heights();
    in.regionWidth = 70;
    in.regionHeight = 30;
    in.previewScale = scale;
    in.offsetX = 37;
    in.offsetY = 11;
    in.noise = &noise;
    const std::unique_ptr<ShadingPlan> plan = makeShadingPlan(in);
    const SlowReference ref{plan->heights, noise,        plan->weathering,
                            s.blotches,    s.blotchSize, s.moss};
    ShadingScratch scratch;
    scratch.prepare(70);
    WeatheringLayers layers(*plan, scratch);
    int blotched = 0, mossy = 0, mismatched = 0;
    // Rows in order, then a jump (the rows start afresh) and a step back.
    for (int32_t y :
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 15, 16}) {
      layers.beginRow(y);
      for (int32_t x = 0; x < 70; ++x) {
        const HeightMaterialTerms t = layers.heightTerms(x, y);
        const float b = ref.blotch(x, y);
        const float expected = b >= 1.0f ? b : 0.0f;
        blotched += b >= 1.0f;
        // Right at a blotch's edge float rounding may move the whole part by one step.
        if (t.blotchValue != expected) {
          ++mismatched;
          EXPECT_NEAR(t.blotchValue, expected, plan->weathering.blotchGain + 1.0f) << x << "," << y;
        } else if (b >= 1.0f) {
          EXPECT_EQ(t.blotchCoverage, b < 64.0f ? 4.0f * b : 256.0f) << x << "," << y;
        }

        const double n = ref.rise(x, y) - (100 - s.moss) * 2;
        if (n > 0.02) {
          ++mossy;
          EXPECT_NEAR(t.mossCoverage, std::min(8.0 * n, 256.0), 0.2) << x << "," << y;
          EXPECT_NEAR(t.mossRelief, ref.rise(x, y - 1) - static_cast<double>(ref.jitter(x, y)),
                      0.02)
              << x << "," << y;
        } else if (n < -0.02) {
          EXPECT_EQ(t.mossCoverage, 0.0f);
        }
      }
    }
    EXPECT_GT(blotched, 50) << scale;
    EXPECT_GT(mossy, 50) << scale;
    EXPECT_LE(mismatched, 3) << scale;
  }
}

// ---- Properties.

TEST(WeatheringLayers, OneBandAtATimeEqualsTheWholeRender) {
  // The water and the shared rows are carried from band to band.
  ShadingScene scene({4, 9, 4 + 50, 9 + 140});
  scene.setHeights(wavySurface(30, 500.0f));
  scene.useGradientEnvironment();
  EffectSettings& s = scene.settings;
  setEveryLayer(s, 60);
  s.colours[light2Color] = {30000, 20000, 10000};
  for (int wet : {0, 1}) {
    s.wetRain = wet;
    const std::unique_ptr<ShadingPlan> plan = scene.plan();
    const std::vector<Rgba> whole = shadeWith(scene, *plan, 50);
    for (int32_t rows : {1, 7, 16}) expectSameMaterial(shadeWith(scene, *plan, rows), whole);
  }
}

TEST(WeatheringLayers, ExtremeSettingsStayFiniteAndInRange) {
  ShadingScene scene({0, 0, 24, 140});
  std::mt19937 random(13);
  std::uniform_real_distribution<float> rough(-1.0f, 1.0f);
  const auto wave = wavySurface(6, 30000.0f);
  scene.setHeights([&](int32_t x, int32_t y) { return wave(x, y) + 500.0f * rough(random); });
  scene.useGradientEnvironment();
  scene.minimum = -40000.0f;
  scene.maximum = 40000.0f;
  for (Rgba& c : scene.source) c = {3.0f, -1.0f, std::nanf(""), 1.0f};
  EffectSettings& s = scene.settings;
  setEveryLayer(s, 100);
  s.grit = 100;
  s.blotchSize = 0;
  s.diffusion = 100;
  s.colours[light2Color] = {65535, 65535, 65535};
  for (int glue : {1, kUnlitGlueMode, kHeightGlueMode})
    for (int variant = 0; variant < 4; ++variant) {
      s.glue = glue;
      s.wetRain = variant % 2;
      s.evaporation = variant < 2 ? 0 : 100;
      s.wander = variant < 2 ? 100 : 0;
      s.blotchSize = variant * 33;
      s.reflection = variant * 30;
      s.glassiness = variant % 2 ? 100 : 0;
      for (int scale : {1, 3}) {
        ShadingInputs in;
        in.settings = &s;
        in.heights = scene.heights();
        in.environment = scene.environment();
        in.regionWidth = 140;
        in.regionHeight = 24;
        in.previewScale = scale;
        const std::unique_ptr<ShadingPlan> plan = makeShadingPlan(in);
        for (const Rgba& m : shadeWith(scene, *plan, 10)) {
          for (float c : {m.red, m.green, m.blue})
            ASSERT_TRUE(std::isfinite(c) && c >= 0.0f && c <= 1.0f)
                << glue << " " << variant << " " << scale;
          ASSERT_EQ(m.alpha, 1.0f);
        }
      }
    }
}

}  // namespace
}  // namespace orichalcumite
