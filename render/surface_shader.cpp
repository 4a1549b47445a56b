#include "render/surface_shader.h"

#include <algorithm>
#include <utility>

#include "render/weathering_layers.h"

namespace orichalcumite {
namespace {

// The source channel in 0..255 units: the whole part of channel x 255. High-dynamic-range
// sources are kept up to 256 times white; NaN counts as black.
inline float sourceChannel8(float v) {
  v = v > 0.0f ? std::min(v, 256.0f) : 0.0f;
  return static_cast<float>(static_cast<int32_t>(v * 255.0f));
}

// A material channel limited to 0..255 and stored as 0..1; NaN becomes 0.
inline float materialChannel(float c) {
  return (c > 0.0f ? std::min(c, 255.0f) : 0.0f) * (1.0f / 255.0f);
}

inline Rgba greyMaterial(float grey) {
  const float v = materialChannel(grey);
  return {v, v, v, 1.0f};
}

// Rows of the height field around one region row.
struct FieldRows {
  const float* above;
  const float* row;
  const float* below;
};

inline FieldRows fieldRows(const HeightView& h, int32_t y) {
  const float* row = h.origin + static_cast<std::ptrdiff_t>(y) * h.stride;
  return {row - h.stride, row, row + h.stride};
}

inline QuadHeights quadAt(const FieldRows& r, int32_t x) {
  return {r.row[x], r.row[x + 1], r.below[x], r.below[x + 1]};
}

// ---- The passes of the lit kernels over one chunk: `xs` is the region column of the chunk's
// first pixel, `n` its pixel count.

// The source colours into columns.
inline void sourcePass(const Rgba* in, int n, ShadingColumns& cols) {
  for (int i = 0; i < n; ++i) {
    cols.source[0][i] = sourceChannel8(in[i].red);
    cols.source[1][i] = sourceChannel8(in[i].green);
    cols.source[2][i] = sourceChannel8(in[i].blue);
  }
}

// Slope and every light's diffuse, specular, glare and catchlight terms.
template <int kLights, bool kGlassy>
void lightPass(const ShadingPlan& plan, const FieldRows& rows, int32_t xs, int32_t y, int n,
               ShadingColumns& cols) {
  const float* __restrict top = rows.row + xs;
  const float* __restrict bottom = rows.below + xs;
  float* __restrict slope = cols.slope;
  for (int i = 0; i < n; ++i)
    slope[i] = surfaceSlope({top[i], top[i + 1], bottom[i], bottom[i + 1]});

  const float diffuseShare = plan.diffuseWeight * (1.0f / 256.0f);
  const float glassDiffuse = plan.glassDiffuse;
  const float radius = plan.glareRadius;
  const float inverseRadius = plan.inverseGlareRadius;
  const float spotScale = plan.spotScale;
  const float glossPerDivisor = plan.glossPerDivisor;
  const float profileLast = plan.profileLast;
  const float fade = plan.glareFade;
  const float inverseFade = plan.inverseGlareFade;
  const float glareGlass = plan.glareGlass;
  const float causticGain = plan.causticGain;
  const float causticOffset = plan.causticOffset;
  const float causticStrength = plan.causticStrength;
  for (int k = 0; k < kLights; ++k) {
    const LightPlan& l = plan.lights[static_cast<size_t>(k)];
    const KernelWeights diffuse = l.diffuse;
    const KernelWeights specular = l.specular;
    const KernelWeights caustic = l.caustic;
    const float es = l.specularOffset;
    const float goboStart =
        l.goboOrigin + l.goboStepY * static_cast<float>(y) + l.goboStepX * static_cast<float>(xs);
    const float goboStep = l.goboStepX;
    const float goboFloor = l.goboFloor;
    const float goboGain = l.goboGain;
    LightColumns& c = cols.lights[k];
    float* __restrict passOut = c.pass;
    float* __restrict levelOut = c.level;
    float* __restrict responseOut = c.response;
    float* __restrict diffuseOut = c.diffuse;
    float* __restrict specularOut = c.specular;
    float* __restrict glareOut = c.glare;
    float* __restrict catchOut = c.catchlight;
    for (int i = 0; i < n; ++i) {
      const QuadHeights h{top[i], top[i + 1], bottom[i], bottom[i + 1]};
      const float pass =
          goboLevel(goboStart + goboStep * static_cast<float>(i), goboFloor, goboGain);
      const float response = kernelResponse(diffuse, h);
      const float level = response + 256.0f;
      const float p = kernelResponse(specular, h);
      const float q = rotatedResponse(specular, h);
      passOut[i] = pass;
      levelOut[i] = level;
      responseOut[i] = response;
      diffuseOut[i] = diffuseLevel(level, glassDiffuse, diffuseShare) * pass * (1.0f / 65536.0f);
      specularOut[i] =
          spotLevel(p, q, es, radius, inverseRadius, spotScale) * pass * (1.0f / 256.0f);
      if constexpr (kGlassy) {
        const float gloss = squareGloss(p, q, es, radius, glossPerDivisor);
        const float glare = glareLevel(gloss, response, h.h00, profileLast, fade, inverseFade);
        glareOut[i] = wholePart(glare * glareGlass) * pass * (1.0f / 65536.0f);
        catchOut[i] =
            causticLevel(kernelResponse(caustic, h), causticGain, causticOffset, causticStrength) *
            pass * (1.0f / 65536.0f);
      }
    }
  }
}

// The iridescence tint and, for glass, the catchlight colour: table look-ups.
template <bool kGlassy> void tintPass(const ShadingPlan& plan, int n, ShadingColumns& cols) {
  constexpr float k = 1.0f / 256.0f;
  for (int i = 0; i < n; ++i) {
    const ColourTriple t = iridescenceAt(plan.iridescence, cols.slope[i]);
    cols.tint[0][i] = t.red * k;
    cols.tint[1][i] = t.green * k;
    cols.tint[2][i] = t.blue * k;
  }
  if constexpr (kGlassy) {
    for (int i = 0; i < n; ++i) {
      const ColourTriple& t = causticColourAt(plan.causticColours, cols.slope[i],
                                              plan.causticIndexBase, plan.causticIndexStep);
      cols.catchTint[0][i] = t.red * k;
      cols.catchTint[1][i] = t.green * k;
      cols.catchTint[2][i] = t.blue * k;
    }
  }
}

// Reflection coordinates of the height differences across (x to x + 1) row `y` for region
// columns x0 - 1 .. x0 + count - 1, stored from index 0.
void fillAcross(const ReflectionCoordinateTable& table, const HeightView& heights, int32_t y,
                int32_t x0, int32_t count, float* out) {
  const float* row = heights.origin + static_cast<std::ptrdiff_t>(y) * heights.stride + x0 - 1;
  for (int32_t j = 0; j <= count; ++j) out[j] = table.at(row[j + 1] - row[j]);
}

// Reflection coordinates of the height differences down (y to y + 1) for region columns
// x0 .. x0 + count, stored from index 1.
void fillDown(const ReflectionCoordinateTable& table, const HeightView& heights, int32_t y,
              int32_t x0, int32_t count, float* out) {
  const float* row = heights.origin + static_cast<std::ptrdiff_t>(y) * heights.stride + x0 - 1;
  const float* below = row + heights.stride;
  for (int32_t j = 1; j <= count + 1; ++j) out[j] = table.at(below[j] - row[j]);
}

// The band's reflection coordinates, kept from row to row: the pixel at cache index j (its
// region column minus the unit's first, plus 1) looks at A = (across(y + 1)[j - 1],
// down(y)[j]), B = (across(y)[j], down(y - 1)[j + 1]), C = (across(y + 1)[j], down(y)[j + 1]),
// so that every difference is looked up once for the two rows and two pixels that share it.
struct FlatCoordinates {
  float* acrossThisRow;
  float* acrossNextRow;
  float* downAboveRow;
  float* downThisRow;
};

// The three environment points of each pixel, turned by the spin, into `points` (A.u, A.v,
// B.u, B.v, C.u, C.v).
template <ReflectionMode kReflection>
void pointPass(const ShadingPlan& plan, const FieldRows& rows, const FlatCoordinates& flat,
               int32_t c0, int32_t xs, int32_t y, int n, float (&points)[6][kShadingChunk]) {
  const float cosT = plan.spinCos;
  const float sinT = plan.spinSin;
  float* __restrict au = points[0];
  float* __restrict av = points[1];
  float* __restrict bu = points[2];
  float* __restrict bv = points[3];
  float* __restrict cu = points[4];
  float* __restrict cv = points[5];
  auto store = [&](int i, EnvironmentPoint a, EnvironmentPoint b, EnvironmentPoint c) {
    a = spunPoint(a, cosT, sinT);
    b = spunPoint(b, cosT, sinT);
    c = spunPoint(c, cosT, sinT);
    au[i] = a.u, av[i] = a.v, bu[i] = b.u, bv[i] = b.v, cu[i] = c.u, cv[i] = c.v;
  };
  if constexpr (kReflection == ReflectionMode::flat) {
    const float* __restrict acrossThis = flat.acrossThisRow + c0 + 1;
    const float* __restrict acrossNext = flat.acrossNextRow + c0 + 1;
    const float* __restrict downAbove = flat.downAboveRow + c0 + 1;
    const float* __restrict downThis = flat.downThisRow + c0 + 1;
    for (int i = 0; i < n; ++i)
      store(i, {acrossNext[i - 1], downThis[i]}, {acrossThis[i], downAbove[i + 1]},
            {acrossNext[i], downThis[i + 1]});
  } else {
    const float* __restrict above = rows.above + xs;
    const float* __restrict top = rows.row + xs;
    const float* __restrict bottom = rows.below + xs;
    const float positionV = plan.spherePositionV + plan.spherePositionStepV * static_cast<float>(y);
    const float positionU =
        plan.spherePositionU + plan.spherePositionStepU * static_cast<float>(xs);
    const float stepU = plan.spherePositionStepU;
    for (int i = 0; i < n; ++i) {
      const float u = positionU + stepU * static_cast<float>(i);
      const float h00 = top[i], h10 = top[i + 1], h01 = bottom[i], h11 = bottom[i + 1];
      store(i, spherePoint(u + (h01 - bottom[i - 1]), positionV + (h01 - h00)),
            spherePoint(u + (h10 - h00), positionV + (h10 - above[i + 1])),
            spherePoint(u + (h11 - h01), positionV + (h11 - h10)));
    }
  }
}

// The environment over each pixel's footprint, times the reflection strength; for partly
// reflective glass also the mirrored sample.
template <bool kMirror> void environmentPass(const ShadingPlan& plan, int n, ShadingColumns& cols) {
  const EnvironmentSampler& environment = *plan.environment;
  const auto& points = cols.points;
  float* u = cols.footprintU;
  float* v = cols.footprintV;
  float* lod = cols.levelOfDetail;
  environment.footprints(points[0], points[1], points[2], points[3], points[4], points[5], n, u, v,
                         lod);
  environment.sampleFootprints(u, v, lod, n, cols.reflected[0], cols.reflected[1],
                               cols.reflected[2]);
  const float base = plan.reflectionBase;
  const float slopeGain = plan.reflectionSlopeGain;
  float* __restrict red = cols.reflected[0];
  float* __restrict green = cols.reflected[1];
  float* __restrict blue = cols.reflected[2];
  const float* __restrict slope = cols.slope;
  for (int i = 0; i < n; ++i) {
    const float w = reflectionStrength(slope[i], base, slopeGain);
    red[i] *= w;
    green[i] *= w;
    blue[i] *= w;
  }
  if constexpr (kMirror) {
    for (int i = 0; i < n; ++i) {
      // Glass also shows the environment behind the viewer, turned half round, over the same
      // footprint.
      const int level = static_cast<int>(lod[i]);
      const Rgba e2 = environment.sampleAt(1.0f - points[4][i], 1.0f - points[5][i], level,
                                           lod[i] - static_cast<float>(level));
      const float m = plan.mirrorGain * reflectionStrength(cols.slope[i], plan.reflectionBase,
                                                           plan.reflectionSlopeGain);
      cols.mirrored[0][i] = e2.red * cols.source[0][i] * m;
      cols.mirrored[1][i] = e2.green * cols.source[1][i] * m;
      cols.mirrored[2][i] = e2.blue * cols.source[2][i] * m;
    }
  }
}

// C = tint x (specular x wet + diffuse + reflection) + glare and catchlights + mirrored; for
// the unlit material C = source x Dw / 256 + reflection + mirrored, without the tint.
template <int kLights, bool kGlassy, bool kReflects, bool kMirror, bool kWet>
void assemblyPass(const ShadingPlan& plan, int n, ShadingColumns& cols) {
  constexpr bool kUnlit = kLights == 0;
  const float diffuseShare = plan.diffuseWeight * (1.0f / 256.0f);
  for (int ch = 0; ch < 3; ++ch) {
    const float* __restrict source = cols.source[ch];
    const float* __restrict tint = cols.tint[ch];
    const float* __restrict reflected = cols.reflected[ch];
    const float* __restrict mirrored = cols.mirrored[ch];
    const float* __restrict catchTint = cols.catchTint[ch];
    const float* __restrict wet = cols.wet;
    float* __restrict colour = cols.colour[ch];
    const float light1 = plan.lights[0].colour[ch];
    const float light2 = plan.lights[1].colour[ch];
    const LightColumns& l1 = cols.lights[0];
    const LightColumns& l2 = cols.lights[1];
    for (int i = 0; i < n; ++i) {
      float diffuse;
      float specular = 0.0f;
      float glow = 0.0f;
      if constexpr (kUnlit) {
        diffuse = source[i] * diffuseShare;
      } else {
        float level = l1.diffuse[i] * light1;
        specular = l1.specular[i] * light1;
        if constexpr (kGlassy) glow = (l1.glare[i] + l1.catchlight[i] * catchTint[i]) * light1;
        if constexpr (kLights == 2) {
          level += l2.diffuse[i] * light2;
          specular += l2.specular[i] * light2;
          if constexpr (kGlassy) glow += (l2.glare[i] + l2.catchlight[i] * catchTint[i]) * light2;
        }
        diffuse = source[i] * level;
        if constexpr (kWet) specular *= wet[i];
      }
      float c = specular + diffuse;
      if constexpr (kReflects) c += reflected[i];
      // No light reaches the unlit material through the iridescent film.
      if constexpr (!kUnlit) c *= tint[i];
      if constexpr (kGlassy) c += source[i] * glow;
      if constexpr (kMirror) c += mirrored[i];
      colour[i] = c;
    }
  }
}

// The material colours into the band.
inline void writePass(const ShadingColumns& cols, int n, Rgba* out) {
  for (int i = 0; i < n; ++i)
    out[i] = {materialChannel(cols.colour[0][i]), materialChannel(cols.colour[1][i]),
              materialChannel(cols.colour[2][i]), 1.0f};
}

// The lit materials. kLights 0 is the unlit material: the source colour at the diffuse
// weight plus the reflection: no lights and no iridescent tint.
template <int kLights, bool kGlassy, ReflectionMode kReflection, bool kMirror, class Weathering>
void shadeLitBand(const ShadingPlan& plan, BandBuffer& band, const Rect32& region,
                  ShadingScratch& scratch) {
  constexpr bool kReflects = kReflection != ReflectionMode::none;
  const Rect32& unit = band.unit();
  const int32_t x0 = unit.left - region.left;
  const int32_t count = unit.width();
  ShadingColumns& cols = *scratch.columns;
  Weathering weathering(plan, scratch);

  const ReflectionCoordinateTable& table = reflectionCoordinateTable();
  FlatCoordinates flat{scratch.acrossThisRow.data(), scratch.acrossNextRow.data(),
                       scratch.downAboveRow.data(), scratch.downThisRow.data()};
  if constexpr (kReflection == ReflectionMode::flat) {
    const int32_t first = unit.top - region.top;
    fillAcross(table, plan.heights, first, x0, count, flat.acrossThisRow);
    fillDown(table, plan.heights, first - 1, x0, count, flat.downAboveRow);
  }

  for (int32_t y = unit.top; y < unit.bottom; ++y) {
    const int32_t yr = y - region.top;
    const FieldRows rows = fieldRows(plan.heights, yr);
    if constexpr (Weathering::kActive) weathering.beginRow(yr);
    if constexpr (kReflection == ReflectionMode::flat) {
      fillAcross(table, plan.heights, yr + 1, x0, count, flat.acrossNextRow);
      fillDown(table, plan.heights, yr, x0, count, flat.downThisRow);
    }
    Rgba* out = band.pixel(unit.left, y);
    for (int32_t c0 = 0; c0 < count; c0 += kShadingChunk) {
      const int n = static_cast<int>(std::min<int32_t>(kShadingChunk, count - c0));
      const int32_t xs = x0 + c0;
      sourcePass(out + c0, n, cols);
      lightPass<kLights, kGlassy>(plan, rows, xs, yr, n, cols);
      if constexpr (kLights > 0) tintPass<kGlassy>(plan, n, cols);
      if constexpr (kReflects) {
        pointPass<kReflection>(plan, rows, flat, c0, xs, yr, n, cols.points);
        environmentPass<kMirror>(plan, n, cols);
      }
      if constexpr (Weathering::kActive) weathering.wet(yr, xs, n, cols);
      assemblyPass<kLights, kGlassy, kReflects, kMirror, Weathering::kActive>(plan, n, cols);
      if constexpr (Weathering::kActive) weathering.apply(yr, xs, n, cols);
      writePass(cols, n, out + c0);
    }
    std::swap(flat.acrossThisRow, flat.acrossNextRow);
    std::swap(flat.downAboveRow, flat.downThisRow);
  }
}

// The "caustic" material: the catchlights alone, in the light's colour times the source.
template <int kLights>
void shadeCausticBand(const ShadingPlan& plan, BandBuffer& band, const Rect32& region,
                      ShadingScratch&) {
  const Rect32& unit = band.unit();
  for (int32_t y = unit.top; y < unit.bottom; ++y) {
    const int32_t yr = y - region.top;
    const FieldRows rows = fieldRows(plan.heights, yr);
    Rgba* out = band.pixel(unit.left, y);
    for (int32_t x = unit.left; x < unit.right; ++x, ++out) {
      const int32_t xr = x - region.left;
      const QuadHeights h = quadAt(rows, xr);
      const float source[3] = {sourceChannel8(out->red), sourceChannel8(out->green),
                               sourceChannel8(out->blue)};
      const ColourTriple& tint = causticColourAt(plan.causticColours, surfaceSlope(h),
                                                 plan.causticIndexBase, plan.causticIndexStep);
      const float tints[3] = {tint.red, tint.green, tint.blue};
      float colour[3] = {0.0f, 0.0f, 0.0f};
      for (int k = 0; k < kLights; ++k) {
        const LightPlan& l = plan.lights[static_cast<size_t>(k)];
        const float pass = goboLevel(l.goboOrigin + l.goboStepX * static_cast<float>(xr) +
                                         l.goboStepY * static_cast<float>(yr),
                                     l.goboFloor, l.goboGain);
        const float catchlight = causticLevel(kernelResponse(l.caustic, h), plan.causticGain,
                                              plan.causticOffset, plan.causticStrength) *
                                 (1.0f / 256.0f);
        for (int c = 0; c < 3; ++c)
          colour[c] += catchlight * tints[c] * source[c] * l.colour[c] * pass * (1.0f / 65536.0f);
      }
      *out = {materialChannel(colour[0]), materialChannel(colour[1]), materialChannel(colour[2]),
              1.0f};
    }
  }
}

// The "tarnish" (hollows) and "abrasion" (ridges) materials: the scaled curvature as grey
// where it has the layer's sign, black elsewhere.
template <bool kHollows>
void shadeCurvatureBand(const ShadingPlan& plan, BandBuffer& band, const Rect32& region,
                        ShadingScratch& scratch) {
  const Rect32& unit = band.unit();
  const int32_t x0 = unit.left - region.left;
  const int32_t count = unit.width();
  float* curvature = scratch.curvature.data();
  for (int32_t y = unit.top; y < unit.bottom; ++y) {
    curvatureRow(plan.heights, y - region.top, x0, count, scratch.columnSums.data(), curvature);
    Rgba* out = band.pixel(unit.left, y);
    for (int32_t i = 0; i < count; ++i, ++out) {
      const float j = scaledCurvature(curvature[i], plan.hollowScale, plan.ridgeScale);
      *out = greyMaterial(kHollows ? -j : j);
    }
  }
}

// The "height" material: the field as grey from white on the highest ground to black on the
// deepest, with the moss and lichen relief of the weathering layers.
template <class Weathering>
void shadeHeightBand(const ShadingPlan& plan, BandBuffer& band, const Rect32& region,
                     ShadingScratch& scratch) {
  const Rect32& unit = band.unit();
  Weathering weathering(plan, scratch);
  const float top = plan.heightTop;
  const float inverseRange = 1.0f / plan.heightRange;
  for (int32_t y = unit.top; y < unit.bottom; ++y) {
    const int32_t yr = y - region.top;
    const float* row = fieldRows(plan.heights, yr).row;
    weathering.beginRow(yr);
    Rgba* out = band.pixel(unit.left, y);
    for (int32_t x = unit.left; x < unit.right; ++x, ++out) {
      const int32_t xr = x - region.left;
      const HeightMaterialTerms t = weathering.heightTerms(xr, yr);
      const float depth = (row[xr] - plan.heightMinimum) * top -
                          4.0f * t.mossRelief * t.mossCoverage - t.blotchCoverage * t.blotchValue +
                          plan.blotchDarkening;
      *out = greyMaterial(top - depth * inverseRange);
    }
  }
}

template <int kLights, bool kGlassy, class W> BandKernel litKernel(const ShadingPlan& p) {
  // The mirrored sample needs glassiness, which the plain lit kernels do not have.
  constexpr bool kCanMirror = kGlassy || kLights == 0;
  switch (p.reflection) {
    case ReflectionMode::none:
      return &shadeLitBand<kLights, kGlassy, ReflectionMode::none, false, W>;
    case ReflectionMode::flat:
      if constexpr (kCanMirror) {
        if (p.mirror) return &shadeLitBand<kLights, kGlassy, ReflectionMode::flat, true, W>;
      }
      return &shadeLitBand<kLights, kGlassy, ReflectionMode::flat, false, W>;
    case ReflectionMode::spherical:
      if constexpr (kCanMirror) {
        if (p.mirror) return &shadeLitBand<kLights, kGlassy, ReflectionMode::spherical, true, W>;
      }
      return &shadeLitBand<kLights, kGlassy, ReflectionMode::spherical, false, W>;
  }
  return &shadeLitBand<kLights, kGlassy, ReflectionMode::none, false, W>;
}

template <class W> BandKernel kernelWith(const ShadingPlan& p) {
  const bool twoLights = p.lightCount >= 2;
  switch (p.material) {
    case ShadingMaterial::tarnishMap: return &shadeCurvatureBand<true>;
    case ShadingMaterial::abrasionMap: return &shadeCurvatureBand<false>;
    case ShadingMaterial::heightMap: return &shadeHeightBand<W>;
    case ShadingMaterial::caustic: return twoLights ? &shadeCausticBand<2> : &shadeCausticBand<1>;
    case ShadingMaterial::unlit: return litKernel<0, false, W>(p);
    case ShadingMaterial::lit: break;
  }
  if (twoLights) return p.glassy ? litKernel<2, true, W>(p) : litKernel<2, false, W>(p);
  return p.glassy ? litKernel<1, true, W>(p) : litKernel<1, false, W>(p);
}

}  // namespace

BandKernel selectBandKernel(const ShadingPlan& p) {
  // Without weathering the kernels are built without it altogether.
  return p.weathering.active ? kernelWith<WeatheringLayers>(p) : kernelWith<NoWeathering>(p);
}

std::unique_ptr<ShadingPlan> makeShadingPlan(const ShadingInputs& inputs) {
  std::unique_ptr<ShadingPlan> plan = deriveShadingPlan(inputs);
  if (plan) plan->kernel = selectBandKernel(*plan);
  return plan;
}

}  // namespace orichalcumite
