// The finish of the final pass: alpha boost and clamping, colour-overflow spreading,
// greyscale, the glue combination with the source, the over operator, the preview's
// checkerboard and the selection blend. finishPixel finishes one pixel; the final pass
// finishes whole rows with finishRow, whose glue kernel is chosen once per pass. Both give
// the same result for the same pixel.
#pragma once

#include <cstdint>

#include "pictures/rgba.h"
#include "render/glue_modes.h"

namespace orichalcumite {

enum class RenderTarget : int { hostImage = 0, dialogPreview = 1, internalPicture = 2 };

// What the finish needs to know about the render, fixed for the whole pass.
struct FinishContext {
  RenderTarget target = RenderTarget::hostImage;
  bool hdr = false;  // 32-bit host image, or a float internal picture
  bool greyscale = false;
  bool editableTransparency = false;
  int glue = 1;  // GlueMode
  // False when the mask is the layer's coverage rather than a selection (a layer whose
  // transparency the host protects, without a selection): the bevel follows the mask, but the
  // material is laid on fully, since the layer's own alpha already applies the coverage.
  bool maskIsSelection = true;
};

// Light that overflows one channel bleeds into the others: the excess above 1, times 60/256,
// is shared out by which channels exceed 1.
void spreadOverflow(Rgba& c);

// `src` with alpha over `dst`, in place.
void compositeOver(const Rgba& src, Rgba& dst);

// The preview's background grey at (x, y): 8 × 8 squares of 1.0 and 0.8.
inline float checkerboardGrey(int32_t x, int32_t y) { return ((x ^ y) & 8) == 0 ? 1.0f : 0.8f; }

// Finishes one pixel: material as the shader left it, the source pixel, the selection value
// m in 0..1 and the pixel's image coordinates (for the checkerboard). Returns what is written:
// HDR outputs get the material (colours at most 65535) without a glue mode; every other
// output gets colours in 0..1.
Rgba finishPixel(Rgba material, const Rgba& source, float mask, int32_t x, int32_t y,
                 const FinishContext& context);

// The finish of one pass, derived once from its context.
struct FinishPlan {
  FinishContext context;
  GlueRowKernel glueRow = glueRowKernel(1);  // the kernel of context.glue
};

FinishPlan makeFinishPlan(const FinishContext& context);

// Finishes `count` pixels of image row `y` starting at column `x`: material, source, the
// selection as bytes 0..255 (255 = fully selected) and the output, each `count` long.
// `material` is the row's scratch space: on return it holds the prepared material, with the
// glue colour in place of its colour for the modes that hand their result back (glow,
// reflect, shimmer, lustre). `out` must not overlap the inputs. No allocation; any thread.
void finishRow(const FinishPlan& plan, Rgba* material, const Rgba* source, const uint8_t* mask,
               Rgba* out, int32_t x, int32_t y, int32_t count);

}  // namespace orichalcumite
