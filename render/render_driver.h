// One render from start to finish: the height field, built row by row from the source, then
// the final pass that shades, finishes and writes every band of the region.
#pragma once

#include <cstdint>

#include "render/render_host.h"
#include "render/render_inputs.h"
#include "render/render_status.h"

namespace orichalcumite {

struct RenderOptions {
  int processors = 0;    // worker threads for parallel passes; 0 asks the system
  int previewScale = 1;  // the preview's reduction; 1 for full renders
  // Where a preview region's top-left corner lies in the image, in full-resolution pixels
  // from the image's own corner; (0, 0) for full renders. Textures and gobos are placed by it
  // at every scale, 100 % included.
  int32_t previewLeft = 0;
  int32_t previewTop = 0;
  // Size of the whole image (the filter rectangle) at full resolution; 0 takes the region's.
  // The gobos centre on it.
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
  // True shades weathered bands that carry water or random draws one at a time, in order, on
  // one worker (as a single processor does): the plain path that the bands shaded at once
  // from their recorded state must match byte for byte.
  bool weatheringInTurn = false;
};

// Renders the effect of `inputs` over `target`'s region. Progress runs from 0 to 1 over the
// whole render: the height field's passes take the first fifth, the final pass the rest.
RenderStatus renderEffect(const RenderInputs& inputs, RenderSource& target,
                          const RenderOptions& options = {});

}  // namespace orichalcumite
