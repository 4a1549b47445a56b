#include "pictures/picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/pictures/picture_test_support.h"

namespace orichalcumite {
namespace {

using testing::storedPixel;

TEST(PictureLevels, sizesHalveRoundingUpAndOddSidesBecomeEven) {
  const PictureLevelSizes levels = pictureLevelSizes(5, 3);
  ASSERT_EQ(levels.count, 4);
  EXPECT_EQ(levels.sizes[0], (PictureSize{5, 3}));
  EXPECT_EQ(levels.sizes[1], (PictureSize{4, 2}));
  EXPECT_EQ(levels.sizes[2], (PictureSize{2, 1}));
  EXPECT_EQ(levels.sizes[3], (PictureSize{1, 1}));

  const PictureLevelSizes one = pictureLevelSizes(1, 1);
  EXPECT_EQ(one.count, 1);
  EXPECT_EQ(pictureLevelSizes(0, 4).count, 0);
  // 9 -> 6 -> 4 -> 2 -> 1: halves of 5 and 3 are made even.
  const PictureLevelSizes nine = pictureLevelSizes(9, 1);
  ASSERT_EQ(nine.count, 5);
  EXPECT_EQ(nine.sizes[1].width, 6);
  EXPECT_EQ(nine.sizes[2].width, 4);
}

TEST(PictureLevels, neverMoreThanTwentyLevels) {
  // 2^20 would need 21 levels down to 1 x 1.
  const PictureLevelSizes levels = pictureLevelSizes(1 << 20, 1);
  ASSERT_EQ(levels.count, kMaxPictureLevels);
  EXPECT_EQ(levels.sizes[19], (PictureSize{2, 1}));

  const auto picture = createPicture(1 << 20, 1, PictureKind::grey8, WrapMode::clamp);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->levelCount(), kMaxPictureLevels);
  EXPECT_EQ(picture->level(19).width, 2);
}

TEST(PictureLevels, pictureDescribesItsLevelsAndShape) {
  const auto picture = createPicture(5, 3, PictureKind::rgba8, WrapMode::clamp);
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->levelCount(), 4);
  EXPECT_EQ(picture->level(1).width, 4);
  EXPECT_EQ(picture->level(1).maxY, 1);
  EXPECT_FLOAT_EQ(picture->level(1).inverseWidth, 0.25f);
  EXPECT_FLOAT_EQ(picture->aspect().horizontal, 5.0f / 3.0f);
  EXPECT_FLOAT_EQ(picture->aspect().vertical, 1.0f);
  EXPECT_FLOAT_EQ(picture->aspect().halfTexelV, 0.5f / 3.0f);
  EXPECT_EQ(picture->pyramidState(), PyramidState::notBuilt);

  const auto flat = createPicture(5, 3, PictureKind::rgba8, WrapMode::noPyramid);
  ASSERT_TRUE(flat);
  EXPECT_EQ(flat->levelCount(), 1);
}

TEST(PictureCreation, refusesSizesAndLayoutsItCannotHold) {
  EXPECT_FALSE(createPicture(0, 5, PictureKind::rgba8, WrapMode::clamp));
  EXPECT_FALSE(createPicture(5, 0, PictureKind::rgba8, WrapMode::clamp));
  EXPECT_FALSE(createPicture(-3, 5, PictureKind::grey8, WrapMode::clamp));
  EXPECT_FALSE(createPicture(kMaxPictureSide + 1, 1, PictureKind::grey8, WrapMode::clamp));
  EXPECT_FALSE(createPicture(4, 4, static_cast<PictureKind>(7), WrapMode::clamp));
  EXPECT_FALSE(createPicture(4, 4, PictureKind::rgba8, static_cast<WrapMode>(3)));
  EXPECT_TRUE(createPicture(1, 1, PictureKind::rgbaFloat, WrapMode::wrapBoth));
}

TEST(PicturePixels, startsEmptyAndKeepsEveryPixelAcrossTileBorders) {
  // 1100 x 600 spans three tile columns and two tile rows, the last ones partly used.
  const auto picture = createPicture(1100, 600, PictureKind::rgba8, WrapMode::clamp);
  ASSERT_TRUE(picture);
  EXPECT_FLOAT_EQ(picture->readPicturePixel(700, 550, 0).alpha, 0.0f);
  const int xs[] = {0, 1, 510, 511, 512, 513, 1023, 1024, 1099};
  const int ys[] = {0, 511, 512, 599};
  for (int y : ys) {
    for (int x : xs) picture->setPixel(x, y, 0, x & 255, x >> 8, y & 255, y >> 8);
  }
  for (int y : ys) {
    for (int x : xs) {
      const Rgba p = storedPixel(*picture, x, y);
      EXPECT_EQ(p.red, x & 255) << x << "," << y;
      EXPECT_EQ(p.green, x >> 8) << x << "," << y;
      EXPECT_EQ(p.blue, y & 255) << x << "," << y;
      EXPECT_EQ(p.alpha, y >> 8) << x << "," << y;
    }
  }
  // The smaller levels are separate storage.
  picture->setPixel(549, 299, 1, 9, 9, 9, 9);
  EXPECT_EQ(storedPixel(*picture, 549, 299, 1).red, 9);
  EXPECT_EQ(storedPixel(*picture, 549, 299, 0).red, 0);
}

