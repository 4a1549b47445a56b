// Surface shading benchmarks: one 4000 x 64 band of the final pass, shaded by the band kernel
// of the default effect (flat reflection of the built-in environment, light 2 off,
// iridescence 100), with the spherical environment, and with everything on (two lights with
// gobos, glass with the mirrored sample). Time per pixel = time per band / 256000.
//
//   ninja -C build-shading orichalcumite_bench_shading
//   build-shading/bench/orichalcumite_bench_shading --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true   (one command line)
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "pictures/picture_slots.h"
#include "render/final_pass.h"
#include "render/height_field.h"
#include "render/shading_plan.h"
#include "render/surface_shader.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 64;

// A row of discs 48 pixels across, bevelled by the default (edgeless) shape: the band holds
// flat ground, slopes in every direction and the bevel's curved rims, much as a selection's
// edge does.
class BandScene {
 public:
  BandScene() : environment_(defaultEnvironmentPicture()) {
    loadFactoryDefaults(settings_);
    settings_.textureChoice = 1;  // no texture: the bench measures the shader alone
    settings_.environmentPicture = environment_.get();

    std::vector<uint8_t> mask(static_cast<size_t>(kWidth) * kHeight);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        const int32_t dx = x % 64 - 32, dy = y - 32;
        mask[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)] =
            dx * dx + dy * dy < 24 * 24 ? 255 : 0;
      }
    HeightFieldParams p;
    p.shape = settings_.shape;
    p.radius = 10;
    p.height = settings_.height;
    p.smoothness = settings_.smoothness;
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
    in.environment = settings_.environmentPicture;
    in.regionWidth = kWidth;
    in.regionHeight = kHeight;
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
  HeightFieldBuilder builder_;
  HeightView heights_;
  Rect32 region_;
  BandBuffer band_;
  std::vector<Rgba> source_;
  ShadingScratch scratch_;
};

void runBand(benchmark::State& state, BandScene& scene) {
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

void BM_ShadeBandDefault(benchmark::State& state) {
  BandScene scene;
  runBand(state, scene);
}
BENCHMARK(BM_ShadeBandDefault)->Unit(benchmark::kMicrosecond);

void BM_ShadeBandSpherical(benchmark::State& state) {
  BandScene scene;
  scene.settings().sphericalEnvironment = 1;
  runBand(state, scene);
}
BENCHMARK(BM_ShadeBandSpherical)->Unit(benchmark::kMicrosecond);

void BM_ShadeBandEverything(benchmark::State& state) {
  BandScene scene;
  EffectSettings& s = scene.settings();
  s.colours[light2Color] = {40000, 30000, 20000};
  s.gobo1 = 30;
  s.gobo2 = 0;
  s.glassiness = 60;
  s.reflection = 50;
  s.iriColors = 40;
  runBand(state, scene);
}
BENCHMARK(BM_ShadeBandEverything)->Unit(benchmark::kMicrosecond);

void BM_ShadeBandNoReflection(benchmark::State& state) {
  BandScene scene;
  scene.settings().reflection = 0;
  runBand(state, scene);
}
BENCHMARK(BM_ShadeBandNoReflection)->Unit(benchmark::kMicrosecond);

// The plan itself: the iridescence table (90 x 81 cosines) dominates.
void BM_ShadingPlan(benchmark::State& state) {
  BandScene scene;
  for (auto _ : state) benchmark::DoNotOptimize(scene.plan());
}
BENCHMARK(BM_ShadingPlan)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orichalcumite

BENCHMARK_MAIN();
