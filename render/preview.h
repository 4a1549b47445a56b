// The dialog's preview as the dialog sees it: which part of the image it shows at which
// reduction, and the service that renders it. The host layer implements the service over the
// host's records, so that the dialog never needs them.
#pragma once

#include <cstdint>

#include "base/rect.h"
#include "render/render_status.h"

namespace ps {
struct PlatformDisplaySurface;
}

namespace orichalcumite {

struct EffectSettings;

// Size of the area the preview pane can show.
constexpr int32_t kPreviewWidth = 528;
constexpr int32_t kPreviewHeight = 347;

// What the preview shows: the reduction z and the pan offset in full-resolution pixels.
struct PreviewView {
  int32_t zoom = 1;
  int32_t panX = 0;
  int32_t panY = 0;
};

// The smallest zoom at which the whole image rectangle fits the preview rectangle.
int32_t fitZoom(const Rect32& image, int32_t previewWidth = kPreviewWidth,
                int32_t previewHeight = kPreviewHeight);

// The visible region in reduced coordinates (the image rectangle scaled by 1/z, limited to the
// preview's size, at the pan offset), as the host is asked for it.
Rect32 visibleRegion(const Rect32& image, const PreviewView& view,
                     int32_t previewWidth = kPreviewWidth, int32_t previewHeight = kPreviewHeight);

// The pixels of the last preview render: `planes` planes (1 grey, 3 red, green, blue) of
// width × height bytes each, one after another, showing `region` (reduced coordinates) at
// reduction `zoom`.
struct PreviewPixels {
  const uint8_t* planes = nullptr;
  // Layers with transparency: a plane of coverage (255 opaque) after the colour planes, which
  // the display lays over a checkerboard; null for images without transparency.
  const uint8_t* alpha = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t planeCount = 0;
  Rect32 region;
  int32_t zoom = 1;
};

class PreviewService {
 public:
  virtual ~PreviewService() = default;
  // The image's rectangle (the filter rectangle) in image coordinates.
  virtual Rect32 imageRect() const = 0;
  // Whether the host hands over reduced pixels; without it every zoom renders as 1.
  virtual bool canReduce() const = 0;
  // Renders the effect of `settings` for `view`. Only an abort requested through
  // requestAbort stops it; the host's own cancel test is for final renders.
  virtual RenderStatus renderPreview(const EffectSettings& settings, const PreviewView& view) = 0;
  // What the last render produced; valid until the next render.
  virtual PreviewPixels previewPixels() const = 0;
  // Asks a running preview render to stop (the dialog's own abort flag).
  virtual void requestAbort() = 0;
  // Whether the host can show pixels. Without it the pane stays white and the zoom stays 1.
  virtual bool canDisplay() const = 0;
  // Puts the host's unprocessed source pixels for `view` into the preview buffer, converted to
  // 8 bits per channel (what a pan shows while the pointer moves).
  virtual RenderStatus showSource(const PreviewView& view) = 0;
  // Hands the preview buffer to the host's pixel display, its top-left corner at column x,
  // row y of `surface`. False when the host has no display or refused.
  virtual bool display(const ps::PlatformDisplaySurface& surface, int32_t x, int32_t y) = 0;
};

}  // namespace orichalcumite
