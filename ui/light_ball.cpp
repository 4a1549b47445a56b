#include "ui/light_ball.h"

#include <algorithm>
#include <cmath>

namespace orichalcumite {
namespace {

// The ball's centre for the pointer, from its top-left corner.
constexpr int32_t kPointerCentreX = 43, kPointerCentreY = 41;
// The line's end for a light of X = Y = 0, and its start, a little further up and left.
constexpr int32_t kEndCentreX = 42, kEndCentreY = 41;
constexpr int32_t kStartCentreX = 41, kStartCentreY = 40;
// The line starts this far along the way to its end, so it reads as a pointer from the centre.
constexpr double kStartDivisor = 2.9;
constexpr int32_t kMarkerOffset = 2;

int32_t truncated(double v) { return static_cast<int32_t>(std::trunc(v)); }

}  // namespace

LightVector turnedLight(const ControlRect& ball, int32_t x, int32_t y, bool ctrl) {
  double lx = 0, ly = 0;
  if (!ctrl) {
    const double dx = x - ball.x - kPointerCentreX;
    const double dy = y - ball.y - kPointerCentreY;
    const double r = std::max(std::sqrt(dx * dx + dy * dy), double{kLightBallRadius});
    lx = dx / r;
    ly = dy / r;
  }
  const double lz = std::sqrt(std::max(0.0, 1.0 - lx * lx - ly * ly));
  const double length = std::sqrt(lx * lx + ly * ly + lz * lz);
  if (length > 0) {
    lx /= length;
    ly /= length;
  }
  return {static_cast<float>(lx), static_cast<float>(ly),
          static_cast<float>(length > 0 ? lz / length : lz)};
}

LightBallDrawing lightBallDrawing(const ControlRect& ball, const LightVector& light) {
  const double reachX = kLightBallRadius * static_cast<double>(light.x);
  const double reachY = kLightBallRadius * static_cast<double>(light.y);
  LightBallDrawing d;
  d.lineStartX = ball.x + kStartCentreX + truncated((reachX + 0.5) / kStartDivisor);
  d.lineStartY = ball.y + kStartCentreY + truncated((reachY + 0.5) / kStartDivisor);
  d.endX = ball.x + kEndCentreX + truncated(reachX);
  d.endY = ball.y + kEndCentreY + truncated(reachY);
  d.colour = light.z >= 0 ? RgbColour{255, 255, 0} : RgbColour{255, 0, 255};
  d.markerX = d.endX - kMarkerOffset;
  d.markerY = d.endY - kMarkerOffset;
  return d;
}

}  // namespace orichalcumite
