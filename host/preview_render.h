// The dialog preview as a render target: the visible part of the image at an integer
// reduction, sampled by the host, rendered into the 8-bit planar preview buffer that the
// host's pixel display shows.
#pragma once

#include <cstdint>

#include "host/plugin_state.h"
#include "protocol/filter_protocol.h"

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

// The smallest zoom at which the whole filter rectangle fits the preview rectangle.
int32_t fitZoom(const Rect32& image, int32_t previewWidth = kPreviewWidth,
                int32_t previewHeight = kPreviewHeight);

// The visible region in reduced coordinates (the image rectangle scaled by 1/z, limited to the
// preview's size, at the pan offset), as the host is asked for it.
Rect32 visibleRegion(const Rect32& image, const PreviewView& view,
                     int32_t previewWidth = kPreviewWidth, int32_t previewHeight = kPreviewHeight);

// Renders the effect of `s` for the view into the preview buffer of `state` (reallocated:
// planes × width × height bytes of the visible region). Returns 0 or the host's result.
int16_t renderPreview(ps::FilterRecord& rec, const EffectSettings& s, PluginState& state,
                      const PreviewView& view, int processors = 0);

}  // namespace orichalcumite
