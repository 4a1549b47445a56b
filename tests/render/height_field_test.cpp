#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "render/height_field.h"
#include "render/texture_pass.h"
#include "tests/render/blur_test_support.h"

namespace orichalcumite {
namespace {

// Source rows for a builder: a mask (empty: no selection) and one grey for every pixel.
struct Source {
  explicit Source(int w, std::vector<uint8_t> m = {}, float g = 0.5f)
      : width(w), mask(std::move(m)), grey(g) {}
  int width;
  std::vector<uint8_t> mask;
  float grey;
};

// Steps the builder to the end (or until its next step is of stage `until`), handing it each
// row it asks for. Returns the steps taken.
std::vector<HeightStep> build(HeightFieldBuilder& builder, const Source& source,
                              HeightStage until = HeightStage::done) {
  std::vector<HeightStep> steps;
  std::vector<float> colours(static_cast<size_t>(source.width) * 4, source.grey);
  while (!builder.isDone() && builder.nextStep().stage != until && steps.size() < 100000) {
    const HeightStep next = builder.nextStep();
    steps.push_back(next);
    HeightRowInput input;
    if (next.needsMask && !source.mask.empty())
      input.mask = source.mask.data() + static_cast<size_t>(next.row) * source.width;
    if (next.needsColour) input.rgba = colours.data();
    builder.step(input);
  }
  return steps;
}

HeightFieldParams params(int width, int height, int shape = 1, int heightSetting = 60) {
  HeightFieldParams p;
  p.regionWidth = width;
  p.regionHeight = height;
  p.shape = shape;
  p.radius = 10;
  p.height = heightSetting;
  return p;
}

std::vector<uint8_t> discMask(int w, int h, double cx, double cy, double r) {
  std::vector<uint8_t> m;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      m.push_back((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r ? 255 : 0);
  return m;
}

TEST(HeightStages, RunInTheDocumentedOrderAskingForTheRightRows) {
  // (stage, row, needs mask, needs colour) of every step of a 3-row region with embossing,
  // and of the edgeless route (shapes 14 and 15).
  using Step = std::tuple<int, int, bool, bool>;
  const std::vector<Step> bevel = {
      {-1, 0, true, false},   {-1, 1, true, false},  {-1, 2, true, false}, {-1, -1, false, false},
      {70, -1, false, false}, {2, -1, false, false}, {4, 0, false, false}, {4, 1, false, false},
      {4, 2, false, false},   {85, 0, false, true},  {85, 1, false, true}, {85, 2, false, true}};
  const std::vector<Step> edgeless = {
      {81, 0, true, false},  {81, 1, true, false},  {81, 2, true, false}, {82, -1, false, false},
      {84, 0, false, false}, {84, 1, false, false}, {84, 2, false, false}};
  for (int shape : {1, 14, 15}) {
    HeightFieldParams p = params(5, 3, shape);
    p.embossing = shape == 1 ? 20 : 0;
    HeightFieldBuilder builder;
    ASSERT_TRUE(builder.prepare(p));
    std::vector<Step> steps;
    for (const HeightStep& s : build(builder, Source{5}))
      steps.emplace_back(static_cast<int>(s.stage), s.row, s.needsMask, s.needsColour);
    EXPECT_EQ(steps, shape == 1 ? bevel : edgeless) << shape;
  }
}

TEST(HeightField, WithoutASelectionTheRegionBorderIsBevelled) {
  HeightFieldBuilder b;
  ASSERT_TRUE(b.prepare(params(120, 90)));
  build(b, Source{120});
  // The ramp is deepest at the border and rises to the plateau (0) beyond the 10-pixel bevel.
  EXPECT_GT(b.depth(0, 45), b.depth(5, 45));
  EXPECT_GT(b.depth(5, 45), b.depth(10, 45));
  EXPECT_GT(b.depth(60, 89), b.depth(60, 84));
  EXPECT_GT(b.depth(119, 45), 0.5f * b.profile().values[3000]);
  EXPECT_NEAR(b.depth(60, 45), 0.0f, 1e-3);
}

TEST(HeightField, TheRegionBorderActsLikeAnUnselectedSurround) {
  // A region without selection must give the same pixels as the middle of a larger region
  // whose selection stops there: the blurs near the border have enough margin. Checked over
  // the region and the ring the shading reads. For the table shapes this holds up to the
  // profile stage, which maps the region only (the margin keeps its closeness; see
  // OnlyTheRegionGoesThroughTheProfileTheMarginKeepsItsCloseness); the edgeless shape has
  // no profile and is compared when done.
  const int w = 60, h = 45, pad = 40, W = w + 2 * pad;
  std::vector<uint8_t> surround(static_cast<size_t>(W * (h + 2 * pad)), 0);
  for (int y = 0; y < h; ++y) std::fill_n(surround.begin() + (y + pad) * W + pad, w, 255);
  for (int shape : {1, 8, 14}) {
    const HeightStage until = isEdgelessShape(shape) ? HeightStage::done : HeightStage::profile;
    for (int smoothness : {0, 100}) {
      HeightFieldParams p = params(w, h, shape);
      p.smoothness = smoothness;
      HeightFieldBuilder a, b;
      ASSERT_TRUE(a.prepare(p));
      build(a, Source{w}, until);
      p.regionWidth = W;
      p.regionHeight = h + 2 * pad;
      ASSERT_TRUE(b.prepare(p));
      build(b, Source{W, surround}, until);
      for (int y = -kShadingReachPx; y < h + kShadingReachPx; ++y)
        for (int x = -kShadingReachPx; x < w + kShadingReachPx; ++x) {
          const float expected = b.depth(x + pad, y + pad);
          ASSERT_NEAR(a.depth(x, y), expected, 1e-3f * std::fabs(expected) + 1e-3f)
              << shape << " " << smoothness << " " << x << "," << y;
        }
      // Vertical blur bands start on cache lines (see float_image.h).
      EXPECT_EQ(a.workArea().left % kRowAlignFloats, 0);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(a.field().row(1)) % 64, 0u);
    }
  }
}

TEST(HeightField, TheMarginHoldsWhatTheWidestBlurCarriesOutOfTheRegion) {
  // The shading reads the field up to kShadingReachPx pixels outside the region, so those
  // pixels must hold what they would hold if the image went on unselected. The edgeless
  // shape's blur by the bevel radius carries the region's depth far out (51 pixels for a
  // radius of 40, 99 for 75), and the field's margin must be wide enough for the blur's
  // clamped edges to act like an endless surround where the shading reads. A region without
  // selection is compared with the middle of a larger one whose selection stops there.
  const int w = 50, h = 36, pad = 120, W = w + 2 * pad, H = h + 2 * pad;
  std::vector<uint8_t> surround(static_cast<size_t>(W * H), 0);
  for (int y = 0; y < h; ++y) std::fill_n(surround.begin() + (y + pad) * W + pad, w, 255);
  for (int radius : {25, 40, 50}) {  // 50 is a bevel radius of 75 pixels
    HeightFieldParams p = params(w, h, kEdgelessShape);
    p.radius = radius;
    HeightFieldBuilder alone, inside;
    ASSERT_TRUE(alone.prepare(p));
    build(alone, Source{w});
    p.regionWidth = W;
    p.regionHeight = H;
    ASSERT_TRUE(inside.prepare(p));
    build(inside, Source{W, surround});
    for (int y = -kShadingReachPx; y < h + kShadingReachPx; ++y)
      for (int x = -kShadingReachPx; x < w + kShadingReachPx; ++x) {
        const float expected = inside.depth(x + pad, y + pad);
        ASSERT_NEAR(alone.depth(x, y), expected, 1e-5f * std::fabs(expected) + 1e-3f)
            << "radius " << radius << " at " << x << "," << y;
      }
  }
}

// The obvious profile lookup: the closeness limited to 0..2999 and the entries either side
// of it mixed linearly (entry 3000 is never read).
double slowProfileValue(const ProfileTable& table, double closeness) {
  const double k = std::clamp(closeness, 0.0, 2999.0);
  const int i = static_cast<int>(k);
  const int next = std::min(i + 1, 2999);
  const double low = static_cast<double>(table.values[static_cast<size_t>(i)]);
  const double high = static_cast<double>(table.values[static_cast<size_t>(next)]);
  return low + (high - low) * (k - i);
}

TEST(HeightField, OnlyTheRegionGoesThroughTheProfileTheMarginKeepsItsCloseness) {
  // A selection that runs off the image at the left and the top. Beyond those edges the
  // margin holds the closeness of the mask edge (3000), not a depth; the two finishing blurs
  // carry it into the pixels along the image edge and into the ring the shading reads.
  const int w = 40, h = 30;
  std::vector<uint8_t> mask(static_cast<size_t>(w * h), 0);
  for (int y = 0; y < 20; ++y) std::fill_n(mask.begin() + y * w, 26, uint8_t{255});
  for (int shape : {1, 3, 8}) {
    HeightFieldParams p = params(w, h, shape);
    HeightFieldBuilder b;
    ASSERT_TRUE(b.prepare(p));
    build(b, Source{w, mask}, HeightStage::profile);
    ASSERT_EQ(b.nextStep().stage, HeightStage::profile);

    // The reference, from the smoothed closeness: limited to 0..3000, depths from the profile
    // inside the region only, then two blurs of radius 2 over the whole field. Beyond the
    // area the builder works on, the field is filled with the closeness of an endless
    // unselected surround (3000), so that the reference does not depend on that area.
    const Rect32 area = b.workArea();
    const Rect32 region = b.region();
    FloatImage expected;
    ASSERT_TRUE(expected.reset(b.field().width(), b.field().height()));
    for (int y = 0; y < expected.height(); ++y)
      for (int x = 0; x < expected.width(); ++x) {
        double k =
            area.contains(x, y) ? std::clamp(double(b.field().at(x, y)), 0.0, 3000.0) : 3000.0;
        if (region.contains(x, y)) k = slowProfileValue(b.profile(), k);
        expected.at(x, y) = static_cast<float>(k);
      }
    const BlurPlan finishing = blurPlan(2);
    for (int round = 0; round < 2; ++round)
      for (int i = 0; i < finishing.count; ++i)
        naivePass(expected, expected.bounds(), finishing.passes[i]);

    b.step();  // the profile stage
    ASSERT_EQ(b.nextStep().stage, HeightStage::grain);
    for (int y = -kShadingReachPx; y < h + kShadingReachPx; ++y)
      for (int x = -kShadingReachPx; x < w + kShadingReachPx; ++x) {
        const float e = expected.at(x + kHeightFieldMargin, y + kHeightFieldMargin);
        ASSERT_NEAR(b.depth(x, y), e, 1e-4f * std::fabs(e) + 1e-3f)
            << "shape " << shape << " at " << x << "," << y;
      }
  }
}

TEST(HeightField, OneThreadEqualsManyAndTinyRegionsBuild) {
  for (auto [w, h] : {std::pair{150, 110}, std::pair{1, 1}, std::pair{63, 2}, std::pair{2, 70}}) {
    const Source source{w, discMask(w, h, w * 0.45, h * 0.45, w * 0.3)};
    for (int shape : {2, 14}) {
      HeightFieldParams p = params(w, h, shape);
      p.radius = 60;
      HeightFieldBuilder serial;
      ASSERT_TRUE(serial.prepare(p));
      build(serial, source);
      ThreadedBlurRunner threads(3, 16);
      HeightFieldBuilder parallel(&threads);
      ASSERT_TRUE(parallel.prepare(p));
      build(parallel, source);
      ASSERT_TRUE(parallel.isDone());
      for (int y = 0; y < serial.field().height(); ++y)
        for (int x = 0; x < serial.field().width(); ++x)
          ASSERT_EQ(serial.field().at(x, y), parallel.field().at(x, y)) << w << " " << shape;
    }
  }
  HeightFieldBuilder refused;
  EXPECT_FALSE(refused.prepare(params(0, 10)));
  EXPECT_FALSE(refused.prepare(params(2000000000, 5)));
  refused.step();  // stepping a refused builder does nothing
  EXPECT_TRUE(refused.isDone());
}

// A tile whose green is a fixed pattern of its coordinates; safe on any thread.
void patternTile(const void*, const float* u, float v, int32_t count, float* green) {
  for (int32_t i = 0; i < count; ++i) green[i] = std::fabs(std::sin(u[i] * 40.0f + v * 17.0f));
}

// Hands runRows out in bands of 5 rows to three threads, slot t to thread t; blurs serially.
class ThreadedRowRunner final : public BlurRunner {
 public:
  void runPass(FloatImage& image, const Rect32& area, const BlurPass& pass) override {
    serial_.runPass(image, area, pass);
  }
  int rowSlots() const override { return 3; }
  void runRows(int32_t first, int32_t end, RowBandTask task, const void* context) override {
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t)
      workers.emplace_back([=] {
        for (int32_t b = first + t * 5; b < end; b += 15) task(context, b, std::min(b + 5, end), t);
      });
    for (std::thread& w : workers) w.join();
    ++calls;
  }
  int calls = 0;

