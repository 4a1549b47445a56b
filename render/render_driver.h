// One render from start to finish: the height field, built row by row from the source, then
// the final pass that shades, finishes and writes every band of the region.
#pragma once

#include <cstdint>

#include "render/render_host.h"

namespace orichalcumite {

struct EffectSettings;

struct RenderOptions {
  int processors = 0;     // worker threads for parallel passes; 0 asks the system
  int previewScale = 1;   // the preview's reduction; 1 for full renders
  int32_t previewLeft = 0;  // image coordinates of a preview region's top-left corner
  int32_t previewTop = 0;
  // Size of the whole image (the filter rectangle) at full resolution; 0 takes the region's.
  // The gobos centre on it.
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
};

// Renders the effect of `settings` over `target`'s region. The settings are read once, at the
// start, into the render's own snapshot. Returns 0, or the host's non-zero result that ended
// the render (-128 when the user cancelled).
int16_t renderEffect(const EffectSettings& settings, RenderSource& target,
                     const RenderOptions& options = {});

}  // namespace orichalcumite
