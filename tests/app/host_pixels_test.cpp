// Host units and masks, against hand-computed values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "app/host_pixels.h"

namespace orichalcumite {
namespace {

TEST(SixteenBitUnits, fileAndHostValuesMapToNearest) {
  EXPECT_EQ(hostFromFile16(0), 0);
  EXPECT_EQ(hostFromFile16(65535), 32768);
  EXPECT_EQ(hostFromFile16(1), 1);          // 0.50001
  EXPECT_EQ(hostFromFile16(32767), 16384);  // 16383.75
  EXPECT_EQ(fileFromHost16(32768), 65535);
  EXPECT_EQ(fileFromHost16(16384), 32768);  // 32767.5 rounds up
  EXPECT_EQ(fileFromHost16(1), 2);          // 1.99997
  EXPECT_EQ(fileFromHost16(60000), 65535);  // above host white
}

TEST(SixteenBitUnits, everyHostLevelSurvivesTheWayThroughTheFile) {
  for (uint32_t h = 0; h <= 32768; ++h) EXPECT_EQ(hostFromFile16(fileFromHost16(uint16_t(h))), h);
}

TEST(Masks, depthsConvertToBytesByRounding) {
  Image grey16 = *Image::make(3, 1, 1, false, SampleType::uint16);
  grey16.setSample(0, 0, 0, 65535);
  grey16.setSample(1, 0, 0, 128);    // 0.498 of a byte step rounds down
  grey16.setSample(2, 0, 0, 32896);  // exactly 128 × 257
  EXPECT_EQ(maskBytesFromImage(grey16), (LargeBytes{255, 0, 128}));

  Image greyFloat = *Image::make(4, 1, 1, false, SampleType::float32);
  greyFloat.setSample(0, 0, 0, -1.0);
  greyFloat.setSample(1, 0, 0, 0.5);  // 127.5 rounds to 128
  greyFloat.setSample(2, 0, 0, 3.0);
  greyFloat.setSample(3, 0, 0, std::nan(""));
  EXPECT_EQ(maskBytesFromImage(greyFloat), (LargeBytes{0, 128, 255, 0}));

  EXPECT_EQ(multiplyMasks(std::vector<uint8_t>{255, 128, 0, 100},
                          std::vector<uint8_t>{255, 255, 200, 51}),
            (LargeBytes{255, 128, 0, 20}));
}

TEST(Masks, alphaAndTransparencyComeFromTheLastChannelInEveryDepth) {
  Image rgba8 = *Image::make(3, 1, 4, true, SampleType::uint8);
  Image grey16 = *Image::make(3, 1, 2, true, SampleType::uint16);
  Image rgbaFloat = *Image::make(3, 1, 4, true, SampleType::float32);
  const double levels8[] = {0, 1, 255}, levels16[] = {0, 129, 65535}, levelsF[] = {0, 0.001, 1};
  for (int x = 0; x < 3; ++x) {
    for (int c = 0; c < 3; ++c) rgba8.setSample(x, 0, c, 99);  // colours play no part
    rgba8.setSample(x, 0, 3, levels8[x]);
    grey16.setSample(x, 0, 0, 65535);
    grey16.setSample(x, 0, 1, levels16[x]);
    rgbaFloat.setSample(x, 0, 3, levelsF[x]);
  }
  EXPECT_EQ(alphaBytes(rgba8), (LargeBytes{0, 1, 255}));
  EXPECT_EQ(alphaBytes(grey16), (LargeBytes{0, 1, 255}));
  EXPECT_EQ(alphaBytes(rgbaFloat), (LargeBytes{0, 0, 255}));
  // Only an alpha of exactly 0 is transparent, however faint the rest.
  for (const Image* image : {&rgba8, &grey16, &rgbaFloat})
    EXPECT_EQ(transparentPixels(*image), (LargeBytes{1, 0, 0}));
  const Image opaque = *Image::make(2, 1, 3, false, SampleType::uint8);
  EXPECT_TRUE(alphaBytes(opaque).empty());
  EXPECT_TRUE(transparentPixels(opaque).empty());
}

// The colour planes sample by sample, the obvious way.
std::vector<double> colourSamples(const Image& image) {
  std::vector<double> out;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      for (int c = 0; c < image.colourChannels(); ++c) {
        const double v = image.sample(x, y, c);
        out.push_back(image.type() == SampleType::uint16 ? hostFromFile16(uint16_t(v)) : v);
      }
  return out;
}

std::vector<double> planeSamples(const HostPlanes& planes) {
  std::vector<double> out;
  const size_t count = planes.rowBytes() * size_t(planes.height) / sampleSize(planes.type);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = planes.data() + i * sampleSize(planes.type);
    if (planes.type == SampleType::uint8) {
      out.push_back(*p);
    } else if (planes.type == SampleType::uint16) {
      uint16_t v;
      std::memcpy(&v, p, 2);
      out.push_back(v);
    } else {
      float v;
      std::memcpy(&v, p, 4);
      out.push_back(static_cast<double>(v));
    }
  }
  return out;
}

TEST(ColourPlanes, holdEveryColourSampleInHostUnitsAndNeverTheAlpha) {
  // Whole-image copies (no alpha, 8-bit or float) and sample-wise conversions alike, on an
  // image larger than a huge page.
  for (SampleType type : {SampleType::uint8, SampleType::uint16, SampleType::float32})
    for (auto [channels, alpha] :
         {std::pair{3, false}, std::pair{4, true}, std::pair{1, false}, std::pair{2, true}}) {
      Image image = *Image::make(700, 500, channels, alpha, type);
      for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 3)
          for (int c = 0; c < channels; ++c)
            image.setSample(x, y, c, type == SampleType::float32 ? (x + c) * 0.01 : x * 13 + y + c);
      const HostPlanes planes = hostColourPlanes(image);
      EXPECT_EQ(planes.planes, image.colourChannels());
      ASSERT_EQ(planeSamples(planes), colourSamples(image)) << channels << " " << int(type);
      // Lent only where the image's bytes are the planes; a copy of lent planes is its own.
      const HostPlanes lent = lentColourPlanes(image);
      EXPECT_EQ(lent.lent == image.data(), !alpha && type != SampleType::uint16);
      ASSERT_EQ(planeSamples(lent), colourSamples(image)) << channels << " " << int(type);
      const HostPlanes own = ownedCopy(lent);
      EXPECT_EQ(own.lent, nullptr);
      ASSERT_EQ(planeSamples(own), colourSamples(image)) << channels << " " << int(type);
    }
}

