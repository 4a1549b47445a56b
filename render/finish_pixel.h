// The per-pixel finish of the final pass: alpha boost and clamping, colour-overflow spreading,
// greyscale, the glue combination with the source, the over operator, the preview's
// checkerboard and the selection blend. Plain functions over plain colours.
#pragma once

#include <cstdint>

#include "pictures/rgba.h"

namespace orichalcumite {

enum class RenderTarget : int { hostImage = 0, dialogPreview = 1, internalPicture = 2 };

// What the finish needs to know about the render, fixed for the whole pass.
struct FinishContext {
  RenderTarget target = RenderTarget::hostImage;
  bool hdr = false;        // 32-bit host image, or a float internal picture
  bool greyscale = false;
  bool editableTransparency = false;
  int glue = 1;            // GlueMode
};

// Light that overflows one channel bleeds into the others: the excess above 1, times 60/256,
// is shared out by which channels exceed 1.
void spreadOverflow(Rgba& c);

// `src` with alpha over `dst`, in place.
void compositeOver(const Rgba& src, Rgba& dst);

// The preview's background grey at (x, y): 8 × 8 squares of 1.0 and 0.8.
inline float checkerboardGrey(int32_t x, int32_t y) { return ((x ^ y) & 8) == 0 ? 1.0f : 0.8f; }

// Combines the material with the source through the glue mode. Until the glue modes land
// every mode combines as "normal", which returns the material unchanged.
Rgba glue(const Rgba& material, const Rgba& source, int mode);

// Finishes one pixel: material as the shader left it, the source pixel, the selection value
// m in 0..1 and the pixel's image coordinates (for the checkerboard). Returns what is written.
Rgba finishPixel(Rgba material, const Rgba& source, float mask, int32_t x, int32_t y,
                 const FinishContext& context);

}  // namespace orichalcumite
