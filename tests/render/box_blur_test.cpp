#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "render/box_blur.h"
#include "render/float_image.h"
#include "tests/render/blur_test_support.h"

namespace orichalcumite {
namespace {

FloatImage randomImage(int w, int h, unsigned seed) {
  FloatImage img;
  img.reset(w, h);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(-500.0f, 3000.0f);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.at(x, y) = value(rng);
  return img;
}

TEST(BlurPlan, FollowsThirteenThirtiethsOfTheRadius) {
  // radius 20: a = 8.67, lo 8, hi 9.
  const BlurPlan p20 = blurPlan(20);
  const BlurPass expected[6] = {{BlurAxis::horizontal, 8, 9}, {BlurAxis::vertical, 8, 9},
                                {BlurAxis::horizontal, 9, 8}, {BlurAxis::vertical, 9, 8},
                                {BlurAxis::horizontal, 8, 9}, {BlurAxis::vertical, 8, 9}};
  ASSERT_EQ(p20.count, 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(p20.passes[i], expected[i]) << i;
  EXPECT_EQ(blurPlan(15).passes[0], (BlurPass{BlurAxis::horizontal, 6, 7}));  // a = 6.5
  EXPECT_EQ(blurPlan(2).passes[2], (BlurPass{BlurAxis::horizontal, 1, 0}));   // a = 0.87
  EXPECT_EQ(blurPlan(1).count, 0);  // a = 0.43: every window is empty
}

TEST(BoxBlur, MatchesTheObviousMeanOverClampedWindows) {
  // The area sits inside the image: pixels outside it must not move. Radius 150 has
  // windows wider than the area.
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

TEST(BoxBlur, WideRowsAndColumnsMatchTheObviousMean) {
  // Rows of 64 pixels and more are summed as four stretches side by side, and columns are
  // walked in chunks of 64: areas either side of 64 wide, and some that 4 does not divide,
  // cover the seams between stretches and chunks and the pixels left over after them. Each
  // area sits inside the image at an offset; windows reach from one pixel to wider than the
  // area.
  struct Window {
    int before, after;
  };
  unsigned seed = 1;
  for (int width : {63, 64, 65, 66, 67, 128, 200}) {
    for (int height : {5, 70}) {
      const Rect32 area{4, 3, 4 + height, 3 + width};
      for (BlurAxis axis : {BlurAxis::horizontal, BlurAxis::vertical}) {
        for (Window w : {Window{0, 1}, Window{1, 0}, Window{3, 5}, Window{9, 8}, Window{90, 2}}) {
          const BlurPass pass{axis, w.before, w.after};
          FloatImage fast = randomImage(width + 9, height + 7, ++seed);
          FloatImage slow = randomImage(width + 9, height + 7, seed);
          BlurScratch scratch;
          const bool rows = axis == BlurAxis::horizontal;
          blurBand(fast, area, pass, rows ? area.top : area.left, rows ? area.bottom : area.right,
                   scratch);
          naivePass(slow, area, pass);
          for (int y = 0; y < fast.height(); ++y)
            for (int x = 0; x < fast.width(); ++x)
              ASSERT_NEAR(fast.at(x, y), slow.at(x, y), 1e-3)
                  << width << "x" << height << (rows ? " rows " : " columns ") << w.before << "+"
                  << w.after << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(BoxBlur, KeepsAConstantFieldExactlyConstant) {
  for (float c : {3000.0f, 0.1f, -1234.567f, 1.0e7f}) {
    FloatImage img;
    img.reset(300, 90);
    img.fill(c);
    SerialBlurRunner runner;
    runBlur(runner, img, img.bounds(), blurPlan(433));
    runBlur(runner, img, img.bounds(), blurPlan(20));
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
      ThreadedBlurRunner runner(threads, band);
      runBlur(runner, banded, area, blurPlan(radius));
      for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 210; ++x)
          ASSERT_EQ(whole.at(x, y), banded.at(x, y)) << radius << " " << threads << " " << band;
    }
  }
}

}  // namespace
}  // namespace orichalcumite
