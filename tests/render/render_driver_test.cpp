#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/random_generator.h"
#include "pictures/effect_pictures.h"
#include "render/picture_target.h"
#include "render/render_driver.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

// A render target over images in memory: RGBA floats in, RGBA floats out, a byte mask.
class MemorySource final : public RenderSource {
 public:
  MemorySource(int32_t width, int32_t height) : width_(width), height_(height) {
    source.assign(static_cast<size_t>(width * height) * 4, 0.5f);
    output.assign(source.size(), -1.0f);
    mask.assign(static_cast<size_t>(width * height), 255);
  }

  Rect32 region() const override { return {0, 0, height_, width_}; }
  bool fetch(const Rect32& r) override { return fetchParts(r, Parts{}); }
  bool fetchParts(const Rect32& r, const Parts& parts) override {
    ++fetches;
    fetched = r;
    fetchedParts = parts;
    return !cancelled();
  }
  // A host hands over only the parts asked for, of the rectangle asked for.
  void check(const Rect32& r, bool part) const {
    if (!part || r.top < fetched.top || r.bottom > fetched.bottom || r.left < fetched.left ||
        r.right > fetched.right)
      ++misuse;
  }
  void readSource(const Rect32& r, float* rgba, int32_t stride) const override {
    check(r, fetchedParts.source);
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x)
        for (int c = 0; c < 4; ++c)
          rgba[(y - r.top) * stride + (x - r.left) * 4 + c] = source[index(x, y) * 4 + c];
  }
  void readMask(const Rect32& r, uint8_t* out, int32_t stride) const override {
    check(r, fetchedParts.mask);
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x)
        out[(y - r.top) * stride + (x - r.left)] = mask[index(x, y)];
  }
  void write(const Rect32& r, const float* rgba, int32_t stride) override {
    check(r, fetchedParts.output);
    ++writes;
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x)
        for (int c = 0; c < 4; ++c)
          output[index(x, y) * 4 + c] = rgba[(y - r.top) * stride + (x - r.left) * 4 + c];
  }
  bool cancelled() override { return cancelAfterFetches >= 0 && fetches > cancelAfterFetches; }
  void progress(double fraction) override { reports.push_back(fraction); }
  FinishContext finishContext() const override { return context; }

  size_t index(int32_t x, int32_t y) const { return static_cast<size_t>(y * width_ + x); }
  float grey(int32_t x, int32_t y) const { return output[index(x, y) * 4 + 1]; }

  std::vector<float> source, output;
  std::vector<uint8_t> mask;
  int fetches = 0;
  int writes = 0;
  Rect32 fetched;
  Parts fetchedParts;
  mutable int misuse = 0;  // reads and writes of parts that were not fetched
  int cancelAfterFetches = -1;
  std::vector<double> reports;
  FinishContext context;

 private:
  int32_t width_, height_;
};

EffectSettings testSettings() {
  EffectSettings s{};
  resetRunTimeFields(s);
  loadFactoryDefaults(s);
  s.shape = 1;  // ramp
  s.textureChoice = 1;
  s.radius = 10;
  s.glue = 14;  // the "height" material shows the field itself: white on top, dark deep down
  return s;
}

// Renders `s` without pictures, drawing from `random` (a fixed generator when none is given).
RenderStatus render(const EffectSettings& s, RenderSource& target,
                    const RenderOptions& options = {}, RandomGenerator* random = nullptr) {
  static const EffectPictures noPictures;
  RandomGenerator fixed(1);
  const auto inputs = makeRenderInputs(s, noPictures, random ? *random : fixed);
  return renderEffect(*inputs, target, options);
}

constexpr RenderStatus kDone = RenderStatus::done;

TEST(RenderEffect, OneWorkerAndManyWorkersGiveTheSameImage) {
  MemorySource one(150, 140), many(150, 140);
  for (MemorySource* m : {&one, &many})
    for (int32_t y = 30; y < 110; ++y)
      for (int32_t x = 20; x < 130; ++x) m->mask[m->index(x, y)] = 0;
  const EffectSettings s = testSettings();
  ASSERT_EQ(render(s, one, {.processors = 1}), kDone);
  ASSERT_EQ(render(s, many, {.processors = 5}), kDone);
  EXPECT_EQ(one.output, many.output);
}

