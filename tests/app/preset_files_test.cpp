// Presets on the command line: the effect as a descriptor and back, and the thumbnail of a
// result image.
#include <gtest/gtest.h>

#include <cmath>

#include "app/preset_files.h"
#include "settings/parameter_table.h"

namespace orichalcumite {
namespace {

TEST(PresetFiles, anEffectSurvivesTheDescriptorBothWays) {
  EffectSettings s = factoryEffect();
  s.radius = 7;
  s.glue = 66;
  s.light2X = 0.25f;
  s.wetRain = 1;
  s.colours[tarnishColor] = {200 * 256, 10 * 256, 0};
  setText(s.environmentName, "chrome.png");
  const Descriptor descriptor = settingsDescriptor(s);
  ASSERT_EQ(descriptor.items.size(), parameterTable().size());
  const EffectSettings back = settingsFromDescriptor(descriptor);
  for (const ParameterInfo& p : parameterTable()) {
    if (p.kind == ParameterKind::pictureName) continue;
    EXPECT_EQ(parameterNumber(back, p), parameterNumber(s, p)) << p.name;
  }
  EXPECT_STREQ(back.environmentName, "chrome.png");
  EXPECT_STREQ(back.textureName, kNoPictureName);
}

TEST(PresetFiles, itemsOfTheWrongTypeOrOutOfRangeAreSkippedOrClamped) {
  Descriptor descriptor;
  descriptor.set(DescriptorItem::textItem(parameterByName("radius")->key, "40"));
  descriptor.set(DescriptorItem::integerItem(parameterByName("height")->key, 100000));
  descriptor.set(DescriptorItem::enumItem(parameterByName("glue")->key,
                                          enumTypeCode(Enumeration::glueMode), ps::fourCC("????")));
  const EffectSettings s = settingsFromDescriptor(descriptor);
  const EffectSettings factory = factoryEffect();
  EXPECT_EQ(s.radius, factory.radius);
  EXPECT_EQ(s.height, static_cast<int32_t>(parameterByName("height")->maximum));
  EXPECT_EQ(s.glue, factory.glue);
}

TEST(PresetFiles, theThumbnailBoxFiltersTheCentreSquare) {
  // 300 × 200: the centre square is columns 50..249; each thumbnail pixel covers a block of
  // 200 / 128 source pixels, whose mean a slow reference takes here.
  Image image = *Image::make(300, 200, 3, false, SampleType::uint16);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x)
      for (int c = 0; c < 3; ++c) image.setSample(x, y, c, ((x * 37 + y * 11 + c * 5) % 997) * 65);
  const auto thumbnail = imageThumbnail(image, 128);
  ASSERT_TRUE(thumbnail);
  for (int ty : {0, 1, 63, 127})
    for (int tx : {0, 5, 64, 127}) {
      const int x0 = 50 + tx * 200 / 128, x1 = 50 + (tx + 1) * 200 / 128;
      const int y0 = ty * 200 / 128, y1 = (ty + 1) * 200 / 128;
      for (int c = 0; c < 3; ++c) {
        double sum = 0;
        for (int y = y0; y < y1; ++y)
          for (int x = x0; x < x1; ++x) sum += image.sample(x, y, c) / 65535.0;
        const double expected = sum / ((x1 - x0) * (y1 - y0));
        const Rgba got = thumbnail->readPicturePixel(tx, ty, 0);
        const float channel = c == 0 ? got.red : c == 1 ? got.green : got.blue;
        EXPECT_NEAR(channel, expected, 0.5 / 255.0 + 1e-6) << tx << "," << ty << " c" << c;
      }
    }
  // A picture smaller than the thumbnail is enlarged; grey stays grey.
  Image small = *Image::make(2, 3, 1, false, SampleType::uint8);
  small.setSample(0, 0, 0, 255);
  const auto enlarged = imageThumbnail(small, 128);
  ASSERT_TRUE(enlarged);
  EXPECT_FLOAT_EQ(enlarged->readPicturePixel(0, 0, 0).green, 1.0f);
  EXPECT_FLOAT_EQ(enlarged->readPicturePixel(127, 127, 0).red, 0.0f);
}

}  // namespace
}  // namespace orichalcumite
