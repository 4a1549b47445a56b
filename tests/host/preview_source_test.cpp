// The source pixels a pan shows: host samples of each class as 8-bit display values, copied
// from the host's interleaved buffer into the planar preview buffer.
#include "host/preview_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace orichalcumite {
namespace {

TEST(PreviewSource, SixteenBitSamplesRunToWhiteAt32768) {
  const struct {
    uint16_t sample;
    uint8_t shown;
  } cases[] = {{0, 0},       {1, 0},       {128, 0},     {129, 1},    {16384, 127},
               {32767, 254}, {32768, 255}, {40000, 255}, {65535, 255}};
  for (const auto& c : cases) EXPECT_EQ(displayValue16(c.sample), c.shown) << c.sample;
}

TEST(PreviewSource, FloatSamplesAreClampedThenTruncated) {
  const struct {
    float sample;
    uint8_t shown;
  } cases[] = {{-0.5f, 0},
               {0.0f, 0},
               {0.5f, 127},
               {0.999f, 254},
               {1.0f, 255},
               {1.5f, 255},
               {-std::numeric_limits<float>::infinity(), 0},
               {std::numeric_limits<float>::infinity(), 255},
               {std::numeric_limits<float>::quiet_NaN(), 0}};
  for (const auto& c : cases) EXPECT_EQ(displayValueFloat(c.sample), c.shown) << c.sample;
}

// An interleaved host buffer over `rect` with `planes` samples a pixel, sample (x, y, p) given
// by `value`, and two spare bytes at the end of each row.
template <typename Sample, typename Value>
std::vector<uint8_t> hostBuffer(const Rect32& rect, int planes, Value value, int32_t& rowBytes) {
  rowBytes = rect.width() * planes * int32_t(sizeof(Sample)) + 2;
  std::vector<uint8_t> bytes(size_t(rowBytes) * size_t(rect.height()), 0xCC);
  for (int32_t y = rect.top; y < rect.bottom; ++y)
    for (int32_t x = rect.left; x < rect.right; ++x)
      for (int p = 0; p < planes; ++p) {
        const Sample s = value(x, y, p);
        std::memcpy(bytes.data() + size_t(y - rect.top) * size_t(rowBytes) +
                        (size_t(x - rect.left) * size_t(planes) + size_t(p)) * sizeof(Sample),
                    &s, sizeof s);
      }
  return bytes;
}

TEST(PreviewSource, ColourPlanesAreSeparatedAndTransparencyIsLeftOut) {
  const Rect32 rect{10, 20, 14, 25};
  int32_t rowBytes = 0;
  const auto bytes = hostBuffer<uint8_t>(
      rect, 4, [](int x, int y, int p) { return uint8_t(x * 3 + y * 11 + p * 60); }, rowBytes);
  const SourceBuffer source{bytes.data(), rowBytes, rect, ImageClass::eightBit, 4, false};
  std::vector<uint8_t> buffer(3 * 20, 0);
  copySourceToPreview(source, rect, buffer.data());
  for (int p = 0; p < 3; ++p)
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 5; ++x)
        ASSERT_EQ(buffer[size_t(p * 20 + y * 5 + x)],
                  uint8_t((x + 20) * 3 + (y + 10) * 11 + p * 60))
            << p << " " << x << "," << y;
}

TEST(PreviewSource, GreyFillsOnePlaneInEveryClass) {
  const Rect32 rect{0, 0, 2, 3};
  int32_t rowBytes = 0;
  std::vector<uint8_t> buffer(6, 0);
  // Grey with a transparency plane: the second sample of each pixel is never shown.
  const auto deep = hostBuffer<uint16_t>(
      rect, 2, [](int x, int y, int p) { return uint16_t(p ? 999 : (x + 3 * y) * 6000); },
      rowBytes);
  copySourceToPreview({deep.data(), rowBytes, rect, ImageClass::sixteenBit, 2, true}, rect,
                      buffer.data());
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0, 46, 93, 140, 186, 233}));

  const auto hdr = hostBuffer<float>(
      rect, 1, [](int x, int y, int) { return -0.5f + float(x + 3 * y) * 0.5f; }, rowBytes);
  copySourceToPreview({hdr.data(), rowBytes, rect, ImageClass::highDynamicRange, 1, true}, rect,
                      buffer.data());
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0, 0, 127, 255, 255, 255}));
}

TEST(PreviewSource, OnlyWhatTheHostDeliveredIsCopied) {
  const Rect32 region{0, 0, 3, 4};
  int32_t rowBytes = 0;
  // The host delivered only the lower right part of the region.
  const Rect32 delivered{1, 2, 5, 9};
  const auto bytes = hostBuffer<uint8_t>(
      delivered, 1, [](int x, int y, int) { return uint8_t(10 * y + x); }, rowBytes);
  std::vector<uint8_t> buffer(12, 7);
  copySourceToPreview({bytes.data(), rowBytes, delivered, ImageClass::eightBit, 1, true}, region,
                      buffer.data());
  EXPECT_EQ(buffer, (std::vector<uint8_t>{7, 7, 7, 7, 7, 7, 12, 13, 7, 7, 22, 23}));

  // No data, or a colour image with too few samples a pixel: nothing is read.
  std::vector<uint8_t> untouched(36, 7);
  copySourceToPreview({nullptr, rowBytes, region, ImageClass::eightBit, 3, false}, region,
                      untouched.data());
  copySourceToPreview({bytes.data(), rowBytes, delivered, ImageClass::eightBit, 1, false}, region,
                      untouched.data());
  EXPECT_EQ(untouched, std::vector<uint8_t>(36, 7));
}

}  // namespace
}  // namespace orichalcumite
