// Where a render gets its source pixels and selection and where the finished pixels go. The
// host layer implements this for the host's image; the preview and internal pictures have
// their own implementations. Everything works on whole rectangles, so no virtual call happens
// per pixel. Only the dispatcher thread calls these.
#pragma once

#include <cstdint>

#include "render/finish_pixel.h"
#include "base/rect.h"

namespace orichalcumite {

class RenderSource {
 public:
  virtual ~RenderSource() = default;

  // The rectangle the render covers, in image coordinates.
  virtual Rect32 region() const = 0;
  // Makes the source, mask and output of `rect` available. Returns 0, or the host's non-zero
  // result (an error or -128 for a cancel), which ends the render.
  virtual int16_t fetch(const Rect32& rect) = 0;
  // Source colours of the fetched `rect`, row-major, 4 floats per pixel, `stride` floats per
  // row. Greyscale images give the grey in red, green and blue; alpha is 1 without a
  // transparency plane.
  virtual void readSource(const Rect32& rect, float* rgba, int32_t stride) const = 0;
  // Selection of the fetched `rect` as bytes 0..255 (255 everywhere without a selection).
  virtual void readMask(const Rect32& rect, uint8_t* mask, int32_t stride) const = 0;
  // Writes finished colours of the fetched `rect` (4 floats per pixel, clamped by the caller).
  virtual void write(const Rect32& rect, const float* rgba, int32_t stride) = 0;
  // True when the user asked to cancel.
  virtual bool cancelled() = 0;
  // Progress of the render as done of total.
  virtual void progress(int32_t done, int32_t total) = 0;

  // The finishing context of this target (kind, HDR, greyscale, editable transparency).
  virtual FinishContext finishContext() const = 0;
};

}  // namespace orichalcumite