 private:
  SerialBlurRunner serial_;
};

TEST(HeightField, GrainRowsRunAtOnceOnThreadsGiveTheFieldOfRowSteps) {
  const int tileHandle = 0;
  const TextureTile tile{&tileHandle, &patternTile, 256, 256};
  for (auto [w, h] : {std::pair{150, 110}, std::pair{7, 1}, std::pair{1, 13}})
    for (int shape : {2, 14})
      for (int embossing : {0, 30}) {
        const Source source{w, discMask(w, h, w * 0.5, h * 0.5, w * 0.3)};
        HeightFieldParams p = params(w, h, shape);
        p.grit = 40;
        p.embossing = embossing;
        p.texture = TextureParams{3, 60, 40, 5, -7, 0, 0, tile};
        RandomGenerator steppedRandom(5), batchedRandom(5);
        p.random = &steppedRandom;
        HeightFieldBuilder stepped;
        ASSERT_TRUE(stepped.prepare(p));
        build(stepped, source);

        p.random = &batchedRandom;
        ThreadedRowRunner runner;
        HeightFieldBuilder batched(&runner);
        ASSERT_TRUE(batched.prepare(p));
        EXPECT_FALSE(batched.runGrainRows());  // the first stage takes the mask
        build(batched, source, shape == 14 ? HeightStage::edgelessGrain : HeightStage::grain);
        ASSERT_TRUE(batched.runGrainRows());
        EXPECT_EQ(runner.calls, 1);
        EXPECT_FALSE(batched.runGrainRows());  // embossing or done follows
        build(batched, source);
        ASSERT_TRUE(batched.isDone());
        for (int y = 0; y < stepped.field().height(); ++y)
          for (int x = 0; x < stepped.field().width(); ++x)
            ASSERT_EQ(stepped.field().at(x, y), batched.field().at(x, y)) << w << "x" << h;
        EXPECT_EQ(steppedRandom.next(), batchedRandom.next());  // the same bytes drawn
      }
}

TEST(HeightField, EdgelessDepthRowsRunInChunksOnThreadsGiveTheFieldOfRowSteps) {
  for (auto [w, h] : {std::pair{150, 110}, std::pair{9, 1}, std::pair{1, 13}}) {
    const Source source{w, discMask(w, h, w * 0.5, h * 0.5, w * 0.3)};
    const HeightFieldParams p = params(w, h, 14);
    HeightFieldBuilder stepped;
    ASSERT_TRUE(stepped.prepare(p));
    build(stepped, source);

    ThreadedRowRunner runner;
    HeightFieldBuilder chunked(&runner);
    ASSERT_TRUE(chunked.prepare(p));
    // Chunks of 40 rows, the last one asking past the region's end.
    for (int32_t row = 0; row < h; row += 40) {
      ASSERT_EQ(chunked.nextStep().row, row);
      ASSERT_TRUE(chunked.runEdgelessDepthRows(40, source.mask.data() + size_t(row) * size_t(w)));
    }
    EXPECT_EQ(chunked.nextStep().stage, HeightStage::edgelessBlur);
    EXPECT_FALSE(chunked.runEdgelessDepthRows(40, source.mask.data()));  // not a depth row
    build(chunked, source);
    ASSERT_TRUE(chunked.isDone());
    for (int y = 0; y < stepped.field().height(); ++y)
      for (int x = 0; x < stepped.field().width(); ++x)
        ASSERT_EQ(stepped.field().at(x, y), chunked.field().at(x, y)) << w << "x" << h;
  }
  // The profiled shapes seed their distances row by row.
  HeightFieldBuilder seeded;
  ASSERT_TRUE(seeded.prepare(params(20, 10, 2)));
  const std::vector<uint8_t> mask(200, 255);
  EXPECT_FALSE(seeded.runEdgelessDepthRows(10, mask.data()));
}

TEST(HeightField, EdgelessWithZeroHeightIsFlatUntilGritThenTakesOneByteAPixel) {
  const int w = 40, h = 30;
  HeightFieldBuilder flat;
  ASSERT_TRUE(flat.prepare(params(w, h, 14, 0)));
  build(flat, Source{w, discMask(w, h, 20, 15, 10)});
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(flat.depth(x, y), 0.0f);

  HeightFieldParams p = params(7, 4, 14, 0);
  p.grit = 100;
  RandomGenerator random(1234), replay(1234);
  p.random = &random;
  HeightFieldBuilder gritty;
  ASSERT_TRUE(gritty.prepare(p));
  build(gritty, Source{7});
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x)  // row by row, left to right: depth - grit x u / 256
      EXPECT_FLOAT_EQ(gritty.depth(x, y),
                      -100.0f * static_cast<float>(replay.next() % 256) / 256.0f);
  EXPECT_EQ(random.next(), replay.next());  // and not one byte more
}

