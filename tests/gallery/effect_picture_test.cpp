// Effect pictures of any width and height over a caller's picture, as the memory-dots page
// renders them.
#include <gtest/gtest.h>

#include <cmath>

#include "base/random_generator.h"
#include "host/effect_thumbnail.h"
#include "pictures/effect_pictures.h"
#include "tests/support/factory_settings.h"

namespace orichalcumite {
namespace {

TEST(EffectPicture, SquareSelectionIsTheThumbnailsAndOblongOnesFollowTheShorterSide) {
  for (const int side : {16, 57, 128, 300})
    for (int y = 0; y < side; y += 3)
      for (int x = 0; x < side; x += 5)
        ASSERT_EQ(effectPictureSelection(x, y, side, side), thumbnailSelection(x, y, side))
            << side << ": " << x << "," << y;
  // 300 × 150: inset 18.75 and corners of radius 30, whatever the longer side.
  EXPECT_EQ(effectPictureSelection(150, 75, 300, 150), 255);
  EXPECT_EQ(effectPictureSelection(10, 75, 300, 150), 0);
  EXPECT_EQ(effectPictureSelection(25, 75, 300, 150), 255);
  EXPECT_EQ(effectPictureSelection(150, 10, 300, 150), 0);
  EXPECT_EQ(effectPictureSelection(150, 25, 300, 150), 255);
  EXPECT_EQ(effectPictureSelection(20, 20, 300, 150), 0);  // the rounded corner
  for (int y = 0; y < 150; y += 7)
    for (int x = 0; x < 300; x += 11) {
      EXPECT_EQ(effectPictureSelection(x, y, 300, 150),
                effectPictureSelection(299 - x, y, 300, 150));
      EXPECT_EQ(effectPictureSelection(x, y, 300, 150),
                effectPictureSelection(x, 149 - y, 300, 150));
      EXPECT_EQ(effectPictureSelection(x, y, 300, 150), effectPictureSelection(y, x, 150, 300));
    }
}

TEST(EffectPicture, RendersOverTheCallersPictureOutsideTheSelectionUnchanged) {
  EffectPictures pictures;
  RandomGenerator random(5);
  const EffectSettings s = testing::factorySettings();
  ASSERT_TRUE(pictures.ensureEnvironment());
  ASSERT_TRUE(pictures.prepareTexture(s.textureChoice, random, 90));
  std::unique_ptr<Picture> source = createPicture(90, 50, PictureKind::rgba8, WrapMode::noPyramid);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 90; ++x) source->setPixel(x, y, 0, 2 * x, 4 * y, 100, 255);

  const auto rendered = renderEffectPicture(s, pictures, random, 90, 50, source.get());
  ASSERT_TRUE(rendered);
  EXPECT_EQ(rendered->width(), 90);
  EXPECT_EQ(rendered->height(), 50);
  for (const auto& [x, y] : {std::pair{0, 0}, {89, 2}, {45, 49}, {2, 30}}) {
    const Rgba in = source->readPicturePixel(x, y, 0);
    const Rgba out = rendered->readPicturePixel(x, y, 0);
    EXPECT_NEAR(out.red, in.red, 1.0f / 255.0f) << x << "," << y;
    EXPECT_NEAR(out.green, in.green, 1.0f / 255.0f) << x << "," << y;
  }
  float largestChange = 0.0f;
  for (int x = 10; x < 80; ++x)
    largestChange = std::max(largestChange, std::fabs(rendered->readPicturePixel(x, 25, 0).blue -
                                                      source->readPicturePixel(x, 25, 0).blue));
  EXPECT_GT(largestChange, 0.1f);

  // A source smaller than the picture, or a size without pixels, gives nothing.
  EXPECT_FALSE(renderEffectPicture(s, pictures, random, 91, 50, source.get()));
  EXPECT_FALSE(renderEffectPicture(s, pictures, random, 0, 50, nullptr));
}

}  // namespace
}  // namespace orichalcumite
