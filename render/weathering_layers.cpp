#include "render/weathering_layers.h"

#include <algorithm>

#include "base/random_generator.h"
#include "render/shading_maths.h"
#include "render/weathering_carry.h"

namespace orichalcumite {
namespace {

// A whole index 0..255 from a non-negative value; NaN gives 255.
inline int tableIndex(float v) { return v < 255.0f ? static_cast<int>(std::max(v, 0.0f)) : 255; }

}  // namespace

WeatheringLayers::WeatheringLayers(const ShadingPlan& plan, ShadingScratch& scratch)
    : plan_(plan), layers_(plan.weathering), scratch_(scratch), state_(scratch.weathering) {
  for (int k = 0; k < 2; ++k)
    for (int ch = 0; ch < 3; ++ch)
      litColour_[k][ch] = plan.lightCount == 0  ? (k == 0 ? 1.0f : 0.0f)
                          : k < plan.lightCount ? plan.lights[static_cast<size_t>(k)].colour[ch]
                                                : 0.0f;
}

void WeatheringLayers::beginRow(int32_t y) {
  const int32_t width = state_.width;
  if (!begun_) {
    begun_ = true;
    if (scratch_.carry) scratch_.carry->restore(y, scratch_.random, state_);
  }
  if (plan_.material != ShadingMaterial::heightMap) {
    if (layers_.curvature) {
      float* j = scratch_.curvature.data();
      curvatureRow(plan_.heights, y, 0, width, scratch_.columnSums.data(), j);
      for (int32_t x = 0; x < width; ++x)
        j[x] = scaledCurvature(j[x], plan_.hollowScale, plan_.ridgeScale);
    }
    if (layers_.rain) {
      if (y == 0) startRain(layers_, scratch_.random, state_);
      flowWater(layers_,
                plan_.heights.origin + static_cast<std::ptrdiff_t>(y) * plan_.heights.stride,
                scratch_.random, state_);
    }
  }
  if (layers_.blotches) advanceBlotchRows(layers_, y, state_);
  if (layers_.moss) advanceMossRows(layers_, plan_.heights, y, state_);
}

void WeatheringLayers::wet(int32_t /*y*/, int32_t x0, int32_t count, ShadingColumns& columns) {
  float* __restrict share = columns.wet;
  if (!layers_.rain) {
    std::fill(share, share + count, 1.0f);
    return;
  }
  const int32_t* water = state_.water.data() + 1 + x0;
  const int32_t evaporation = layers_.evaporationLevel;
  const bool dry = !layers_.wetRain;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t d = water[i] - evaporation;
    stain_[i] = d;
    // A dry stain takes the gloss off: none from d = 128 on.
    share[i] = dry && d > 0 ? static_cast<float>(std::max(0, 256 - 2 * d)) * (1.0f / 256.0f) : 1.0f;
  }
}

void WeatheringLayers::apply(int32_t y, int32_t x0, int32_t count, ShadingColumns& columns) {
  const int n = static_cast<int>(count);
  if (layers_.curvature) litLevels(n, columns, kTarnishSqueeze, litTarnish_);
  if ((layers_.rain && !layers_.wetRain) || layers_.dust)
    litLevels(n, columns, kStainSqueeze, litStain_);
  if (layers_.curvature) tarnish(x0, n, columns);
  if (layers_.rain) stains(n, columns);
  if (layers_.curvature) abrasion(x0, n, columns);
  if (layers_.blotches) lichen(x0, n, columns);
  if (layers_.moss) moss(y, x0, n, columns);
  if (layers_.dust) dust(y, x0, n, columns);
}

HeightMaterialTerms WeatheringLayers::heightTerms(int32_t x, int32_t y) const {
  HeightMaterialTerms t;
  if (layers_.moss) {
    const float n = state_.riseHere[static_cast<size_t>(x)] - layers_.mossThreshold;
    if (n > 0.0f) {
      t.mossCoverage = mossCoverage(n);
      t.mossRelief = state_.riseAbove[static_cast<size_t>(x)] -
                     static_cast<float>(jitterAt(layers_.jitter, x, y));
    }
  }
  if (layers_.blotches) {
    const float b = state_.blotchHere[static_cast<size_t>(x)];
    if (b >= 1.0f) {
      t.blotchCoverage = blotchCoverage(b);
      t.blotchValue = b;
    }
  }
  return t;
}

