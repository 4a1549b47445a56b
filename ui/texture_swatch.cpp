#include "ui/texture_swatch.h"

#include <algorithm>

#include "pictures/picture.h"

namespace orichalcumite {
namespace {

int32_t pannedAxis(int32_t pan, int32_t tile, int32_t delta) {
  if (tile < 1) return pan;
  delta = std::clamp(delta, -tile, tile);
  // pan may come from a settings file: bring it into the tile first so the sum stays positive.
  const int32_t start = ((pan % tile) + tile) % tile;
  return (tile + start - delta) % tile;
}

uint8_t toByte(float v) {
  // NaN reads as 0.
  const float scaled = v > 0.0f ? std::min(v, 1.0f) * 255.0f + 0.5f : 0.0f;
  return static_cast<uint8_t>(scaled);
}

}  // namespace

TexturePan pannedTexture(TexturePan pan, int32_t tileWidth, int32_t tileHeight, int32_t dx,
                         int32_t dy) {
  return {pannedAxis(pan.x, tileWidth, dx), pannedAxis(pan.y, tileHeight, dy)};
}

std::vector<uint8_t> textureSwatchPixels(const Picture* tile, TexturePan pan) {
  constexpr int kSide = kTextureSwatchSide;
  std::vector<uint8_t> rgb(size_t{kSide} * kSide * 3, kTextureSwatchGrey);
  if (tile == nullptr || tile->width() < 1 || tile->height() < 1) return rgb;
  const int w = tile->width(), h = tile->height();
  const int startX = ((pan.x % w) + w) % w, startY = ((pan.y % h) + h) % h;
  uint8_t* out = rgb.data();
  for (int y = 0; y < kSide; ++y) {
    const int ty = (startY + y) % h;
    for (int x = 0; x < kSide; ++x) {
      const Rgba p = tile->readPicturePixel((startX + x) % w, ty, 0);
      *out++ = toByte(p.red);
      *out++ = toByte(p.green);
      *out++ = toByte(p.blue);
    }
  }
  return rgb;
}

}  // namespace orichalcumite
