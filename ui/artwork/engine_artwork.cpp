#include "ui/artwork/engine_artwork.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "base/random_generator.h"
#include "pictures/effect_pictures.h"
#include "pictures/texture_tile.h"
#include "render/render_driver.h"
#include "render/render_host.h"
#include "render/render_inputs.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

// Icons are rendered this many times larger than they are shown and then reduced, so their
// edges are smooth and the bevel is wide enough for its profile to show.
constexpr int kIconSide = 16;
constexpr int kIconOversample = 4;

// A render target over buffers of our own: the source colours and the mask come from the
// caller, the finished colours go to `output` (4 floats per pixel).
class BufferTarget final : public RenderSource {
 public:
  BufferTarget(int width, int height, const std::vector<float>& source,
               const std::vector<uint8_t>& mask, std::vector<float>& output)
      : width_(width), height_(height), source_(source), mask_(mask), output_(output) {
    context_.target = RenderTarget::internalPicture;
  }

  Rect32 region() const override { return {0, 0, height_, width_}; }
  bool fetch(const Rect32&) override { return true; }
  void readSource(const Rect32& rect, float* rgba, int32_t stride) const override {
    for (int32_t y = rect.top; y < rect.bottom; ++y)
      std::copy_n(&source_[(static_cast<size_t>(y) * width_ + rect.left) * 4],
                  static_cast<size_t>(rect.right - rect.left) * 4,
                  rgba + static_cast<ptrdiff_t>(y - rect.top) * stride);
  }
  void readMask(const Rect32& rect, uint8_t* mask, int32_t stride) const override {
    for (int32_t y = rect.top; y < rect.bottom; ++y)
      std::copy_n(&mask_[static_cast<size_t>(y) * width_ + rect.left],
                  static_cast<size_t>(rect.right - rect.left),
                  mask + static_cast<ptrdiff_t>(y - rect.top) * stride);
  }
  void write(const Rect32& rect, const float* rgba, int32_t stride) override {
    for (int32_t y = rect.top; y < rect.bottom; ++y)
      std::copy_n(rgba + static_cast<ptrdiff_t>(y - rect.top) * stride,
                  static_cast<size_t>(rect.right - rect.left) * 4,
                  &output_[(static_cast<size_t>(y) * width_ + rect.left) * 4]);
  }
  bool cancelled() override { return false; }
  void progress(double) override {}
  FinishContext finishContext() const override { return context_; }

 private:
  int width_;
  int height_;
  const std::vector<float>& source_;
  const std::vector<uint8_t>& mask_;
  std::vector<float>& output_;
  FinishContext context_;
};

// The plain material the artwork is made of: a smooth, moderately glossy surface without
// texture, iridescence or weathering, lit by the factory lights, over the normal glue mode.
EffectSettings artworkSettings() {
  EffectSettings s{};
  resetRunTimeFields(s);
  loadFactoryDefaults(s);
  s.textureStrength = 0;
  s.embossing = 0;
  s.iridescence = 0;
  s.glassiness = 0;
  s.smoothness = 100;
  s.glue = 1;
  return s;
}

// Renders `settings` over `source` inside `mask`; the finished colours, or empty on failure.
std::vector<float> renderOver(const EffectSettings& settings, int width, int height,
                              const std::vector<float>& source, const std::vector<uint8_t>& mask) {
  EffectPictures pictures;
  // A fixed seed: the artwork is the same on every build.
  RandomGenerator random(1);
  if (!pictures.ensureEnvironment() ||
      !pictures.prepareTexture(settings.textureChoice, random, width))
    return {};
  const std::unique_ptr<RenderInputs> inputs = makeRenderInputs(settings, pictures, random);
  if (!inputs) return {};
  std::vector<float> output(static_cast<size_t>(width) * height * 4, 0.0f);
  BufferTarget target(width, height, source, mask, output);
  RenderOptions options;
  if (renderEffect(*inputs, target, options) != RenderStatus::done) return {};
  return output;
}

uint8_t toByte(float v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

// Coverage 0..1 of a disc of `radius` centred in a side × side square at pixel (x, y),
// anti-aliased over one pixel.
float discCoverage(int x, int y, int side, float radius) {
  const float c = static_cast<float>(side) / 2.0f;
  const float dx = static_cast<float>(x) + 0.5f - c;
  const float dy = static_cast<float>(y) + 0.5f - c;
  return std::clamp(radius + 0.5f - std::sqrt(dx * dx + dy * dy), 0.0f, 1.0f);
}

}  // namespace

RgbaImage blankImage(int width, int height) {
  RgbaImage image;
  image.width = width;
  image.height = height;
  image.pixels.assign(static_cast<size_t>(width) * height * 4, 0);
  return image;
}

RgbaImage reduceImage(const RgbaImage& image, int factor) {
  RgbaImage out = blankImage(image.width / factor, image.height / factor);
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      double sum[4] = {0, 0, 0, 0};
      for (int v = 0; v < factor; ++v) {
        for (int u = 0; u < factor; ++u) {
          const uint8_t* p = image.at(x * factor + u, y * factor + v);
          for (int c = 0; c < 3; ++c) sum[c] += p[c] * p[3];
          sum[3] += p[3];
        }
      }
      uint8_t* q = out.at(x, y);
      if (sum[3] > 0.0)
        for (int c = 0; c < 3; ++c) q[c] = static_cast<uint8_t>(std::lround(sum[c] / sum[3]));
      q[3] = static_cast<uint8_t>(std::lround(sum[3] / (factor * factor)));
    }
  }
  return out;
}