void WeatheringLayers::litLevels(int count, const ShadingColumns& columns, float squeeze,
                                 float (&levels)[2][kShadingChunk]) const {
  const int lights = plan_.lightCount;
  float* __restrict first = levels[0];
  float* __restrict second = levels[1];
  if (lights == 0) {
    // The unlit material: one light of colour 256 at level 256, so lit(K) = K.
    std::fill(first, first + count, 1.0f);
    std::fill(second, second + count, 0.0f);
    return;
  }
  constexpr float kUnit = 1.0f / 65536.0f;
  const float* __restrict level1 = columns.lights[0].level;
  const float* __restrict pass1 = columns.lights[0].pass;
  for (int i = 0; i < count; ++i) first[i] = layerLevel(level1[i], squeeze) * pass1[i] * kUnit;
  if (lights == 2) {
    const float* __restrict level2 = columns.lights[1].level;
    const float* __restrict pass2 = columns.lights[1].pass;
    for (int i = 0; i < count; ++i) second[i] = layerLevel(level2[i], squeeze) * pass2[i] * kUnit;
  } else {
    std::fill(second, second + count, 0.0f);
  }
}

void WeatheringLayers::tarnish(int32_t x0, int count, ShadingColumns& columns) const {
  curvatureLayer(x0, count, columns, layers_.tarnishColour, -1.0f);
}

void WeatheringLayers::abrasion(int32_t x0, int count, ShadingColumns& columns) const {
  curvatureLayer(x0, count, columns, layers_.abrasionColour, 1.0f);
}

void WeatheringLayers::curvatureLayer(int32_t x0, int count, ShadingColumns& columns,
                                      const LayerColour& colour, float side) const {
  const float* __restrict j = scratch_.curvature.data() + x0;
  const float* __restrict l1 = litTarnish_[0];
  const float* __restrict l2 = litTarnish_[1];
  for (int ch = 0; ch < 3; ++ch) {
    const float k1 = colour[static_cast<size_t>(ch)] * litColour_[0][ch];
    const float k2 = colour[static_cast<size_t>(ch)] * litColour_[1][ch];
    float* __restrict c = columns.colour[ch];
    for (int i = 0; i < count; ++i) {
      const float js = side * j[i];
      const float w = js > 0.0f ? js : 0.0f;
      c[i] = mixToward(c[i], l1[i] * k1 + l2[i] * k2, w);
    }
  }
}

void WeatheringLayers::stains(int count, ShadingColumns& columns) const {
  const StainRamp& ramp = layers_.stainRamp;
  if (layers_.wetRain) {
    // Wet stains darken and tint the colour by the ramp's multiplier.
    for (int i = 0; i < count; ++i) {
      const int32_t d = stain_[i];
      if (d <= 0) continue;
      const LayerColour& s = ramp[static_cast<size_t>(std::min(d, kStainRampEntries - 1))];
      for (int ch = 0; ch < 3; ++ch)
        columns.colour[ch][i] *= s[static_cast<size_t>(ch)] * (1.0f / 256.0f);
    }
    return;
  }
  for (int i = 0; i < count; ++i) {
    const int32_t d = std::min(stain_[i], 255);
    if (d <= 0) continue;
    const LayerColour& s = ramp[static_cast<size_t>(d)];
    const auto w = static_cast<float>(d);
    for (int ch = 0; ch < 3; ++ch)
      columns.colour[ch][i] =
          mixToward(columns.colour[ch][i], lit(litStain_, ch, i, s[static_cast<size_t>(ch)]), w);
  }
}

void WeatheringLayers::lichen(int32_t x0, int count, ShadingColumns& columns) {
  const float* above = state_.blotchAbove.data() + x0;
  const float* here = state_.blotchHere.data() + x0;
  const uint8_t* index = state_.lichenIndex.data() + x0;
  int32_t* water = state_.water.data() + 1 + x0;
  const int lights = plan_.lightCount;
  const int64_t leak = static_cast<int64_t>(layers_.scale) * layers_.leakiness;
  for (int i = 0; i < count; ++i) {
    const float b = here[i];
    if (!(b >= 1.0f)) continue;
    const int32_t d = stain_[i];
    if (layers_.rain) {
      // Lichen soaks up water: less runs on below it.
      water[i] = std::max(0, water[i] - lichenWaterLoss(leak, b));
    }
    const float w = blotchCoverage(b);
    LayerColour x = layers_.lichenRamp[index[i]];
    if (layers_.rain && d > 0) {
      if (layers_.wetRain) {
        const LayerColour& s =
            layers_.stainRamp[static_cast<size_t>(std::min(d, kStainRampEntries - 1))];
        const auto v = static_cast<float>(std::min(d, 255)) * 0.25f;
        for (size_t ch = 0; ch < 3; ++ch)
          x[ch] = mixToward(x[ch], x[ch] * s[ch] * (1.0f / 256.0f), v);
      } else {
        const int32_t dl = std::min(d, 255);
        const LayerColour& s = layers_.stainRamp[static_cast<size_t>(dl)];
        const auto v = static_cast<float>(dl) * 0.5f;
        for (size_t ch = 0; ch < 3; ++ch) x[ch] = mixToward(x[ch], s[ch], v);
      }
    }
    if (lights > 0) {
      // The blotch stands proud of the surface: each height is lowered by the blotch value
      // of the row above it, and the light falls on that relief.
      const QuadHeights bump{above[i], above[i + 1], here[i], here[i + 1]};
      float light[3] = {0.0f, 0.0f, 0.0f};
      for (int k = 0; k < lights; ++k) {
        const LightPlan& l = plan_.lights[static_cast<size_t>(k)];
        const LightColumns& lc = columns.lights[k];
        const float level =
            bumpLevel(lc.response[i] - kernelResponse(l.diffuse, bump)) * lc.pass[i];
        for (int ch = 0; ch < 3; ++ch) light[ch] += level * l.colour[ch];
      }
      for (size_t ch = 0; ch < 3; ++ch) x[ch] *= light[ch] * (1.0f / 65536.0f);
    }
    for (int ch = 0; ch < 3; ++ch)
      columns.colour[ch][i] = mixToward(columns.colour[ch][i], x[static_cast<size_t>(ch)], w);
  }
}

