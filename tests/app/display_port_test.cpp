// The host program's pixel display: pixel maps of every layout drawn into a surface in memory,
// placed and clipped, and maps it cannot read refused without a crash.
#include "app/display_port.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

namespace orichalcumite {
namespace {

constexpr uint32_t kUntouched = 0xA5A5A5A5u;

// The sample of channel c at map position (x, y): distinct enough that a swapped channel, row
// or column shows.
uint8_t sampleAt(int32_t x, int32_t y, int c) { return uint8_t(x * 13 + y * 7 + c * 71 + 5); }

enum class Layout { planar, interleaved3, interleaved4, grey, greyInterleaved2 };

// A pixel map over its own storage.
struct TestMap {
  TestMap(Layout layout, ps::VRect bounds) {
    const int32_t w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
    const bool grey = layout == Layout::grey || layout == Layout::greyInterleaved2;
    map.version = 1;
    map.bounds = bounds;
    map.imageMode = grey ? ps::modeGrayScale : ps::modeRGBColor;
    switch (layout) {
      case Layout::planar:
        map.colBytes = 1, map.rowBytes = w + 3, map.planeBytes = h * map.rowBytes;
        break;
      case Layout::interleaved3: map.colBytes = 3, map.rowBytes = 3 * w, map.planeBytes = 1; break;
      case Layout::interleaved4:
        map.colBytes = 4, map.rowBytes = 4 * w + 8, map.planeBytes = 1;
        break;
      case Layout::grey: map.colBytes = 1, map.rowBytes = w, map.planeBytes = 0; break;
      case Layout::greyInterleaved2:
        map.colBytes = 2, map.rowBytes = 2 * w, map.planeBytes = 1;
        break;
    }
    const int planes = grey ? 1 : 3;
    bytes.assign(size_t(map.rowBytes) * size_t(h) * (layout == Layout::planar ? 3 : 1) + 8, 0xEE);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        for (int c = 0; c < planes; ++c)
          bytes[size_t(y * map.rowBytes + x * map.colBytes + c * map.planeBytes)] =
              sampleAt(x + bounds.left, y + bounds.top, c);
    map.baseAddr = bytes.data();
  }
  uint32_t expected(int32_t x, int32_t y) const {
    if (map.imageMode == ps::modeGrayScale) {
      const uint8_t v = sampleAt(x, y, 0);
      return surfacePixel(v, v, v);
    }
    return surfacePixel(sampleAt(x, y, 0), sampleAt(x, y, 1), sampleAt(x, y, 2));
  }
  ps::PSPixelMap map{};
  std::vector<uint8_t> bytes;
};

struct TestSurface {
  TestSurface(int32_t w, int32_t h) {
    // Rows padded beyond the width, so that a drawing that uses the width as the step shows.
    memory.assign(size_t(w + 2) * size_t(h), kUntouched);
    surface = {ps::kPlatformDisplaySurfaceVersion, w, h, (w + 2) * 4,
               reinterpret_cast<uint8_t*>(memory.data())};
  }
  uint32_t at(int32_t x, int32_t y) const {
    return memory[size_t(y) * size_t(surface.width + 2) + size_t(x)];
  }
  ps::PlatformDisplaySurface surface;
  std::vector<uint32_t> memory;
};

// Every surface pixel either shows the map pixel that the placement puts there, or is
// untouched where no map pixel of srcRect (within the bounds) lands.
void expectPlacement(const TestMap& m, const ps::VRect& src, int32_t dstRow, int32_t dstCol,
                     const TestSurface& s) {
  const ps::VRect b = m.map.bounds;
  for (int32_t y = 0; y < s.surface.height; ++y)
    for (int32_t x = 0; x < s.surface.width; ++x) {
      const int64_t mx = int64_t(x) - dstCol + src.left, my = int64_t(y) - dstRow + src.top;
      const bool drawn = mx >= src.left && mx < src.right && my >= src.top && my < src.bottom &&
                         mx >= b.left && mx < b.right && my >= b.top && my < b.bottom;
      const uint32_t want = drawn ? m.expected(int32_t(mx), int32_t(my)) : kUntouched;
      ASSERT_EQ(s.at(x, y), want) << "surface " << x << "," << y;
    }
  // The padding beyond each row stays as it was.
  for (int32_t y = 0; y < s.surface.height; ++y) {
    ASSERT_EQ(s.memory[size_t(y) * size_t(s.surface.width + 2) + size_t(s.surface.width)],
              kUntouched);
  }
}

TEST(DisplayPort, EveryLayoutAndVersionDrawsTheSamePixels) {
  for (Layout layout : {Layout::planar, Layout::interleaved3, Layout::interleaved4, Layout::grey,
                        Layout::greyInterleaved2}) {
    // Grey shows as equal red, green and blue (see TestMap::expected).
    SCOPED_TRACE(int(layout));
    TestMap m(layout, {0, 0, 9, 11});
    m.map.version = 1 + int(layout) % 3;
    m.map.depth = 8;
    TestSurface s(20, 15);
    ASSERT_EQ(drawPixelMap(m.map, m.map.bounds, 2, 3, &s.surface), ps::noErr);
    expectPlacement(m, m.map.bounds, 2, 3, s);
  }
}

TEST(DisplayPort, PlacementIsClippedAtEveryEdge) {
  struct Case {
    const char* name;
    ps::VRect bounds, src;
    int32_t dstRow, dstCol;
  };
  // A 10 x 8 surface.
  const Case cases[] = {
      {"inside", {0, 0, 5, 6}, {0, 0, 5, 6}, 1, 2},
      {"off the left", {0, 0, 5, 6}, {0, 0, 5, 6}, 1, -4},
      {"off the top", {0, 0, 5, 6}, {0, 0, 5, 6}, -3, 1},
      {"off the right", {0, 0, 5, 6}, {0, 0, 5, 6}, 0, 7},
      {"off the bottom", {0, 0, 5, 6}, {0, 0, 5, 6}, 6, 0},
      {"larger than the surface", {0, 0, 20, 30}, {0, 0, 20, 30}, -2, -3},
      {"wholly left and above", {0, 0, 5, 6}, {0, 0, 5, 6}, -5, -6},
      {"wholly right and below", {0, 0, 5, 6}, {0, 0, 5, 6}, 8, 10},
      {"far away",
       {0, 0, 5, 6},
       {0, 0, 5, 6},
       std::numeric_limits<int32_t>::min(),
       std::numeric_limits<int32_t>::max()},
      {"part of the map", {0, 0, 6, 7}, {2, 3, 5, 6}, 0, 0},
      {"bounds away from the origin", {100, 200, 106, 207}, {101, 202, 105, 207}, 3, 4},
      {"srcRect beyond the bounds", {10, 10, 14, 15}, {8, 7, 20, 30}, 0, 0},
      {"srcRect outside the bounds", {0, 0, 4, 4}, {10, 10, 14, 14}, 0, 0},
      {"empty srcRect", {0, 0, 4, 4}, {2, 2, 2, 3}, 0, 0},
  };
  for (const Case& c : cases) {
    for (Layout layout : {Layout::planar, Layout::interleaved4, Layout::grey}) {
      SCOPED_TRACE(std::string(c.name) + " layout " + std::to_string(int(layout)));
      const TestMap m(layout, c.bounds);
      TestSurface s(10, 8);
      ASSERT_EQ(drawPixelMap(m.map, c.src, c.dstRow, c.dstCol, &s.surface), ps::noErr);
      expectPlacement(m, c.src, c.dstRow, c.dstCol, s);
    }
  }
}

TEST(DisplayPort, MapsAndSurfacesItCannotReadAreRefusedAndNothingIsDrawn) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  struct Case {
    const char* name;
    void (*spoil)(ps::PSPixelMap&, ps::VRect&, ps::PlatformDisplaySurface&);
  };
  const Case cases[] = {
      {"version 0", [](auto& m, auto&, auto&) { m.version = 0; }},
      {"version 4", [](auto& m, auto&, auto&) { m.version = 4; }},
      {"16-bit depth", [](auto& m, auto&, auto&) { m.version = 3, m.depth = 16; }},
      {"unset depth in version 3", [](auto& m, auto&, auto&) { m.version = 3, m.depth = 0; }},
      {"CMYK", [](auto& m, auto&, auto&) { m.imageMode = ps::modeCMYKColor; }},
      {"48-bit RGB", [](auto& m, auto&, auto&) { m.imageMode = ps::modeRGB48; }},
      {"no pixels", [](auto& m, auto&, auto&) { m.baseAddr = nullptr; }},
      {"negative rowBytes", [](auto& m, auto&, auto&) { m.rowBytes = -12; }},
      {"zero colBytes", [](auto& m, auto&, auto&) { m.colBytes = 0; }},
      {"negative planeBytes", [](auto& m, auto&, auto&) { m.planeBytes = -1; }},
      {"bounds inside out",
       [](auto& m, auto&, auto&) {
         m.bounds = {4, 0, 0, 4};
       }},
      {"srcRect inside out",
       [](auto&, auto& r, auto&) {
         r = {0, 4, 4, 0};
       }},
      {"an extent beyond any address",
       [](auto& m, auto& r, auto&) {
         m.bounds = {-kMax, -kMax, kMax, kMax};
         m.rowBytes = m.colBytes = m.planeBytes = kMax;
         r = m.bounds;
       }},
      {"surface version 2", [](auto&, auto&, auto& s) { s.version = 2; }},
      {"surface rows too short", [](auto&, auto&, auto& s) { s.rowBytes = s.width * 4 - 1; }},
      {"surface without memory", [](auto&, auto&, auto& s) { s.pixels = nullptr; }},
      {"negative surface size", [](auto&, auto&, auto& s) { s.height = -1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestMap m(Layout::interleaved3, {0, 0, 4, 4});
    TestSurface s(4, 4);
    ps::VRect src = m.map.bounds;
    ps::PlatformDisplaySurface surface = s.surface;
    c.spoil(m.map, src, surface);
    EXPECT_EQ(drawPixelMap(m.map, src, 0, 0, &surface), ps::paramErr);
    for (uint32_t pixel : s.memory) ASSERT_EQ(pixel, kUntouched);
  }
}

TEST(DisplayPort, WithoutASurfaceAGoodMapSucceedsAndABadOneIsRefused) {
  TestMap m(Layout::planar, {0, 0, 3, 3});
  EXPECT_EQ(drawPixelMap(m.map, m.map.bounds, 0, 0, nullptr), ps::noErr);
  m.map.version = 7;
  EXPECT_EQ(drawPixelMap(m.map, m.map.bounds, 0, 0, nullptr), ps::paramErr);
}

}  // namespace
}  // namespace orichalcumite

namespace orichalcumite {
namespace {

TEST(DisplayPort, MasksLayThePixelsOverTheCheckerboard) {
  TestMap m(Layout::planar, {0, 0, 4, 20});
  // Coverage by column: 255, 0, 128 and, inverted through a second mask, the same.
  std::vector<uint8_t> coverage(20 * 4), inverted(20 * 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 20; ++x) {
      coverage[size_t(y * 20 + x)] = uint8_t(x % 3 == 0 ? 255 : x % 3 == 1 ? 0 : 128);
      inverted[size_t(y * 20 + x)] = 0;  // 255 once inverted: no change
    }
  ps::PSPixelMask second{nullptr, inverted.data(), 20, 1, ps::kInvertPSMask};
  ps::PSPixelMask first{&second, coverage.data(), 20, 1, ps::kSimplePSMask};
  m.map.masks = &first;
  TestSurface s(24, 6);
  ASSERT_EQ(drawPixelMap(m.map, m.map.bounds, 1, 2, &s.surface), ps::noErr);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 20; ++x) {
      const uint8_t board = checkerboardValue(x + 2, y + 1);
      const uint32_t a = coverage[size_t(y * 20 + x)];
      const auto c = [&](int i) { return overBoard(sampleAt(x, y, i), board, a); };
      ASSERT_EQ(s.at(x + 2, y + 1), surfacePixel(c(0), c(1), c(2))) << x << "," << y;
    }
  // Fully transparent shows the board itself, fully opaque the map.
  EXPECT_EQ(s.at(3, 1), surfacePixel(checkerboardValue(3, 1), checkerboardValue(3, 1),
                                     checkerboardValue(3, 1)));
  EXPECT_EQ(s.at(2, 1), m.expected(0, 0));
  EXPECT_NE(checkerboardValue(0, 0), checkerboardValue(kCheckerSquare, 0));

  // A mask without data, with an unknown description or with a broken step is refused.
  for (auto broken : {ps::PSPixelMask{nullptr, nullptr, 20, 1, 0},
                      ps::PSPixelMask{nullptr, coverage.data(), 20, 1, 9},
                      ps::PSPixelMask{nullptr, coverage.data(), -1, 1, 0},
                      ps::PSPixelMask{nullptr, coverage.data(), 20, 0, 0}}) {
    m.map.masks = &broken;
    EXPECT_EQ(drawPixelMap(m.map, m.map.bounds, 0, 0, &s.surface), ps::paramErr);
  }
  // A list that loops is not followed for ever.
  ps::PSPixelMask loop{nullptr, coverage.data(), 20, 1, 0};
  loop.next = &loop;
  m.map.masks = &loop;
  EXPECT_EQ(drawPixelMap(m.map, m.map.bounds, 0, 0, &s.surface), ps::paramErr);
}

}  // namespace
}  // namespace orichalcumite
