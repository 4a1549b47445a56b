// A small scene for the shader tests: a height field with a margin, a band of source colours,
// settings and an optional environment picture, shaded through the real plan and kernels.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "pictures/picture.h"
#include "render/final_pass.h"
#include "render/shading_plan.h"
#include "render/surface_shader.h"
#include "settings/effect_settings.h"

namespace orichalcumite::testing {

class ShadingScene {
 public:
  // `region` is where the band lies in the image; the field covers it plus a margin.
  explicit ShadingScene(Rect32 region) : region_(region) {
    field_.assign(
        static_cast<size_t>(stride()) * static_cast<size_t>(region.height() + 2 * kMargin), 0.0f);
    source.assign(static_cast<size_t>(region.width() * region.height()),
                  Rgba{0.5f, 0.5f, 0.5f, 1.0f});
    loadFactoryDefaults(settings);
    settings.iridescence = 0;
  }

  // Sets the depth of every field point, margin included, from region coordinates.
  void setHeights(const std::function<float(int32_t x, int32_t y)>& depth) {
    for (int32_t y = -kMargin; y < region_.height() + kMargin; ++y)
      for (int32_t x = -kMargin; x < region_.width() + kMargin; ++x) at(x, y) = depth(x, y);
  }
  float& at(int32_t x, int32_t y) {
    return field_[static_cast<size_t>((y + kMargin) * stride() + x + kMargin)];
  }

  // A 16 x 16 environment: red across, green down, blue 0.25, pyramid built.
  void useGradientEnvironment() {
    environment_ = createPicture(16, 16, PictureKind::rgba8, WrapMode::clamp);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) environment_->setPixel(x, y, 0, x * 17, y * 17, 64, 255);
    environment_->buildPyramid();
  }
  void useConstantEnvironment(int red, int green, int blue) {
    environment_ = createPicture(8, 8, PictureKind::rgba8, WrapMode::clamp);
    environment_->fill(red, green, blue, 255);
    environment_->buildPyramid();
  }
  const Picture* environment() const { return environment_.get(); }

  HeightView heights() {
    HeightView h;
    h.origin = field_.data() + kMargin * stride() + kMargin;
    h.stride = stride();
    h.minimum = minimum;
    h.maximum = maximum;
    return h;
  }

  std::unique_ptr<ShadingPlan> plan() {
    ShadingInputs in;
    in.settings = &settings;
    in.heights = heights();
    in.profile = profile ? &*profile : nullptr;
    in.environment = environment_.get();
    in.regionWidth = region_.width();
    in.regionHeight = region_.height();
    return makeShadingPlan(in);
  }

  // Shades the region in bands of `bandRows` rows; the material of pixel (x, y) of the region
  // is at [y * width + x].
  std::vector<Rgba> shade(int32_t bandRows = 64) {
    const std::unique_ptr<ShadingPlan> p = plan();
    ShadingScratch scratch;
    scratch.prepare(region_.width());
    std::vector<Rgba> out(source.size());
    for (int32_t top = 0; top < region_.height(); top += bandRows) {
      const Rect32 unit{region_.top + top, region_.left,
                        region_.top + std::min(top + bandRows, region_.height()), region_.right};
      BandBuffer band;
      band.allocate(unit);
      for (int32_t y = unit.top; y < unit.bottom; ++y)
        for (int32_t x = unit.left; x < unit.right; ++x)
          *band.pixel(x, y) = sourceAt(x - region_.left, y - region_.top);
      shadeBand(*p, band, region_, scratch);
      for (int32_t y = unit.top; y < unit.bottom; ++y)
        for (int32_t x = unit.left; x < unit.right; ++x)
          out[index(x - region_.left, y - region_.top)] = *band.pixel(x, y);
    }
    return out;
  }

  Rgba& sourceAt(int32_t x, int32_t y) { return source[index(x, y)]; }
  size_t index(int32_t x, int32_t y) const { return static_cast<size_t>(y * region_.width() + x); }
  const Rect32& region() const { return region_; }

  EffectSettings settings{};
  std::vector<Rgba> source;
  std::optional<ProfileTable> profile;
  float minimum = 0.0f;
  float maximum = 0.0f;

  static constexpr int32_t kMargin = 8;

 private:
  std::ptrdiff_t stride() const { return region_.width() + 2 * kMargin; }

  Rect32 region_;
  std::vector<float> field_;
  std::unique_ptr<Picture> environment_;
};

// A smooth random surface: a few seeded waves of depth up to `amplitude`.
inline std::function<float(int32_t, int32_t)> wavySurface(uint32_t seed, float amplitude) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  struct Wave {
    float kx, ky, phase, weight;
  };
  std::vector<Wave> waves;
  for (int i = 0; i < 5; ++i)
    waves.push_back({u(random) * 0.3f, u(random) * 0.3f, u(random) * 6.3f, u(random)});
  return [waves, amplitude](int32_t x, int32_t y) {
    float d = 0.0f;
    for (const Wave& w : waves)
      d += w.weight *
           std::sin(w.kx * static_cast<float>(x) + w.ky * static_cast<float>(y) + w.phase);
    return d * amplitude / 5.0f;
  };
}

}  // namespace orichalcumite::testing
