// Host units and masks, against hand-computed values.
#include <gtest/gtest.h>

#include <cmath>

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
  EXPECT_EQ(maskBytesFromImage(grey16), (std::vector<uint8_t>{255, 0, 128}));

  Image greyFloat = *Image::make(4, 1, 1, false, SampleType::float32);
  greyFloat.setSample(0, 0, 0, -1.0);
  greyFloat.setSample(1, 0, 0, 0.5);  // 127.5 rounds to 128
  greyFloat.setSample(2, 0, 0, 3.0);
  greyFloat.setSample(3, 0, 0, std::nan(""));
  EXPECT_EQ(maskBytesFromImage(greyFloat), (std::vector<uint8_t>{0, 128, 255, 0}));

  EXPECT_EQ(multiplyMasks(std::vector<uint8_t>{255, 128, 0, 100},
                          std::vector<uint8_t>{255, 255, 200, 51}),
            (std::vector<uint8_t>{255, 128, 0, 20}));
}

TEST(Defringe, transparentPixelsTakeTheMeanOfTheirColouredNeighbours) {
  // 3 x 3 grey; only the top-left and top-right are visible.
  HostPlanes planes{3, 3, 1, SampleType::uint8, {10, 0, 50, 0, 0, 0, 0, 0, 0}};
  const std::vector<uint8_t> transparent = {0, 1, 0, 1, 1, 1, 1, 1, 1};
  defringe(planes, transparent);
  // Ring 1: (1,0) and (1,1) see both corners: 30; (0,1) sees 10; (2,1) sees 50.
  // Ring 2: (0,2) sees (0,1) 10 and (1,1) 30: 20; (1,2) sees 10, 30, 50: 30; (2,2): 40.
  EXPECT_EQ(planes.bytes, (std::vector<uint8_t>{10, 30, 50, 10, 30, 50, 20, 30, 40}));

  HostPlanes invisible{2, 1, 1, SampleType::uint8, {7, 9}};
  defringe(invisible, std::vector<uint8_t>{1, 1});
  EXPECT_EQ(invisible.bytes, (std::vector<uint8_t>{7, 9}));
}

}  // namespace
}  // namespace orichalcumite