RgbaImage renderShapeIcon(int shape) {
  constexpr int kSide = kIconSide * kIconOversample;
  // The disc nearly fills the icon; the bevel reaches half way to its centre so the whole
  // profile, edge to plateau, is visible.
  constexpr float kDiscRadius = kSide / 2.0f - 2.0f;
  EffectSettings s = artworkSettings();
  s.shape = shape;
  s.radius = 15;
  s.height = 80;
  s.reflection = 10;
  s.gloss = 60;
  s.glare = 40;
  std::vector<uint8_t> mask(static_cast<size_t>(kSide) * kSide);
  // Mid grey under the disc: only its anti-aliased rim lets the source show through.
  std::vector<float> source(static_cast<size_t>(kSide) * kSide * 4);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const size_t i = static_cast<size_t>(y) * kSide + x;
      mask[i] = toByte(discCoverage(x, y, kSide, kDiscRadius));
      source[i * 4 + 0] = 0.5f;
      source[i * 4 + 1] = 0.5f;
      source[i * 4 + 2] = 0.5f;
      source[i * 4 + 3] = 1.0f;
    }
  }
  const std::vector<float> out = renderOver(s, kSide, kSide, source, mask);
  if (out.empty()) return {};
  RgbaImage large = blankImage(kSide, kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const size_t i = static_cast<size_t>(y) * kSide + x;
      uint8_t* p = large.at(x, y);
      // A warm bronze tone over the renderer's grey material, the product's own colour.
      static constexpr float kBronze[3] = {1.08f, 0.94f, 0.74f};
      for (int c = 0; c < 3; ++c) p[c] = toByte(out[i * 4 + static_cast<size_t>(c)] * kBronze[c]);
      p[3] = mask[i];
    }
  }
  return reduceImage(large, kIconOversample);
}

RgbaImage renderTextureIcon(int choice) {
  RandomGenerator random(1);
  const std::unique_ptr<Picture> tile = buildTextureTile(choice, random);
  if (!tile) return {};
  // A corner of the tile a quarter of its side across: reduced by four it keeps the texture's
  // grain, where the whole tile reduced by sixteen would blur into an even grey.
  constexpr int kSpan = kIconSide * kIconOversample;
  std::vector<float> grey(static_cast<size_t>(kIconSide) * kIconSide, 0.0f);
  for (int y = 0; y < kSpan; ++y)
    for (int x = 0; x < kSpan; ++x)
      grey[static_cast<size_t>(y / kIconOversample) * kIconSide + x / kIconOversample] +=
          tile->readPicturePixel(x, y, 0).red / (kIconOversample * kIconOversample);
  const auto [lowIt, highIt] = std::minmax_element(grey.begin(), grey.end());
  const float low = *lowIt;
  const float range = *highIt - low;
  RgbaImage icon = blankImage(kIconSide, kIconSide);
  for (int y = 0; y < kIconSide; ++y) {
    for (int x = 0; x < kIconSide; ++x) {
      float v = grey[static_cast<size_t>(y) * kIconSide + x];
      // A flat tile ("none") keeps its own grey; any other is stretched to 0.15..0.95.
      if (range > 1.0f / 255.0f) v = 0.15f + 0.8f * (v - low) / range;
      uint8_t* p = icon.at(x, y);
      p[0] = p[1] = p[2] = toByte(v);
      p[3] = 255;
    }
  }
  return icon;
}

bool shadePanels(RgbaImage& base, const std::vector<uint8_t>& mask, int radiusPx) {
  const int width = base.width;
  const int height = base.height;
  EffectSettings s = artworkSettings();
  s.shape = 4;  // hump: a rounded edge rising to a flat top
  s.radius = radiusPx;
  s.height = 40;
  s.reflection = 0;
  s.gloss = 20;
  s.glare = 30;
  // The render runs over a flat mid grey; the difference it makes there is what gets laid
  // over the base, so the panels keep the base's own light colour.
  constexpr float kFlat = 0.5f;
  std::vector<float> source(static_cast<size_t>(width) * height * 4, kFlat);
  for (size_t i = 3; i < source.size(); i += 4) source[i] = 1.0f;
  std::vector<float> lit = renderOver(s, width, height, source, mask);
  if (lit.empty()) return false;
  // The brightness of a panel's flat top: the median over the fully covered pixels.
  std::vector<float> inside;
  for (size_t i = 0; i < mask.size(); ++i)
    if (mask[i] == 255) inside.push_back((lit[i * 4] + lit[i * 4 + 1] + lit[i * 4 + 2]) / 3.0f);
  if (inside.empty()) return true;
  std::nth_element(inside.begin(), inside.begin() + static_cast<ptrdiff_t>(inside.size() / 2),
                   inside.end());
  const float top = inside[inside.size() / 2];
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const size_t i = static_cast<size_t>(y) * width + x;
      if (mask[i] == 0) continue;
      const float l = (lit[i * 4] + lit[i * 4 + 1] + lit[i * 4 + 2]) / 3.0f;
      // Light and shade relative to the flat top, weighed by the mask's coverage.
      const float delta = (l - top) * 1.2f * static_cast<float>(mask[i]) / 255.0f;
      uint8_t* p = base.at(x, y);
      for (int c = 0; c < 3; ++c) p[c] = toByte(static_cast<float>(p[c]) / 255.0f + delta);
    }
  }
  return true;
}

}  // namespace orichalcumite
