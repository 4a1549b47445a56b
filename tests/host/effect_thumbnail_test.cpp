// The small picture of an effect that memory dots and presets carry.
#include <gtest/gtest.h>

#include <cmath>

#include "base/random_generator.h"
#include "host/effect_thumbnail.h"
#include "pictures/effect_pictures.h"
#include "tests/support/factory_settings.h"

namespace orichalcumite {
namespace {

TEST(EffectThumbnail, theSelectionIsACentredRoundedRectangleWithASoftEdge) {
  struct Case {
    int x, y;
    int expected;  // -1: strictly between 0 and 255
  };
  // 128 wide: inset 16, corners of radius 25.6; the edge crosses pixel (23, 23) on the
  // diagonal.
  const Case cases[] = {{64, 64, 255}, {0, 0, 0},   {5, 64, 0},    {20, 64, 255},
                        {64, 120, 0},  {17, 17, 0}, {127, 127, 0}, {23, 23, -1}};
  for (const Case& c : cases) {
    const int value = thumbnailSelection(c.x, c.y, 128);
    if (c.expected < 0) {
      EXPECT_GT(value, 0) << c.x << "," << c.y;
      EXPECT_LT(value, 255) << c.x << "," << c.y;
    } else {
      EXPECT_EQ(value, c.expected) << c.x << "," << c.y;
    }
  }
  // Symmetric about both centre lines.
  for (int y = 0; y < 128; y += 7)
    for (int x = 0; x < 128; x += 5) {
      EXPECT_EQ(thumbnailSelection(x, y, 128), thumbnailSelection(127 - x, y, 128));
      EXPECT_EQ(thumbnailSelection(x, y, 128), thumbnailSelection(x, 127 - y, 128));
    }
}

TEST(EffectThumbnail, theEffectShowsInsideTheShapeOverAGreySource) {
  EffectPictures pictures;
  RandomGenerator random(5);
  const EffectSettings s = testing::factorySettings();
  ASSERT_TRUE(pictures.ensureEnvironment());
  ASSERT_TRUE(pictures.prepareTexture(s.textureChoice, random, kEffectThumbnailSide));
  const auto thumbnail = renderEffectThumbnail(s, pictures, random);
  ASSERT_TRUE(thumbnail);
  EXPECT_EQ(thumbnail->width(), 128);
  EXPECT_EQ(thumbnail->height(), 128);
  // Outside the selection the neutral source stays as it was.
  for (const auto& [x, y] : {std::pair{0, 0}, {127, 3}, {64, 126}}) {
    const Rgba outside = thumbnail->readPicturePixel(x, y, 0);
    EXPECT_NEAR(outside.red, 0.5f, 1.0f / 255.0f) << x << "," << y;
    EXPECT_FLOAT_EQ(outside.alpha, 1.0f);
  }
  // Across the bevel the material changes the grey.
  float largestChange = 0.0f;
  for (int x = 16; x < 112; ++x) {
    const Rgba c = thumbnail->readPicturePixel(x, 64, 0);
    largestChange = std::max(largestChange, std::fabs(c.red - 0.5f));
  }
  EXPECT_GT(largestChange, 0.1f);
}

}  // namespace
}  // namespace orichalcumite
