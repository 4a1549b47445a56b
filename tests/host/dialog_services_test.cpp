#include "host/dialog_services.h"

#include <gtest/gtest.h>

#include <string>

namespace orichalcumite {
namespace {

TEST(HostColourPickerTest, ThePromptIsLengthPrefixedAndCutAt255) {
  const auto prompt = pickerPrompt("Choose the dust color.");
  EXPECT_EQ(prompt[0], 22);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(prompt.data()) + 1, 22),
            "Choose the dust color.");
  const auto longPrompt = pickerPrompt(std::string(300, 'x'));
  EXPECT_EQ(longPrompt[0], 255);
  EXPECT_EQ(longPrompt[255], 'x');
}

TEST(HostColourPickerTest, ResultCodesMapToAnswers) {
  EXPECT_EQ(hostColourAnswer(ps::noErr), HostColourAnswer::picked);
  EXPECT_EQ(hostColourAnswer(ps::userCanceledErr), HostColourAnswer::cancelled);
  EXPECT_EQ(hostColourAnswer(ps::errPlugInHostInsufficient), HostColourAnswer::unavailable);
  EXPECT_EQ(hostColourAnswer(ps::paramErr), HostColourAnswer::unavailable);
}

// A host whose colour services answer with a fixed colour, or refuse.
ps::OSErr pickTeal(ps::ColorServicesInfo* info) {
  if (info->selector != ps::plugIncolorServicesChooseColor) return ps::paramErr;
  const unsigned char* prompt = *info->selectorParameter.pickerPrompt;
  if (prompt[0] != 5 || info->sourceSpace != ps::plugIncolorServicesRGBSpace) return ps::paramErr;
  info->colorComponents[0] = 0;
  info->colorComponents[1] = 128;
  info->colorComponents[2] = 300;  // out of range: clamped
  return ps::noErr;
}
ps::OSErr cancelPicker(ps::ColorServicesInfo*) { return ps::userCanceledErr; }

TEST(HostColourPickerTest, APickedColourReplacesTheOneGivenAndACancelKeepsIt) {
  ps::FilterRecord rec{};
  uint8_t rgb[3] = {10, 20, 30};
  EXPECT_EQ(chooseColourWithHost(rec, "Title", rgb), HostColourAnswer::unavailable);
  rec.colorServices = cancelPicker;
  EXPECT_EQ(chooseColourWithHost(rec, "Title", rgb), HostColourAnswer::cancelled);
  EXPECT_EQ(rgb[0], 10);
  rec.colorServices = pickTeal;
  ASSERT_EQ(chooseColourWithHost(rec, "Title", rgb), HostColourAnswer::picked);
  EXPECT_EQ(rgb[0], 0);
  EXPECT_EQ(rgb[1], 128);
  EXPECT_EQ(rgb[2], 255);
}

TEST(HostImageTest, ReductionKeepsTheProportionsAndAveragesColours) {
  struct Case {
    int width, height, maxSide, outWidth, outHeight;
  };
  const Case cases[] = {
      {400, 200, 100, 100, 50}, {30, 90, 45, 15, 45}, {20, 10, 100, 20, 10}, {1000, 1, 10, 10, 1}};
  for (const Case& c : cases) {
    auto picture = createPicture(c.width, c.height, PictureKind::rgbaFloat, WrapMode::noPyramid);
    ASSERT_NE(picture, nullptr);
    // Alternate black and white columns: averaged they give mid grey.
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        const float v = x % 2 ? 1.0f : 0.0f;
        picture->writeFloat(x, y, 0, {v, v, v, 1.0f});
      }
    const auto reduced = reducedRgba8(*picture, c.maxSide);
    ASSERT_NE(reduced, nullptr);
    EXPECT_EQ(reduced->width(), c.outWidth);
    EXPECT_EQ(reduced->height(), c.outHeight);
    EXPECT_EQ(reduced->kind(), PictureKind::rgba8);
    if (c.outWidth < c.width && (c.width / c.outWidth) % 2 == 0) {
      EXPECT_NEAR(reduced->readPicturePixel(0, 0, 0).green, 0.5f, 0.01f);
    }
  }
}

}  // namespace
}  // namespace orichalcumite
