#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

#include "render/final_pass.h"
#include "render/finish_pixel.h"
#include "render/render_host.h"

namespace orichalcumite {
namespace {

bool sameBits(const Rgba& a, const Rgba& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha;
}

std::string describe(const FinishContext& c) {
  return "target " + std::to_string(int(c.target)) + (c.hdr ? " hdr" : "") +
         (c.greyscale ? " grey" : "") + (c.editableTransparency ? " editable" : "") + " mode " +
         std::to_string(c.glue);
}

// One row holding every pairing of a few materials (translucent, above white, overflowing
// one channel) with a few sources, each under three selection values.
struct TestRow {
  std::vector<Rgba> material, source;
  std::vector<uint8_t> mask;
};

TestRow testRow() {
  const std::vector<Rgba> materials = {
      {0.0f, 0.0f, 0.0f, 1.0f}, {0.5f, 0.5f, 0.5f, 1.0f}, {0.9f, 0.3f, 0.1f, 1.0f},
      {0.2f, 0.6f, 0.9f, 0.5f}, {1.5f, 0.5f, 0.5f, 1.0f}, {1.2f, 1.3f, 0.2f, 0.8f},
      {3.0f, 3.0f, 3.0f, 1.0f}, {0.4f, 0.0f, 0.7f, 0.0f}, {1.0f, 1.0f, 1.0f, 0.999f}};
  const std::vector<Rgba> sources = {{0.0f, 0.0f, 0.0f, 1.0f},
                                     {1.0f, 1.0f, 1.0f, 1.0f},
                                     {0.25f, 0.5f, 0.75f, 1.0f},
                                     {0.8f, 0.4f, 0.2f, 0.6f}};
  TestRow row;
  for (const Rgba& m : materials)
    for (const Rgba& s : sources)
      for (uint8_t k : {uint8_t{0}, uint8_t{128}, uint8_t{255}}) {
        row.material.push_back(m);
        row.source.push_back(s);
        row.mask.push_back(k);
      }
  return row;
}

std::vector<FinishContext> contexts(int mode) {
  std::vector<FinishContext> all;
  for (RenderTarget target :
       {RenderTarget::hostImage, RenderTarget::dialogPreview, RenderTarget::internalPicture})
    for (bool editable : {false, true})
      for (bool grey : {false, true}) all.push_back({target, false, grey, editable, mode});
  all.push_back({RenderTarget::hostImage, true, false, false, mode});
  all.push_back({RenderTarget::internalPicture, true, true, false, mode});
  return all;
}

TEST(FinishRow, EqualsFinishPixelForEveryModeAndTarget) {
  const TestRow row = testRow();
  const auto n = static_cast<int32_t>(row.material.size());
  const int32_t x0 = 5, y = 9;  // the checkerboard changes square along the row
  for (int mode = 0; mode <= 75; ++mode) {
    for (const FinishContext& ctx : contexts(mode)) {
      std::vector<Rgba> material = row.material, out(row.material.size());
      finishRow(makeFinishPlan(ctx), material.data(), row.source.data(), row.mask.data(),
                out.data(), x0, y, n);
      for (int32_t i = 0; i < n; ++i) {
        const Rgba want =
            finishPixel(row.material[i], row.source[i], row.mask[i] / 255.0f, x0 + i, y, ctx);
        ASSERT_TRUE(sameBits(out[i], want)) << describe(ctx) << " pixel " << i;
      }
    }
  }
}

TEST(FinishRow, NonHdrOutputsStayInsideZeroToOneWhateverTheMode) {
  // Several modes leave 0..1 for bright material (difference, queen, negation go below 0).
  std::vector<Rgba> materials, sources;
  for (float m : {0.0f, 0.5f, 1.0f, 1.5f, 7.0f, 300.0f, FLT_MAX})
    for (float s : {0.0f, 0.3f, 1.0f}) {
      materials.push_back({m, m * 0.5f, 0.1f, 1.0f});
      sources.push_back({s, 1.0f - s, s, 1.0f});
    }
  const std::vector<uint8_t> mask(materials.size(), 255);
  const auto n = static_cast<int32_t>(materials.size());
  for (int mode = 1; mode <= 74; ++mode) {
    for (RenderTarget target : {RenderTarget::hostImage, RenderTarget::dialogPreview}) {
      std::vector<Rgba> material = materials, out(materials.size());
      finishRow(makeFinishPlan({target, false, false, false, mode}), material.data(),
                sources.data(), mask.data(), out.data(), 0, 0, n);
      for (const Rgba& c : out)
        for (float v : {c.red, c.green, c.blue, c.alpha})
          ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << modeName(mode) << " gave " << v;
    }
  }
}

TEST(FinishRow, HdrOutputsTakeTheMaterialWithoutAGlueMode) {
  const FinishContext ctx{RenderTarget::hostImage, true, false, false, 9};  // multiply
  Rgba material{2.5f, 0.25f, 0.0f, 1.0f};
  const Rgba source{0.0f, 0.0f, 0.0f, 1.0f};
  const uint8_t mask = 255;
  Rgba out;
  finishRow(makeFinishPlan(ctx), &material, &source, &mask, &out, 0, 0, 1);
  EXPECT_TRUE(sameBits(out, Rgba{2.5f, 0.25f, 0.0f, 1.0f}));
}

// A render target in memory with a material shader that paints one colour.
class MemoryTarget final : public RenderSource {
 public:
  MemoryTarget(int32_t width, int32_t height, FinishContext ctx)
      : width_(width), height_(height), ctx_(ctx) {
    source.assign(static_cast<size_t>(width * height), Rgba{0.25f, 0.5f, 1.0f, 1.0f});
    output.assign(source.size(), Rgba{-1, -1, -1, -1});
    mask.assign(source.size(), 255);
  }
  Rect32 region() const override { return {0, 0, height_, width_}; }
  bool fetch(const Rect32&) override { return true; }
  void readSource(const Rect32& r, float* rgba, int32_t stride) const override {
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x) {
        const Rgba& c = source[index(x, y)];
        float* p = rgba + (y - r.top) * stride + (x - r.left) * 4;
        p[0] = c.red, p[1] = c.green, p[2] = c.blue, p[3] = c.alpha;
      }
  }
  void readMask(const Rect32& r, uint8_t* out, int32_t stride) const override {
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x)
        out[(y - r.top) * stride + (x - r.left)] = mask[index(x, y)];
  }
  void write(const Rect32& r, const float* rgba, int32_t stride) override {
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x) {
        const float* p = rgba + (y - r.top) * stride + (x - r.left) * 4;
        output[index(x, y)] = {p[0], p[1], p[2], p[3]};
      }
  }
  bool cancelled() override { return false; }
  void progress(double) override {}
  FinishContext finishContext() const override { return ctx_; }

  size_t index(int32_t x, int32_t y) const { return static_cast<size_t>(y * width_ + x); }

  std::vector<Rgba> source, output;
  std::vector<uint8_t> mask;

 private:
  int32_t width_, height_;
  FinishContext ctx_;
};

