// How the band kernels lay out their work: the columns of one chunk of a row, the weathering
// hook they call, and the scratch that the bands of a render share. The kernels themselves and
// their choice are in render/surface_shader.h; the plan they read in render/shading_plan.h.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/random_generator.h"
#include "render/weathering.h"

namespace orichalcumite {

struct ShadingPlan;
struct ShadingScratch;
class WeatheringCarry;

// ---------------------------------------------------------------------------------------------
// Chunk columns.
//
// The lit kernels shade a row in chunks of up to kShadingChunk pixels, pass by pass over the
// chunk's columns (ShadingColumns): the arithmetic passes run as vector code, the table and
// picture look-ups one pixel at a time.

inline constexpr int kShadingChunk = 128;

// One light's part of a chunk, per pixel.
struct LightColumns {
  float pass[kShadingChunk];        // the gobo's share of the light colour, 0..1
  float level[kShadingChunk];       // the diffuse level: response + 256
  float response[kShadingChunk];    // the diffuse kernel's response
  float diffuse[kShadingChunk];     // the diffuse light on the source: level as it reaches
                                    // the colour (glass, compression, Dw) x pass / 65536
  float specular[kShadingChunk];    // spot x pass / 256
  float glare[kShadingChunk];       // whole(glare x Gl') x pass / 65536
  float catchlight[kShadingChunk];  // caustic x pass / 65536, before the catchlight colour
};

// A chunk of a row, per pixel (index 0 is the chunk's first pixel).
struct ShadingColumns {
  float source[3][kShadingChunk];     // the source colour, whole 0..255 units
  float slope[kShadingChunk];         // surfaceSlope
  float tint[3][kShadingChunk];       // iridescence / 256
  float catchTint[3][kShadingChunk];  // catchlight colour / 256
  float points[6][kShadingChunk];     // environment points A.u, A.v, B.u, B.v, C.u, C.v
  float footprintU[kShadingChunk];    // their footprint: centre and level of detail
  float footprintV[kShadingChunk];
  float levelOfDetail[kShadingChunk];
  float reflected[3][kShadingChunk];  // environment x W
  float mirrored[3][kShadingChunk];   // the glass's mirrored environment term
  float wet[kShadingChunk];           // share of specular light / 256 (weathering)
  float colour[3][kShadingChunk];     // the assembled colour, 0..255 units, not yet limited
  LightColumns lights[2];
};

// ---------------------------------------------------------------------------------------------
// Weathering hook.
//
// The kernels take the weathering layers as a template parameter chosen with the kernel when
// the plan is made, so that a render without weathering pays nothing for it. A weathering type
// provides the members of NoWeathering below; a lit kernel calls, per row, beginRow once, then
// per chunk wet (before the colour is assembled) and apply (after); the "height" material calls
// beginRow and heightTerms.

// The relief terms the "height" material takes from the moss and lichen layers.
struct HeightMaterialTerms {
  float mossRelief = 0.0f;
  float mossCoverage = 0.0f;
  float blotchCoverage = 0.0f;
  float blotchValue = 0.0f;
};

// No weathering: every hook leaves the colour alone.
struct NoWeathering {
  // False skips the calls below altogether.
  static constexpr bool kActive = false;
  NoWeathering(const ShadingPlan&, ShadingScratch&) {}
  // Before the pixels of region row y are shaded (the water flows here).
  void beginRow(int32_t /*y*/) {}
  // Fills columns.wet[0..count) for the chunk of region row y starting at region column x0:
  // share of specular light (a water stain dulls it), 1 for none.
  void wet(int32_t /*y*/, int32_t /*x0*/, int32_t /*count*/, ShadingColumns& /*columns*/) {}
  // Lays the layers over columns.colour of the chunk. The lighting of each pixel is in the
  // columns: light k's colour after the gobo is plan.lights[k].colour x lights[k].pass; the
  // unlit material counts one light of colour 256 and diffuse level 256 (its columns are not
  // filled).
  void apply(int32_t /*y*/, int32_t /*x0*/, int32_t /*count*/, ShadingColumns& /*columns*/) {}
  HeightMaterialTerms heightTerms(int32_t /*x*/, int32_t /*y*/) const { return {}; }
};

// Scratch for the band kernels, made once per render for the region's width: one per band that
// may shade at once. Bands that shade in turn share one, which carries the water and the
// generator from band to band; bands that shade at once each start from the carried state
// recorded for their first row.
struct ShadingScratch {
  std::unique_ptr<ShadingColumns> columns;
  // Reflection coordinates shared between neighbouring pixels and rows (regionWidth + 2).
  std::vector<float> acrossThisRow, acrossNextRow, downAboveRow, downThisRow;
  std::vector<float> columnSums;  // regionWidth + 6
  std::vector<float> curvature;   // regionWidth
  // The water and the rows the weathering layers carry from row to row.
  WeatheringScratch weathering;
  // The render's own pseudo-random generator: the plan draws its tables from it, then the
  // weathering layers draw from it row by row. Only the thread shading this scratch's band
  // uses it.
  RandomGenerator random;
  // When set, a weathered band first takes the water and the generator as its first row finds
  // them from here; when not, it continues from the band before it. Shared, read only.
  const WeatheringCarry* carry = nullptr;
  // Sizes the buffers; false when memory runs out.
  bool prepare(int32_t regionWidth);
};

}  // namespace orichalcumite
