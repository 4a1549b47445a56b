// Weathered bands shaded at once, each from the state recorded for its first row, against the
// same bands shaded one after another with the state carried straight on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/random_generator.h"
#include "pictures/effect_pictures.h"
#include "render/height_field.h"
#include "render/render_driver.h"
#include "render/weathering_carry.h"
#include "settings/effect_settings.h"
#include "tests/render/shading_test_support.h"

namespace orichalcumite {
namespace {

using testing::ShadingScene;
using testing::wavySurface;

// ---- The record and its replay.

// A scene with every layer that touches the water or the generator on.
std::unique_ptr<ShadingScene> carryScene(Rect32 region) {
  auto scene = std::make_unique<ShadingScene>(region);
  scene->setHeights(wavySurface(11, 400.0f));
  EffectSettings& s = scene->settings;
  s.rain = 70;
  s.leakiness = 60;
  s.wander = 80;
  s.moss = 55;
  s.blotches = 60;
  s.dust = 70;
  s.tarnish = 30;
  return scene;
}

TEST(WeatheringCarry, OnlyLitMaterialsWithWaterOrDustCarryState) {
  ShadingScene scene({0, 0, 20, 30});
  scene.setHeights(wavySurface(2, 100.0f));
  scene.settings.moss = 50;  // moss and lichen rows follow from the row alone
  scene.settings.blotches = 50;
  scene.settings.tarnish = 50;
  EXPECT_FALSE(carriesWeatheringState(*scene.plan()));
  scene.settings.dust = 20;
  EXPECT_TRUE(carriesWeatheringState(*scene.plan()));
  scene.settings.dust = 0;
  scene.settings.leakiness = 20;  // leakiness alone makes the water flow
  EXPECT_TRUE(carriesWeatheringState(*scene.plan()));
  scene.settings.glue = kHeightGlueMode;  // reads the moss and lichen rows only
  EXPECT_FALSE(carriesWeatheringState(*scene.plan()));
}

TEST(WeatheringCarry, RestoringBetweenRecordsEqualsRecordingEveryRow) {
  auto scene = carryScene({0, 0, 150, 90});
  const auto plan = scene->plan();
  const RandomGenerator start(987);
  WeatheringCarry sparse, dense;
  ASSERT_TRUE(sparse.record(*plan, start, 150, 64));
  ASSERT_TRUE(dense.record(*plan, start, 150, 1));
  EXPECT_EQ(sparse.records(), 3);
  EXPECT_EQ(dense.records(), 150);
  for (int32_t y : {0, 1, 2, 63, 64, 65, 100, 128, 149}) {
    WeatheringScratch a, b;
    ASSERT_TRUE(a.prepare(90));
    ASSERT_TRUE(b.prepare(90));
    RandomGenerator ra, rb;
    sparse.restore(y, ra, a);
    dense.restore(y, rb, b);
    if (y > 0) {  // row 0 starts the rain afresh
      EXPECT_EQ(a.water, b.water) << y;
    }
    for (int k = 0; k < 4; ++k) ASSERT_EQ(ra.next(), rb.next()) << y;
  }
}

TEST(WeatheringCarry, TheWaterAndTheGeneratorMoveFromRowToRow) {
  // A record that held the start state for every row would hide a walk that carries nothing.
  auto scene = carryScene({0, 0, 40, 60});
  const auto plan = scene->plan();
  WeatheringCarry carry;
  ASSERT_TRUE(carry.record(*plan, RandomGenerator(5), 40, 1));
  WeatheringScratch row1, row30;
  ASSERT_TRUE(row1.prepare(60));
  ASSERT_TRUE(row30.prepare(60));
  RandomGenerator r1, r30;
  carry.restore(1, r1, row1);
  carry.restore(30, r30, row30);
  EXPECT_NE(row1.water, row30.water);
  EXPECT_NE(r1.next(), r30.next());
}

// Shades the scene's region in bands of `bandRows`, in turn with one scratch carrying the
// state (`carry` none) or in reverse order, each band with a fresh scratch that starts from
// `carry`. The generator starts from `start` either way.
std::vector<Rgba> shadeBands(ShadingScene& scene, const ShadingPlan& plan, int32_t bandRows,
                             const RandomGenerator& start, const WeatheringCarry* carry) {
  const Rect32& region = scene.region();
  std::vector<Rect32> units;
  for (int32_t top = 0; top < region.height(); top += bandRows)
    units.push_back({region.top + top, region.left,
                     region.top + std::min(top + bandRows, region.height()), region.right});
  if (carry) std::reverse(units.begin(), units.end());
  auto inTurn = std::make_unique<ShadingScratch>();
  EXPECT_TRUE(inTurn->prepare(region.width()));
  inTurn->random = start;
  std::vector<Rgba> out(scene.source.size());
  for (const Rect32& unit : units) {
    auto fresh = std::make_unique<ShadingScratch>();
    EXPECT_TRUE(fresh->prepare(region.width()));
    fresh->carry = carry;
    ShadingScratch& scratch = carry ? *fresh : *inTurn;
    BandBuffer band;
    EXPECT_TRUE(band.allocate(unit));
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

bool sameBytes(const std::vector<Rgba>& a, const std::vector<Rgba>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Rgba)) == 0;
}

TEST(WeatheringCarry, BandsInAnyOrderFromTheRecordMatchBandsInTurn) {
  // Bands of 64 rows start on a record; bands of 50 and 7 rows mostly between two.
  auto scene = carryScene({5, 3, 5 + 200, 3 + 140});
  for (int32_t y = 0; y < 200; ++y)
    for (int32_t x = 0; x < 140; ++x)
      scene->sourceAt(x, y) = {static_cast<float>(x % 50) / 50.0f,
                               static_cast<float>(y % 70) / 70.0f, 0.4f, 1.0f};
  const RandomGenerator start(31337);
  for (int wet = 0; wet <= 1; ++wet) {
    scene->settings.wetRain = wet;
    const auto plan = scene->plan();
    ASSERT_TRUE(carriesWeatheringState(*plan));
    WeatheringCarry carry;
    ASSERT_TRUE(carry.record(*plan, start, 200, 64));
    const std::vector<Rgba> reference = shadeBands(*scene, *plan, 64, start, nullptr);
    for (int32_t rows : {64, 50, 7}) {
      const std::vector<Rgba> banded = shadeBands(*scene, *plan, rows, start, &carry);
      EXPECT_TRUE(sameBytes(reference, banded)) << "wet " << wet << ", bands of " << rows;
    }
  }
}

// ---- Whole renders.

// A render target over an image in memory whose render region may lie anywhere inside it.
class OffsetTarget final : public RenderSource {
 public:
  OffsetTarget(int32_t width, int32_t height, Rect32 region)
      : width_(width), region_(region) {
    source.resize(static_cast<size_t>(width * height) * 4);
    mask.resize(static_cast<size_t>(width * height));
    output.assign(source.size(), -1.0f);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        float* p = &source[index(x, y) * 4];
        p[0] = static_cast<float>((x * 7 + y) % 101) / 100.0f;
        p[1] = static_cast<float>((x + y * 3) % 89) / 88.0f;
        p[2] = static_cast<float>((x * y) % 61) / 60.0f;
        p[3] = 1.0f;
        // An ellipse that the region's edges cut.
        const int32_t dx = x - width / 2, dy = y - height / 2;
        mask[index(x, y)] = 4 * dx * dx + dy * dy < width * width / 3 ? 255 : 0;
      }
  }