TEST(RenderEffect, EveryProcessorCountGivesTheBytesOfTheSerialRender) {
  // One processor is the reference: bands shaded, finished and written one after another.
  // The cases cover the finishes the workers run (several glue modes, greyscale, HDR, a mask
  // that is the layer's coverage, the preview's checkerboard), regions that are not whole
  // bands or whole cache lines, and a preview scale above 1.
  struct Case {
    const char* name;
    int glue;
    FinishContext context;
    int32_t width, height;
    int previewScale;
  };
  FinishContext grey, hdr, coverage, preview;
  grey.greyscale = true;
  hdr.hdr = true;
  coverage.maskIsSelection = false;
  coverage.editableTransparency = true;
  preview.target = RenderTarget::dialogPreview;
  const Case cases[] = {
      {"default glue", 1, {}, 150, 140, 1}, {"height", 14, {}, 97, 131, 1},
      {"multiply", 9, grey, 65, 129, 1},    {"glow", 69, {}, 150, 140, 1},
      {"hdr", 3, hdr, 130, 70, 1},          {"coverage", 1, coverage, 71, 200, 1},
      {"preview", 1, preview, 120, 90, 3},
  };
  for (const Case& c : cases) {
    EffectSettings s = testSettings();
    s.glue = c.glue;
    s.grit = 10;
    std::vector<float> reference;
    for (int processors : {1, 2, 5}) {
      MemorySource m(c.width, c.height);
      m.context = c.context;
      for (int32_t y = 0; y < c.height; ++y)
        for (int32_t x = 0; x < c.width; ++x) {
          m.mask[m.index(x, y)] = static_cast<uint8_t>(
              (x - c.width / 2) * (x - c.width / 2) + (y - c.height / 2) * (y - c.height / 2) <
                      c.width * c.height / 6
                  ? 255
                  : (x * 7 + y * 3) % 256);
          for (int ch = 0; ch < 3; ++ch)
            m.source[m.index(x, y) * 4 + ch] =
                static_cast<float>((x * (ch + 1) + y * 5) % 101) / (c.context.hdr ? 20.0f : 101.0f);
        }
      ASSERT_EQ(render(s, m, {.processors = processors, .previewScale = c.previewScale}), kDone)
          << c.name << " " << processors;
      for (float v : m.output) ASSERT_NE(v, -1.0f) << c.name;  // every pixel written
      if (processors == 1)
        reference = m.output;
      else
        ASSERT_EQ(m.output, reference) << c.name << " " << processors;
    }
  }
}

TEST(RenderEffect, BandsShadedAtOnceGiveTheImageOfBandsShadedInTurn) {
  // The lit material with the built-in environment, texture and gobos: every part of the
  // shader that keeps scratch between rows. Without weathering the bands shade at once.
  EffectPictures pictures;
  RandomGenerator tileRandom(3);
  ASSERT_TRUE(pictures.ensureEnvironment());
  ASSERT_TRUE(pictures.prepareTexture(6, tileRandom, 300));
  EffectSettings s{};
  resetRunTimeFields(s);
  loadFactoryDefaults(s);
  s.gobo1 = 40;
  MemorySource one(300, 400), many(300, 400);
  for (MemorySource* m : {&one, &many})
    for (int32_t y = 0; y < 400; ++y)
      for (int32_t x = 0; x < 300; ++x) {
        m->mask[m->index(x, y)] =
            (x - 150) * (x - 150) + (y - 200) * (y - 200) < 120 * 120 ? 255 : 0;
        for (int c = 0; c < 3; ++c)
          m->source[m->index(x, y) * 4 + c] = static_cast<float>((x + y * c) % 97) / 97.0f;
      }
  RandomGenerator a(9), b(9);
  ASSERT_EQ(renderEffect(*makeRenderInputs(s, pictures, a), one, {.processors = 1}), kDone);
  ASSERT_EQ(renderEffect(*makeRenderInputs(s, pictures, b), many, {.processors = 3}), kDone);
  EXPECT_EQ(one.output, many.output);
  EXPECT_GT(many.writes, 6);
}

TEST(RenderEffect, WithoutASelectionTheImageBorderIsBevelled) {
  MemorySource m(120, 90);
  ASSERT_EQ(render(testSettings(), m), kDone);
  // The ramp is deepest at the border (dark) and flat inside (white).
  EXPECT_LT(m.grey(0, 45), m.grey(60, 45));
  EXPECT_NEAR(m.grey(60, 45), 1.0f, 1e-6f);
  for (float v : m.output) ASSERT_TRUE(std::isfinite(v) && v >= 0.0f && v <= 1.0f);
}

TEST(RenderEffect, UnselectedPixelsKeepTheSource) {
  MemorySource m(100, 70);
  for (size_t i = 0; i < m.mask.size(); ++i) m.mask[i] = (i % 3 == 0) ? 0 : 255;
  for (size_t i = 0; i < m.source.size(); ++i) m.source[i] = static_cast<float>(i % 7) / 7.0f;
  ASSERT_EQ(render(testSettings(), m), kDone);
  for (size_t i = 0; i < m.mask.size(); i += 3)
    for (int c = 0; c < 4; ++c) ASSERT_EQ(m.output[i * 4 + c], m.source[i * 4 + c]);
}

