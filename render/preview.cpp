#include "render/preview.h"

#include <algorithm>

namespace orichalcumite {
namespace {

int32_t ceilDiv(int32_t a, int32_t b) { return (a + b - 1) / b; }

}  // namespace

int32_t fitZoom(const Rect32& image, int32_t previewWidth, int32_t previewHeight) {
  if (image.isEmpty() || previewWidth < 1 || previewHeight < 1) return 1;
  return std::max(
      {ceilDiv(image.width(), previewWidth), ceilDiv(image.height(), previewHeight), 1});
}

Rect32 visibleRegion(const Rect32& image, const PreviewView& view, int32_t previewWidth,
                     int32_t previewHeight) {
  const int32_t z = std::max(view.zoom, 1);
  const int32_t width = std::min(image.width() / z, previewWidth);
  const int32_t height = std::min(image.height() / z, previewHeight);
  // The pan never shows area outside the image.
  const int32_t maxPanX = std::max(z * (image.width() / z - previewWidth), 0);
  const int32_t maxPanY = std::max(z * (image.height() / z - previewHeight), 0);
  const int32_t panX = std::clamp(view.panX, 0, maxPanX);
  const int32_t panY = std::clamp(view.panY, 0, maxPanY);
  const int32_t left = image.left / z + panX / z;
  const int32_t top = image.top / z + panY / z;
  return {top, left, top + std::max(height, 1), left + std::max(width, 1)};
}

}  // namespace orichalcumite
