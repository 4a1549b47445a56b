// The drawn widgets' arithmetic: light balls, the texture swatch's window and pan, the
// environment swatch's sphere and the shared tooltip's choice of control.
#include <gtest/gtest.h>

#include <cmath>

#include "pictures/picture.h"
#include "ui/controls.h"
#include "ui/environment_swatch.h"
#include "ui/light_ball.h"
#include "ui/texture_swatch.h"
#include "ui/tracking_tooltip.h"

namespace orichalcumite {
namespace {

constexpr int kLightBall1 = 33;
constexpr int kLightBall2 = 45;

float lengthOf(const LightVector& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

TEST(LightBall, pointerOffsetsFromTheCentreTurnTheLight) {
  struct Case {
    const char* what;
    int dx, dy;  // from the ball's pointer centre (43, 41)
    bool ctrl;
    float x, y, z;
  };
  const Case cases[] = {
      {"centre: straight on", 0, 0, false, 0, 0, 1},
      {"far right: at the horizon", 60, 0, false, 1, 0, 0},
      {"just on the radius, up", 0, -33, false, 0, -1, 0},
      {"far down-left: at the horizon", -40, 30, false, -0.8f, 0.6f, 0},
      {"inside: raised towards the viewer", 11, 0, false, 11.0f / 33, 0, std::sqrt(1 - 1.0f / 9)},
      {"Ctrl anywhere: straight on", 50, -20, true, 0, 0, 1},
  };
  for (int id : {kLightBall1, kLightBall2}) {
    const ControlRect ball = layoutRect(id);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      const LightVector v = turnedLight(ball, ball.x + 43 + c.dx, ball.y + 41 + c.dy, c.ctrl);
      EXPECT_NEAR(v.x, c.x, 1e-5);
      EXPECT_NEAR(v.y, c.y, 1e-5);
      EXPECT_NEAR(v.z, c.z, 1e-5);
      EXPECT_NEAR(lengthOf(v), 1.0f, 1e-5);
    }
  }
}

TEST(LightBall, outsideTheRadiusZIsZeroAndInsideItIsPositive) {
  const ControlRect ball = layoutRect(kLightBall1);
  for (int dx = -42; dx <= 41; dx += 3) {
    for (int dy = -40; dy <= 43; dy += 3) {
      const LightVector v = turnedLight(ball, ball.x + 43 + dx, ball.y + 41 + dy, false);
      const double r = std::hypot(dx, dy);
      if (r >= 33) {
        EXPECT_NEAR(v.z, 0, 1e-3) << dx << "," << dy;
      } else {
        EXPECT_GT(v.z, 0) << dx << "," << dy;
      }
      EXPECT_NEAR(lengthOf(v), 1.0f, 1e-5);
    }
  }
}

TEST(LightBall, drawingTruncatesTowardZeroAndColoursByZ) {
  const ControlRect b = layoutRect(kLightBall2);
  struct Case {
    LightVector light;
    int startX, startY, endX, endY;
    RgbColour colour;
  };
  const Case cases[] = {
      {{0, 0, 1}, 41, 40, 42, 41, {255, 255, 0}},
      // 33.5 / 2.9 = 11.55 → 11; -32.5 / 2.9 = -11.2 → -11 (not -12).
      {{1, 0, 0}, 41 + 11, 40, 42 + 33, 41, {255, 255, 0}},
      {{-1, 0, 0}, 41 - 11, 40, 42 - 33, 41, {255, 255, 0}},
      {{0.6f, -0.8f, -0.01f}, 41 + 7, 40 - 8, 42 + 19, 41 - 26, {255, 0, 255}},
  };
  for (const Case& c : cases) {
    const LightBallDrawing d = lightBallDrawing(b, c.light);
    EXPECT_EQ(d.lineStartX, b.x + c.startX);
    EXPECT_EQ(d.lineStartY, b.y + c.startY);
    EXPECT_EQ(d.endX, b.x + c.endX);
    EXPECT_EQ(d.endY, b.y + c.endY);
    EXPECT_EQ(d.colour, c.colour);
    EXPECT_EQ(d.markerX, d.endX - 2);
    EXPECT_EQ(d.markerY, d.endY - 2);
  }
}

TEST(TextureSwatch, panFollowsThePointerWithinOneTile) {
  struct Case {
    const char* what;
    TexturePan pan;
    int dx, dy;
    TexturePan expected;
  };
  const Case cases[] = {
      {"right and down moves the tile's start back", {0, 0}, 10, 5, {246, 251}},
      {"left and up", {250, 3}, -10, -4, {4, 7}},
      {"more than a tile is exactly a tile: no change", {17, 200}, 300, -999, {17, 200}},
      {"exactly a tile: no change", {100, 7}, 256, 256, {100, 7}},
      {"a pan from outside the tile is brought into it", {-5, 300}, 0, 0, {251, 44}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(pannedTexture(c.pan, 256, 256, c.dx, c.dy), c.expected);
  }
  // Without a tile there is nothing to pan.
  EXPECT_EQ(pannedTexture({3, 4}, 0, 0, 10, 10), (TexturePan{3, 4}));
}

TEST(TextureSwatch, showsTheTileFromThePanWrappingRoundItsEdges) {
  const auto tile = createPicture(100, 90, PictureKind::rgba8, WrapMode::wrapBoth);
  ASSERT_TRUE(tile);
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 100; ++x) tile->setPixel(x, y, 0, x, y, 77, 255);
  const std::vector<uint8_t> rgb = textureSwatchPixels(tile.get(), {95, 80});
  ASSERT_EQ(rgb.size(), 64u * 64 * 3);
  auto at = [&](int x, int y) {
    const uint8_t* p = &rgb[(size_t(y) * 64 + x) * 3];
    return RgbColour{p[0], p[1], p[2]};
  };
  EXPECT_EQ(at(0, 0), (RgbColour{95, 80, 77}));
  EXPECT_EQ(at(5, 10), (RgbColour{0, 0, 77}));     // both axes wrapped
  EXPECT_EQ(at(63, 63), (RgbColour{58, 53, 77}));  // (95 + 63) mod 100, (80 + 63) mod 90

  for (uint8_t v : textureSwatchPixels(nullptr, {5, 5})) ASSERT_EQ(v, 128);
}

// An environment whose left half is red and right half green, with a blue middle.
std::unique_ptr<Picture> testEnvironment() {
  auto picture = createPicture(128, 128, PictureKind::rgba8, WrapMode::clamp);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const bool middle = std::abs(x - 64) < 20 && std::abs(y - 64) < 20;
      if (middle)
        picture->setPixel(x, y, 0, 0, 0, 255, 255);
      else if (x < 64)
        picture->setPixel(x, y, 0, 255, 0, 0, 255);
      else
        picture->setPixel(x, y, 0, 0, 255, 0, 255);
    }
  }
  picture->buildPyramid();
  return picture;
}