TEST(RenderEffect, TinyRegionsRender) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{200, 1}, std::pair{1, 130}}) {
    MemorySource m(w, h);
    EffectSettings s = testSettings();
    s.radius = 100;
    ASSERT_EQ(render(s, m), kDone);
    for (float v : m.output) ASSERT_GE(v, 0.0f);  // every pixel written
  }
}

TEST(RenderEffect, ReadsAndWritesOnlyWhatItFetchedAndReadsTheFieldsRowsInBands) {
  // The profiled shapes seed from the mask, the edgeless one reads it for its depth, embossing
  // reads the colours; weathering shades in turn or beside a walk.
  for (const int shape : {1, 14})
    for (const int embossing : {0, 40})
      for (const int processors : {1, 3}) {
        MemorySource m(90, 300);
        EffectSettings s = testSettings();
        s.shape = shape;
        s.embossing = embossing;
        s.rain = 30;
        ASSERT_EQ(render(s, m, {.processors = processors}), kDone);
        EXPECT_EQ(m.misuse, 0) << shape << " " << embossing << " " << processors;
        // Five bands of rows: the field's row stages and the final pass's two fetches a band.
        EXPECT_LE(m.fetches, 5 * (2 + 2)) << shape << " " << embossing << " " << processors;
        for (float v : m.output) ASSERT_GE(v, 0.0f);  // every pixel written
      }
}

TEST(RenderEffect, ACancelWhileFetchingEndsTheRender) {
  MemorySource m(64, 300);
  m.cancelAfterFetches = 2;  // part-way through the bands of rows the height field reads
  EXPECT_EQ(render(testSettings(), m), RenderStatus::cancelled);
  EXPECT_EQ(m.writes, 0);
}

TEST(RenderEffect, EdgelessShapeAndEveryProfileStayFinite) {
  for (int shape = 1; shape <= 14; ++shape) {
    MemorySource m(90, 80);
    for (int32_t y = 0; y < 80; ++y)
      for (int32_t x = 0; x < 90; ++x)
        m.mask[m.index(x, y)] = (x - 45) * (x - 45) + (y - 40) * (y - 40) < 900 ? 255 : 0;
    EffectSettings s = testSettings();
    s.shape = shape;
    ASSERT_EQ(render(s, m), kDone) << shape;
    for (float v : m.output) ASSERT_TRUE(std::isfinite(v)) << shape;
  }
}

TEST(RenderEffect, WeatheringReplaysFromTheRunGeneratorAndOtherRendersLeaveItAlone) {
  EffectSettings s = testSettings();
  s.glue = 1;
  s.rain = 60;
  s.wander = 100;
  s.dust = 80;
  s.moss = 40;
  s.blotches = 50;
  MemorySource first(70, 60), again(70, 60), other(70, 60);
  RandomGenerator run(1234);
  ASSERT_EQ(render(s, first, {}, &run), kDone);
  run.seed(1234);
  ASSERT_EQ(render(s, again, {}, &run), kDone);
  EXPECT_EQ(first.output, again.output);
  run.seed(4321);
  ASSERT_EQ(render(s, other, {}, &run), kDone);
  EXPECT_NE(first.output, other.output);

  // Without weathering (and grit) nothing is drawn from the run's generator.
  run.seed(77);
  ASSERT_EQ(render(testSettings(), other, {}, &run), kDone);
  EXPECT_EQ(run.next(), RandomGenerator(77).next());
}

TEST(RenderEffect, ValuesOutsideTheSlidersRenderAsTheNearestSliderValue) {
  EffectSettings wild = testSettings();
  wild.radius = 150;
  wild.height = -400;
  wild.glue = 99;
  wild.shape = 0;
  EffectSettings tame = testSettings();
  tame.radius = 100;
  tame.height = -100;
  tame.glue = 74;
  tame.shape = 1;
  MemorySource a(90, 70), b(90, 70);
  ASSERT_EQ(render(wild, a), kDone);
  ASSERT_EQ(render(tame, b), kDone);
  EXPECT_EQ(a.output, b.output);
}

TEST(RenderEffect, TheGlueModeComesFromTheSettingsNotTheTarget) {
  MemorySource a(60, 50), b(60, 50);
  b.context.glue = 1;  // a target cannot choose the mode: testSettings() asks for "height"
  a.context.glue = 30;
  ASSERT_EQ(render(testSettings(), a), kDone);
  ASSERT_EQ(render(testSettings(), b), kDone);
  EXPECT_EQ(a.output, b.output);
}

