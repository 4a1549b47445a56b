// The texture tile: the wrapping 8-bit colour picture the texture pass samples, built from a
// texture choice by the procedural generators (texture_generators.h).
#pragma once

#include <memory>

#include "pictures/picture.h"
#include "pictures/texture_generators.h"

namespace orichalcumite {

class RandomGenerator;

// Builds the tile of `textureChoice` (1..13; other numbers are treated as 1, "none"): a
// 256 x 256 grey picture (red = green = blue, alpha 255), layout rgba8, WrapMode::wrapBoth,
// pyramid built through `runner` (serially when empty). The walk choices ("claws",
// "wiggles", "arabesque", "squiggles") give 256 x 240: their rows repeat every 240.
// "none" gives a flat tile of 192, so a tile exists even though no render samples it.
//
// Returns none for "texture file": the loaded picture is the tile, so the caller keeps its
// current tile; a caller that has no tile at all builds kDefaultTextureChoice instead, as
// the first filter run does. Also none when memory runs out (callers treat a missing tile as
// nothing to sample).
//
// Draws from `rng` (walk, cell and noise choices); `regionWidth` is the width in pixels of
// the image region being filtered, which sets how many numbers the walk draws. Runs on the
// calling thread; never call it while a render reads the old tile.
std::unique_ptr<Picture> buildTextureTile(int textureChoice, RandomGenerator& rng,
                                          int regionWidth = kTextureTileSide,
                                          const PictureRectRunner& runner = {});

// The grid as a picture of the slot's layout, pyramid built. None for an empty grid or when
// memory runs out.
std::unique_ptr<Picture> textureTilePicture(const TextureTexels& texels,
                                            const PictureRectRunner& runner = {});

}  // namespace orichalcumite
