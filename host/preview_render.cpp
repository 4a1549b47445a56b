#include "host/preview_render.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "host/host_image.h"
#include "host/preview_source.h"
#include "render/render_driver.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

class PreviewRenderSource final : public RenderSource {
 public:
  PreviewRenderSource(ps::FilterRecord& rec, PluginState& state, const Rect32& region, int zoom,
                      const bool& abort)
      : rec_(rec),
        state_(state),
        format_(classifyImage(rec)),
        region_(region),
        zoom_(zoom),
        abort_(abort) {
    context_.target = RenderTarget::dialogPreview;
    context_.greyscale = format_.greyscale;
    context_.editableTransparency = format_.editableTransparency;
    context_.maskIsSelection = !format_.maskIsCoverage;
  }

  Rect32 region() const override { return region_; }

  bool fetch(const Rect32& rect) override {
    pixels_.reset();
    requestRegion(rec_, state_, rect, zoom_);
    if (const int16_t result = advanceHostState(rec_); result != 0) {
      hostResult_ = result;
      return false;
    }
    pixels_.emplace(rec_, format_, rect);
    return true;
  }

  void readSource(const Rect32& rect, float* rgba, int32_t stride) const override {
    readSourceRect(pixels_ ? &*pixels_ : nullptr, rect, rgba, stride);
  }

  void readMask(const Rect32& rect, uint8_t* mask, int32_t stride) const override {
    readMaskRect(pixels_ ? &*pixels_ : nullptr, rect, mask, stride);
  }

  int colourPlanes() const { return format_.greyscale ? 1 : 3; }

  // Stores value × 255 truncated into the planar buffer, coordinates clamped into it;
  // greyscale images keep the green channel. Layers with transparency keep the result's
  // coverage in the plane after the colours.
  void write(const Rect32& rect, const float* rgba, int32_t stride) override {
    const int32_t w = state_.previewWidth, h = state_.previewHeight;
    uint8_t* planes = state_.previewPixels;
    if (!planes || w < 1 || h < 1) return;
    const size_t planeSize = static_cast<size_t>(w) * static_cast<size_t>(h);
    // A layer whose transparency the host keeps shows the host's coverage, its mask.
    const bool hostCoverage = format_.maskIsCoverage && pixels_;
    std::vector<uint8_t> coverageRow(hostCoverage ? static_cast<size_t>(rect.width()) : 0);
    uint8_t* coverage = planes + static_cast<size_t>(colourPlanes()) * planeSize;
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      const float* in = rgba + static_cast<ptrdiff_t>(y - rect.top) * stride;
      const int32_t py = std::clamp(y - region_.top, 0, h - 1);
      if (hostCoverage)
        readMaskRect(&*pixels_, {y, rect.left, y + 1, rect.right}, coverageRow.data(),
                     rect.width());
      for (int32_t x = rect.left; x < rect.right; ++x, in += 4) {
        const int32_t px = std::clamp(x - region_.left, 0, w - 1);
        const size_t at =
            static_cast<size_t>(py) * static_cast<size_t>(w) + static_cast<size_t>(px);
        if (format_.greyscale) {
          planes[at] = static_cast<uint8_t>(in[1] * 255.0f);
        } else {
          for (int c = 0; c < 3; ++c)
            planes[c * planeSize + at] = static_cast<uint8_t>(in[c] * 255.0f);
        }
        if (hostCoverage)
          coverage[at] = coverageRow[static_cast<size_t>(x - rect.left)];
        else if (format_.editableTransparency)
          coverage[at] = static_cast<uint8_t>(in[3] * 255.0f);
      }
    }
  }

  // A preview is stopped by the dialog's own abort flag alone: the host's cancel test belongs
  // to the final render.
  bool cancelled() override { return abort_; }
  void progress(double) override {}
  FinishContext finishContext() const override { return context_; }

  int16_t hostResult() const { return hostResult_; }

 private:
  ps::FilterRecord& rec_;
  PluginState& state_;
  ImageFormat format_;
  Rect32 region_;
  int zoom_;
  const bool& abort_;
  FinishContext context_;
  std::optional<HostPixels> pixels_;
  int16_t hostResult_ = 0;
};

// Without sampling the host hands over full-size pixels only, so every view is at 100 %.
int32_t previewZoom(const ps::FilterRecord& rec, const PreviewView& view) {
  return canSample(rec) ? std::max(view.zoom, 1) : 1;
}

// Frees the preview buffer and allocates a zeroed one of planes × the region's size, with a
// coverage plane after them when the layer has transparency.
bool allocatePreviewBuffer(PluginState& state, const Rect32& region, int planes, bool coverage) {
  releasePreviewPixels(state);
  const size_t bytes = static_cast<size_t>(planes + (coverage ? 1 : 0)) *
                       static_cast<size_t>(region.width()) * static_cast<size_t>(region.height());
  state.previewPixels = static_cast<uint8_t*>(std::calloc(std::max<size_t>(bytes, 1), 1));
  if (!state.previewPixels) return false;
  state.previewWidth = region.width();
  state.previewHeight = region.height();
  state.previewPlanes = planes;
  return true;
}

}  // namespace

Rect32 HostPreview::imageRect() const { return filterRectangle(rec_); }

bool HostPreview::canReduce() const { return canSample(rec_); }

