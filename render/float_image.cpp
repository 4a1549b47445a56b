#include "render/float_image.h"

#include <algorithm>

namespace orichalcumite {

bool FloatImage::reset(int32_t width, int32_t height) {
  if (width < 1 || height < 1) {
    *this = FloatImage();
    return false;
  }
  const size_t stride =
      (static_cast<size_t>(width) + kRowAlignFloats - 1) / kRowAlignFloats * kRowAlignFloats;
  if (stride > PTRDIFF_MAX / sizeof(float) / static_cast<size_t>(height)) {
    *this = FloatImage();
    return false;
  }
  if (!pixels_.empty() && width == width_ && height == height_) {
    fill(0.0f);
    return true;
  }
  // A fresh block arrives zero-filled (and 0.0f is all zero bits): no fill pass, and its
  // pages are first touched by whichever stage writes them.
  *this = FloatImage();
  if (!pixels_.resize(stride * static_cast<size_t>(height))) return false;
  width_ = width;
  height_ = height;
  stride_ = static_cast<std::ptrdiff_t>(stride);
  return true;
}

void FloatImage::fill(float value) {
  if (pixels_.empty()) return;
  std::fill_n(pixels_.data(), pixels_.size(), value);
}

}  // namespace orichalcumite
