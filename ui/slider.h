// The arithmetic of the skinned sliders: where the thumb is drawn for a value, and which value
// a pointer position gives while dragging. A slider is horizontal when its rectangle is at
// least as wide as it is high; vertical sliders (the gobos) have their maximum at the top.
#pragma once

#include <cstdint>
#include <optional>

#include "ui/controls.h"
#include "ui/dialog_requests.h"

namespace orichalcumite {

constexpr int kHorizontalThumbBitmap = 120;  // 12 × 10
constexpr int kVerticalThumbBitmap = 274;    // 10 × 10

inline bool isVerticalSlider(const ControlRect& track) { return track.width < track.height; }

// The thumb's rectangle for value `value` of [minimum, maximum] on `track`.
ControlRect sliderThumbRect(const ControlRect& track, int32_t minimum, int32_t maximum,
                            int32_t value);

// The value under the pointer at (px, py) while dragging, clamped to [minimum, maximum]; a
// pointer beyond either end of the track gives that end's value.
int32_t sliderValueAt(const ControlRect& track, int32_t minimum, int32_t maximum, int32_t px,
                      int32_t py);

// How to draw a slider. An enabled slider with a track bitmap shows the bitmap and a thumb; a
// slider without a bitmap, or a disabled one, is a filled, framed rectangle without a thumb.
struct SliderAppearance {
  ControlRect track;
  int trackBitmap = 0;  // 0: draw the filled rectangle instead
  RgbColour fill{};
  RgbColour frame{};
  std::optional<ControlRect> thumb;
  int thumbBitmap = 0;
};
SliderAppearance sliderAppearance(const DialogControls& controls, int sliderId);

// A drag step on `sliderId` to (px, py): stores the new value, updates the value display
// ("%g") and asks for the slider and its display to be redrawn. This programmatic edit stops
// the settle timer instead of arming it; the preview renders when the pointer is released.
DialogRequests dragSlider(DialogControls& controls, int sliderId, int32_t px, int32_t py);

}  // namespace orichalcumite