bool HostPreview::startBuffer(const PreviewView& view, Rect32& region, int32_t& zoom) {
  hostResult_ = 0;
  zoom = previewZoom(rec_, view);
  region = visibleRegion(filterRectangle(rec_), {zoom, view.panX, view.panY});
  state_.previewRegion = region;
  state_.scaleFactor = static_cast<float>(zoom);
  const ImageFormat format = classifyImage(rec_);
  coverage_ = format.editableTransparency || format.maskIsCoverage;
  return allocatePreviewBuffer(state_, region, format.greyscale ? 1 : 3, coverage_);
}

RenderStatus HostPreview::renderPreview(const EffectSettings& settings, const PreviewView& view) {
  Rect32 region;
  int32_t zoom = 1;
  if (!startBuffer(view, region, zoom)) return RenderStatus::outOfMemory;
  const Rect32 image = filterRectangle(rec_);

  const std::unique_ptr<RenderInputs> inputs = makeRenderInputs(settings, pictures_, random_);
  if (!inputs) return RenderStatus::outOfMemory;
  PreviewRenderSource source(rec_, state_, region, zoom, abort_);
  RenderOptions options;
  options.processors = processors_;
  options.previewScale = zoom;
  // The region's place in the image, in full-resolution pixels from the image's own corner.
  options.previewLeft = region.left * zoom - image.left;
  options.previewTop = region.top * zoom - image.top;
  options.imageWidth = image.width();
  options.imageHeight = image.height();
  state_.maskNotNeeded = 0;
  const RenderStatus status = renderEffect(*inputs, source, options);
  hostResult_ = source.hostResult();
  // One request stops one render.
  abort_ = false;
  return status;
}

PreviewPixels HostPreview::previewPixels() const {
  PreviewPixels pixels;
  pixels.planes = state_.previewPixels;
  pixels.alpha = coverageData();
  pixels.width = state_.previewWidth;
  pixels.height = state_.previewHeight;
  pixels.planeCount = state_.previewPlanes;
  pixels.region = state_.previewRegion;
  pixels.zoom = static_cast<int32_t>(state_.scaleFactor);
  return pixels;
}

const uint8_t* HostPreview::coverageData() const {
  if (!coverage_ || !state_.previewPixels) return nullptr;
  return state_.previewPixels + static_cast<size_t>(state_.previewPlanes) *
                                    static_cast<size_t>(state_.previewWidth) *
                                    static_cast<size_t>(state_.previewHeight);
}

bool HostPreview::canDisplay() const { return rec_.displayPixels && rec_.advanceState; }

RenderStatus HostPreview::showSource(const PreviewView& view) {
  Rect32 region;
  int32_t zoom = 1;
  if (!startBuffer(view, region, zoom)) return RenderStatus::outOfMemory;
  const ImageFormat format = classifyImage(rec_);

  // The source colours are all a pan shows: a one-pixel mask saves the host the selection,
  // unless the mask is the layer's coverage.
  const int32_t maskNotNeeded = state_.maskNotNeeded;
  state_.maskNotNeeded = format.maskIsCoverage ? 0 : 1;
  requestRegion(rec_, state_, region, zoom);
  state_.maskNotNeeded = maskNotNeeded;
  if (const int16_t result = advanceHostState(rec_); result != 0) {
    hostResult_ = result;
    return RenderStatus::sourceFailed;
  }
  SourceBuffer source;
  source.data = rec_.inData;
  source.rowBytes = rec_.inRowBytes;
  source.rect = hostInRect(rec_);
  source.imageClass = format.imageClass;
  source.planes = format.planes;
  source.greyscale = format.greyscale;
  source.transparencyPlane = coverage_ ? format.transparencyPlane : -1;
  copySourceToPreview(source, region, state_.previewPixels);
  if (format.maskIsCoverage) {
    const HostPixels pixels(rec_, format, region);
    readMaskRect(&pixels, region, const_cast<uint8_t*>(coverageData()), region.width());
  }
  return RenderStatus::done;
}

bool HostPreview::display(const ps::PlatformDisplaySurface& surface, int32_t x, int32_t y) {
  const int32_t w = state_.previewWidth, h = state_.previewHeight, planes = state_.previewPlanes;
  if (!rec_.displayPixels || !state_.previewPixels || w < 1 || h < 1) return false;
  if (planes != 1 && planes != 3) return false;
  // A pixel map gives the distance between planes in 32 bits.
  if (int64_t{w} * h > std::numeric_limits<int32_t>::max()) return false;
  ps::PSPixelMap map{};
  map.version = 1;
  map.bounds = {0, 0, h, w};
  map.imageMode = planes == 1 ? ps::modeGrayScale : ps::modeRGBColor;
  map.rowBytes = w;
  map.colBytes = 1;
  map.planeBytes = w * h;
  map.baseAddr = state_.previewPixels;
  // A layer's transparency goes along as a mask, which the host shows over its checkerboard.
  ps::PSPixelMask mask{};
  if (const uint8_t* coverage = coverageData()) {
    mask.maskData = const_cast<uint8_t*>(coverage);
    mask.rowBytes = w;
    mask.colBytes = 1;
    mask.maskDescription = ps::kSimplePSMask;
    map.masks = &mask;
  }
  const ps::VRect srcRect = map.bounds;
  return rec_.displayPixels(&map, &srcRect, y, x,
                            const_cast<ps::PlatformDisplaySurface*>(&surface)) == ps::noErr;
}

}  // namespace orichalcumite
