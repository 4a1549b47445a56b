// Speed of the picture sampler (fast path inside one tile, general path across tile borders
// and edges, normalised sampling with level blending) and of the pyramid build.
// Report medians: --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "pictures/picture.h"

namespace orichalcumite {
namespace {

constexpr int kEnvironmentSide = 2048;
constexpr int kPoints = 4096;

std::unique_ptr<Picture> noisePicture(int width, int height, PictureKind kind) {
  auto picture = createPicture(width, height, kind, WrapMode::clamp);
  std::mt19937 random(1);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto v = random();
      picture->setPixel(x, y, 0, static_cast<int>(v & 255), static_cast<int>((v >> 8) & 255),
                        static_cast<int>((v >> 16) & 255), 255);
    }
  }
  return picture;
}

const Picture& environment() {
  static const std::unique_ptr<Picture> picture = [] {
    auto p = noisePicture(kEnvironmentSide, kEnvironmentSide, PictureKind::rgba8);
    p->buildPyramid();
    return p;
  }();
  return *picture;
}

struct Point {
  float x;
  float y;
};

// A shader samples neighbouring points one after another, so the points walk in small
// steps, as a reflection lookup does across a bevel; the footprints then mostly sit in
// cache and the benchmark measures the sampler rather than memory.

// Points whose 5 x 5 footprint lies inside one tile.
std::vector<Point> insidePoints() {
  std::vector<Point> points(kPoints);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const float t = static_cast<float>(i);
    points[i] = {600.0f + 0.73f * static_cast<float>(i % 512), 700.0f + 0.11f * t};
  }
  return points;
}

// Points whose footprint crosses a tile border (walking down the border at column 512).
std::vector<Point> borderPoints() {
  std::vector<Point> points(kPoints);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const float t = static_cast<float>(i);
    points[i] = {510.5f + 0.37f * static_cast<float>(i % 8), 700.0f + 0.11f * t};
  }
  return points;
}

// Random points over the whole picture: every footprint is a cache miss.
std::vector<Point> scatteredPoints() {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> anywhere(0.0f, kEnvironmentSide - 1.0f);
  std::vector<Point> points(kPoints);
  for (Point& p : points) p = {anywhere(random), anywhere(random)};
  return points;
}

void runSamplePoint(benchmark::State& state, const std::vector<Point>& points) {
  const Picture& picture = environment();
  std::size_t i = 0;
  for (auto _ : state) {
    const Point& p = points[i++ & (kPoints - 1)];
    benchmark::DoNotOptimize(picture.samplePoint(0, p.x, p.y));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void samplePointFastPath(benchmark::State& state) { runSamplePoint(state, insidePoints()); }
void samplePointGeneralPath(benchmark::State& state) { runSamplePoint(state, borderPoints()); }
void samplePointScattered(benchmark::State& state) { runSamplePoint(state, scatteredPoints()); }

void sampleWithLevelBlend(benchmark::State& state) {
  const Picture& picture = environment();
  std::vector<Point> points(kPoints);
  for (std::size_t k = 0; k < points.size(); ++k) {
    const float t = static_cast<float>(k);
    points[k] = {0.3f + 0.0004f * static_cast<float>(k % 512), 0.4f + 0.00005f * t};
  }
  std::size_t i = 0;
  for (auto _ : state) {
    const Point& p = points[i++ & (kPoints - 1)];
    benchmark::DoNotOptimize(picture.sample(1, 0.4f, p.x, p.y));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// Whole pyramid on the calling thread. Even sides halve exactly all the way; 2047 x 1535
// needs the bilinear reduction on every level.
void buildPyramid(benchmark::State& state, int width, int height, PictureKind kind) {
  const auto picture = noisePicture(width, height, kind);
  for (auto _ : state) picture->buildPyramid();
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * width * height);
}

void buildPyramidRgba8Even(benchmark::State& state) {
  buildPyramid(state, kEnvironmentSide, kEnvironmentSide, PictureKind::rgba8);
}
void buildPyramidRgba8Odd(benchmark::State& state) {
  buildPyramid(state, 2047, 1535, PictureKind::rgba8);
}
void buildPyramidGreyFloat(benchmark::State& state) {
  buildPyramid(state, 1300, 1300, PictureKind::greyFloat);
}

BENCHMARK(samplePointFastPath);
BENCHMARK(samplePointGeneralPath);
BENCHMARK(samplePointScattered);
BENCHMARK(sampleWithLevelBlend);
BENCHMARK(buildPyramidRgba8Even)->Unit(benchmark::kMillisecond);
BENCHMARK(buildPyramidRgba8Odd)->Unit(benchmark::kMillisecond);
BENCHMARK(buildPyramidGreyFloat)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orichalcumite

BENCHMARK_MAIN();
