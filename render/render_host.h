// Where a render gets its source pixels and selection and where the finished pixels go. The
// host layer implements this for the host's image; the preview and internal pictures have
// their own implementations. Everything works on whole rectangles, so no virtual call happens
// per pixel. Only the dispatcher thread calls these.
#pragma once

#include <cstdint>

#include "base/rect.h"
#include "render/finish_pixel.h"
#include "render/render_status.h"

namespace orichalcumite {

class RenderSource {
 public:
  virtual ~RenderSource() = default;

  // The rectangle the render covers, in image coordinates.
  virtual Rect32 region() const = 0;
  // Makes the source, mask and output of `rect` available. False ends the render with
  // RenderStatus::sourceFailed (or cancelled, when cancelled() then says so); the target
  // keeps the reason.
  virtual bool fetch(const Rect32& rect) = 0;
  // The same for only some of the three. Afterwards only the parts asked for may be read or
  // written; a target may make more available (the default fetches all three).
  struct Parts {
    bool source = true;
    bool mask = true;
    bool output = true;
  };
  virtual bool fetchParts(const Rect32& rect, const Parts& parts) {
    (void)parts;
    return fetch(rect);
  }
  // Source colours of the fetched `rect`, row-major, 4 floats per pixel, `stride` floats per
  // row. Greyscale images give the grey in red, green and blue; alpha is 1 without a
  // transparency plane.
  virtual void readSource(const Rect32& rect, float* rgba, int32_t stride) const = 0;
  // Mask of the fetched `rect` as bytes 0..255 (255 everywhere without one): the selection,
  // or the layer's coverage when the finish context says so. The bevel follows its edge.
  virtual void readMask(const Rect32& rect, uint8_t* mask, int32_t stride) const = 0;
  // Writes finished colours of the fetched `rect` (4 floats per pixel, clamped by the caller).
  virtual void write(const Rect32& rect, const float* rgba, int32_t stride) = 0;
  // True when the user asked to cancel.
  virtual bool cancelled() = 0;
  // Progress of the whole render, 0..1, never going back; at most every half second.
  virtual void progress(double fraction) = 0;

  // The finishing context of this target (kind, HDR, greyscale, editable transparency, what
  // the mask stands for). Its glue mode is not the target's to say: the render sets it.
  virtual FinishContext finishContext() const = 0;
};

// The share of a render's progress that one pass covers: the pass's completed units map
// linearly onto [begin, end] of the whole render.
struct ProgressSpan {
  RenderSource* target = nullptr;  // null reports nothing
  double begin = 0.0;
  double end = 1.0;

  void report(int32_t completed, int32_t total) const {
    if (target && total > 0)
      target->progress(begin + (end - begin) * static_cast<double>(completed) / total);
  }
};

}  // namespace orichalcumite
