#include "ui/gtk/picture_pixbuf.h"

#include <algorithm>
#include <cmath>

#include "pictures/picture.h"

namespace orichalcumite {

GdkPixbuf* pictureToPixbuf(const Picture& picture) {
  const int width = picture.width(), height = picture.height();
  if (width <= 0 || height <= 0) return nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  if (!pixbuf) return nullptr;
  guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const auto byte = [](float v) {
    return static_cast<guchar>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
  };
  for (int y = 0; y < height; ++y) {
    guchar* row = pixels + static_cast<ptrdiff_t>(y) * stride;
    for (int x = 0; x < width; ++x) {
      const Rgba p = picture.readPicturePixel(x, y, 0);
      row[3 * x] = byte(p.red);
      row[3 * x + 1] = byte(p.green);
      row[3 * x + 2] = byte(p.blue);
    }
  }
  return pixbuf;
}

}  // namespace orichalcumite