TEST(ColourPlanes, aFreshLargeImageIsBlackAndCopiesCompareEqual) {
  Image image = *Image::make(1500, 1000, 3, false, SampleType::uint16);
  for (size_t i = 0; i < image.byteCount(); ++i) ASSERT_EQ(image.data()[i], 0) << i;
  Image copy = image;
  EXPECT_TRUE(copy == image);
  copy.setSample(1499, 999, 2, 7);
  EXPECT_FALSE(copy == image);
}

TEST(ApplyResult, blendsByTheMaskKeepsUntouchedFileValuesAndMayRunInParts) {
  // 16-bit: a file value that has no host level of its own survives where the filter left the
  // host value as it was.
  Image image = *Image::make(3, 4, 3, false, SampleType::uint16);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x)
      for (int c = 0; c < 3; ++c) image.setSample(x, y, c, 1001 + 2 * (x + y + c));
  HostPlanes result = hostColourPlanes(image);
  for (int y = 0; y < 4; ++y) {
    uint16_t changed = 30000;
    std::memcpy(result.pixel(2, y), &changed, 2);  // column 2's red changes
  }
  const LargeBytes mask = {0, 255, 255, 0, 255, 128, 255, 255, 255, 0, 0, 255};
  Image whole = image, parts = image;
  applyResult(whole, result, mask, {});
  applyResultRows(parts, result, mask, {}, 2, 4);
  applyResultRows(parts, result, mask, {}, -5, 2);
  EXPECT_TRUE(parts == whole);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x)
      for (int c = 0; c < 3; ++c) {
        const int m = mask[size_t(y * 3 + x)];
        const double original = image.sample(x, y, c);
        double expected = original;
        if (x == 2 && c == 0 && m > 0) {
          const int src = hostFromFile16(uint16_t(original));
          expected = fileFromHost16(uint16_t(src + ((30000 - src) * m + 127) / 255));
        }
        EXPECT_EQ(whole.sample(x, y, c), expected) << x << "," << y << "," << c;
      }
}

TEST(Defringe, transparentPixelsTakeTheMeanOfTheirColouredNeighbours) {
  // 3 x 3 grey; only the top-left and top-right are visible.
  HostPlanes planes{3, 3, 1, SampleType::uint8, {10, 0, 50, 0, 0, 0, 0, 0, 0}};
  const std::vector<uint8_t> transparent = {0, 1, 0, 1, 1, 1, 1, 1, 1};
  defringe(planes, transparent);
  // Ring 1: (1,0) and (1,1) see both corners: 30; (0,1) sees 10; (2,1) sees 50.
  // Ring 2: (0,2) sees (0,1) 10 and (1,1) 30: 20; (1,2) sees 10, 30, 50: 30; (2,2): 40.
  EXPECT_EQ(planes.bytes, (HostBytes{10, 30, 50, 10, 30, 50, 20, 30, 40}));

  HostPlanes invisible{2, 1, 1, SampleType::uint8, {7, 9}};
  defringe(invisible, std::vector<uint8_t>{1, 1});
  EXPECT_EQ(invisible.bytes, (HostBytes{7, 9}));
}

}  // namespace
}  // namespace orichalcumite
