#include "render/float_image.h"

#include <algorithm>
#include <new>

namespace orichalcumite {

namespace {
constexpr std::align_val_t kAlignment{kRowAlignFloats * sizeof(float)};
}

void FloatImage::AlignedDelete::operator()(float* p) const { operator delete[](p, kAlignment); }

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
  if (pixels_ && width == width_ && height == height_) {
    fill(0.0f);
    return true;
  }
  pixels_.reset();
  width_ = height_ = 0;
  stride_ = 0;
  const size_t count = stride * static_cast<size_t>(height);
  pixels_.reset(
      static_cast<float*>(operator new[](count * sizeof(float), kAlignment, std::nothrow)));
  if (!pixels_) return false;
  width_ = width;
  height_ = height;
  stride_ = static_cast<std::ptrdiff_t>(stride);
  fill(0.0f);
  return true;
}

void FloatImage::fill(float value) {
  if (!pixels_) return;
  std::fill_n(pixels_.get(), static_cast<size_t>(stride_) * static_cast<size_t>(height_), value);
}

}  // namespace orichalcumite
