#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "pictures/picture.h"
#include "tests/pictures/picture_test_support.h"

namespace orichalcumite {
namespace {

using testing::storedPixel;

// Reduction written out plainly: 32 bilinear reads of the larger level on a 6 x 6 grid
// (corners left out) with binomial-like weights, divided by their total.
Rgba referenceReduced(const Picture& picture, int level, int j, int i) {
  const double offsets[6] = {-0.75, -0.25, 0.25, 0.75, 1.25, 1.75};
  const double weights[6][6] = {{0, 1, 4, 4, 1, 0},       {1, 16, 64, 64, 16, 1},
                                {4, 64, 256, 256, 64, 4}, {4, 64, 256, 256, 64, 4},
                                {1, 16, 64, 64, 16, 1},   {0, 1, 4, 4, 1, 0}};
  const PictureLevel& small = picture.level(level);
  const PictureLevel& large = picture.level(level - 1);
  auto at = [&](int x, int y) {
    return storedPixel(picture, std::clamp(x, 0, large.maxX), std::clamp(y, 0, large.maxY),
                       level - 1);
  };
  double sum[4] = {};
  double total = 0.0;
  for (int l = 0; l < 6; ++l) {
    for (int k = 0; k < 6; ++k) {
      const double u = std::clamp((j + offsets[k]) / small.width, 0.0, 1.0);
      const double v = std::clamp((i + offsets[l]) / small.height, 0.0, 1.0);
      const double px = u * large.width - 0.5;
      const double py = v * large.height - 0.5;
      const int x0 = static_cast<int>(std::floor(px));
      const int y0 = static_cast<int>(std::floor(py));
      const double fx = px - x0;
      const double fy = py - y0;
      const Rgba a = at(x0, y0), b = at(x0 + 1, y0), c = at(x0, y0 + 1), d = at(x0 + 1, y0 + 1);
      const double w = weights[l][k];
      auto bilinear = [&](float Rgba::*channel) {
        const double pa = static_cast<double>(a.*channel), pb = static_cast<double>(b.*channel),
                     pc = static_cast<double>(c.*channel), pd = static_cast<double>(d.*channel);
        return (pa * (1 - fx) + pb * fx) * (1 - fy) + (pc * (1 - fx) + pd * fx) * fy;
      };
      sum[0] += w * bilinear(&Rgba::red);
      sum[1] += w * bilinear(&Rgba::green);
      sum[2] += w * bilinear(&Rgba::blue);
      sum[3] += w * bilinear(&Rgba::alpha);
      total += w;
    }
  }
  EXPECT_EQ(total, 1640.0);
  return {static_cast<float>(sum[0] / total), static_cast<float>(sum[1] / total),
          static_cast<float>(sum[2] / total), static_cast<float>(sum[3] / total)};
}

TEST(PicturePyramid, constantPictureStaysConstantOnEveryLevel) {
  // 64 x 48 halves exactly down to 2 x ...; 37 x 23 needs the general reduction.
  for (PictureSize size : {PictureSize{64, 48}, PictureSize{37, 23}}) {
    for (PictureKind kind :
         {PictureKind::grey8, PictureKind::rgba8, PictureKind::rgba16, PictureKind::rgbaFloat}) {
      const auto picture = createPicture(size.width, size.height, kind, WrapMode::clamp);
      ASSERT_TRUE(picture);
      const bool isFloat = kind == PictureKind::rgbaFloat;
      picture->fill(isFloat ? 3 : 251, isFloat ? 0 : 128, isFloat ? 7 : 1, isFloat ? 1 : 255);
      picture->buildPyramid();
      EXPECT_EQ(picture->pyramidState(), PyramidState::built);
      const Rgba expected = storedPixel(*picture, 0, 0);
      for (int level = 1; level < picture->levelCount(); ++level) {
        for (int y = 0; y < picture->level(level).height; ++y) {
          for (int x = 0; x < picture->level(level).width; ++x) {
            const Rgba p = storedPixel(*picture, x, y, level);
            ASSERT_NEAR(p.red, expected.red, 1e-5f) << level << ": " << x << "," << y;
            ASSERT_NEAR(p.green, expected.green, 1e-5f);
            ASSERT_NEAR(p.blue, expected.blue, 1e-5f);
            ASSERT_NEAR(p.alpha, expected.alpha, 1e-5f);
          }
        }
      }
    }
  }
}

TEST(PicturePyramid, levelsMatchAPlainReduction) {
  for (PictureSize size :
       {PictureSize{64, 48}, PictureSize{37, 23}, PictureSize{5, 3}, PictureSize{1030, 9}}) {
    for (PictureKind kind : {PictureKind::rgba8, PictureKind::grey16, PictureKind::rgbaFloat}) {
      const auto picture = createPicture(size.width, size.height, kind, WrapMode::wrapBoth);
      ASSERT_TRUE(picture);
      testing::fillWithNoise(*picture, 21);
      picture->buildPyramid();
      const float tolerance = kind == PictureKind::rgbaFloat ? 1e-4f : 1.0f;
      for (int level = 1; level < picture->levelCount(); ++level) {
        const PictureLevel& l = picture->level(level);
        const int xs[] = {0, 1, l.width / 2, l.maxX};
        const int ys[] = {0, l.height / 3, l.maxY};
        for (int y : ys) {
          for (int x : xs) {
            if (x > l.maxX) continue;
            const Rgba got = storedPixel(*picture, x, y, level);
            const Rgba want = referenceReduced(*picture, level, x, y);
            ASSERT_NEAR(got.red, want.red, tolerance)
                << size.width << " level " << level << ": " << x << "," << y;
            ASSERT_NEAR(got.green, want.green, tolerance);
            ASSERT_NEAR(got.blue, want.blue, tolerance);
            ASSERT_NEAR(got.alpha, want.alpha, tolerance);
          }
        }
      }
    }
  }
}

TEST(PicturePyramid, parallelTilesGiveTheSameLevelsAsOneSerialPass) {
  const auto serial = createPicture(300, 200, PictureKind::rgba8, WrapMode::clamp);
  const auto tiled = createPicture(300, 200, PictureKind::rgba8, WrapMode::clamp);
  ASSERT_TRUE(serial && tiled);
  testing::fillWithNoise(*serial, 4);
  testing::fillWithNoise(*tiled, 4);
  serial->buildPyramid();

  // Two threads take 16 x 16 tiles alternately; the runner returns when both are done.
  int calls = 0;
  std::mutex countLock;
  tiled->buildPyramid([&](const Rect32& area, const PictureRectKernel& kernel) {
    std::vector<Rect32> tiles;
    for (int top = area.top; top < area.bottom; top += 16) {
      for (int left = area.left; left < area.right; left += 16) {
        tiles.push_back(
            {top, left, std::min(top + 16, area.bottom), std::min(left + 16, area.right)});
      }
    }
    auto work = [&](std::size_t first) {
      for (std::size_t t = first; t < tiles.size(); t += 2) {
        kernel(tiles[t]);
        const std::lock_guard<std::mutex> hold(countLock);
        ++calls;
      }
    };
    std::thread other(work, 1);
    work(0);
    other.join();
  });
  EXPECT_GT(calls, 100);
  for (int level = 1; level < serial->levelCount(); ++level) {
    for (int y = 0; y < serial->level(level).height; ++y) {
      for (int x = 0; x < serial->level(level).width; ++x) {
        const Rgba a = storedPixel(*serial, x, y, level);
        const Rgba b = storedPixel(*tiled, x, y, level);
        ASSERT_EQ(a.red, b.red) << level << ": " << x << "," << y;
        ASSERT_EQ(a.alpha, b.alpha);
      }
    }
  }
}

TEST(PicturePyramid, picturesMarkedNoPyramidNeverBuildOne) {
  const auto picture = createPicture(40, 40, PictureKind::rgba8, WrapMode::noPyramid);
  ASSERT_TRUE(picture);
  picture->fill(1, 2, 3, 4);
  bool ran = false;
  picture->buildPyramid([&](const Rect32&, const PictureRectKernel&) { ran = true; });
  EXPECT_FALSE(ran);
  EXPECT_EQ(picture->pyramidState(), PyramidState::notBuilt);
  EXPECT_EQ(picture->levelCount(), 1);
  EXPECT_EQ(picture->pyramidPassKind(), -1000);
  EXPECT_EQ(createPicture(4, 4, PictureKind::greyFloat, WrapMode::clamp)->pyramidPassKind(), -1001);
}

}  // namespace
}  // namespace orichalcumite
