// The per-pixel mathematics of the surface shader: plain inline functions over plain values
// (heights, kernel weights, levels, table entries), with no plan, band or scratch in sight, so
// that each can be called alone. The band kernels (render/surface_shader.cpp) string them
// together.
//
// Units: colours in 0..255 units; levels and weights in 256ths; heights in depth units
// (larger is deeper); environment points in 0..1 across the picture.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "pictures/environment_sampler.h"
#include "render/wavelength_tables.h"

namespace orichalcumite {

struct HeightView;

// A direction kernel (render/shading_plan.h) as floats with the division by 256 folded in:
// response = dot product.
struct KernelWeights {
  float w00 = 0.0f, w10 = 0.0f, w01 = 0.0f, w11 = 0.0f;
};

// The four heights a direction kernel reads: (x, y), (x + 1, y), (x, y + 1), (x + 1, y + 1).
struct QuadHeights {
  float h00 = 0.0f, h10 = 0.0f, h01 = 0.0f, h11 = 0.0f;
};

// A kernel's response: the surface's slope in the kernel's direction.
inline float kernelResponse(const KernelWeights& w, const QuadHeights& h) {
  return w.w00 * h.h00 + w.w10 * h.h10 + w.w01 * h.h01 + w.w11 * h.h11;
}

// The same weights moved one place round the 2 x 2 square and negated: the slope a quarter
// turn further on. With the response this locates the surface's tilt in two dimensions.
inline float rotatedResponse(const KernelWeights& w, const QuadHeights& h) {
  return -(w.w10 * h.h00 + w.w11 * h.h10 + w.w00 * h.h01 + w.w01 * h.h11);
}

// The steepness of the surface: twice the length of its gradient.
inline float surfaceSlope(const QuadHeights& h) {
  const float down = h.h01 - h.h00;
  const float across = h.h10 - h.h00;
  return 2.0f * std::sqrt(down * down + across * across);
}

// How much of a light's colour passes the gobo at band coordinate d (256 on the band's centre
// line, falling to 0 either side, folded back above 256): goboFloor + goboGain x
// smoothstep(d / 256). NaN counts as 0.
inline float goboLevel(float d, float goboFloor, float goboGain) {
  d = d > 0.0f ? d : 0.0f;
  d = d > 256.0f ? std::max(512.0f - d, 0.0f) : d;
  const float s = d * (1.0f / 256.0f);
  return goboFloor + goboGain * s * s * (3.0f - 2.0f * s);
}

// The round specular spot: where the tilt (p, q) lies within the glare radius of (es, es) in
// both directions, (1 - distance / radius) x scale, never below 0; else 0. Written without
// branches (as are the functions below) so that a row of pixels runs as vector code.
// inverseRadius is 1 / radius, or 0 with radius 0.
inline float spotLevel(float p, float q, float es, float radius, float inverseRadius, float scale) {
  const float u = p - es;
  const float v = q - es;
  const bool inside = radius - std::fabs(u) > 0.0f && radius - std::fabs(v) > 0.0f;
  const float spot = (1.0f - std::sqrt(u * u + v * v) * inverseRadius) * scale;
  return inside && spot > 0.0f ? spot : 0.0f;
}

// The square gloss on the far side of the tilt: where (-p, -q) lies within the radius of
// (es, es), (radius - |u|) x (radius - |v|) x strength / divisor (strengthPerDivisor); else 0.
inline float squareGloss(float p, float q, float es, float radius, float strengthPerDivisor) {
  const float su = radius - std::fabs(-p - es);
  const float sv = radius - std::fabs(-q - es);
  return su > 0.0f && sv > 0.0f ? su * sv * strengthPerDivisor : 0.0f;
}

// The caustic catchlight from the caustic kernel's response: 255 less the slope's share
// (response x gain) less the height's offset, never below 0, squared / 64, times strength /
// 256.
inline float causticLevel(float response, float gain, float offset, float strength) {
  float c = 255.0f - std::fabs(response) * gain - offset;
  c = c > 0.0f ? c : 0.0f;
  return c * c * (1.0f / 64.0f) * strength * (1.0f / 256.0f);
}

// The diffuse level of a light as it reaches the colour: the level (256 on flat ground)
// times the part glass lets through, brighter light above 256 compressed to two thirds,
// never below 0, then times the diffuse weight (Dw / 256).
inline float diffuseLevel(float level, float glassDiffuse, float diffuseShare) {
  float l = level * glassDiffuse;
  if (l > 256.0f) l = (l - 256.0f) * (171.0f / 256.0f) + 256.0f;
  l = l > 0.0f ? l : 0.0f;
  return l * diffuseShare;
}

// Glare from the square gloss against the diffuse response: gloss x 171/256 - response. Where
// that is not negative it fades out near the profile's edge depth (within `fade` of
// profileLast; inverseFade = 1 / fade) and is compressed to two thirds above 256; a negative
// value stays as it is (glass darkens where the surface faces the light).
inline float glareLevel(float gloss, float diffuseResponse, float height, float profileLast,
                        float fade, float inverseFade) {
  const float g = gloss * (171.0f / 256.0f) - diffuseResponse;
  const float faded = g * std::min(std::fabs(profileLast - height), fade) * inverseFade;
  const float compressed = faded > 256.0f ? (faded - 256.0f) * (171.0f / 256.0f) + 256.0f : faded;
  return g >= 0.0f ? compressed : g;
}

// Whole part of a value, limited to +-1e9 (such values cannot occur with sane heights, but
// the conversion must stay defined); NaN gives -1e9.
inline float wholePart(float v) {
  constexpr float kLimit = 1e9f;
  v = v > -kLimit ? (v < kLimit ? v : kLimit) : -kLimit;
  return static_cast<float>(static_cast<int32_t>(v));
}

// The picture coordinate a height difference looks at: 0.5 + 0.5 atan(0.010782459 dh),
// limited to 0..1 (flat ground looks at the middle; a difference beyond about +-144.4
// looks at the edge). Exact; the kernels use ReflectionCoordinateTable.
inline float reflectionCoordinate(float dh) {
  const float u = 0.5f + 0.5f * std::atan(0.010782459f * dh);
  return u > 0.0f ? std::min(u, 1.0f) : 0.0f;
}

// reflectionCoordinate by linear interpolation in a table over -144.439..144.439, where the
// arctangent reaches 1 radian and the coordinate 0 or 1; beyond, the coordinate stays there,
// so the table's ends fall on the curve's kinks. Within 1e-6 of the exact value everywhere:
// the curve bends so little over a table step of 0.28 that linear interpolation errs by less
// than 4e-7.
struct ReflectionCoordinateTable {
  static constexpr int kIntervals = 1024;
  static constexpr float kReach = 144.439f;  // tan(1) / 0.010782459
  static constexpr float kStepsPerUnit = kIntervals / (2.0f * kReach);
  // One entry per step end, and the last once more so that the far end interpolates too.
  std::array<float, kIntervals + 2> values{};

