// Glue-mode benchmarks: one 4000-pixel row through a mode's row kernel, through the whole
// row finish of the final pass, and through the single-pixel finish for comparison.
//
//   ninja -C build-glue orichalcumite_bench_glue
//   build-glue/bench/orichalcumite_bench_glue --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true   (one command line)
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "render/finish_pixel.h"
#include "render/glue_modes.h"

namespace orichalcumite {
namespace {

constexpr int32_t kRow = 4000;

// A bevel-like material row (highlights above white on the lit side) over a smooth source
// row with some ripple, and a selection with a soft edge.
struct Rows {
  std::vector<Rgba> material, source, out;
  std::vector<uint8_t> mask;

  Rows() : material(kRow), source(kRow), out(kRow), mask(kRow) {
    for (int32_t i = 0; i < kRow; ++i) {
      const float u = float(i) / kRow;
      const float light = 0.35f + 0.9f * std::sin(u * 9.0f) * std::sin(u * 9.0f);
      material[i] = {light * 1.05f, light * 0.85f, light * 0.55f, 1.0f};
      const float ripple = 0.06f * std::sin(float(i) * 0.031f);
      source[i] = {0.2f + 0.6f * u + ripple, 0.5f - 0.3f * u - ripple, 0.8f - 0.5f * u, 1.0f};
      mask[i] = i < 200 ? 0 : i < 264 ? uint8_t((i - 200) * 4) : 255;
    }
  }
};

const int kModes[] = {1, 9, 17, 18, 20, 25, 32, 44, 58, 59, 64, 69};

void glueRowKernelBench(benchmark::State& state) {
  const int mode = int(state.range(0));
  Rows rows;
  std::vector<Rgba> material = rows.material;
  const GlueRowKernel kernel = glueRowKernel(mode);
  for (auto _ : state) {
    kernel(material.data(), rows.source.data(), rows.out.data(), kRow);
    benchmark::DoNotOptimize(rows.out.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(modeName(mode)));
  state.SetItemsProcessed(state.iterations() * kRow);
}

// The final pass's finish of one row. The material row is its scratch, so each round starts
// from a fresh copy, as each band does.
void finishRowBench(benchmark::State& state) {
  const int mode = int(state.range(0));
  Rows rows;
  std::vector<Rgba> material(kRow);
  const FinishPlan plan = makeFinishPlan({RenderTarget::hostImage, false, false, false, mode});
  for (auto _ : state) {
    material = rows.material;
    finishRow(plan, material.data(), rows.source.data(), rows.mask.data(), rows.out.data(), 0, 0,
              kRow);
    benchmark::DoNotOptimize(rows.out.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(modeName(mode)));
  state.SetItemsProcessed(state.iterations() * kRow);
}

// The same row finished pixel by pixel, the mode looked up for every pixel.
void finishPixelLoopBench(benchmark::State& state) {
  const int mode = int(state.range(0));
  Rows rows;
  const FinishContext ctx{RenderTarget::hostImage, false, false, false, mode};
  for (auto _ : state) {
    for (int32_t i = 0; i < kRow; ++i)
      rows.out[i] = finishPixel(rows.material[i], rows.source[i], rows.mask[i] / 255.0f, i, 0, ctx);
    benchmark::DoNotOptimize(rows.out.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(modeName(mode)));
  state.SetItemsProcessed(state.iterations() * kRow);
}

void modes(benchmark::internal::Benchmark* b) {
  for (int mode : kModes) b->Arg(mode);
}

BENCHMARK(glueRowKernelBench)->Apply(modes);
BENCHMARK(finishRowBench)->Apply(modes);
BENCHMARK(finishPixelLoopBench)->Arg(1)->Arg(9)->Arg(59);

}  // namespace
}  // namespace orichalcumite

BENCHMARK_MAIN();
