// The texture pass: stamps the repeating texture tile into the height field, one row at a
// time, scaled by the texture zoom and shifted by the texture pan.
#pragma once

#include <cstdint>

namespace orichalcumite {

class Picture;

// Samples the tile's green channel (0..1) at `count` positions (u[i], v) in tile units 0..1.
// Called once per row, never per pixel.
using TextureRowSampler = void (*)(const void* tile, const float* u, float v, int32_t count,
                                   float* green);

// A tile to sample: the tile object, its row sampler and its size in texels.
struct TextureTile {
  const void* tile = nullptr;
  TextureRowSampler sampleRow = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

// The texture tile held in a Picture, sampled with its normalised 5 x 5 sampler at level 0
// without level blending. A null picture gives an empty tile.
TextureTile pictureTextureTile(const Picture* picture);

// The settings of the texture pass.
struct TextureParams {
  int choice = 1;  // TextureChoice; 1 ("none") turns the pass off
  int strength = 0;
  int zoom = 0;
  int panX = 0;
  int panY = 0;
  // Image coordinates of the region's top-left corner in a preview render; 0 otherwise.
  int previewLeft = 0;
  int previewTop = 0;
  TextureTile tile;
};

// Z for a zoom setting: the whole part of 100 x 2^(4 - zoom x 7 / 100), with the exponent
// rounded to single precision; zoom 0 gives 1600, 100 gives 12. Held in 1..2^24 so that no
// setting divides by zero or overflows.
int32_t textureZoomFactor(int zoom);

// Everything a texture row needs, derived once per render.
struct TexturePlan {
  bool active = false;  // false: the pass does nothing
  int32_t zoomFactor = 1;
  float factor = 0.0f;  // f: the depth changes by 2 x t x 255 x f
  int64_t step = 0;     // image pixel to texel step in 1/128 texels, times 100
  int64_t offsetX = 0;  // pan (and preview offset) in 1/128 texels
  int64_t offsetY = 0;
  TextureTile tile;
};

// Inactive when the choice is 1, the tile is missing or empty, or the strength is 0.
TexturePlan texturePlan(const TextureParams& params, int previewScale);

// A tile coordinate reduced to its fraction so that the tile repeats: t - trunc(t) for
// t >= 0, t - trunc(t - 1) below, so negative whole numbers give 1 rather than 0.
float wrapTileCoordinate(double t);

// Tile coordinates of row y: u[x] for the `count` pixels of the row and v, each in 0..1
// (a negative whole tile position maps to 1). Pixel x sits at
// (x x step / 100 + offsetX - 2) / 128 texels, wrapped into the tile.
void textureRowCoordinates(const TexturePlan& plan, int32_t y, int32_t count, float* u, float& v);

// The u of textureRowCoordinates alone, which is the same for every row.
void textureColumnCoordinates(const TexturePlan& plan, int32_t count, float* u);

// The pass over `count` depths of region row y: each depth changes by
// -2 x ((t x -255) x f), t the green of the tile at the pixel. `scratch` holds 2 x count
// floats. Does nothing for an inactive plan.
void applyTextureRow(float* depths, int32_t count, int32_t y, const TexturePlan& plan,
                     float* scratch);
// The same with the row's u given (from textureColumnCoordinates); `green` holds count floats.
void applyTextureRowAt(float* depths, int32_t count, int32_t y, const TexturePlan& plan,
                       const float* u, float* green);

}  // namespace orichalcumite
