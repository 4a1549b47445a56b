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

#include <memory>

#include "bench/band_scene.h"
#include "pictures/noise_tables.h"
#include "render/shading_plan.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

using bench::BandScene;
using bench::kHeight;
using bench::kWidth;
using bench::runBand;

void weathered(EffectSettings& s) {
  s.rain = 60;
  s.moss = 50;
  s.blotches = 40;
  s.dust = 30;
  s.tarnish = 40;
  s.abrasion = 30;
}

void BM_BandWithoutWeathering(benchmark::State& state) {
  BandScene scene(20);
  runBand(state, scene);
}
BENCHMARK(BM_BandWithoutWeathering)->Unit(benchmark::kMicrosecond);

void BM_BandWeathered(benchmark::State& state) {
  BandScene scene(20);
  weathered(scene.settings());
  runBand(state, scene);
}
BENCHMARK(BM_BandWeathered)->Unit(benchmark::kMicrosecond);

// Each layer alone: argument 0 tarnish and abrasion, 1 rain, 2 wet rain, 3 blotches, 4 moss,
// 5 dust.
void BM_BandOneLayer(benchmark::State& state) {
  BandScene scene(20);
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
  BandScene scene(20);
  weathered(scene.settings());
  for (auto _ : state) benchmark::DoNotOptimize(scene.plan());
}
BENCHMARK(BM_WeatheredPlan)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orichalcumite

BENCHMARK_MAIN();
