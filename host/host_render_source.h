// The host's image as a render source and target: the bridge between the render driver and
// the host image access.
#pragma once

#include <optional>

#include "host/host_image.h"
#include "host/plugin_state.h"
#include "render/render_host.h"

namespace orichalcumite {

class HostRenderSource final : public RenderSource {
 public:
  HostRenderSource(ps::FilterRecord& rec, PluginState& state);

  Rect32 region() const override { return region_; }
  bool fetch(const Rect32& rect) override { return fetchParts(rect, Parts{}); }
  // Asks the host only for the parts wanted, which saves it copying the others.
  bool fetchParts(const Rect32& rect, const Parts& parts) override;
  void readSource(const Rect32& rect, float* rgba, int32_t stride) const override;
  void readMask(const Rect32& rect, uint8_t* mask, int32_t stride) const override;
  void write(const Rect32& rect, const float* rgba, int32_t stride) override;
  bool cancelled() override;
  // Reported to the host as (fraction × 1000) of 1000.
  void progress(double fraction) override;
  FinishContext finishContext() const override { return context_; }

  // The host's result that ended the render (0 while it runs).
  int16_t hostResult() const { return hostResult_; }

 private:
  ps::FilterRecord& rec_;
  PluginState& state_;
  ImageFormat format_;
  Rect32 region_;
  FinishContext context_;
  std::optional<HostPixels> pixels_;
  int16_t hostResult_ = 0;
};

// The protocol's result code for how a render ended: 0, -128 for a cancel, -108 when memory
// ran out, or the host's own result when the host could not hand over its pixels.
int16_t hostResultCode(RenderStatus status, int16_t hostResult);

}  // namespace orichalcumite
