#include "pictures/picture_slots.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/pictures/picture_test_support.h"

namespace orichalcumite {
namespace {

using testing::storedPixel;

// A decoded image whose pixels encode their position; rows padded past the pixels.
struct DecodedImage {
  int width;
  int height;
  std::ptrdiff_t rowBytes;
  std::vector<std::uint8_t> bytes;

  DecodedImage(int w, int h) : width(w), height(h), rowBytes(4 * w + 12), bytes(rowBytes * h) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        std::uint8_t* p = &bytes[static_cast<std::size_t>(rowBytes * y + 4 * x)];
        p[0] = static_cast<std::uint8_t>(x);
        p[1] = static_cast<std::uint8_t>(x >> 8);
        p[2] = static_cast<std::uint8_t>(y);
        p[3] = 7;  // decoder alpha is not used
      }
    }
  }
  Rgba8ImageView view() const { return {bytes.data(), width, height, rowBytes}; }
};

void expectTopLeftCopy(const Picture& picture, const DecodedImage& image) {
  for (int y : {0, picture.height() / 2, picture.height() - 1}) {
    for (int x : {0, 511, 512, picture.width() - 1}) {
      if (x >= picture.width()) continue;
      const Rgba p = storedPixel(picture, x, y);
      const std::uint8_t* source =
          &image.bytes[static_cast<std::size_t>(image.rowBytes * y + 4 * x)];
      EXPECT_EQ(p.red, source[0]) << x << "," << y;
      EXPECT_EQ(p.green, source[1]) << x << "," << y;
      EXPECT_EQ(p.blue, source[2]) << x << "," << y;
      EXPECT_EQ(p.alpha, 255) << x << "," << y;
    }
  }
}

TEST(PictureSlots, decodedSizesAreClampedToTheSlotLimit) {
  EXPECT_EQ(clampedPictureSize(3000, 1000, kEnvironmentMaxSide), (PictureSize{2048, 1000}));
  EXPECT_EQ(clampedPictureSize(300, 200, kTextureMaxSide), (PictureSize{256, 200}));
  EXPECT_EQ(clampedPictureSize(0, -4, kTextureMaxSide), (PictureSize{1, 1}));
}

TEST(PictureSlots, environmentKeepsTheTopLeftOfALargeImage) {
  const DecodedImage image(3000, 1000);
  const auto picture = environmentPictureFromRgba8(image.view());
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width(), 2048);
  EXPECT_EQ(picture->height(), 1000);
  EXPECT_EQ(picture->kind(), PictureKind::rgba8);
  EXPECT_EQ(picture->wrapMode(), WrapMode::clamp);
  EXPECT_EQ(picture->pyramidState(), PyramidState::built);
  expectTopLeftCopy(*picture, image);
}

TEST(PictureSlots, textureIsClampedTo256AndWraps) {
  const DecodedImage image(300, 200);
  const auto picture = texturePictureFromRgba8(image.view());
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width(), 256);
  EXPECT_EQ(picture->height(), 200);
  EXPECT_EQ(picture->wrapMode(), WrapMode::wrapBoth);
  expectTopLeftCopy(*picture, image);
}

TEST(PictureSlots, emptyOrInconsistentImagesGiveNoPicture) {
  const DecodedImage image(4, 4);
  EXPECT_FALSE(environmentPictureFromRgba8({nullptr, 4, 4, 16}));
  EXPECT_FALSE(environmentPictureFromRgba8({image.bytes.data(), 0, 4, 16}));
  EXPECT_FALSE(texturePictureFromRgba8({image.bytes.data(), 4, 4, 8}));  // rows too short
}

TEST(PictureSlots, defaultEnvironmentIsABrightSkyOverADarkerWarmFloor) {
  const auto picture = defaultEnvironmentPicture();
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->width(), kDefaultEnvironmentSide);
  ASSERT_EQ(picture->height(), kDefaultEnvironmentSide);
  EXPECT_EQ(picture->pyramidState(), PyramidState::built);

  double sky[3] = {};
  double floor[3] = {};
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 64; ++x) {
      const Rgba top = storedPixel(*picture, x, y);
      const Rgba bottom = storedPixel(*picture, x, 63 - y);
      EXPECT_EQ(top.alpha, 255);
      const float topChannels[3] = {top.red, top.green, top.blue};
      const float bottomChannels[3] = {bottom.red, bottom.green, bottom.blue};
      for (int c = 0; c < 3; ++c) {
        sky[c] += static_cast<double>(topChannels[c]);
        floor[c] += static_cast<double>(bottomChannels[c]);
      }
    }
  }
  const double skyLight = sky[0] + sky[1] + sky[2];
  const double floorLight = floor[0] + floor[1] + floor[2];
  // Stored at half brightness: the factory film tint doubles what is reflected.
  EXPECT_GT(skyLight / (3 * 16 * 64), 90.0);  // bright, not black
  EXPECT_GT(skyLight, 2.0 * floorLight);
  EXPECT_GT(floor[0], floor[2]);  // warm
  // Flat ground reflects the picture centre: bright enough, once doubled, to read as polished
  // metal, yet below white so that it does not clip.
  const float centre = picture->sample(0, 0.0f, 0.5f, 0.5f).green;
  EXPECT_GT(centre, 0.33f);
  EXPECT_LT(centre, 0.5f);
}

TEST(PictureSlots, environmentSpinTurnsByQuarterTurnsWithinZeroToThree) {
  const double expected[4][2] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
  for (int spin = 0; spin < 4; ++spin) {
    const EnvironmentRotation r = environmentRotation(spin);
    EXPECT_NEAR(r.cosTheta, expected[spin][0], 1e-12) << spin;
    EXPECT_NEAR(r.sinTheta, expected[spin][1], 1e-12) << spin;
  }
  EXPECT_EQ(nextEnvironmentSpin(0), 1);
  EXPECT_EQ(nextEnvironmentSpin(3), 0);
  EXPECT_EQ(normalizedEnvironmentSpin(-1), 3);
  EXPECT_EQ(normalizedEnvironmentSpin(9), 1);
  EXPECT_NEAR(environmentRotation(7).sinTheta, 1.0, 1e-12);
}

}  // namespace
}  // namespace orichalcumite
