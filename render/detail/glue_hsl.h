// Hue, saturation and lightness for the glue modes that trade colour for brightness: the HSL
// conversions, the perceived brightness of a hue, and the curve that gives a hue a wanted
// perceived brightness. Doubles over fixed-point colours scaled by 2^-15.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "render/detail/glue_fixed.h"

namespace orichalcumite::detail {

struct Colour3 {
  double red, green, blue;
};

struct Hsl {
  double hue;         // 0..1, sectors of 1/6 starting at red
  double saturation;  // 0..1
  double lightness;   // 0..1
};

inline Colour3 colourOf(const Fixed3& c) {
  constexpr double scale = 1.0 / 32768.0;
  return {double(c.red) * scale, double(c.green) * scale, double(c.blue) * scale};
}

// The whole part of each channel × 32768.
inline Fixed3 fixedOf(const Colour3& c) {
  return {int64_t(c.red * 32768.0), int64_t(c.green * 32768.0), int64_t(c.blue * 32768.0)};
}

// Hue, saturation and lightness of `c`. Channels are limited to 0..1 first: a material
// brighter than white would otherwise give a saturation outside 0..1, or divide by zero
// where its brightest and darkest channels add up to 2.
inline Hsl hslOf(Colour3 c) {
  const double r = std::clamp(c.red, 0.0, 1.0);
  const double g = std::clamp(c.green, 0.0, 1.0);
  const double b = std::clamp(c.blue, 0.0, 1.0);
  const double hi = std::max({r, g, b});
  const double lo = std::min({r, g, b});
  const double l = (hi + lo) / 2.0;
  if (hi == lo) return {0.0, 0.0, l};
  const double d = hi - lo;
  const double s = l <= 0.5 ? d / (hi + lo) : d / (2.0 - hi - lo);
  double h;
  if (hi == r)
    h = (g - b) / d + (g < b ? 6.0 : 0.0);
  else if (hi == g)
    h = (b - r) / d + 2.0;
  else
    h = (r - g) / d + 4.0;
  return {h / 6.0, s, l};
}

inline double hueChannel(double p, double q, double t) {
  if (t < 0.0) t += 1.0;
  if (t > 1.0) t -= 1.0;
  if (t < 1.0 / 6.0) return p + (q - p) * 6.0 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3.0) return p + (q - p) * (2.0 / 3.0 - t) * 6.0;
  return p;
}

inline Colour3 colourOf(const Hsl& c) {
  const double l = c.lightness, s = c.saturation;
  if (s <= 0.0) return {l, l, l};
  const double q = l < 0.5 ? l * (1.0 + s) : l + s - l * s;
  const double p = 2.0 * l - q;
  return {hueChannel(p, q, c.hue + 1.0 / 3.0), hueChannel(p, q, c.hue),
          hueChannel(p, q, c.hue - 1.0 / 3.0)};
}

// Perceived brightness of the colour with this hue and saturation at lightness one half.
inline double hueBrightness(double hue, double saturation) {
  const Colour3 c = colourOf(Hsl{hue, saturation, 0.5});
  return 0.28 * c.red + 0.52 * c.green + 0.2 * c.blue;
}

// Perceived brightness of a colour: its lightness mapped so that lightness one half gives
// the hue's own brightness.
inline double perceived(const Hsl& c) {
  const double y = hueBrightness(c.hue, c.saturation);
  return c.lightness > 0.5 ? (c.lightness - 0.5) * 2.0 * (1.0 - y) + y : 2.0 * c.lightness * y;
}

// The lightness at which a hue of brightness `y` is perceived as `brightness`; the inverse
// of perceived().
inline double lightnessFor(double y, double brightness) {
  if (brightness >= 1.0) return 1.0;
  if (brightness <= 0.0) return 0.0;
  y = std::clamp(y, 0.0, 1.0);
  // y = 1 never takes the first branch and y = 0 always does, so neither divides by zero.
  return brightness > y ? 0.5 + 0.5 * (brightness - y) / (1.0 - y) : 0.5 * brightness / y;
}

// The colour of this hue and saturation perceived as `brightness`.
inline Colour3 makeColour(double hue, double saturation, double brightness) {
  return colourOf(Hsl{hue, saturation, lightnessFor(hueBrightness(hue, saturation), brightness)});
}

// Weighted brightness of fixed-point channels, as a double (1 = white).
inline double luma(const Fixed3& c) {
  return double((77 * c.red + 150 * c.green + 28 * c.blue) >> 8) / 32768.0;
}

// The dextrous mode's curve: how far `s` stands above or below `m`, mapped to 0..1 with
// equal values at one half.
inline double dextrous(double s, double m) {
  const double r = s < m ? (m > 0.0 ? s / (2.0 * m) : 1.0) : (s > 0.0 ? 1.0 - m / (2.0 * s) : 1.0);
  return std::min(r, 1.0);
}

}  // namespace orichalcumite::detail