  float at(float dh) const {
    float t = (dh + kReach) * kStepsPerUnit;
    // NaN lands on entry 0.
    t = t > 0.0f ? std::min(t, static_cast<float>(kIntervals)) : 0.0f;
    const int i = static_cast<int>(t);
    const float a = values[static_cast<size_t>(i)];
    return a + (values[static_cast<size_t>(i) + 1] - a) * (t - static_cast<float>(i));
  }
};
// The table, built on first use; thread-safe.
const ReflectionCoordinateTable& reflectionCoordinateTable();

// The spherical environment: the point on the picture seen in direction (dx, dy) x 0.01 (the
// pixel's place in the image plus the surface's tilt). Wrapping the picture round a sphere
// seen from its top, the direction's azimuth and polar angle 2 atan(|(a, b)|) / pi come out
// at u = 0.5 + 0.5 a / sqrt(1 + a^2 + b^2), v likewise with b: the sphere's trigonometry
// reduces to this exactly. (0, 0) gives the picture centre.
inline EnvironmentPoint spherePoint(float dx, float dy) {
  const float a = dx * 0.01f;
  const float b = dy * 0.01f;
  const float n = 0.5f / std::sqrt(1.0f + a * a + b * b);
  return {0.5f + a * n, 0.5f + b * n};
}

// A point turned about the picture centre (environmentSpin).
inline EnvironmentPoint spunPoint(const EnvironmentPoint& p, float cosTheta, float sinTheta) {
  const float u = p.u - 0.5f;
  const float v = p.v - 0.5f;
  return {0.5f + u * cosTheta - v * sinTheta, 0.5f + u * sinTheta + v * cosTheta};
}

// The reflection strength at a slope: glassiness moves the reflection from flat ground onto
// slopes. base + slopeGain x min(slope x 140 / 256, 256).
inline float reflectionStrength(float slope, float base, float slopeGain) {
  return base + slopeGain * std::min(slope * (140.0f / 256.0f), 256.0f);
}

// The iridescence table entry at a slope, interpolated between neighbours (the slope / 8 is
// the viewing angle in degrees, 0..89).
inline ColourTriple iridescenceAt(const IridescenceTable& table, float slope) {
  constexpr float kLast = static_cast<float>(kIridescenceEntries - 1);
  const float f = slope > 0.0f ? std::min(slope * 0.125f, kLast) : 0.0f;
  const int i = static_cast<int>(f);
  const int next = std::min(i + 1, kIridescenceEntries - 1);
  const float t = f - static_cast<float>(i);
  const ColourTriple& a = table[static_cast<size_t>(i)];
  const ColourTriple& b = table[static_cast<size_t>(next)];
  return {a.red + (b.red - a.red) * t, a.green + (b.green - a.green) * t,
          a.blue + (b.blue - a.blue) * t};
}

// The catchlight colour entry at a slope: whole part of base + step x slope, limited to 0..92.
inline const ColourTriple& causticColourAt(const CausticColourTable& table, float slope, float base,
                                           float step) {
  const float f = base + step * slope;
  const float limited =
      f > 0.0f ? std::min(f, static_cast<float>(kCausticColourEntries - 1)) : 0.0f;
  return table[static_cast<size_t>(limited)];
}

// Raw curvature of the surface over the 7 x 7 window around each pixel of a region row:
// weights exp(-0.3 (dx^2 + dy^2)) for the neighbours and minus their sum for the centre, so
// flat ground gives exactly 0, hollows (a centre deeper than its surroundings) below 0 and
// ridges above. Writes `count` values for region pixels x0.. of row y. `columnSums` holds
// count + 6 floats of scratch. The field must be readable 3 pixels around the row.
void curvatureRow(const HeightView& heights, int32_t y, int32_t x0, int32_t count,
                  float* columnSums, float* out);

// A raw curvature scaled by the tarnish (hollows) or abrasion (ridges) amount and limited to
// -256..256.
inline float scaledCurvature(float j, float hollowScale, float ridgeScale) {
  j *= j <= 0.0f ? hollowScale : ridgeScale;
  return j > -256.0f ? std::min(j, 256.0f) : -256.0f;
}

}  // namespace orichalcumite
