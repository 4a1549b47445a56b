// A single-channel float image, stored as one contiguous block of rows.
//
// The height field is one of these rather than a 512-pixel tiled picture: the distance
// sweeps, the box blur and the shader all walk it row by row and read the direct
// neighbours above and below, which in a contiguous block is one fixed stride away instead
// of a tile lookup.
//
// Rows start on 64-byte boundaries (the block is aligned and the stride is a whole number of
// cache lines), so that threads writing different 16-column-aligned bands of the same rows
// never share a cache line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/large_block.h"
#include "base/rect.h"

namespace orichalcumite {

// Floats in one cache line.
inline constexpr int kRowAlignFloats = 16;

class FloatImage {
 public:
  FloatImage() = default;
  FloatImage(FloatImage&&) noexcept = default;
  FloatImage& operator=(FloatImage&&) noexcept = default;
  FloatImage(const FloatImage&) = delete;
  FloatImage& operator=(const FloatImage&) = delete;

  // Makes the image width x height pixels, all 0. Keeps the block (and clears it) when the
  // size is unchanged; a new block comes zero-filled from the system, huge-page backed when
  // large. Returns false (and leaves an empty image) when a side is below 1, the size
  // overflows or memory runs out.
  bool reset(int32_t width, int32_t height);

  // Sets every pixel to `value`.
  void fill(float value);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  bool isEmpty() const { return pixels_.empty(); }
  // The whole image as a rectangle: {0, 0, height, width}.
  Rect32 bounds() const { return Rect32{0, 0, height_, width_}; }
  // Floats from one row to the next: the width rounded up to kRowAlignFloats.
  std::ptrdiff_t stride() const { return stride_; }

  // Row y, 0 <= y < height. Rows are `stride()` floats apart.
  float* row(int32_t y) { return pixels_.data() + static_cast<std::ptrdiff_t>(y) * stride_; }
  const float* row(int32_t y) const {
    return pixels_.data() + static_cast<std::ptrdiff_t>(y) * stride_;
  }
  float& at(int32_t x, int32_t y) { return row(y)[x]; }
  float at(int32_t x, int32_t y) const { return row(y)[x]; }

 private:
  LargeArray<float> pixels_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::ptrdiff_t stride_ = 0;
};

}  // namespace orichalcumite
