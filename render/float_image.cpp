#include "render/float_image.h"

#include <algorithm>
#include <new>

namespace orichalcumite {

bool FloatImage::reset(int32_t width, int32_t height) {
  if (width < 1 || height < 1) {
    *this = FloatImage();
    return false;
  }
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (count > PTRDIFF_MAX / sizeof(float)) {
    *this = FloatImage();
    return false;
  }
  if (pixels_ && width == width_ && height == height_) {
    fill(0.0f);
    return true;
  }
  pixels_.reset();
  // Value-initialised: every pixel starts at 0.
  pixels_.reset(new (std::nothrow) float[count]());
  if (!pixels_) {
    width_ = height_ = 0;
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

void FloatImage::fill(float value) {
  if (!pixels_) return;
  std::fill_n(pixels_.get(), static_cast<size_t>(width_) * static_cast<size_t>(height_), value);
}

}  // namespace orichalcumite
