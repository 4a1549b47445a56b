// Speed of the noise tables (built at every render start) and of the texture tile builds
// (run when the user picks a texture), split into generating the texels and making the
// picture with its pyramid; and of improved noise per sample, which weathering calls per
// pixel. Report medians: --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include "base/random_generator.h"
#include "pictures/noise_tables.h"
#include "pictures/texture_tile.h"

namespace orichalcumite {
namespace {

void BM_makeNoiseTables(benchmark::State& state) {
  int32_t seed = 0;
  for (auto _ : state) {
    NoiseTables tables = makeNoiseTables(seed++);
    benchmark::DoNotOptimize(tables);
  }
}
BENCHMARK(BM_makeNoiseTables);

void BM_buildTextureTile(benchmark::State& state) {
  const int choice = static_cast<int>(state.range(0));
  RandomGenerator rng(7);
  for (auto _ : state) {
    auto tile = buildTextureTile(choice, rng);
    benchmark::DoNotOptimize(tile.get());
  }
}
BENCHMARK(BM_buildTextureTile)->DenseRange(1, 12)->Unit(benchmark::kMicrosecond);

void BM_generateTextureTexels(benchmark::State& state) {
  const int choice = static_cast<int>(state.range(0));
  RandomGenerator rng(7);
  for (auto _ : state) {
    TextureTexels texels = generateTextureTexels(choice, rng);
    benchmark::DoNotOptimize(texels.bytes.data());
  }
}
BENCHMARK(BM_generateTextureTexels)->DenseRange(1, 12)->Unit(benchmark::kMicrosecond);

// One image row of 4096 samples at a typical blotch frequency.
void BM_improvedNoiseRow(benchmark::State& state) {
  const NoiseTables tables = makeNoiseTables(1);
  constexpr int kSamples = 4096;
  float y = 3.3f;
  for (auto _ : state) {
    float sum = 0.0f;
    for (int x = 0; x < kSamples; ++x)
      sum += improvedNoise(tables, static_cast<float>(x) * 0.013f, y);
    benchmark::DoNotOptimize(sum);
    y += 0.013f;
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_improvedNoiseRow);

}  // namespace
}  // namespace orichalcumite

BENCHMARK_MAIN();
