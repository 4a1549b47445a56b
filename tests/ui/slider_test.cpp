#include "ui/slider.h"

#include <gtest/gtest.h>

namespace orichalcumite {
namespace {

constexpr ControlRect kRadiusTrack{113, 57, 135, 12};  // range 2..100
constexpr ControlRect kGoboTrack{81, 418, 12, 48};     // range 0..100

TEST(SliderThumb, sitsAtTheEndsOfItsTrackForTheEndsOfTheRange) {
  struct Case {
    ControlRect track;
    int32_t minimum, maximum, value;
    ControlRect thumb;
  };
  const Case cases[] = {
      {kRadiusTrack, 2, 100, 2, {114, 58, 12, 10}},
      {kRadiusTrack, 2, 100, 100, {234, 58, 12, 10}},  // 1 + 120 pixels of travel
      {kRadiusTrack, 2, 100, 51, {174, 58, 12, 10}},   // 49 × 120 / 98 = 60
      {{113, 85, 135, 12}, -100, 100, -100, {114, 86, 12, 10}},
      {kGoboTrack, 0, 100, 0, {82, 452, 10, 10}},  // the minimum at the bottom
      {kGoboTrack, 0, 100, 100, {82, 419, 10, 10}},
      {kGoboTrack, 0, 100, 50, {82, 436, 10, 10}},  // 50 × 33 / 100 = 16
      {kRadiusTrack, 5, 5, 5, {114, 58, 12, 10}},   // an empty range counts as 1
  };
  for (const Case& c : cases)
    EXPECT_EQ(sliderThumbRect(c.track, c.minimum, c.maximum, c.value), c.thumb) << c.value;
}

TEST(SliderDrag, beyondEitherEndGivesThatEndsValue) {
  struct Case {
    ControlRect track;
    int32_t minimum, maximum;
    int32_t px, py;
    int32_t value;
  };
  const Case cases[] = {
      {kRadiusTrack, 2, 100, -5000, 60, 2},    {kRadiusTrack, 2, 100, 0, 60, 2},
      {kRadiusTrack, 2, 100, 118, 60, 2},      {kRadiusTrack, 2, 100, 5000, 60, 100},
      {kRadiusTrack, 2, 100, 1006, 60, 100},   {kRadiusTrack, -100, 100, 100, 60, -100},
      {kGoboTrack, 0, 100, 85, 0, 100},        {kGoboTrack, 0, 100, 85, 418, 100},
      {kGoboTrack, 0, 100, 85, 466, 0},        {kGoboTrack, 0, 100, 85, 5000, 0},
      {{10, 10, 14, 12}, 0, 100, 30, 15, 100},  // a track too short for its thumb
      {{10, 10, 12, 12}, 0, 100, 30, 15, 100},
  };
  for (const Case& c : cases)
    EXPECT_EQ(sliderValueAt(c.track, c.minimum, c.maximum, c.px, c.py), c.value)
        << c.px << "," << c.py;
}

TEST(SliderDrag, valuesFollowThePointerInOrderAcrossTheWholeRange) {
  int32_t previous = INT32_MIN;
  bool sawMin = false, sawMax = false;
  for (int32_t px = 100; px < 260; ++px) {
    const int32_t v = sliderValueAt(kRadiusTrack, -100, 100, px, 60);
    EXPECT_GE(v, previous) << px;
    previous = v;
    sawMin |= v == -100;
    sawMax |= v == 100;
  }
  EXPECT_TRUE(sawMin && sawMax);

  previous = INT32_MAX;
  for (int32_t py = 400; py < 480; ++py) {
    const int32_t v = sliderValueAt(kGoboTrack, 0, 100, 85, py);
    EXPECT_LE(v, previous) << py;
    previous = v;
  }
}

TEST(SliderDrag, writesTheValueDisplayWithoutArmingTheSettleTimer) {
  DialogControls controls;
  const DialogRequests r = dragSlider(controls, 11, 5000, 0);  // height, -100..100
  EXPECT_EQ(controls.values[11], 100);
  EXPECT_EQ(controls.texts[13], "100");
  EXPECT_NE(r.settleTimer, TimerRequest::start);
  EXPECT_FALSE(r.renderPreview);

  dragSlider(controls, control::textureZoom, 0, 0);
  EXPECT_EQ(controls.texts[control::textureZoomText], "0");
  EXPECT_TRUE(dragSlider(controls, control::radiusEdit, 0, 0).redraw.empty());
}

TEST(SliderAppearance, aDisabledSliderIsFlatAndHasNoThumb) {
  DialogControls controls;
  controls.values[control::radius] = 100;
  SliderAppearance a = sliderAppearance(controls, control::radius);
  EXPECT_EQ(a.trackBitmap, 125);
  ASSERT_TRUE(a.thumb.has_value());
  EXPECT_EQ(a.thumb->x, 234);
  EXPECT_EQ(a.thumbBitmap, kHorizontalThumbBitmap);
  EXPECT_EQ(sliderAppearance(controls, control::gobo2).thumbBitmap, kVerticalThumbBitmap);

  controls.enabled[control::radius] = false;
  a = sliderAppearance(controls, control::radius);
  EXPECT_EQ(a.trackBitmap, 0);
  EXPECT_FALSE(a.thumb.has_value());
  EXPECT_EQ(a.fill, (RgbColour{222, 222, 222}));
  EXPECT_EQ(a.frame, (RgbColour{140, 140, 140}));
}

}  // namespace
}  // namespace orichalcumite
