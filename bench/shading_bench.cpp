// Surface shading benchmarks: one 4000 x 64 band of the final pass, shaded by the band kernel
// of the default effect (flat reflection of the built-in environment, light 2 off,
// iridescence 100), with the spherical environment, and with everything on (two lights with
// gobos, glass with the mirrored sample). Time per pixel = time per band / 256000.
//
//   ninja -C build-shading orichalcumite_bench_shading
//   build-shading/bench/orichalcumite_bench_shading --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true   (one command line)
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/band_scene.h"
#include "render/shading_plan.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

using bench::BandScene;
using bench::kHeight;
using bench::kWidth;
using bench::runBand;

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
