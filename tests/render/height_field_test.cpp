#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <algorithm>
#include <functional>
#include <limits>
#include <tuple>
#include <utility>
#include <thread>
#include <vector>

#include "render/height_field.h"
#include "render/texture_pass.h"

namespace orichalcumite {
namespace {

// Source rows for a builder: a mask (empty: no selection) and one colour for every pixel.
struct Source {
  explicit Source(int w, std::vector<uint8_t> m = {}) : width(w), mask(std::move(m)) {}
  int width = 0;
  std::vector<uint8_t> mask;  // row-major, or empty
  float red = 0.5f, green = 0.5f, blue = 0.5f;
};

// Steps the builder to the end, handing it each row it asks for. Returns the steps taken.
std::vector<HeightStep> build(HeightFieldBuilder& builder, const Source& source) {
  std::vector<HeightStep> steps;
  std::vector<float> colours(static_cast<size_t>(source.width) * 4);
  for (int x = 0; x < source.width; ++x) {
    colours[4 * x] = source.red;
    colours[4 * x + 1] = source.green;
    colours[4 * x + 2] = source.blue;
    colours[4 * x + 3] = 1.0f;
  }
  while (!builder.isDone()) {
    const HeightStep next = builder.nextStep();
    steps.push_back(next);
    HeightRowInput input;
    if (next.needsMask && !source.mask.empty())
      input.mask = source.mask.data() + static_cast<size_t>(next.row) * source.width;
    if (next.needsColour) input.rgba = colours.data();
    builder.step(input);
    if (steps.size() > 100000) break;  // a stuck machine fails below rather than hanging
  }
  return steps;
}

HeightFieldParams params(int width, int height) {
  HeightFieldParams p;
  p.regionWidth = width;
  p.regionHeight = height;
  p.radius = 10;
  p.height = 60;
  p.smoothness = 30;
  return p;
}

std::vector<uint8_t> discMask(int w, int h, double cx, double cy, double r) {
  std::vector<uint8_t> m(static_cast<size_t>(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      m[static_cast<size_t>(y * w + x)] =
          (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r ? 255 : 0;
  return m;
}

// Runs each blur pass as bands on several threads.
class ThreadedRunner final : public BlurRunner {
 public:
  void runPass(FloatImage& image, const Rect32& area, const BlurPass& pass) override {
    const bool rows = pass.axis == BlurAxis::horizontal;
    const int first = rows ? area.top : area.left, end = rows ? area.bottom : area.right;
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t)
      workers.emplace_back([&, t] {
        BlurScratch scratch;
        for (int b = first + t * 16; b < end; b += 48)
          blurBand(image, area, pass, b, std::min(b + 16, end), scratch);
      });
    for (std::thread& w : workers) w.join();
  }
};

TEST(HeightStages, RunInTheDocumentedOrderAskingForTheRightRows) {
  HeightFieldBuilder builder;
  HeightFieldParams p = params(5, 3);
  p.embossing = 20;
  ASSERT_TRUE(builder.prepare(p));
  const std::vector<HeightStep> steps = build(builder, Source{5});
  // (stage, row, mask, colour) of every step.
  const std::vector<std::tuple<int, int, bool, bool>> expected = {
      {-1, 0, true, false}, {-1, 1, true, false}, {-1, 2, true, false}, {-1, -1, false, false},
      {70, -1, false, false}, {2, -1, false, false},
      {4, 0, false, false}, {4, 1, false, false}, {4, 2, false, false},
      {85, 0, false, true}, {85, 1, false, true}, {85, 2, false, true}};
  ASSERT_EQ(steps.size(), expected.size());
  for (size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(static_cast<int>(steps[i].stage), std::get<0>(expected[i])) << i;
    EXPECT_EQ(steps[i].row, std::get<1>(expected[i])) << i;
    EXPECT_EQ(steps[i].needsMask, std::get<2>(expected[i])) << i;
    EXPECT_EQ(steps[i].needsColour, std::get<3>(expected[i])) << i;
  }
  EXPECT_EQ(builder.nextStep().stage, HeightStage::done);
}

TEST(HeightStages, EdgelessShapesTakeTheirOwnRoute) {
  for (int shape : {14, 15}) {
    HeightFieldBuilder builder;
    HeightFieldParams p = params(4, 2);
    p.shape = shape;
    ASSERT_TRUE(builder.prepare(p));
    const std::vector<HeightStep> steps = build(builder, Source{4});
    const std::vector<std::pair<int, int>> expected = {{81, 0}, {81, 1}, {82, -1}, {84, 0}, {84, 1}};
    ASSERT_EQ(steps.size(), expected.size()) << shape;
    for (size_t i = 0; i < steps.size(); ++i) {
      EXPECT_EQ(static_cast<int>(steps[i].stage), expected[i].first) << shape << " " << i;
      EXPECT_EQ(steps[i].row, expected[i].second) << shape << " " << i;
    }
  }
}

TEST(HeightStages, EmptyOrOversizedRegionsAreRefused) {
  HeightFieldBuilder builder;
  EXPECT_FALSE(builder.prepare(params(0, 10)));
  EXPECT_TRUE(builder.isDone());
  EXPECT_FALSE(builder.prepare(params(10, -1)));
  EXPECT_FALSE(builder.prepare(params(2000000000, 5)));
  builder.step();  // stepping a refused builder does nothing
  EXPECT_TRUE(builder.isDone());
}

TEST(HeightField, WithoutASelectionTheRegionBorderIsBevelled) {
  HeightFieldBuilder builder;
  ASSERT_TRUE(builder.prepare(params(120, 90)));
  build(builder, Source{120});
  // The ramp: deepest at the border, rising to the plateau (0) beyond the bevel.
  const int r = builder.bevelRadiusPx();
  EXPECT_EQ(r, 10);
  EXPECT_GT(builder.depth(0, 45), builder.depth(r / 2, 45));
  EXPECT_GT(builder.depth(r / 2, 45), builder.depth(r, 45));
  EXPECT_GT(builder.depth(60, 0), builder.depth(60, r / 2));
  EXPECT_GT(builder.depth(119, 45), builder.depth(119 - r / 2, 45));
  EXPECT_GT(builder.depth(60, 89), builder.depth(60, 89 - r / 2));
  EXPECT_GT(builder.depth(0, 45), 0.5f * builder.profile().values[3000]);
  EXPECT_NEAR(builder.depth(60, 45), 0.0f, 1e-3);
}

TEST(HeightField, TheRegionBorderActsLikeAnUnselectedSurround) {
  // The region with no selection must come out as the same pixels inside a larger region
  // whose selection stops at the small region's edge: the blurs near the border work on
  // enough margin to match. Checked over the region and the ring the shading reads.
  const int w = 60, h = 45, pad = 40;
  for (int shape : {1, 8, 14}) {
    for (int smoothness : {0, 100}) {
      HeightFieldParams small = params(w, h);
      small.shape = shape;
      small.smoothness = smoothness;
      HeightFieldBuilder a;
      ASSERT_TRUE(a.prepare(small));
      build(a, Source{w});

      HeightFieldParams large = small;
      large.regionWidth = w + 2 * pad;
      large.regionHeight = h + 2 * pad;
      Source surround{w + 2 * pad};
      surround.mask.assign(static_cast<size_t>((w + 2 * pad) * (h + 2 * pad)), 0);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          surround.mask[static_cast<size_t>((y + pad) * (w + 2 * pad) + x + pad)] = 255;
      HeightFieldBuilder b;
      ASSERT_TRUE(b.prepare(large));
      build(b, surround);

      const int ring = kShadingReachPx;
      for (int y = -ring; y < h + ring; ++y)
        for (int x = -ring; x < w + ring; ++x) {
          const float expected = b.depth(x + pad, y + pad);
          ASSERT_NEAR(a.depth(x, y), expected, 1e-3f * std::fabs(expected) + 1e-3f)
              << shape << " " << smoothness << " " << x << "," << y;
        }
    }
  }
}

TEST(FloatImage, RowsStartOnCacheLinesAndStartAtZero) {
  FloatImage img;
  ASSERT_TRUE(img.reset(37, 5));
  EXPECT_EQ(img.stride() % 16, 0);
  for (int y = 0; y < 5; ++y) {
    EXPECT_EQ(reinterpret_cast<uintptr_t>(img.row(y)) % 64, 0u) << y;
    for (int x = 0; x < 37; ++x) EXPECT_EQ(img.at(x, y), 0.0f);
  }
  img.fill(2.0f);
  ASSERT_TRUE(img.reset(37, 5));  // same size: the block is kept, and cleared
  EXPECT_EQ(img.at(36, 4), 0.0f);
  EXPECT_FALSE(img.reset(0, 5));
  EXPECT_TRUE(img.isEmpty());
}

TEST(HeightField, WorkAreaCoversTheShadingRingAndStartsOnACacheLine) {
  for (int shape : {1, 14}) {
    for (int radius : {2, 35, 100}) {
      HeightFieldParams p = params(30, 20);
      p.shape = shape;
      p.radius = radius;
      HeightFieldBuilder builder;
      ASSERT_TRUE(builder.prepare(p));
      const Rect32 area = builder.workArea(), region = builder.region();
      EXPECT_EQ(area.left % 16, 0);
      EXPECT_LE(area.left, region.left - kShadingReachPx);
      EXPECT_LE(area.top, region.top - kShadingReachPx);
      EXPECT_GE(area.right, region.right + kShadingReachPx);
      EXPECT_GE(area.bottom, region.bottom + kShadingReachPx);
      EXPECT_GE(area.left, 0);
      EXPECT_LE(area.right, builder.field().width());
    }
  }
}

TEST(HeightField, OneThreadEqualsManyThreads) {
  const int w = 150, h = 110;
  Source source{w, discMask(w, h, 70, 50, 45)};
  for (int shape : {2, 14}) {
    HeightFieldParams p = params(w, h);
    p.shape = shape;
    p.radius = 60;
    HeightFieldBuilder serial;
    ASSERT_TRUE(serial.prepare(p));
    build(serial, source);
    ThreadedRunner threads;
    HeightFieldBuilder parallel(&threads);
    ASSERT_TRUE(parallel.prepare(p));
    build(parallel, source);
    for (int y = 0; y < serial.field().height(); ++y)
      for (int x = 0; x < serial.field().width(); ++x)
        ASSERT_EQ(serial.field().at(x, y), parallel.field().at(x, y)) << shape << " " << x << "," << y;
  }
}

TEST(HeightField, TinyRegionsBuild) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{63, 2}, std::pair{2, 70}}) {
    for (int shape : {1, 9, 14}) {
      HeightFieldParams p = params(w, h);
      p.shape = shape;
      ThreadedRunner threads;
      HeightFieldBuilder builder(&threads);
      ASSERT_TRUE(builder.prepare(p));
      build(builder, Source{w});
      ASSERT_TRUE(builder.isDone());
      EXPECT_EQ(builder.field().width(), w + 300);
      EXPECT_EQ(builder.field().height(), h + 300);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) EXPECT_TRUE(std::isfinite(builder.depth(x, y)));
      // A single pixel is all border: the deepest part of the ramp.
      if (w == 1 && shape == 1) {
        EXPECT_GT(builder.depth(0, 0), 0.0f);
      }
    }
  }
}