TEST(HeightField, EmbossingSinksBrightSourcesByTheirBrightness) {
  // White is brightness 16384; the change is brightness x embossing / 2048, rounded down.
  // Sources outside 0..1 stay finite and never raise the surface.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (auto [grey, embossing, expected] :
       {std::tuple{1.0f, 100, -800.0f}, std::tuple{0.5f, 100, -400.0f},
        std::tuple{1.0f, -100, 800.0f}, std::tuple{1000.0f / 16384.0f, -3, 2.0f},
        std::tuple{1000.0f / 16384.0f, 3, -1.0f}, std::tuple{-5.0f, 100, 0.0f},
        std::tuple{nan, 100, 0.0f}, std::tuple{1.0e30f, 100, -16384.0f * 65535 * 100 / 2048}}) {
    HeightFieldParams p = params(6, 2, 14, 0);
    p.embossing = embossing;
    HeightFieldBuilder builder;
    ASSERT_TRUE(builder.prepare(p));
    build(builder, Source{6, {}, grey});
    for (int x = 0; x < 6; ++x) EXPECT_EQ(builder.depth(x, 1), expected) << grey << " " << x;
    // The column right of the region, which the shading reads, repeats the last column.
    EXPECT_EQ(builder.depth(6, 0), expected);
    EXPECT_EQ(builder.depth(-1, 0), 0.0f);
  }
}

