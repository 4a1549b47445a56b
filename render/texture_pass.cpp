#include "render/texture_pass.h"

#include <algorithm>
#include <cmath>

#include "pictures/picture.h"

namespace orichalcumite {
namespace {

void samplePictureGreen(const void* tile, const float* u, float v, int32_t count, float* green) {
  static_cast<const Picture*>(tile)->sampleGreenRow(u, v, count, green);
}

// Texel position `numerator` / 128 as a tile coordinate: (2u + 1) / (2 x size), wrapped.
float tileCoordinate(int64_t numerator, int32_t size) {
  const double u = static_cast<double>(numerator) / 128.0;
  return wrapTileCoordinate((2.0 * u + 1.0) / (2.0 * size));
}

}  // namespace

float wrapTileCoordinate(double t) {
  return static_cast<float>(t >= 0.0 ? t - std::trunc(t) : t - std::trunc(t - 1.0));
}

TextureTile pictureTextureTile(const Picture* picture) {
  if (!picture) return {};
  return TextureTile{picture, samplePictureGreen, picture->width(), picture->height()};
}

int32_t textureZoomFactor(int zoom) {
  const auto exponent = static_cast<float>(4.0 - zoom * 7.0 / 100.0);
  const double z = 100.0 * std::pow(2.0, static_cast<double>(exponent));
  return static_cast<int32_t>(std::clamp(z, 1.0, 16777216.0));
}

TexturePlan texturePlan(const TextureParams& params, int previewScale) {
  TexturePlan plan;
  const TextureTile& tile = params.tile;
  if (params.choice == 1 || !tile.tile || !tile.sampleRow || tile.width < 1 || tile.height < 1 ||
      params.strength == 0)
    return plan;
  const int scale = std::max(previewScale, 1);
  const int64_t z = textureZoomFactor(params.zoom);
  plan.active = true;
  plan.zoomFactor = static_cast<int32_t>(z);
  plan.factor = (static_cast<float>(params.strength) * -3.0f * 16.0f / static_cast<float>(z)) /
                static_cast<float>(scale * 16);
  plan.step = scale * 128 * z;
  plan.offsetX = int64_t{params.panX} * 128 + int64_t{params.previewLeft} * 128 * z / 100;
  plan.offsetY = int64_t{params.panY} * 128 + int64_t{params.previewTop} * 128 * z / 100;
  plan.tile = tile;
  return plan;
}

void textureColumnCoordinates(const TexturePlan& plan, int32_t count, float* u) {
  for (int32_t x = 0; x < count; ++x)
    u[x] = tileCoordinate(x * plan.step / 100 + plan.offsetX - 2, plan.tile.width);
}

void textureRowCoordinates(const TexturePlan& plan, int32_t y, int32_t count, float* u, float& v) {
  v = tileCoordinate(y * plan.step / 100 + plan.offsetY - 2, plan.tile.height);
  textureColumnCoordinates(plan, count, u);
}

void applyTextureRow(float* depths, int32_t count, int32_t y, const TexturePlan& plan,
                     float* scratch) {
  if (!plan.active || count < 1) return;
  textureColumnCoordinates(plan, count, scratch);
  applyTextureRowAt(depths, count, y, plan, scratch, scratch + count);
}

void applyTextureRowAt(float* depths, int32_t count, int32_t y, const TexturePlan& plan,
                       const float* u, float* green) {
  if (!plan.active || count < 1) return;
  const float v = tileCoordinate(y * plan.step / 100 + plan.offsetY - 2, plan.tile.height);
  plan.tile.sampleRow(plan.tile.tile, u, v, count, green);
  for (int32_t x = 0; x < count; ++x) depths[x] -= 2.0f * ((green[x] * -255.0f) * plan.factor);
}

}  // namespace orichalcumite
