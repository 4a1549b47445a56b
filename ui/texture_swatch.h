// The texture swatch (50): a 64 × 64 window onto the texture tile at the effect's texture pan,
// dragged to move the tile under it.
#pragma once

#include <cstdint>
#include <vector>

namespace orichalcumite {

class Picture;

constexpr int kTextureSwatchSide = 64;
// The swatch without a texture picture.
constexpr uint8_t kTextureSwatchGrey = 128;

struct TexturePan {
  int32_t x = 0, y = 0;
  friend bool operator==(const TexturePan&, const TexturePan&) = default;
};

// The pan after the pointer moved by (dx, dy) over a tile of tileWidth × tileHeight: the tile
// follows the pointer, each step limited to one tile (so a longer move comes back to where it
// was), and the pan stays in [0, tile size). A tile side below 1 leaves that axis alone.
TexturePan pannedTexture(TexturePan pan, int32_t tileWidth, int32_t tileHeight, int32_t dx,
                         int32_t dy);

// The swatch's pixels: 64 × 64 RGB bytes, rows top to bottom, the tile's level 0 read from the
// pan onwards and wrapping round its edges; grey (128) throughout without a tile.
std::vector<uint8_t> textureSwatchPixels(const Picture* tile, TexturePan pan);

}  // namespace orichalcumite
