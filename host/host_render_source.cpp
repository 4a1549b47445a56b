#include "host/host_render_source.h"

namespace orichalcumite {

HostRenderSource::HostRenderSource(ps::FilterRecord& rec, PluginState& state, int glue)
    : rec_(rec), state_(state), format_(classifyImage(rec)), region_(filterRectangle(rec)) {
  context_.target = RenderTarget::hostImage;
  context_.hdr = format_.imageClass == ImageClass::highDynamicRange;
  context_.greyscale = format_.greyscale;
  context_.editableTransparency = format_.editableTransparency;
  context_.glue = glue;
}

int16_t HostRenderSource::fetch(const Rect32& rect) {
  pixels_.reset();
  requestRegion(rec_, state_, rect, 1);
  const int16_t result = advanceHostState(rec_);
  if (result != 0) {
    hostResult_ = result;
    return result;
  }
  pixels_.emplace(rec_, format_, rect);
  return 0;
}

void HostRenderSource::readSource(const Rect32& rect, float* rgba, int32_t stride) const {
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    float* out = rgba + static_cast<ptrdiff_t>(y - rect.top) * stride;
    for (int32_t x = rect.left; x < rect.right; ++x, out += 4) {
      out[0] = out[1] = out[2] = out[3] = 0.0f;
      if (pixels_) pixels_->readPixel(x, y, true, out);
    }
  }
}

void HostRenderSource::readMask(const Rect32& rect, uint8_t* mask, int32_t stride) const {
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    uint8_t* out = mask + static_cast<ptrdiff_t>(y - rect.top) * stride;
    for (int32_t x = rect.left; x < rect.right; ++x)
      *out++ = pixels_ ? pixels_->readMaskByte(x, y, true) : 0;
  }
}

void HostRenderSource::write(const Rect32& rect, const float* rgba, int32_t stride) {
  if (!pixels_) return;
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    const float* in = rgba + static_cast<ptrdiff_t>(y - rect.top) * stride;
    for (int32_t x = rect.left; x < rect.right; ++x, in += 4) pixels_->writePixel(x, y, in, true);
  }
}

bool HostRenderSource::cancelled() {
  if (hostResult_ == ps::userCanceledErr) return true;
  if (testAbort(rec_)) {
    hostResult_ = ps::userCanceledErr;
    return true;
  }
  return false;
}

void HostRenderSource::progress(int32_t done, int32_t total) { reportProgress(rec_, done, total); }

}  // namespace orichalcumite
