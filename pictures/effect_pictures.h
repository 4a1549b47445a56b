// The pictures an effect renders with: the environment its surface reflects and the texture
// tile of its texture choice. They outlive a run (a repeat of the filter finds them again) and
// are replaced, and so freed, only between renders.
#pragma once

#include <memory>

#include "pictures/picture.h"

namespace orichalcumite {

class RandomGenerator;

class EffectPictures {
 public:
  // The environment picture, or null before the first ensureEnvironment.
  const Picture* environment() const { return environment_.get(); }
  // The tile the texture pass samples: the procedural tile of the current choice, or the
  // loaded texture picture for "texture file" (null while there is none).
  const Picture* textureTile() const;
  // Width and height of the current tile (what settings files keep): the procedural tile's
  // while "texture file" has no picture; 0 before any tile was built.
  PictureSize textureSize() const;

  // Gives the environment slot the built-in environment when nothing else fills it. False
  // when not even that can be made (memory ran out).
  bool ensureEnvironment();
  // Replaces the environment picture (a loaded picture file); null returns to the built-in.
  void setEnvironment(std::unique_ptr<Picture> picture);
  // Replaces the texture picture of the "texture file" choice.
  void setTexturePicture(std::unique_ptr<Picture> picture);

  // Makes the tile of `textureChoice` current, building it (drawing from `rng`) only when the
  // choice changed since the last build. `regionWidth` is the filtered region's width, which
  // the walk textures draw by. "Texture file" keeps the procedural tile built last (or builds
  // the default choice's when there is none), since its own tile is the loaded picture. False
  // when no tile can be made.
  bool prepareTexture(int textureChoice, RandomGenerator& rng, int regionWidth,
                      const PictureRectRunner& runner = {});

 private:
  std::unique_ptr<Picture> environment_;
  std::unique_ptr<Picture> textureFile_;
  std::unique_ptr<Picture> proceduralTile_;
  int proceduralChoice_ = 0;  // the choice proceduralTile_ was built for
  int textureChoice_ = 0;     // the choice of the last prepareTexture
};

// The module's pictures: one set for as long as the module is loaded, used only on the host's
// thread.
EffectPictures& modulePictures();

}  // namespace orichalcumite