TEST(HeightExtremes, AreRecordedForTheHeightGlueOnly) {
  const int w = 50, h = 40;
  const Source source{w, discMask(w, h, 25, 20, 15)};
  HeightFieldParams p = params(w, h, 1, -37);  // negative depths: rounding toward zero
  p.glue = kHeightGlueMode;
  p.grit = 50;
  HeightFieldBuilder builder;
  ASSERT_TRUE(builder.prepare(p));
  build(builder, source);
  double highest = -1e30, lowest = 1e30;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      highest = std::max(highest, double(builder.depth(x, y)));
      lowest = std::min(lowest, double(builder.depth(x, y)));
    }
  EXPECT_EQ(builder.extremes().maximum, static_cast<int>(std::trunc(highest)));
  EXPECT_EQ(builder.extremes().minimum, static_cast<int>(std::trunc(lowest)));
  EXPECT_LT(lowest, -1.0);

  p.glue = 1;
  ASSERT_TRUE(builder.prepare(p));
  build(builder, source);
  EXPECT_EQ(builder.extremes().maximum, -32767);
  EXPECT_EQ(builder.extremes().minimum, 32767);
}

// A tile whose green is `value` everywhere; it records where it was sampled.
struct RecordingTile {
  float value = 0.5f;
  std::vector<float> u, v;
  static void sample(const void* self, const float* u, float v, int32_t count, float* green) {
    auto* tile = const_cast<RecordingTile*>(static_cast<const RecordingTile*>(self));
    for (int32_t i = 0; i < count; ++i) {
      tile->u.push_back(u[i]);
      tile->v.push_back(v);
      green[i] = tile->value;
    }
  }
  TextureTile asTile(int width = 256) const { return TextureTile{this, &sample, width, 256}; }
};