void shadeConstant(const void* context, BandBuffer& band, const Rect32&, int) {
  const Rgba& colour = *static_cast<const Rgba*>(context);
  const Rect32& unit = band.unit();
  for (int32_t y = unit.top; y < unit.bottom; ++y)
    for (int32_t x = unit.left; x < unit.right; ++x) *band.pixel(x, y) = colour;
}

TEST(FinalPass, FinishesEveryBandWithThePassGlueMode) {
  // Multiply: 0.5 × (0.25, 0.5, 1) everywhere, the source itself where unselected, and the
  // even mix where half selected. 150 rows make three bands, the last one cut.
  const FinishContext ctx{RenderTarget::hostImage, false, false, false, 9};
  MemoryTarget target(70, 150, ctx);
  for (int32_t x = 0; x < 70; ++x) {
    target.mask[target.index(x, 100)] = 0;
    target.mask[target.index(x, 140)] = 51;  // 0.2
  }
  const Rgba material{0.5f, 0.5f, 0.5f, 1.0f};
  ASSERT_EQ(runFinalPass(target, ctx, &shadeConstant, &material, 2), RenderStatus::done);
  for (int32_t y = 0; y < 150; ++y)
    for (int32_t x = 0; x < 70; ++x) {
      const Rgba& c = target.output[target.index(x, y)];
      const float k = y == 100 ? 0.0f : y == 140 ? 0.2f : 1.0f;
      const Rgba want{0.25f + (0.125f - 0.25f) * k, 0.5f + (0.25f - 0.5f) * k,
                      1.0f + (0.5f - 1.0f) * k, 1.0f};
      ASSERT_NEAR(c.red, want.red, 1e-6f) << x << "," << y;
      ASSERT_NEAR(c.green, want.green, 1e-6f) << x << "," << y;
      ASSERT_NEAR(c.blue, want.blue, 1e-6f) << x << "," << y;
      ASSERT_NEAR(c.alpha, want.alpha, 1e-6f) << x << "," << y;
    }
}

}  // namespace
}  // namespace orichalcumite
