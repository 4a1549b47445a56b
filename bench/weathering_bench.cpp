// Weathering benchmarks: one 4000 x 64 band of the final pass shaded by the default effect's
// kernel with weathering, each layer alone and all of them together (rain 60, moss 50,
// blotches 40, dust 30, tarnish 40, abrasion 30 over a field with grit 20, as the
// whole-program "weathered" scenario sets them), beside the same band without weathering;
// and the per-render weathering plan. Time per pixel = time per band / 256000.
//
//   ninja -C build-weather orichalcumite_bench_weathering
//   build-weather/bench/orichalcumite_bench_weathering --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true   (one command line)
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "pictures/noise_tables.h"
#include "pictures/picture_slots.h"
#include "render/final_pass.h"
#include "render/height_field.h"
#include "render/shading_plan.h"
#include "render/surface_shader.h"
#include "settings/effect_settings.h"
#include "settings/random_generator.h"

namespace orichalcumite {
namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 64;

// A row of discs 48 pixels across, bevelled by the default shape with grit 20: flat ground,
// slopes in every direction and the bevels' rims, as a selection's edge gives them.
class WeatheringScene {
 public:
  WeatheringScene()
      : environment_(defaultEnvironmentPicture()), noise_(std::make_unique<NoiseTables>(makeNoiseTables(21))) {
    loadFactoryDefaults(settings_);
    settings_.textureChoice = 1;
    settings_.environmentPicture = environment_.get();

    std::vector<uint8_t> mask(static_cast<size_t>(kWidth) * kHeight);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        const int32_t dx = x % 64 - 32, dy = y - 32;
        mask[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)] = dx * dx + dy * dy < 24 * 24 ? 255 : 0;
      }
    RandomGenerator grit(7);
    HeightFieldParams p;
    p.shape = settings_.shape;
    p.radius = 10;
    p.height = settings_.height;
    p.smoothness = settings_.smoothness;
    p.grit = 20;
    p.random = &grit;
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
    in.noise = noise_.get();
    in.random = &scratch_.random;
    return makeShadingPlan(in);
  }

  void refillSource() {
    for (int32_t y = 0; y < kHeight; ++y)
      std::copy_n(source_.begin() + static_cast<std::ptrdiff_t>(y) * kWidth, kWidth, band_.pixel(0, y));
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

void runBand(benchmark::State& state, WeatheringScene& scene) {
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

void weathered(EffectSettings& s) {
  s.rain = 60;
  s.moss = 50;
  s.blotches = 40;
  s.dust = 30;
  s.tarnish = 40;
  s.abrasion = 30;
}

void BM_BandWithoutWeathering(benchmark::State& state) {
  WeatheringScene scene;
  runBand(state, scene);
}
BENCHMARK(BM_BandWithoutWeathering)->Unit(benchmark::kMicrosecond);

void BM_BandWeathered(benchmark::State& state) {
  WeatheringScene scene;
  weathered(scene.settings());
  runBand(state, scene);
}
BENCHMARK(BM_BandWeathered)->Unit(benchmark::kMicrosecond);

// Each layer alone: argument 0 tarnish and abrasion, 1 rain, 2 wet rain, 3 blotches, 4 moss,
// 5 dust.
void BM_BandOneLayer(benchmark::State& state) {
  WeatheringScene scene;
  EffectSettings& s = scene.settings();
  switch (state.range(0)) {
    case 0: s.tarnish = 40, s.abrasion = 30; break;
    case 1: s.rain = 60; break;
    case 2: s.rain = 60, s.wetRain = 1; break;
    case 3: s.blotches = 40; break;
    case 4: s.moss = 50; break;
    default: s.dust = 30; break;
  }
  runBand(state, scene);
}
BENCHMARK(BM_BandOneLayer)->DenseRange(0, 5)->Unit(benchmark::kMicrosecond);

// The plan with every weathering table.
void BM_WeatheredPlan(benchmark::State& state) {
  WeatheringScene scene;
  weathered(scene.settings());
  for (auto _ : state) benchmark::DoNotOptimize(scene.plan());
}
BENCHMARK(BM_WeatheredPlan)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orichalcumite

BENCHMARK_MAIN();
