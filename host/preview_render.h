// The dialog preview over the host's records: the visible part of the image at an integer
// reduction, sampled by the host, rendered into the 8-bit planar preview buffer that the
// host's pixel display shows.
#pragma once

#include <cstdint>

#include "host/plugin_state.h"
#include "protocol/filter_protocol.h"
#include "render/preview.h"

namespace orichalcumite {

class EffectPictures;
class RandomGenerator;

class HostPreview final : public PreviewService {
 public:
  // Renders with `pictures` and draws from `random`; all must outlive the preview. The
  // buffer lives in `state` (freed by releasePreviewPixels). `processors` 0 asks the system.
  HostPreview(ps::FilterRecord& rec, PluginState& state, const EffectPictures& pictures,
              RandomGenerator& random, int processors = 0)
      : rec_(rec), state_(state), pictures_(pictures), random_(random), processors_(processors) {}

  Rect32 imageRect() const override;
  bool canReduce() const override;
  // Reallocates the buffer to planes × width × height bytes of the visible region.
  RenderStatus renderPreview(const EffectSettings& settings, const PreviewView& view) override;
  PreviewPixels previewPixels() const override;
  void requestAbort() override { abort_ = true; }
  bool canDisplay() const override;
  RenderStatus showSource(const PreviewView& view) override;
  bool display(const ps::PlatformDisplaySurface& surface, int32_t x, int32_t y) override;

  // The host's result when the last render ended with RenderStatus::sourceFailed.
  int16_t hostResult() const { return hostResult_; }

 private:
  ps::FilterRecord& rec_;
  PluginState& state_;
  const EffectPictures& pictures_;
  RandomGenerator& random_;
  int processors_;
  bool abort_ = false;
  int16_t hostResult_ = 0;
  bool coverage_ = false;  // the buffer ends with a coverage plane (layers with transparency)

  const uint8_t* coverageData() const;
  // The visible region and zoom of `view`, and a fresh buffer for them (with a coverage plane
  // for layers with transparency). False when the buffer cannot be had.
  bool startBuffer(const PreviewView& view, Rect32& region, int32_t& zoom);
};

}  // namespace orichalcumite
