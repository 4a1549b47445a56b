// Height-field benchmarks: the distance sweeps, the box blur, the profile lookup and the
// whole field of a 4000 x 3000 region with an elliptical selection.
//
//   ninja -C build-render orichalcumite_bench_render
//   build-render/bench/orichalcumite_bench_render --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true   (one command line)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "render/box_blur.h"
#include "render/distance_field.h"
#include "render/float_image.h"
#include "render/height_field.h"
#include "render/profile_table.h"

namespace orichalcumite {
namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

// An ellipse touching the region's sides at 45% of width and height from its centre.
const std::vector<uint8_t>& ellipseMask() {
  static const std::vector<uint8_t> mask = [] {
    std::vector<uint8_t> m(static_cast<size_t>(kWidth) * kHeight);
    const double cx = kWidth / 2.0, cy = kHeight / 2.0;
    const double rx = kWidth * 0.45, ry = kHeight * 0.45;
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
        m[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)] =
            dx * dx + dy * dy <= 1.0 ? 255 : 0;
      }
    return m;
  }();
  return mask;
}

const uint8_t* maskRow(int32_t y) { return ellipseMask().data() + static_cast<size_t>(y) * kWidth; }

// The render driver's blur passes in miniature: 64-row or 64-column bands handed out to
// `threads` threads (the calling one included) from a shared counter.
class BandBlurRunner final : public BlurRunner {
 public:
  explicit BandBlurRunner(int threads) : scratch_(static_cast<size_t>(threads)) {}

  void runPass(FloatImage& image, const Rect32& area, const BlurPass& pass) override {
    const bool rows = pass.axis == BlurAxis::horizontal;
    const int first = rows ? area.top : area.left;
    const int end = rows ? area.bottom : area.right;
    std::atomic<int> next{first};
    auto work = [&](BlurScratch& scratch) {
      for (int band = next.fetch_add(64); band < end; band = next.fetch_add(64))
        blurBand(image, area, pass, band, std::min(band + 64, end), scratch);
    };
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < scratch_.size(); ++i) helpers.emplace_back(work, std::ref(scratch_[i]));
    work(scratch_[0]);
    for (std::thread& t : helpers) t.join();
  }

 private:
  std::vector<BlurScratch> scratch_;
};

Rect32 regionInField() {
  return Rect32{kHeightFieldMargin, kHeightFieldMargin, kHeightFieldMargin + kHeight,
                kHeightFieldMargin + kWidth};
}

FloatImage seededField() {
  FloatImage field;
  field.reset(kWidth + 2 * kHeightFieldMargin, kHeight + 2 * kHeightFieldMargin);
  const Rect32 region = regionInField();
  for (int32_t y = 0; y < kHeight; ++y)
    seedDistanceRow(field.row(region.top + y) + region.left, maskRow(y), kWidth);
  return field;
}

void copyField(const FloatImage& from, FloatImage& to) {
  for (int32_t y = 0; y < from.height(); ++y) std::copy_n(from.row(y), from.width(), to.row(y));
}

void BM_DistanceSweeps(benchmark::State& state) {
  const FloatImage seeded = seededField();
  FloatImage field;
  field.reset(seeded.width(), seeded.height());
  for (auto _ : state) {
    state.PauseTiming();
    copyField(seeded, field);
    state.ResumeTiming();
    sweepDistances(field, regionInField());
    benchmark::DoNotOptimize(field.row(0));
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_DistanceSweeps)->Unit(benchmark::kMillisecond)->UseRealTime();

FloatImage patternedField() {
  FloatImage field;
  field.reset(kWidth + 2 * kHeightFieldMargin, kHeight + 2 * kHeightFieldMargin);
  for (int32_t y = 0; y < field.height(); ++y)
    for (int32_t x = 0; x < field.width(); ++x)
      field.at(x, y) = static_cast<float>((x * 7 + y * 13) % 3001);
  return field;
}

// One horizontal or vertical pass with the windows of the default smoothing, one thread.
void BM_BlurPass(benchmark::State& state) {
  FloatImage field = patternedField();
  const BlurPass pass{state.range(0) == 0 ? BlurAxis::horizontal : BlurAxis::vertical, 3, 3};
  SerialBlurRunner runner;
  for (auto _ : state) {
    runner.runPass(field, regionInField(), pass);
    benchmark::DoNotOptimize(field.row(0));
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_BlurPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The smoothing blur of the default settings (smoothness 30: radius 8) over the region.
void BM_BoxBlur(benchmark::State& state) {
  FloatImage field = patternedField();
  BandBlurRunner runner(static_cast<int>(state.range(0)));
  const BlurPlan plan = blurPlan(8);
  for (auto _ : state) {
    runBlur(runner, field, regionInField(), plan);
    benchmark::DoNotOptimize(field.row(0));
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight * plan.count);
}
BENCHMARK(BM_BoxBlur)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ProfileLookup(benchmark::State& state) {
  const ProfileTable table = scaledProfile(8, 35, 60);
  std::vector<float> closeness(static_cast<size_t>(kWidth) * kHeight);
  for (size_t i = 0; i < closeness.size(); ++i) closeness[i] = static_cast<float>(i % 3001);
  std::vector<float> values(closeness.size());
  for (auto _ : state) {
    state.PauseTiming();
    values = closeness;
    state.ResumeTiming();
    applyProfileRow(values.data(), static_cast<int32_t>(values.size()), table);
    benchmark::DoNotOptimize(values.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_ProfileLookup)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole field: ramp, smoothness 30, no grit or texture, the ellipse selection; blur
// passes on range(1) threads.
void BM_HeightField(benchmark::State& state) {
  BandBlurRunner runner(static_cast<int>(state.range(1)));
  HeightFieldParams params;
  params.shape = 1;
  params.radius = static_cast<int>(state.range(0));
  params.height = 60;
  params.smoothness = 30;
  params.regionWidth = kWidth;
  params.regionHeight = kHeight;
  ellipseMask();
  for (auto _ : state) {
    // A fresh builder each time: the field lives for one render, so its allocation and
    // first touch are part of the cost.
    HeightFieldBuilder builder(&runner);
    if (!builder.prepare(params)) {
      state.SkipWithError("prepare failed");
      break;
    }
    while (!builder.isDone()) {
      const HeightStep next = builder.nextStep();
      HeightRowInput input;
      if (next.needsMask) input.mask = maskRow(next.row);
      builder.step(input);
    }
    benchmark::DoNotOptimize(builder.field().row(0));
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_HeightField)
    ->Args({35, 2})
    ->Args({100, 2})
    ->Args({35, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace orichalcumite

BENCHMARK_MAIN();