TEST(HeightField, EdgelessWithZeroHeightIsFlat) {
  const int w = 40, h = 30;
  Source source{w, discMask(w, h, 20, 15, 10)};
  HeightFieldParams p = params(w, h);
  p.shape = 14;
  p.height = 0;
  HeightFieldBuilder builder;
  ASSERT_TRUE(builder.prepare(p));
  build(builder, source);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) EXPECT_EQ(builder.depth(x, y), 0.0f);
}

TEST(HeightField, EdgelessRaisesTheSelectionByItsBlurredMask) {
  // With no selection the whole region stands at -255 x r x height / 50 in its middle.
  const int w = 200, h = 200;
  HeightFieldParams p = params(w, h);
  p.shape = 14;
  p.radius = 8;
  HeightFieldBuilder builder;
  ASSERT_TRUE(builder.prepare(p));
  build(builder, Source{w});
  EXPECT_NEAR(builder.depth(100, 100), -255.0 * 8 * 60 / 50, 0.01);
  EXPECT_GT(builder.depth(0, 100), builder.depth(100, 100));  // sinks toward the border
}

TEST(HeightField, PlateauBeyondTheBevelLiesAtTheTablesFirstEntry) {
  const int w = 100, h = 100;
  Source source{w, discMask(w, h, 50, 50, 45)};
  for (int shape : {1, 3, 4, 12}) {
    HeightFieldParams p = params(w, h);
    p.shape = shape;
    p.radius = 10;
    HeightFieldBuilder builder;
    ASSERT_TRUE(builder.prepare(p));
    build(builder, source);
    EXPECT_NEAR(builder.depth(50, 50), builder.profile().values[0],
                1e-3f * std::fabs(builder.profile().values[0]) + 1e-3f)
        << shape;
  }
}

