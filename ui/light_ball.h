// The light balls (33: light 1, 45: light 2): turning a light by dragging on the 85 × 85 ball,
// and where the ball shows the light. The ball's centre sits at (43, 41) from its corner for
// the pointer and the drawing's line ends 33 pixels out for a light at the horizon.
#pragma once

#include <cstdint>

#include "ui/controls.h"

namespace orichalcumite {

// The ball's radius in pixels: a drag farther out than this keeps the light at the horizon.
constexpr int kLightBallRadius = 33;

// The light seen from a pointer at (x, y) over the ball at `ball`: the direction from the
// ball's centre at full length when the pointer is at least kLightBallRadius away, shorter
// inside; Z rises from the horizon (0) to straight on (1) as the pointer nears the centre.
// With Ctrl the light points straight at the viewer, (0, 0, 1). The result has unit length.
LightVector turnedLight(const ControlRect& ball, int32_t x, int32_t y, bool ctrl);

// What the ball shows for a light: a 2-pixel line from `lineStart` to `end`, yellow for a light
// in front (Z ≥ 0) and magenta behind, and the marker icon with its top-left corner at
// `marker`. Client pixels.
struct LightBallDrawing {
  int32_t lineStartX = 0, lineStartY = 0;
  int32_t endX = 0, endY = 0;
  RgbColour colour{255, 255, 0};
  int32_t markerX = 0, markerY = 0;
};
LightBallDrawing lightBallDrawing(const ControlRect& ball, const LightVector& light);

}  // namespace orichalcumite