  Rect32 region() const override { return region_; }
  bool fetch(const Rect32&) override { return true; }
  void readSource(const Rect32& r, float* rgba, int32_t stride) const override {
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x)
        std::memcpy(&rgba[(y - r.top) * stride + (x - r.left) * 4], &source[index(x, y) * 4],
                    4 * sizeof(float));
  }
  void readMask(const Rect32& r, uint8_t* out, int32_t stride) const override {
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x)
        out[(y - r.top) * stride + (x - r.left)] = mask[index(x, y)];
  }
  void write(const Rect32& r, const float* rgba, int32_t stride) override {
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x)
        std::memcpy(&output[index(x, y) * 4], &rgba[(y - r.top) * stride + (x - r.left) * 4],
                    4 * sizeof(float));
  }
  bool cancelled() override { return false; }
  void progress(double) override {}
  FinishContext finishContext() const override { return {}; }

  std::vector<float> source, output;
  std::vector<uint8_t> mask;

 private:
  size_t index(int32_t x, int32_t y) const { return static_cast<size_t>(y * width_ + x); }
  int32_t width_;
  Rect32 region_;
};

struct WeatheredCase {
  std::string name;
  void (*settings)(EffectSettings&);
  int32_t width = 120, height = 200;
  Rect32 region{0, 0, 200, 120};
  int previewScale = 1;
};

