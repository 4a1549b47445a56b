// Rectangles of 32-bit pixel coordinates: the one rectangle type of the renderer, the pictures
// and the host layer.
#pragma once

#include <cstdint>

namespace orichalcumite {

// top and left inclusive, bottom and right exclusive.
struct Rect32 {
  int32_t top = 0, left = 0, bottom = 0, right = 0;

  int32_t width() const { return right - left; }
  int32_t height() const { return bottom - top; }
  bool isEmpty() const { return right <= left || bottom <= top; }
  bool contains(int32_t x, int32_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
  friend bool operator==(const Rect32&, const Rect32&) = default;
};

}  // namespace orichalcumite
