#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "render/distance_field.h"
#include "render/float_image.h"

namespace orichalcumite {
namespace {

// A width x height mask inside a one-pixel ring of outside (0), as the height field's margin
// surrounds a region.
struct MaskedField {
  int width, height;
  std::vector<uint8_t> mask;  // region pixels, row-major
  FloatImage field;
  Rect32 area;

  MaskedField(int w, int h) : width(w), height(h), mask(static_cast<size_t>(w * h), 255) {
    field.reset(w + 2, h + 2);
    area = Rect32{1, 1, 1 + h, 1 + w};
  }
  uint8_t& at(int x, int y) { return mask[static_cast<size_t>(y * width + x)]; }
  void seed() {
    for (int y = 0; y < height; ++y)
      seedDistanceRow(field.row(y + 1) + 1, mask.data() + y * width, width);
  }
  float distance(int x, int y) const { return field.at(x + 1, y + 1); }
};

// Irregular blobs: a union of random discs, plus a few partly covered pixels.
MaskedField blobs(int w, int h, unsigned seed) {
  MaskedField m(w, h);
  std::mt19937 rng(seed);
  std::fill(m.mask.begin(), m.mask.end(), 0);
  for (int i = 0; i < 6; ++i) {
    const double cx = std::uniform_real_distribution<double>(0, w)(rng);
    const double cy = std::uniform_real_distribution<double>(0, h)(rng);
    const double r = std::uniform_real_distribution<double>(4, w / 3.0)(rng);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) m.at(x, y) = 255;
  }
  for (int i = 0; i < 20; ++i)
    m.at(static_cast<int>(rng() % static_cast<unsigned>(w)),
         static_cast<int>(rng() % static_cast<unsigned>(h))) = static_cast<uint8_t>(rng() % 255);
  return m;
}

// The four sweeps exactly as first described: x in the outer loop, y in the inner.
void columnMajorSweeps(FloatImage& f, const Rect32& a) {
  auto update = [&](int x, int y) {
    f.at(x, y) =
        sweptDistance(f.at(x, y), f.at(x - 1, y), f.at(x + 1, y), f.at(x, y - 1), f.at(x, y + 1));
  };
  for (int x = a.left; x < a.right; ++x)
    for (int y = a.top; y < a.bottom; ++y) update(x, y);
  for (int x = a.right - 1; x >= a.left; --x)
    for (int y = a.top; y < a.bottom; ++y) update(x, y);
  for (int x = a.right - 1; x >= a.left; --x)
    for (int y = a.bottom - 1; y >= a.top; --y) update(x, y);
  for (int x = a.left; x < a.right; ++x)
    for (int y = a.bottom - 1; y >= a.top; --y) update(x, y);
}

TEST(DistanceSweeps, RowOrderGivesExactlyTheColumnOrderResult) {
  // Sizes around the number of rows swept together, rows shorter than that, single rows and
  // columns.
  for (auto [w, h] : {std::pair{37, 23}, std::pair{3, 20}, std::pair{20, 3}, std::pair{1, 1},
                      std::pair{1, 17}, std::pair{17, 1}, std::pair{64, 64}, std::pair{9, 8}}) {
    MaskedField fast = blobs(w, h, static_cast<unsigned>(w * 31 + h));
    MaskedField slow = blobs(w, h, static_cast<unsigned>(w * 31 + h));
    fast.seed();
    slow.seed();
    sweepDistances(fast.field, fast.area);
    columnMajorSweeps(slow.field, slow.area);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(fast.distance(x, y), slow.distance(x, y))
            << w << "x" << h << " " << x << "," << y;
  }
}

TEST(DistanceSweeps, ApproximateTheEuclideanDistanceToTheNearestOutsidePixel) {
  // Brute force over every outside pixel (mask 0 in the region, and the ring around it).
  // A single set of sweeps errs slightly where the front arrives diagonally (by up to 0.83
  // pixel on these shapes, 0.43 beyond 3% of the distance); the bound is 0.5 pixel plus 3%.
  for (unsigned seed : {1u, 3u}) {
    MaskedField m = blobs(90, 70, seed);
    for (uint8_t& v : m.mask) v = v == 255 ? 255 : 0;
    m.seed();
    sweepDistances(m.field, m.area);
    std::vector<std::pair<int, int>> outside;
    for (int y = -1; y <= m.height; ++y)
      for (int x = -1; x <= m.width; ++x)
        if (x < 0 || y < 0 || x >= m.width || y >= m.height || m.at(x, y) == 0)
          outside.emplace_back(x, y);
    for (int y = 0; y < m.height; ++y)
      for (int x = 0; x < m.width; ++x) {
        double best = 1e30;
        for (auto [ox, oy] : outside)
          best = std::min(best, std::hypot(double(x - ox), double(y - oy)));
        ASSERT_NEAR(m.distance(x, y), best, 0.5 + 0.03 * best) << seed << " " << x << "," << y;
      }
  }
}

TEST(DistanceSweeps, PartlyCoveredPixelsKeepTheirCoverageAsDistance) {
  MaskedField m(15, 11);
  m.at(7, 5) = 128;
  m.seed();
  sweepDistances(m.field, m.area);
  EXPECT_FLOAT_EQ(m.distance(7, 5), 128.0f / 255.0f);
  // Its neighbours start from it: one step further.
  EXPECT_NEAR(m.distance(8, 5), 128.0f / 255.0f + 1.0f, 1e-5);
}

TEST(Closeness, RunsFrom3000AtTheEdgeToZeroBeyondTheRadius) {
  FloatImage f;
  f.reset(8, 1);
  const float distances[8] = {0.0f, 0.5f, 1.0f, 5.0f, 10.0f, 11.0f, 11.5f, kUnknownDistance};
  for (int x = 0; x < 8; ++x) f.at(x, 0) = distances[x];
  const int radius = 10;
  closenessFromDistance(f, f.bounds(), radius);
  for (int x = 0; x < 8; ++x) {
    const double expected = std::max(0.0, 3000.0 * (1.0 - double(distances[x]) / (radius + 1.0)));
    EXPECT_NEAR(f.at(x, 0), expected, 0.01) << x;
  }
  for (int x = 5; x < 8; ++x) EXPECT_EQ(f.at(x, 0), 0.0f) << x;  // from exactly r + 1 on
}

}  // namespace
}  // namespace orichalcumite