TEST(HeightField, GritTakesOneByteOfTheGeneratorPerPixelInRowOrder) {
  const int w = 7, h = 4;
  HeightFieldParams p = params(w, h);
  p.shape = 14;
  p.height = 0;  // flat before the grit
  p.grit = 100;
  RandomGenerator random(1234);
  p.random = &random;
  HeightFieldBuilder builder;
  ASSERT_TRUE(builder.prepare(p));
  build(builder, Source{w});
  RandomGenerator replay(1234);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int u = replay.next() % 256;
      EXPECT_FLOAT_EQ(builder.depth(x, y), -100.0f * static_cast<float>(u) / 256.0f) << x << "," << y;
    }
  // Exactly one byte per pixel was drawn.
  EXPECT_EQ(random.next(), replay.next());
}

TEST(HeightField, EmbossingSinksBrightSourcesByTheirBrightness) {
  const int w = 6, h = 2;
  struct Case {
    float grey;
    int embossing;
    float expected;
  };
  // White is brightness 16384; the change is brightness x embossing / 2048, rounded down.
  for (const Case& c : {Case{1.0f, 100, -800.0f}, Case{0.5f, 100, -400.0f}, Case{0.0f, 100, 0.0f},
                        Case{1.0f, -100, 800.0f}, Case{1000.0f / 16384.0f, -3, 2.0f},
                        Case{1000.0f / 16384.0f, 3, -1.0f}}) {
    HeightFieldParams p = params(w, h);
    p.shape = 14;
    p.height = 0;
    p.embossing = c.embossing;
    HeightFieldBuilder builder;
    ASSERT_TRUE(builder.prepare(p));
    Source source{w};
    source.red = source.green = source.blue = c.grey;
    build(builder, source);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) EXPECT_EQ(builder.depth(x, y), c.expected) << c.grey << " " << x;
    // The column right of the region, which the shading reads, repeats the last column.
    EXPECT_EQ(builder.depth(w, 0), c.expected);
    EXPECT_EQ(builder.depth(-1, 0), 0.0f);
  }
}

