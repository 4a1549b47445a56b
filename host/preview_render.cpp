#include "host/preview_render.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "host/host_image.h"
#include "render/render_driver.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

class PreviewRenderSource final : public RenderSource {
 public:
  PreviewRenderSource(ps::FilterRecord& rec, PluginState& state, const Rect32& region, int zoom,
                      int glue)
      : rec_(rec), state_(state), format_(classifyImage(rec)), region_(region), zoom_(zoom) {
    context_.target = RenderTarget::dialogPreview;
    context_.greyscale = format_.greyscale;
    context_.editableTransparency = format_.editableTransparency;
    context_.glue = glue;
  }

  Rect32 region() const override { return region_; }

  int16_t fetch(const Rect32& rect) override {
    pixels_.reset();
    requestRegion(rec_, state_, rect, zoom_);
    if (const int16_t result = advanceHostState(rec_); result != 0) return result;
    pixels_.emplace(rec_, format_, rect);
    return 0;
  }

  void readSource(const Rect32& rect, float* rgba, int32_t stride) const override {
    readSourceRect(pixels_ ? &*pixels_ : nullptr, rect, rgba, stride);
  }

  void readMask(const Rect32& rect, uint8_t* mask, int32_t stride) const override {
    readMaskRect(pixels_ ? &*pixels_ : nullptr, rect, mask, stride);
  }

  // Stores value × 255 truncated into the planar buffer, coordinates clamped into it;
  // greyscale images keep the green channel.
  void write(const Rect32& rect, const float* rgba, int32_t stride) override {
    const int32_t w = state_.previewWidth, h = state_.previewHeight;
    uint8_t* planes = state_.previewPixels;
    if (!planes || w < 1 || h < 1) return;
    const size_t planeSize = static_cast<size_t>(w) * static_cast<size_t>(h);
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      const float* in = rgba + static_cast<ptrdiff_t>(y - rect.top) * stride;
      const int32_t py = std::clamp(y - region_.top, 0, h - 1);
      for (int32_t x = rect.left; x < rect.right; ++x, in += 4) {
        const int32_t px = std::clamp(x - region_.left, 0, w - 1);
        const size_t at = static_cast<size_t>(py) * static_cast<size_t>(w) + static_cast<size_t>(px);
        if (format_.greyscale) {
          planes[at] = static_cast<uint8_t>(in[1] * 255.0f);
        } else {
          for (int c = 0; c < 3; ++c) planes[c * planeSize + at] = static_cast<uint8_t>(in[c] * 255.0f);
        }
      }
    }
  }

  bool cancelled() override { return testAbort(rec_); }
  void progress(int32_t, int32_t) override {}
  FinishContext finishContext() const override { return context_; }

 private:
  ps::FilterRecord& rec_;
  PluginState& state_;
  ImageFormat format_;
  Rect32 region_;
  int zoom_;
  FinishContext context_;
  std::optional<HostPixels> pixels_;
};

int32_t ceilDiv(int32_t a, int32_t b) { return (a + b - 1) / b; }

}  // namespace

int32_t fitZoom(const Rect32& image, int32_t previewWidth, int32_t previewHeight) {
  if (image.isEmpty() || previewWidth < 1 || previewHeight < 1) return 1;
  return std::max({ceilDiv(image.width(), previewWidth), ceilDiv(image.height(), previewHeight), 1});
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

int16_t renderPreview(ps::FilterRecord& rec, const EffectSettings& s, PluginState& state,
                      const PreviewView& view, int processors) {
  const Rect32 image = filterRectangle(rec);
  const int32_t zoom = canSample(rec) ? std::max(view.zoom, 1) : 1;
  const Rect32 region = visibleRegion(image, {zoom, view.panX, view.panY});
  state.previewRegion = region;
  state.scaleFactor = static_cast<float>(zoom);

  releasePreviewPixels(state);
  const int planes = isGreyscale(rec) ? 1 : 3;
  const size_t bytes = static_cast<size_t>(planes) * static_cast<size_t>(region.width()) *
                       static_cast<size_t>(region.height());
  state.previewPixels = static_cast<uint8_t*>(std::calloc(std::max<size_t>(bytes, 1), 1));
  if (!state.previewPixels) return ps::memFullErr;
  state.previewWidth = region.width();
  state.previewHeight = region.height();
  state.previewPlanes = planes;

  PreviewRenderSource source(rec, state, region, zoom, s.glue);
  RenderOptions options;
  options.processors = processors;
  options.previewScale = zoom;
  // The region's place in the image, in full-resolution pixels from the image's own corner.
  options.previewLeft = region.left * zoom - image.left;
  options.previewTop = region.top * zoom - image.top;
  options.imageWidth = image.width();
  options.imageHeight = image.height();
  state.maskNotNeeded = 0;
  return renderEffect(s, source, options);
}

}  // namespace orichalcumite