// Renders the case with `options` from a run generator seeded alike every time.
std::vector<float> renderCase(const WeatheredCase& c, RenderOptions options) {
  EffectSettings s{};
  resetRunTimeFields(s);
  loadFactoryDefaults(s);
  s.glue = 1;
  s.radius = 12;
  c.settings(s);
  static const EffectPictures noPictures;
  RandomGenerator run(2024);
  OffsetTarget target(c.width, c.height, c.region);
  options.previewScale = c.previewScale;
  options.previewLeft = c.region.left * c.previewScale;
  options.previewTop = c.region.top * c.previewScale;
  options.imageWidth = c.width * c.previewScale;
  options.imageHeight = c.height * c.previewScale;
  EXPECT_EQ(renderEffect(*makeRenderInputs(s, noPictures, run), target, options),
            RenderStatus::done)
      << c.name;
  return target.output;
}

TEST(WeatheredRender, BandsShadedAtOnceGiveTheBytesOfBandsShadedInTurn) {
  const std::vector<WeatheredCase> cases = {
      {"rain only", [](EffectSettings& s) { s.rain = 60; }},
      {"leakiness under moss and lichen",
       [](EffectSettings& s) {
         s.rain = 40;
         s.leakiness = 90;
         s.moss = 60;
         s.blotches = 70;
       }},
      {"wet rain", [](EffectSettings& s) { s.rain = 80, s.wetRain = 1, s.wander = 100; }},
      {"dust only", [](EffectSettings& s) { s.dust = 80; }},
      {"moss and blotches", [](EffectSettings& s) { s.moss = 50, s.blotches = 40; }},
      {"everything",
       [](EffectSettings& s) {
         s.rain = 60, s.moss = 50, s.blotches = 40, s.dust = 30, s.tarnish = 40;
         s.abrasion = 30, s.grit = 20, s.leakiness = 30;
       }},
      {"rain under moss and lichen without leakiness",
       [](EffectSettings& s) {
         s.rain = 60, s.moss = 50, s.blotches = 40, s.dust = 30, s.tarnish = 40;
         s.abrasion = 30, s.grit = 20;
       }},
      {"everything, unlit",
       [](EffectSettings& s) {
         s.glue = kUnlitGlueMode;
         s.rain = 60, s.moss = 50, s.blotches = 40, s.dust = 30, s.leakiness = 30;
       }},
      {"everything, height material",
       [](EffectSettings& s) {
         s.glue = kHeightGlueMode;
         s.rain = 60, s.moss = 50, s.blotches = 40, s.dust = 30;
       }},
  };
  auto withGeometry = [](WeatheredCase c, const char* name, int32_t w, int32_t h, Rect32 region,
                         int scale) {
    c.name += name;
    c.width = w, c.height = h, c.region = region, c.previewScale = scale;
    return c;
  };
  std::vector<WeatheredCase> all = cases;
  for (const WeatheredCase& c : {cases[1], cases[5], cases[6]}) {
    all.push_back(withGeometry(c, ", a small region", 40, 30, {3, 4, 21, 37}, 1));
    all.push_back(withGeometry(c, ", preview scale 3", 90, 170, {0, 0, 170, 90}, 3));
    all.push_back(withGeometry(c, ", a region from row 77", 110, 300, {77, 9, 290, 101}, 1));
    all.push_back(withGeometry(c, ", 131 rows", 70, 131, {0, 0, 131, 70}, 1));
  }
  for (const WeatheredCase& c : all) {
    const std::vector<float> inTurn = renderCase(c, {.processors = 3, .weatheringInTurn = true});
    const std::vector<float> oneProcessor = renderCase(c, {.processors = 1});
    ASSERT_EQ(std::memcmp(inTurn.data(), oneProcessor.data(), inTurn.size() * sizeof(float)), 0)
        << c.name;
    for (int processors : {2, 4}) {
      const std::vector<float> atOnce = renderCase(c, {.processors = processors});
      ASSERT_EQ(inTurn.size(), atOnce.size());
      EXPECT_EQ(std::memcmp(inTurn.data(), atOnce.data(), inTurn.size() * sizeof(float)), 0)
          << c.name << " on " << processors << " processors";
    }
  }
}

}  // namespace
}  // namespace orichalcumite
