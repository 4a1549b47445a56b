#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "render/box_blur.h"
#include "render/float_image.h"

namespace orichalcumite {
namespace {

FloatImage randomImage(int w, int h, unsigned seed, float lo = -500.0f, float hi = 3000.0f) {
  FloatImage img;
  img.reset(w, h);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(lo, hi);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.at(x, y) = value(rng);
  return img;
}

// The obvious box pass over `area`: every output the mean of its window, positions beyond the
// area's row or column taking the nearest pixel inside it, in double.
void naivePass(FloatImage& img, const Rect32& area, const BlurPass& pass) {
  const FloatImage* in = &img;
  std::vector<double> copy(static_cast<size_t>(img.width()) * img.height());
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) copy[static_cast<size_t>(y * img.width() + x)] = in->at(x, y);
  auto original = [&](int x, int y) { return copy[static_cast<size_t>(y * img.width() + x)]; };
  const bool rows = pass.axis == BlurAxis::horizontal;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      double sum = 0;
      for (int k = -pass.before; k <= pass.after; ++k) {
        const int sx = rows ? std::clamp(x + k, area.left, area.right - 1) : x;
        const int sy = rows ? y : std::clamp(y + k, area.top, area.bottom - 1);
        sum += original(sx, sy);
      }
      img.at(x, y) = static_cast<float>(sum / (pass.before + pass.after + 1));
    }
}

bool sameImage(const FloatImage& a, const FloatImage& b) {
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.at(x, y) != b.at(x, y)) return false;
  return true;
}

// Cuts every pass into bands of `band` rows or columns and runs them on `threads` threads.
class ThreadedRunner final : public BlurRunner {
 public:
  ThreadedRunner(int threads, int band) : threads_(threads), band_(band) {}
  void runPass(FloatImage& image, const Rect32& area, const BlurPass& pass) override {
    const bool rows = pass.axis == BlurAxis::horizontal;
    const int first = rows ? area.top : area.left, end = rows ? area.bottom : area.right;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads_; ++t)
      workers.emplace_back([&, t] {
        BlurScratch scratch;
        for (int b = first + t * band_; b < end; b += threads_ * band_)
          blurBand(image, area, pass, b, std::min(b + band_, end), scratch);
      });
    for (std::thread& w : workers) w.join();
  }

 private:
  int threads_, band_;
};

TEST(BlurPlan, FollowsThirteenThirtiethsOfTheRadius) {
  // radius 20: a = 8.67, lo 8, hi 9.
  const BlurPlan p20 = blurPlan(20);
  ASSERT_EQ(p20.count, 6);
  const BlurPass expected[6] = {{BlurAxis::horizontal, 8, 9}, {BlurAxis::vertical, 8, 9},
                                {BlurAxis::horizontal, 9, 8}, {BlurAxis::vertical, 9, 8},
                                {BlurAxis::horizontal, 8, 9}, {BlurAxis::vertical, 8, 9}};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(p20.passes[i], expected[i]) << i;
  // radius 15: a = 6.5 exactly, hi rounds up to 7.
  EXPECT_EQ(blurPlan(15).passes[0], (BlurPass{BlurAxis::horizontal, 6, 7}));
  // radius 2: a = 0.87: windows (0, 1), (1, 0), (0, 1).
  const BlurPlan p2 = blurPlan(2);
  ASSERT_EQ(p2.count, 6);
  EXPECT_EQ(p2.passes[2], (BlurPass{BlurAxis::horizontal, 1, 0}));
  EXPECT_EQ(p2.passes[5], (BlurPass{BlurAxis::vertical, 0, 1}));
  // radius 1: a = 0.43: every window is empty.
  EXPECT_EQ(blurPlan(1).count, 0);
  EXPECT_EQ(blurPlan(0).count, 0);
  // radius 3: a = 1.3: lo 1, hi 1, and the last pair (0, 1).
  EXPECT_EQ(blurPlan(3).passes[4], (BlurPass{BlurAxis::horizontal, 0, 1}));
}

TEST(BoxBlur, MatchesTheObviousMeanOverClampedWindows) {
  // The area sits inside the image: pixels outside it must not move or be read.
  const Rect32 area{3, 5, 3 + 41, 5 + 57};
  for (int radius : {2, 8, 20, 150}) {
    FloatImage fast = randomImage(70, 50, static_cast<unsigned>(radius));
    FloatImage slow = randomImage(70, 50, static_cast<unsigned>(radius));
    const BlurPlan plan = blurPlan(radius);
    SerialBlurRunner runner;
    runBlur(runner, fast, area, plan);
    for (int i = 0; i < plan.count; ++i) naivePass(slow, area, plan.passes[i]);
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 70; ++x)
        ASSERT_NEAR(fast.at(x, y), slow.at(x, y), 1e-3) << radius << " " << x << "," << y;
  }
}