void WeatheringLayers::moss(int32_t y, int32_t x0, int count, ShadingColumns& columns) {
  const float* riseAbove = state_.riseAbove.data();
  const float* riseHere = state_.riseHere.data();
  int32_t* water = state_.water.data() + 1;
  const int lights = plan_.lightCount;
  const float threshold = layers_.mossThreshold;
  const float leak = static_cast<float>(layers_.leakiness * layers_.scale);
  const LayerColour& colour1 = layers_.mossColour1;
  const MossShadeTable& shade = layers_.mossShade;
  for (int i = 0; i < count; ++i) {
    const int32_t x = x0 + i;
    const float n = riseHere[x] - threshold;
    if (!(n > 0.0f)) continue;
    const float w = mossCoverage(n);
    if (layers_.rain) {
      // Moss holds water and lets it seep out below.
      water[x] = std::min(kMaxWater, water[x] + mossWaterGain(leak, w, y));
    }
    const int z = tableIndex(columns.slope[i] * 0.5f);
    const float e = shade[static_cast<size_t>(z)];
    const LayerColour& steep = layers_.mossSlopeRamp[static_cast<size_t>(z)];
    // The first moss colour on gentle slopes, shaded by the light's angle; the ramp of the
    // second on steep ones.
    auto mossColour = [&](float s, size_t ch) {
      return (s * colour1[ch] * (1.0f / 256.0f) * e + steep[ch] * (256.0f - e)) * (1.0f / 256.0f);
    };
    float x3[3];
    if (lights == 0) {
      for (size_t ch = 0; ch < 3; ++ch) x3[ch] = mossColour(shade[0], ch);
    } else {
      const MossJitter j = mossJitter(layers_.jitter, x, y);
      const QuadHeights bump{4.0f * riseAbove[x] + j.j00, 4.0f * riseAbove[x + 1] + j.j10,
                             4.0f * riseHere[x] + j.j01, 4.0f * riseHere[x + 1] + j.j11};
      x3[0] = x3[1] = x3[2] = 0.0f;
      for (int k = 0; k < lights; ++k) {
        const LightPlan& l = plan_.lights[static_cast<size_t>(k)];
        const LightColumns& lc = columns.lights[k];
        const float response = lc.response[i];
        const float level =
            bumpLevel(response - kernelResponse(l.diffuse, bump)) * lc.pass[i] * (1.0f / 65536.0f);
        const float s = shade[static_cast<size_t>(tableIndex(std::fabs(response) * 0.5f))];
        for (size_t ch = 0; ch < 3; ++ch) x3[ch] += level * mossColour(s, ch) * l.colour[ch];
      }
    }
    for (int ch = 0; ch < 3; ++ch)
      columns.colour[ch][i] = mixToward(columns.colour[ch][i], x3[ch], w);
  }
}

void WeatheringLayers::dust(int32_t y, int32_t x0, int count, ShadingColumns& columns) {
  const float* row =
      plan_.heights.origin + static_cast<std::ptrdiff_t>(y) * plan_.heights.stride + x0;
  const float* below = row + plan_.heights.stride;
  const float gain = layers_.dustGain;
  RandomGenerator& random = scratch_.random;
  float* __restrict cover = dustCover_;
  // Dust settles where the surface rises down the image, more on steeper ground.
  for (int i = 0; i < count; ++i)
    cover[i] = dustCover(columns.slope[i], dustRise(row, below, i, gain));
  for (int i = 0; i < count; ++i) {
    if (!(cover[i] > 0.0f)) continue;
    const LayerColour& c =
        layers_.dustPalette[static_cast<size_t>(random.next() & (kDustPaletteEntries - 1))];
    for (int ch = 0; ch < 3; ++ch)
      columns.colour[ch][i] = mixToward(
          columns.colour[ch][i], lit(litStain_, ch, i, c[static_cast<size_t>(ch)]), cover[i]);
  }
}

}  // namespace orichalcumite