RgbColour swatchPixel(const std::vector<uint8_t>& rgb, int x, int y) {
  const uint8_t* p = &rgb[(size_t(y) * kEnvironmentSwatchSide + x) * 3];
  return {p[0], p[1], p[2]};
}

TEST(EnvironmentSwatch, sphereFacesTheViewerWithThePictureCentreAndLeavesCornersBare) {
  const auto environment = testEnvironment();
  const std::vector<uint8_t> rgb = environmentSwatchPixels(environment.get(), 0);
  ASSERT_EQ(rgb.size(), 64u * 64 * 3);
  const RgbColour centre = swatchPixel(rgb, 32, 32);
  EXPECT_GT(centre.blue, 150);
  EXPECT_LT(centre.red, 60);
  EXPECT_LT(centre.green, 60);
  const RgbColour background{222, 222, 222};
  for (auto [x, y] : {std::pair{0, 0}, {63, 0}, {0, 63}, {63, 63}, {2, 8}})
    EXPECT_EQ(swatchPixel(rgb, x, y), background) << x << "," << y;
  // Unspun, the sphere's left side shows the picture's left and its right side the right.
  EXPECT_GT(swatchPixel(rgb, 12, 32).red, 2 * swatchPixel(rgb, 12, 32).green);
  EXPECT_GT(swatchPixel(rgb, 52, 32).green, 2 * swatchPixel(rgb, 52, 32).red);

  for (uint8_t v : environmentSwatchPixels(nullptr, 1)) ASSERT_EQ(v, 222);
}

TEST(EnvironmentSwatch, aSpinTurnsThePictureAndFourComeBack) {
  const auto environment = testEnvironment();
  const std::vector<uint8_t> start = environmentSwatchPixels(environment.get(), 0);
  const std::vector<uint8_t> quarter = environmentSwatchPixels(environment.get(), 1);
  EXPECT_NE(start, quarter);
  // A quarter turn puts the red half at the top or the bottom instead of the left.
  const RgbColour top = swatchPixel(quarter, 32, 12), bottom = swatchPixel(quarter, 32, 52);
  const bool redOnTop = top.red > 2 * top.green && bottom.green > 2 * bottom.red;
  const bool redBelow = top.green > 2 * top.red && bottom.red > 2 * bottom.green;
  EXPECT_TRUE(redOnTop || redBelow);
  EXPECT_EQ(environmentSwatchPixels(environment.get(), 4), start);
  EXPECT_EQ(environmentSwatchPixels(environment.get(), 5), quarter);
}

TEST(TrackingTooltip, controlUnderThePointerIsTheFirstIdSkippingTheEnvironmentFrame) {
  for (int id : {33, 38, 45, 126, 150, 158}) {
    const ControlRect r = layoutRect(id);
    EXPECT_EQ(trackingTooltipControl(r.x + r.width / 2, r.y + r.height / 2), id) << id;
  }
  // The texture swatch lies inside its frame (49), which comes first and is not passed over.
  const ControlRect swatch = layoutRect(50);
  EXPECT_EQ(trackingTooltipControl(swatch.x + 30, swatch.y + 30), 49);
  EXPECT_EQ(trackingTooltipControl(-5, -5), -1);
}

TEST(TrackingTooltip, hidesTheVisibleTipOnlyWhenAPositiveIdTakesOver) {
  TrackingTooltip tip;
  EXPECT_TRUE(tip.moveTo(126));
  EXPECT_FALSE(tip.moveTo(126));  // the same control: the tip stays
  EXPECT_TRUE(tip.moveTo(127));
  EXPECT_FALSE(tip.moveTo(-1));  // onto nothing
  EXPECT_FALSE(tip.moveTo(0));   // id 0 is no control with a tip
  EXPECT_TRUE(tip.moveTo(127));  // back: a change again
  EXPECT_EQ(tip.current(), 127);
}

}  // namespace
}  // namespace orichalcumite
