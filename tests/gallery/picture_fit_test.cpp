// Fitting pictures to a cell: the size rule and the resampling.
#include "gallery/picture_fit.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orichalcumite {
namespace {

TEST(PictureFit, LargerSideBecomesTheCellSide) {
  struct Case {
    int width, height, side;
    PictureSize expected;
  };
  const Case cases[] = {
      {200, 100, 88, {88, 44}}, {100, 200, 88, {44, 88}},    {88, 88, 88, {88, 88}},
      {50, 120, 88, {37, 88}},  {20, 10, 88, {88, 44}},      {1, 1000, 88, {1, 88}},
      {3000, 2, 300, {300, 1}}, {640, 480, 300, {300, 225}}, {0, 5, 88, {88, 88}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    EXPECT_EQ(fittedSize(c.width, c.height, c.side), c.expected);
  }
}

std::unique_ptr<Picture> pattern(int width, int height) {
  std::unique_ptr<Picture> p =
      createPicture(width, height, PictureKind::rgba8, WrapMode::noPyramid);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      p->setPixel(x, y, 0, (x * 37 + y * 11) % 256, (x * y) % 256, 200, 255);
  return p;
}

// A reduction by whole factors averages blocks of source pixels: compared with the plain
// block average, within one step of 8-bit rounding.
TEST(PictureFit, WholeFactorReductionAveragesBlocks) {
  const std::unique_ptr<Picture> source = pattern(12, 9);
  const std::unique_ptr<Picture> reduced = resizedPicture(*source, 4, 3);
  ASSERT_TRUE(reduced);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      float red = 0.0f, green = 0.0f;
      for (int sy = 3 * y; sy < 3 * y + 3; ++sy)
        for (int sx = 3 * x; sx < 3 * x + 3; ++sx) {
          red += source->readPicturePixel(sx, sy, 0).red / 9.0f;
          green += source->readPicturePixel(sx, sy, 0).green / 9.0f;
        }
      const Rgba got = reduced->readPicturePixel(x, y, 0);
      EXPECT_NEAR(got.red, red, 1.0f / 255.0f) << x << "," << y;
      EXPECT_NEAR(got.green, green, 1.0f / 255.0f) << x << "," << y;
      EXPECT_EQ(got.alpha, 1.0f);
    }
  }
}

TEST(PictureFit, EnlargingAFlatPictureKeepsItFlat) {
  std::unique_ptr<Picture> flat = createPicture(3, 2, PictureKind::rgba8, WrapMode::noPyramid);
  flat->fill(10, 120, 240, 0);  // an alpha of 0 still gives an opaque result
  const std::unique_ptr<Picture> large = resizedPicture(*flat, 300, 200);
  ASSERT_TRUE(large);
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{150, 100}, std::pair{299, 199}}) {
    const Rgba p = large->readPicturePixel(x, y, 0);
    EXPECT_NEAR(p.red * 255.0f, 10.0f, 0.6f);
    EXPECT_NEAR(p.blue * 255.0f, 240.0f, 0.6f);
    EXPECT_EQ(p.alpha, 1.0f);
  }
  EXPECT_FALSE(resizedPicture(*flat, 0, 5));
}

}  // namespace
}  // namespace orichalcumite
