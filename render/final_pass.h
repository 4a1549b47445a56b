// The final pass of a render: the dispatcher reads each 64-row band's source and mask from the
// target, a worker thread shades the band into its BandBuffer and finishes it, and the
// dispatcher writes the finished rows back.
#pragma once

#include <cstdint>
#include "base/large_block.h"
#include "base/rect.h"
#include "render/finish_pixel.h"
#include "render/render_host.h"
#include "render/worker_pool.h"

namespace orichalcumite {

// The finished height field as the shader reads it: depth of region pixel (x, y) at
// origin[y * stride + x]; the 150-pixel margin around the region is readable at negative and
// overflowing offsets.
struct HeightView {
  const float* origin = nullptr;
  std::ptrdiff_t stride = 0;
  float minimum = 0.0f;  // extremes over the region, as recorded for the "height" material
  float maximum = 0.0f;

  float at(int32_t x, int32_t y) const { return origin[y * stride + x]; }
};

// (unit width + 2) × (unit height + 2) colours: pixel (x, y) of the image is at column
// x − left + 1, row y − top + 1. It first holds the source colours of the band, then the
// material the shader computes.
class BandBuffer {
 public:
  // Sets the buffer up for `unit`, keeping its memory when it is large enough: the one-pixel
  // ring around the unit is cleared, the unit's own pixels hold whatever they held (zero in a
  // fresh buffer) until the caller fills them. False when memory runs out.
  bool allocate(const Rect32& unit);
  const Rect32& unit() const { return unit_; }
  int32_t stride() const { return unit_.width() + 2; }  // in pixels
  Rgba* pixel(int32_t x, int32_t y) {
    return &pixels_[static_cast<size_t>((y - unit_.top + 1) * stride() + (x - unit_.left + 1))];
  }
  // The first pixel of the unit (its top-left inside the margin), rows stride() pixels apart.
  Rgba* interior() { return pixel(unit_.left, unit_.top); }

 private:
  Rect32 unit_;
  LargeArray<Rgba> pixels_;
};

// Shades one band: reads the source colours of the band buffer and writes material colours
// back. `region` is the render region, whose top-left is height-field pixel (0, 0). `slot`
// (0 .. bands at once - 1) names the scratch of the thread running the band: no two bands
// with the same slot run at the same time.
using ShadeBand = void (*)(const void* context, BandBuffer& band, const Rect32& region, int slot);

// Runs the final pass over the render region of `target`, finishing with `finish` (the
// target's context with the render's glue mode) and reporting progress through `progress`.
// `bandsAtOnce` 1 shades one band after another, in order, for shading that carries state
// from band to band; more lets up to that many bands (and `processors`) shade at once, each
// finished and written as soon as it is done.
RenderStatus runFinalPass(RenderSource& target, const FinishContext& finish, ShadeBand shade,
                          const void* shadeContext, int processors, int bandsAtOnce = 1,
                          const ProgressSpan& progress = {});

}  // namespace orichalcumite