TEST(PicturePixels, writesOutsideALevelAreIgnored) {
  const auto picture = createPicture(4, 4, PictureKind::rgba8, WrapMode::clamp);
  ASSERT_TRUE(picture);
  picture->setPixel(4, 0, 0, 255, 255, 255, 255);
  picture->setPixel(-1, 2, 0, 255, 255, 255, 255);
  picture->setPixel(0, 0, 7, 255, 255, 255, 255);
  picture->writeFloat(0, 4, 0, {1, 1, 1, 1});
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(storedPixel(*picture, x, y).red, 0);
  }
}

TEST(PicturePixels, eightBitColourKeepsOnlyTheLowByteOfEachValue) {
  const auto picture = createPicture(2, 2, PictureKind::rgba8, WrapMode::clamp);
  ASSERT_TRUE(picture);
  picture->setPixel(1, 1, 0, 300, 256 + 17, -1, 511);
  const Rgba p = storedPixel(*picture, 1, 1);
  EXPECT_EQ(p.red, 44);
  EXPECT_EQ(p.green, 17);
  EXPECT_EQ(p.blue, 255);
  EXPECT_EQ(p.alpha, 255);
}

TEST(PicturePixels, writeFloatScalesTruncatesAndSurvivesBadValues) {
  const auto colour = createPicture(2, 1, PictureKind::rgba8, WrapMode::clamp);
  ASSERT_TRUE(colour);
  colour->writeFloat(0, 0, 0, {0.5f, 1.0f, 0.0f, 0.999f});
  EXPECT_EQ(storedPixel(*colour, 0, 0).red, 127);
  EXPECT_EQ(storedPixel(*colour, 0, 0).green, 255);
  EXPECT_EQ(storedPixel(*colour, 0, 0).alpha, 254);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  colour->writeFloat(1, 0, 0, {nan, 1e30f, -1e30f, std::numeric_limits<float>::infinity()});
  EXPECT_EQ(storedPixel(*colour, 1, 0).red, 0);

  const auto deep = createPicture(1, 1, PictureKind::rgba16, WrapMode::clamp);
  ASSERT_TRUE(deep);
  deep->writeFloat(0, 0, 0, {0.5f, 1.5f, 0.25f, 1.0f});
  EXPECT_FLOAT_EQ(deep->readPicturePixel(0, 0, 0).green, 1.5f);

  const auto heights = createPicture(1, 1, PictureKind::greyFloat, WrapMode::clamp);
  ASSERT_TRUE(heights);
  heights->writeFloat(0, 0, 0, {-123.25f, 0, 0, 0});
  const Rgba h = heights->readPicturePixel(0, 0, 0);
  EXPECT_FLOAT_EQ(h.red, -123.25f);
  EXPECT_FLOAT_EQ(h.blue, -123.25f);
  EXPECT_FLOAT_EQ(h.alpha, 1.0f);
}

TEST(PicturePixels, fillSetsEveryPixelOfTheFullLevel) {
  const auto picture = createPicture(600, 3, PictureKind::grey16, WrapMode::clamp);
  ASSERT_TRUE(picture);
  picture->fill(40000, 0, 0, 0);
  for (int x : {0, 511, 512, 599}) {
    const Rgba p = storedPixel(*picture, x, 2);
    EXPECT_EQ(p.red, 40000);
    EXPECT_EQ(p.green, 40000);
    EXPECT_FLOAT_EQ(picture->readPicturePixel(x, 2, 0).alpha, 1.0f);
  }
}

// Columns hold their own index in red, rows theirs in green.
std::unique_ptr<Picture> indexPicture(WrapMode mode) {
  auto picture = createPicture(6, 4, PictureKind::rgba8, mode);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) picture->setPixel(x, y, 0, x, y, 0, 255);
  }
  return picture;
}

TEST(PicturePixels, readsOutsideFollowTheWrapMode) {
  const auto clamp = indexPicture(WrapMode::clamp);
  EXPECT_EQ(storedPixel(*clamp, -3, 9).red, 0);
  EXPECT_EQ(storedPixel(*clamp, -3, 9).green, 3);
  EXPECT_EQ(storedPixel(*clamp, 8, -1).red, 5);

  const auto wrap = indexPicture(WrapMode::wrapBoth);
  EXPECT_EQ(storedPixel(*wrap, -1, 0).red, 5);
  EXPECT_EQ(storedPixel(*wrap, 7, 0).red, 1);
  EXPECT_EQ(storedPixel(*wrap, 0, -1).green, 3);
  EXPECT_EQ(storedPixel(*wrap, 0, 5).green, 1);
  // More than one size outside: wrapped once, then clamped.
  EXPECT_EQ(storedPixel(*wrap, -20, 0).red, 0);
  EXPECT_EQ(storedPixel(*wrap, 40, 0).red, 5);

  const auto horizontal = indexPicture(WrapMode::wrapHorizontal);
  EXPECT_EQ(storedPixel(*horizontal, -1, 0).red, 5);
  EXPECT_EQ(storedPixel(*horizontal, 0, -1).green, 0);
  EXPECT_EQ(storedPixel(*horizontal, 0, 5).green, 3);

  // A level outside the table reads the nearest level.
  EXPECT_EQ(storedPixel(*clamp, 2, 1, 99).alpha, 0);  // level 3 exists but is still empty
  EXPECT_EQ(storedPixel(*clamp, 2, 1, -4).red, 2);
}

}  // namespace
}  // namespace orichalcumite