TEST(BoxBlur, WindowsWiderThanTheAreaRepeatItsEdges) {
  const Rect32 area{0, 0, 6, 4};
  FloatImage fast = randomImage(4, 6, 9);
  FloatImage slow = randomImage(4, 6, 9);
  for (BlurPass pass : {BlurPass{BlurAxis::horizontal, 9, 2}, BlurPass{BlurAxis::vertical, 3, 11},
                        BlurPass{BlurAxis::vertical, 0, 1}, BlurPass{BlurAxis::horizontal, 1, 0}}) {
    BlurScratch scratch;
    blurBand(fast, area, pass, 0, pass.axis == BlurAxis::horizontal ? 6 : 4, scratch);
    naivePass(slow, area, pass);
  }
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_NEAR(fast.at(x, y), slow.at(x, y), 1e-3) << x << "," << y;
}

TEST(BoxBlur, KeepsAConstantFieldExactlyConstant) {
  for (float c : {0.0f, 3000.0f, 0.1f, -1234.567f, 1.0e7f}) {
    FloatImage img;
    img.reset(300, 90);
    img.fill(c);
    SerialBlurRunner runner;
    runBlur(runner, img, Rect32{0, 0, 90, 300}, blurPlan(433));
    runBlur(runner, img, Rect32{0, 0, 90, 300}, blurPlan(20));
    for (int y = 0; y < 90; ++y)
      for (int x = 0; x < 300; ++x) ASSERT_EQ(img.at(x, y), c) << x << "," << y;
  }
}

TEST(BoxBlur, BandsOnManyThreadsEqualOneWholePass) {
  const Rect32 area{2, 1, 2 + 150, 1 + 203};
  for (int radius : {2, 20, 300}) {
    FloatImage whole = randomImage(210, 160, 4);
    SerialBlurRunner serial;
    runBlur(serial, whole, area, blurPlan(radius));
    for (auto [threads, band] : {std::pair{2, 64}, std::pair{3, 7}, std::pair{4, 1}}) {
      FloatImage banded = randomImage(210, 160, 4);
      ThreadedRunner runner(threads, band);
      runBlur(runner, banded, area, blurPlan(radius));
      EXPECT_TRUE(sameImage(whole, banded)) << radius << " " << threads << " " << band;
    }
  }
}

TEST(BoxBlur, ReservedScratchCoversEveryPassOfThePlan) {
  const Rect32 area{0, 0, 40, 500};
  BlurScratch scratch;
  ASSERT_TRUE(scratch.reserve(area, blurPlan(433)));
  const size_t values = scratch.values.size(), sums = scratch.sums.size();
  FloatImage img = randomImage(500, 40, 5);
  const BlurPlan plan = blurPlan(433);
  for (int i = 0; i < plan.count; ++i) {
    const BlurPass& p = plan.passes[i];
    blurBand(img, area, p, 0, p.axis == BlurAxis::horizontal ? 40 : 500, scratch);
  }
  // No pass had to grow it.
  EXPECT_EQ(scratch.values.size(), values);
  EXPECT_EQ(scratch.sums.size(), sums);
}

TEST(BlurReach, BoundsHowFarAValueTravels) {
  // A single spike in a zero field: after the plan nothing farther than the reach moves.
  for (int radius : {2, 8, 20}) {
    const BlurPlan plan = blurPlan(radius);
    const int reach = blurReach(plan);
    FloatImage img;
    img.reset(121, 121);
    img.at(60, 60) = 1000.0f;
    SerialBlurRunner runner;
    runBlur(runner, img, img.bounds(), plan);
    int farthest = 0;
    for (int y = 0; y < 121; ++y)
      for (int x = 0; x < 121; ++x)
        if (img.at(x, y) != 0.0f) farthest = std::max({farthest, std::abs(x - 60), std::abs(y - 60)});
    EXPECT_LE(farthest, reach) << radius;
    EXPECT_GE(farthest, reach - 2) << radius;  // and the bound is not loose
  }
}

}  // namespace
}  // namespace orichalcumite
