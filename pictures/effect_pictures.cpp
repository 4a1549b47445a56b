#include "pictures/effect_pictures.h"

#include <algorithm>

#include "pictures/picture_slots.h"
#include "pictures/texture_generators.h"
#include "pictures/texture_tile.h"

namespace orichalcumite {

const Picture* EffectPictures::textureTile() const {
  return textureChoice_ == kTextureChoiceFile ? textureFile_.get() : proceduralTile_.get();
}

PictureSize EffectPictures::textureSize() const {
  // Without a loaded texture picture the procedural tile's size stands, as it always has.
  const Picture* tile = textureTile() ? textureTile() : proceduralTile_.get();
  return tile ? PictureSize{tile->width(), tile->height()} : PictureSize{};
}

bool EffectPictures::ensureEnvironment() {
  if (!environment_) environment_ = defaultEnvironmentPicture();
  return environment_ != nullptr;
}

void EffectPictures::setEnvironment(std::unique_ptr<Picture> picture) {
  environment_ = std::move(picture);
  ensureEnvironment();
}

void EffectPictures::setTexturePicture(std::unique_ptr<Picture> picture) {
  textureFile_ = std::move(picture);
}

bool EffectPictures::prepareTexture(int textureChoice, RandomGenerator& rng, int regionWidth,
                                    const PictureRectRunner& runner) {
  const int width = std::max(regionWidth, 1);
  if (!proceduralTile_ || proceduralChoice_ != textureChoice) {
    // "Texture file" builds nothing: the loaded picture is its tile.
    if (auto tile = buildTextureTile(textureChoice, rng, width, runner)) {
      proceduralTile_ = std::move(tile);
      proceduralChoice_ = textureChoice;
    } else if (!proceduralTile_) {
      proceduralTile_ = buildTextureTile(kDefaultTextureChoice, rng, width, runner);
      proceduralChoice_ = kDefaultTextureChoice;
    }
  }
  textureChoice_ = textureChoice;
  return proceduralTile_ != nullptr;
}

EffectPictures& modulePictures() {
  static EffectPictures pictures;
  return pictures;
}

}  // namespace orichalcumite