TEST(HeightField, ExtremeSettingsStayFinite) {
  const int w = 48, h = 33;
  RecordingTile bright;
  bright.value = 1.0f;
  for (int shape = 1; shape <= 15; ++shape)
    for (auto [radius, height, smoothness] : {std::tuple{2, -100, 0}, std::tuple{100, 100, 100}}) {
      HeightFieldParams p = params(w, h, shape, height);
      p.radius = radius;
      p.smoothness = smoothness;
      p.grit = 100;
      p.embossing = -100;
      p.texture = TextureParams{5, 100, 100, 32767, -32768, 0, 0, bright.asTile()};
      HeightFieldBuilder builder;
      ASSERT_TRUE(builder.prepare(p));
      build(builder, Source{w, discMask(w, h, 20, 16, 14), 50.0f});
      for (int y = -kShadingReachPx; y < h + kShadingReachPx; ++y)
        for (int x = -kShadingReachPx; x < w + kShadingReachPx; ++x)
          ASSERT_TRUE(std::isfinite(builder.depth(x, y))) << shape << " " << radius;
    }
}

TEST(TexturePass, ChangesDepthBy1530TimesStrengthTimesSampleOverZoomAndScale) {
  EXPECT_EQ(textureZoomFactor(0), 1600);
  EXPECT_EQ(textureZoomFactor(100), 12);
  EXPECT_GE(textureZoomFactor(100000), 1);  // never a division by zero
  RecordingTile tile;
  tile.value = 0.75f;
  for (auto [strength, zoom, scale] :
       {std::tuple{55, 55, 1}, std::tuple{-100, 0, 1}, std::tuple{100, 100, 3}}) {
    HeightFieldParams p = params(9, 4, 14, 0);
    p.previewScale = scale;
    p.texture = TextureParams{3, strength, zoom, 0, 0, 0, 0, tile.asTile()};
    HeightFieldBuilder builder;
    ASSERT_TRUE(builder.prepare(p));
    build(builder, Source{9});
    const double expected = -1530.0 * strength * 0.75 / (textureZoomFactor(zoom) * scale);
    EXPECT_NEAR(builder.depth(4, 2), expected, 1e-4 * std::fabs(expected)) << strength;
  }
  // Nothing happens for "none", without a tile, for an empty tile or at strength 0.
  tile.u.clear();
  for (const TextureParams& t : {TextureParams{1, 50, 50, 0, 0, 0, 0, tile.asTile()},
                                 TextureParams{3, 50, 50, 0, 0, 0, 0, TextureTile{}},
                                 TextureParams{3, 0, 50, 0, 0, 0, 0, tile.asTile()},
                                 TextureParams{3, 50, 50, 0, 0, 0, 0, tile.asTile(0)}})
    EXPECT_FALSE(texturePlan(t, 1).active);
}

