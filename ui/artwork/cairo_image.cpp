#include "ui/artwork/cairo_image.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace orichalcumite {

Surface newSurface(int width, int height) {
  return Surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
}

// cairo keeps premultiplied native-endian ARGB; our pictures keep straight RGBA bytes.
RgbaImage imageOfSurface(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  RgbaImage image = blankImage(width, height);
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = data + static_cast<ptrdiff_t>(y) * stride;
    for (int x = 0; x < width; ++x) {
      uint32_t p;
      std::memcpy(&p, row + static_cast<ptrdiff_t>(x) * 4, sizeof p);
      const uint32_t a = p >> 24;
      uint8_t* q = image.at(x, y);
      q[3] = static_cast<uint8_t>(a);
      if (a == 0) continue;
      for (int c = 0; c < 3; ++c) {
        const uint32_t v = (p >> (16 - 8 * c)) & 0xff;
        q[c] = static_cast<uint8_t>(std::min<uint32_t>(255, (v * 255 + a / 2) / a));
      }
    }
  }
  return image;
}

Surface surfaceOfImage(const RgbaImage& image) {
  Surface surface = newSurface(image.width, image.height);
  cairo_surface_flush(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  for (int y = 0; y < image.height; ++y) {
    unsigned char* row = data + static_cast<ptrdiff_t>(y) * stride;
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.at(x, y);
      const uint32_t a = p[3];
      uint32_t v = a << 24;
      for (int c = 0; c < 3; ++c) v |= ((p[c] * a + 127) / 255) << (16 - 8 * c);
      std::memcpy(row + static_cast<ptrdiff_t>(x) * 4, &v, sizeof v);
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

}  // namespace orichalcumite