TEST(HeightField, HdrAndNegativeSourcesEmbossWithoutOverflow) {
  HeightFieldParams p = params(3, 1);
  p.shape = 14;
  p.height = 0;
  p.embossing = 100;
  for (float grey : {-5.0f, 1.0e20f, std::numeric_limits<float>::infinity(),
                     std::numeric_limits<float>::quiet_NaN()}) {
    HeightFieldBuilder builder;
    ASSERT_TRUE(builder.prepare(p));
    Source source{3};
    source.red = source.green = source.blue = grey;
    build(builder, source);
    EXPECT_TRUE(std::isfinite(builder.depth(1, 0))) << grey;
    EXPECT_LE(builder.depth(1, 0), 0.0f) << grey;
  }
}

TEST(HeightExtremes, AreRecordedForTheHeightGlueOnly) {
  const int w = 50, h = 40;
  Source source{w, discMask(w, h, 25, 20, 15)};
  HeightFieldParams p = params(w, h);
  p.glue = kHeightGlueMode;
  p.height = -37;  // negative depths, to see the rounding toward zero on both sides
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

TEST(HeightExtremes, StartValuesHoldForAFlatField) {
  FloatImage f;
  f.reset(4, 4);
  const HeightExtremes e = heightExtremes(f, f.bounds());
  EXPECT_EQ(e.maximum, 0);
  EXPECT_EQ(e.minimum, 0);
  f.fill(-40000.5f);
  EXPECT_EQ(heightExtremes(f, f.bounds()).maximum, -32767);
  EXPECT_EQ(heightExtremes(f, f.bounds()).minimum, -40000);
}

TEST(HeightField, ExtremeSettingsStayFinite) {
  const int w = 48, h = 33;
  Source source{w, discMask(w, h, 20, 16, 14)};
  const TextureTile constant{reinterpret_cast<const void*>(1),
                             [](const void*, const float*, float, int32_t n, float* g) {
                               for (int32_t i = 0; i < n; ++i) g[i] = 1.0f;
                             },
                             256, 256};
  for (int shape = 1; shape <= 15; ++shape)
    for (int radius : {2, 100})
      for (int height : {-100, 100})
        for (int smoothness : {0, 100}) {
          HeightFieldParams p = params(w, h);
          p.shape = shape;
          p.radius = radius;
          p.height = height;
          p.smoothness = smoothness;
          p.grit = 100;
          p.embossing = -100;
          p.texture = TextureParams{5, 100, 100, 32767, -32768, 0, 0, constant};
          HeightFieldBuilder builder;
          ASSERT_TRUE(builder.prepare(p));
          Source lit = source;
          lit.green = 50.0f;
          build(builder, lit);
          for (int y = -kShadingReachPx; y < h + kShadingReachPx; ++y)
            for (int x = -kShadingReachPx; x < w + kShadingReachPx; ++x)
              ASSERT_TRUE(std::isfinite(builder.depth(x, y)))
                  << shape << " " << radius << " " << height << " " << smoothness;
        }
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
  TextureTile asTile(int width = 256, int height = 256) const {
    return TextureTile{this, &RecordingTile::sample, width, height};
  }
};

TEST(TexturePass, ZoomFactorRunsFrom1600To12) {
  EXPECT_EQ(textureZoomFactor(0), 1600);
  EXPECT_EQ(textureZoomFactor(100), 12);
  EXPECT_EQ(textureZoomFactor(50), 141);  // 100 x 2^0.5
  EXPECT_GE(textureZoomFactor(100000), 1);
  EXPECT_LE(textureZoomFactor(-100000), 1 << 24);
}

TEST(TexturePass, ChangesDepthBy1530TimesStrengthTimesSampleOverZoomAndScale) {
  for (auto [strength, zoom, scale] : {std::tuple{55, 55, 1}, std::tuple{-100, 0, 1},
                                       std::tuple{100, 100, 3}}) {
    RecordingTile tile;
    tile.value = 0.75f;
    HeightFieldParams p = params(9, 4);
    p.shape = 14;
    p.height = 0;
    p.previewScale = scale;
    p.texture = TextureParams{3, strength, zoom, 0, 0, 0, 0, tile.asTile()};
    HeightFieldBuilder builder;
    ASSERT_TRUE(builder.prepare(p));
    build(builder, Source{9});
    const double z = textureZoomFactor(zoom);
    const double expected = -1530.0 * strength * 0.75 / (z * scale);
    EXPECT_NEAR(builder.depth(4, 2), expected, 1e-4 * std::fabs(expected)) << strength;
  }
}

TEST(TexturePass, StepsSixteenTexelsPerPixelAtZoomZero) {
  RecordingTile tile;
  TextureParams t{3, 10, 0, 0, 0, 0, 0, tile.asTile()};
  const TexturePlan plan = texturePlan(t, 1);
  std::vector<float> scratch(2 * 5);
  std::vector<float> depths(5);
  applyTextureRow(depths.data(), 5, 2, plan, scratch.data());
  ASSERT_EQ(tile.u.size(), 5u);
  // Pixel x sits at 16 x - 2/128 texels; the tile coordinate of texel position p is
  // (p + 0.5) / 256, wrapped.
  for (int x = 0; x < 5; ++x) {
    const double p = 16.0 * x - 2.0 / 128.0;
    double expected = (p + 0.5) / 256.0;
    expected -= std::floor(expected);
    EXPECT_NEAR(tile.u[x], expected, 1e-6) << x;
  }
  const double pv = 32.0 - 2.0 / 128.0;
  EXPECT_NEAR(tile.v[0], (pv + 0.5) / 256.0, 1e-6);
}

TEST(TexturePass, PanAndPreviewOffsetShiftTheTile) {
  RecordingTile plain, moved;
  TexturePlan a = texturePlan(TextureParams{3, 10, 100, 0, 0, 0, 0, plain.asTile(100, 50)}, 2);
  // Panning by one tile width and height changes nothing; the preview offset shifts by its
  // own amount: 40 image pixels at zoom 100 (Z = 12) are 40 x 12 / 100 texels.
  TexturePlan b = texturePlan(TextureParams{3, 10, 100, 100, 50, 40, 0, moved.asTile(100, 50)}, 2);
  std::vector<float> scratch(8), depths(4);
  applyTextureRow(depths.data(), 4, 7, a, scratch.data());
  applyTextureRow(depths.data(), 4, 7, b, scratch.data());
  for (int x = 0; x < 4; ++x) {
    double shift = moved.u[x] - plain.u[x];
    shift -= std::floor(shift);
    EXPECT_NEAR(shift, std::fmod(40.0 * 12 / 100 / 100.0, 1.0), 2e-3) << x;
  }
  EXPECT_NEAR(moved.v[0], plain.v[0], 1e-6);
}

TEST(TexturePass, NegativeWholeTilePositionsWrapToOne) {
  EXPECT_EQ(wrapTileCoordinate(-2.0), 1.0f);
  EXPECT_EQ(wrapTileCoordinate(-1.0), 1.0f);
  EXPECT_EQ(wrapTileCoordinate(-0.25), 0.75f);
  EXPECT_EQ(wrapTileCoordinate(3.0), 0.0f);
  EXPECT_EQ(wrapTileCoordinate(2.25), 0.25f);
}

TEST(TexturePass, DoesNothingWithoutATileForNoneOrAtZeroStrength) {
  RecordingTile tile;
  for (TextureParams t : {TextureParams{1, 50, 50, 0, 0, 0, 0, tile.asTile()},
                          TextureParams{3, 50, 50, 0, 0, 0, 0, TextureTile{}},
                          TextureParams{3, 0, 50, 0, 0, 0, 0, tile.asTile()},
                          TextureParams{3, 50, 50, 0, 0, 0, 0, tile.asTile(0, 256)}}) {
    HeightFieldParams p = params(6, 3);
    p.shape = 14;
    p.height = 0;
    p.texture = t;
    HeightFieldBuilder builder;
    ASSERT_TRUE(builder.prepare(p));
    build(builder, Source{6});
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 6; ++x) EXPECT_EQ(builder.depth(x, y), 0.0f);
  }
  EXPECT_TRUE(tile.u.empty());
}

}  // namespace
}  // namespace orichalcumite