TEST(TexturePass, SamplesTheRepeatingTileSixteenTexelsPerPixelAtZoomZero) {
  RecordingTile plain, moved;
  std::vector<float> scratch(10), depths(5);
  const TextureParams base{3, 10, 0, 0, 0, 0, 0, plain.asTile()};
  applyTextureRow(depths.data(), 5, 2, texturePlan(base, 1), scratch.data());
  // Pixel x sits at 16 x - 2/128 texels; texel position t is tile coordinate (t + 0.5) / 256.
  for (int x = 0; x < 5; ++x) {
    const double t = (16.0 * x - 2.0 / 128.0 + 0.5) / 256.0;
    EXPECT_NEAR(plain.u[x], t - std::floor(t), 1e-6) << x;
  }
  EXPECT_NEAR(plain.v[0], (32.0 - 2.0 / 128.0 + 0.5) / 256.0, 1e-6);
  // A pan of one whole tile (256 texels) changes nothing; a preview offset of 40 image
  // pixels moves by 40 x 16 texels.
  const TextureParams panned{3, 10, 0, 256, -256, 40, 0, moved.asTile()};
  applyTextureRow(depths.data(), 5, 2, texturePlan(panned, 1), scratch.data());
  for (int x = 0; x < 5; ++x)
    EXPECT_NEAR(std::remainder(double(moved.u[x] - plain.u[x]) * 256.0 - 640.0, 256.0), 0.0, 1e-3);
  EXPECT_NEAR(moved.v[0], plain.v[0], 1e-6);
  // Negative whole tile positions wrap to 1, not 0.
  EXPECT_EQ(wrapTileCoordinate(-2.0), 1.0f);
  EXPECT_EQ(wrapTileCoordinate(-0.25), 0.75f);
  EXPECT_EQ(wrapTileCoordinate(2.25), 0.25f);
}

}  // namespace
}  // namespace orichalcumite
