#include "pictures/texture_tile.h"

#include <new>

#include "pictures/detail/picture_access.h"
#include "pictures/detail/texel_formats.h"
#include "pictures/picture_slots.h"

namespace orichalcumite {

std::unique_ptr<Picture> textureTilePicture(const TextureTexels& texels,
                                            const PictureRectRunner& runner) {
  if (texels.width < 1 || texels.height < 1 || texels.width > kTextureMaxSide ||
      texels.height > kTextureMaxSide ||
      texels.bytes.size() < static_cast<std::size_t>(texels.width) * texels.height) {
    return nullptr;
  }
  std::unique_ptr<Picture> picture =
      createPicture(texels.width, texels.height, PictureKind::rgba8, WrapMode::wrapBoth);
  if (!picture) return nullptr;
  // A tile row fits inside one 512-texel picture tile row, so rows are written straight into
  // the level (what setPixel would store, without its per-texel checks and dispatch).
  static_assert(kTextureMaxSide <= kPictureTileSide);
  using Format = detail::Rgba8Format;
  const auto level = detail::PictureAccess::write<Format::Texel>(*picture, 0);
  for (int y = 0; y < texels.height; ++y) {
    const uint8_t* row = texels.bytes.data() + static_cast<std::size_t>(y) * texels.width;
    Format::Texel* out = level.tileRow(0, y);
    for (int x = 0; x < texels.width; ++x) {
      const Format::Value grey[4] = {row[x], row[x], row[x], 255};
      out[x] = Format::pack(grey);
    }
  }
  picture->buildPyramid(runner);
  return picture;
}

std::unique_ptr<Picture> buildTextureTile(int textureChoice, RandomGenerator& rng, int regionWidth,
                                          const PictureRectRunner& runner) {
  if (textureRecipe(textureChoice).generator == TextureGenerator::picture) return nullptr;
  try {
    return textureTilePicture(generateTextureTexels(textureChoice, rng, regionWidth), runner);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace orichalcumite
