#include "host/host_render_source.h"

#include <algorithm>

namespace orichalcumite {

HostRenderSource::HostRenderSource(ps::FilterRecord& rec, PluginState& state)
    : rec_(rec), state_(state), format_(classifyImage(rec)), region_(filterRectangle(rec)) {
  context_.target = RenderTarget::hostImage;
  context_.hdr = format_.imageClass == ImageClass::highDynamicRange;
  context_.greyscale = format_.greyscale;
  context_.editableTransparency = format_.editableTransparency;
  context_.maskIsSelection = !format_.maskIsCoverage;
}

bool HostRenderSource::fetchParts(const Rect32& rect, const Parts& parts) {
  pixels_.reset();
  requestRegion(rec_, state_, rect, 1, {parts.source, parts.mask, parts.output});
  const int16_t result = advanceHostState(rec_);
  if (result != 0) {
    hostResult_ = result;
    return false;
  }
  pixels_.emplace(rec_, format_, rect);
  return true;
}

void HostRenderSource::readSource(const Rect32& rect, float* rgba, int32_t stride) const {
  readSourceRect(pixels_ ? &*pixels_ : nullptr, rect, rgba, stride);
}

void HostRenderSource::readMask(const Rect32& rect, uint8_t* mask, int32_t stride) const {
  readMaskRect(pixels_ ? &*pixels_ : nullptr, rect, mask, stride);
}

void HostRenderSource::write(const Rect32& rect, const float* rgba, int32_t stride) {
  if (!pixels_) return;
  for (int32_t y = rect.top; y < rect.bottom; ++y)
    pixels_->writeRow(y, rect.left, rect.width(),
                      rgba + static_cast<ptrdiff_t>(y - rect.top) * stride);
}

bool HostRenderSource::cancelled() {
  if (hostResult_ == ps::userCanceledErr) return true;
  if (testAbort(rec_)) {
    hostResult_ = ps::userCanceledErr;
    return true;
  }
  return false;
}

void HostRenderSource::progress(double fraction) {
  reportProgress(rec_, static_cast<int32_t>(std::clamp(fraction, 0.0, 1.0) * 1000.0), 1000);
}

int16_t hostResultCode(RenderStatus status, int16_t hostResult) {
  switch (status) {
    case RenderStatus::done: return ps::noErr;
    case RenderStatus::cancelled: return ps::userCanceledErr;
    case RenderStatus::outOfMemory: return ps::memFullErr;
    case RenderStatus::sourceFailed: return hostResult != 0 ? hostResult : ps::filterBadParameters;
  }
  return ps::filterBadParameters;
}

}  // namespace orichalcumite