TEST(RenderEffect, ProgressRisesFromTheHeightFieldToTheEndOfTheFinalPass) {
  MemorySource m(300, 700);
  ASSERT_EQ(render(testSettings(), m, {.processors = 2}), kDone);
  ASSERT_FALSE(m.reports.empty());
  for (size_t i = 1; i < m.reports.size(); ++i) EXPECT_GE(m.reports[i], m.reports[i - 1]) << i;
  EXPECT_GE(m.reports.front(), 0.0);
  EXPECT_LE(m.reports.back(), 1.0);
  // The blur passes of the height field report too, before the final pass begins.
  EXPECT_LT(m.reports.front(), 0.2);
  EXPECT_GT(m.reports.back(), 0.2);
}

TEST(RenderEffect, AMaskThatIsTheLayersCoverageShapesTheBevelButDoesNotBlend) {
  // A soft-edged disc. As a selection, a pixel of mask m shows m of the finished material over
  // the source; as the layer's coverage, the same bevel is made but every pixel shows all of
  // the finished material, since the layer's own alpha applies the coverage.
  MemorySource coverage(90, 80), selection(90, 80);
  for (MemorySource* m : {&coverage, &selection})
    for (int32_t y = 0; y < 80; ++y)
      for (int32_t x = 0; x < 90; ++x) {
        const double d = std::hypot(x - 45.0, y - 40.0);
        m->mask[m->index(x, y)] = static_cast<uint8_t>(std::clamp(30.0 - d, 0.0, 1.0) * 255.0);
        float* p = &m->source[m->index(x, y) * 4];
        p[0] = 0.9f, p[1] = 0.1f, p[2] = 0.2f, p[3] = 1.0f;
      }
  coverage.context.maskIsSelection = false;
  EffectSettings s = testSettings();
  s.glue = 1;
  s.radius = 6;
  ASSERT_EQ(render(s, coverage), kDone);
  ASSERT_EQ(render(s, selection), kDone);
  int partial = 0;
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 90; ++x) {
      const size_t i = coverage.index(x, y);
      const float m = static_cast<float>(coverage.mask[i]) / 255.0f;
      for (int c = 0; c < 3; ++c) {
        const float source = coverage.source[i * 4 + c];
        const float full = coverage.output[i * 4 + c];
        ASSERT_NEAR(selection.output[i * 4 + c], source + (full - source) * m, 1e-5f)
            << x << "," << y << " channel " << c;
      }
      if (m > 0.0f && m < 1.0f) ++partial;
    }
  EXPECT_GT(partial, 100);
  // Outside the disc the selection keeps the source; the coverage does not decide that.
  EXPECT_EQ(selection.output[0], 0.9f);
}

TEST(PictureTarget, RendersTheEffectIntoAPicture) {
  auto out = createPicture(40, 30, PictureKind::rgba8, WrapMode::clamp);
  ASSERT_TRUE(out);
  PictureRenderTarget target(nullptr, *out);
  ASSERT_EQ(render(testSettings(), target), kDone);
  // The border is bevelled (darker), the middle is the flat top.
  EXPECT_LT(out->readPicturePixel(0, 15, 0).green, out->readPicturePixel(20, 15, 0).green);
  EXPECT_FLOAT_EQ(out->readPicturePixel(20, 15, 0).alpha, 1.0f);
}

TEST(PictureTarget, PoolPyramidEqualsSerialPyramid) {
  auto serial = createPicture(700, 515, PictureKind::rgba8, WrapMode::clamp);
  auto pooled = createPicture(700, 515, PictureKind::rgba8, WrapMode::clamp);
  for (int y = 0; y < 515; ++y)
    for (int x = 0; x < 700; ++x) {
      serial->setPixel(x, y, 0, x & 255, y & 255, (x * y) & 255, 255);
      pooled->setPixel(x, y, 0, x & 255, y & 255, (x * y) & 255, 255);
    }
  serial->buildPyramid();
  pooled->buildPyramid(poolPictureRunner(3));
  for (int level = 1; level < serial->levelCount(); ++level)
    for (int y = 0; y < serial->level(level).height; y += 7)
      for (int x = 0; x < serial->level(level).width; x += 5) {
        const Rgba a = serial->readPicturePixel(x, y, level);
        const Rgba b = pooled->readPicturePixel(x, y, level);
        ASSERT_EQ(a.red, b.red);
        ASSERT_EQ(a.blue, b.blue);
      }
}

}  // namespace
}  // namespace orichalcumite
