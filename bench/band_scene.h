// The scene the band benchmarks shade: one 4000 x 64 band of the final pass over a row of
// bevelled discs, with the built-in environment, no texture and the run's noise tables, and
// the loop that times one band. Time per pixel = time per band / 256000.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/random_generator.h"
#include "pictures/noise_tables.h"
#include "pictures/picture_slots.h"
#include "render/final_pass.h"
#include "render/height_field.h"
#include "render/shading_plan.h"
#include "render/surface_shader.h"
#include "settings/effect_settings.h"

namespace orichalcumite::bench {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 64;

// A row of discs 48 pixels across, bevelled by the default shape: flat ground, slopes in every
// direction and the bevels' rims, as a selection's edge gives them.
class BandScene {
 public:
  // `grit` roughens the field as the grit setting would (0: smooth).
  explicit BandScene(int grit = 0)
      : environment_(defaultEnvironmentPicture()),
        noise_(std::make_unique<NoiseTables>(makeNoiseTables(21))) {
    loadFactoryDefaults(settings_);
    settings_.textureChoice = 1;

    std::vector<uint8_t> mask(static_cast<size_t>(kWidth) * kHeight);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        const int32_t dx = x % 64 - 32, dy = y - 32;
        mask[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)] =
            dx * dx + dy * dy < 24 * 24 ? 255 : 0;
      }
    RandomGenerator gritBytes(7);
    HeightFieldParams p;
    p.shape = settings_.shape;
    p.radius = 10;
    p.height = settings_.height;
    p.smoothness = settings_.smoothness;
    p.grit = grit;
    p.random = &gritBytes;
    p.regionWidth = kWidth;
    p.regionHeight = kHeight;
    builder_.prepare(p);
    while (!builder_.isDone()) {
      const HeightStep step = builder_.nextStep();
      HeightRowInput input;
      if (step.row >= 0) input.mask = mask.data() + static_cast<size_t>(step.row) * kWidth;
      builder_.step(input);
    }
    heights_.origin = builder_.field().row(kHeightFieldMargin) + kHeightFieldMargin;
    heights_.stride = builder_.field().stride();

    region_ = {0, 0, kHeight, kWidth};
    band_.allocate(region_);
    source_.resize(static_cast<size_t>(kWidth) * kHeight);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x)
        source_[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)] = {
            0.75f, 0.6f - 0.2f * static_cast<float>(x) / kWidth, 0.25f, 1.0f};
    scratch_.prepare(kWidth);
  }

  EffectSettings& settings() { return settings_; }

  std::unique_ptr<ShadingPlan> plan() {
    ShadingInputs in;
    in.settings = &settings_;
    in.heights = heights_;
    in.profile = &builder_.profile();
    in.environment = environment_.get();
    in.regionWidth = kWidth;
    in.regionHeight = kHeight;
    in.noise = noise_.get();
    in.random = &scratch_.random;
    return makeShadingPlan(in);
  }

  void refillSource() {
    for (int32_t y = 0; y < kHeight; ++y)
      std::copy_n(source_.begin() + static_cast<std::ptrdiff_t>(y) * kWidth, kWidth,
                  band_.pixel(0, y));
  }

  void shade(const ShadingPlan& plan) { shadeBand(plan, band_, region_, scratch_); }
  float probe() { return band_.pixel(kWidth / 2, kHeight / 2)->green; }

 private:
  EffectSettings settings_{};
  std::unique_ptr<Picture> environment_;
  std::unique_ptr<NoiseTables> noise_;
  HeightFieldBuilder builder_;
  HeightView heights_;
  Rect32 region_;
  BandBuffer band_;
  std::vector<Rgba> source_;
  ShadingScratch scratch_;
};

inline void runBand(benchmark::State& state, BandScene& scene) {
  const std::unique_ptr<ShadingPlan> plan = scene.plan();
  for (auto _ : state) {
    state.PauseTiming();
    scene.refillSource();
    state.ResumeTiming();
    scene.shade(*plan);
    benchmark::DoNotOptimize(scene.probe());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

}  // namespace orichalcumite::bench
