// The weathering hook of the band kernels (see NoWeathering in render/shading_bands.h): lays
// the layers of render/weathering.h over each chunk of lit colours. The kernel that takes it
// is chosen with the plan when any weathering setting is on, so the plain kernels never see
// it.
#pragma once

#include <cstdint>

#include "render/shading_bands.h"
#include "render/shading_plan.h"
#include "render/weathering.h"

namespace orichalcumite {

class WeatheringLayers {
 public:
  static constexpr bool kActive = true;

  // For one band. `scratch` carries the water and the shared rows from band to band, or, when
  // it has a carry record, the band starts from the record at its first row.
  WeatheringLayers(const ShadingPlan& plan, ShadingScratch& scratch);

  // Before the pixels of region row y are shaded: the curvature of the row, the water's
  // flow (the rain starts afresh at row 0), the blotch and moss rows. The "height" material
  // needs only the blotch and moss rows.
  void beginRow(int32_t y);
  // Share of specular light per pixel of the chunk: a dry stain dulls it.
  void wet(int32_t y, int32_t x0, int32_t count, ShadingColumns& columns);
  // Lays the layers over columns.colour, in order: tarnish, water stains, abrasion, lichen,
  // moss, dust.
  void apply(int32_t y, int32_t x0, int32_t count, ShadingColumns& columns);
  // The moss and lichen relief of the "height" material at (x, y) of the row begun last.
  HeightMaterialTerms heightTerms(int32_t x, int32_t y) const;

 private:
  // Per light and pixel of the chunk: the layer level times the gobo's pass / 65536, so that
  // lit(K) = K x (levels[0] x litColour_[0] + levels[1] x litColour_[1]) per channel.
  void litLevels(int count, const ShadingColumns& columns, float squeeze,
                 float (&levels)[2][kShadingChunk]) const;
  // lit(K) for channel ch of pixel i.
  float lit(const float (&levels)[2][kShadingChunk], int ch, int i, float k) const {
    return k * (levels[0][i] * litColour_[0][ch] + levels[1][i] * litColour_[1][ch]);
  }
  void tarnish(int32_t x0, int count, ShadingColumns& columns) const;
  void stains(int count, ShadingColumns& columns) const;
  void abrasion(int32_t x0, int count, ShadingColumns& columns) const;
  // Mixes the lit `colour` in where the curvature lies on `side` (-1 hollows, +1 ridges),
  // by its magnitude there.
  void curvatureLayer(int32_t x0, int count, ShadingColumns& columns, const LayerColour& colour,
                      float side) const;
  void lichen(int32_t x0, int count, ShadingColumns& columns);
  void moss(int32_t y, int32_t x0, int count, ShadingColumns& columns);
  void dust(int32_t y, int32_t x0, int count, ShadingColumns& columns);

  const ShadingPlan& plan_;
  const WeatheringPlan& layers_;
  ShadingScratch& scratch_;
  WeatheringScratch& state_;
  // The chunk's stain depth d = water - evaporation x 9 (set by wet, read by apply).
  int32_t stain_[kShadingChunk] = {};
  // The light colours lit() weighs the levels by: the lights' colours, or for the unlit
  // material 1 for the one light (whose level is 1) and 0 for the other.
  float litColour_[2][3] = {};
  float litTarnish_[2][kShadingChunk] = {};
  float litStain_[2][kShadingChunk] = {};
  float dustCover_[kShadingChunk] = {};
  bool begun_ = false;  // whether a row of the band has begun
};

}  // namespace orichalcumite
