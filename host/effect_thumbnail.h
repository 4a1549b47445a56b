// A small picture of an effect, for memory dots and presets: the effect rendered over a
// neutral grey source inside a centred rounded-rectangle selection, so that the bevel, the
// surface and the glue with the source all show.
#pragma once

#include <memory>

#include "pictures/picture.h"
#include "render/render_host.h"

namespace orichalcumite {

struct EffectSettings;
class EffectPictures;
class RandomGenerator;

constexpr int kEffectThumbnailSide = 128;

// The thumbnail's selection at (x, y) of a side × side picture, 0..255: a rounded rectangle
// inset by side / 8 with corners of radius side / 5, its edge anti-aliased over one pixel.
uint8_t thumbnailSelection(int x, int y, int side);

// Renders `settings` with `pictures` into a new side × side 8-bit RGBA picture (opaque), over
// `source` (a picture of at least side × side, read from its top-left corner; its alpha is
// ignored) or, without one, over neutral grey.
// Runs on the calling thread as dispatcher with the worker pool; draws from `random` as any
// render does. Null when memory runs out or the render fails.
std::unique_ptr<Picture> renderEffectThumbnail(const EffectSettings& settings,
                                               const EffectPictures& pictures,
                                               RandomGenerator& random,
                                               int side = kEffectThumbnailSide,
                                               const Picture* source = nullptr);

// The selection of a width × height effect picture, 0..255: the thumbnail's rounded rectangle
// sized by the smaller side (inset by it / 8, corners of radius it / 5) and stretched along
// the longer one. For a square it is thumbnailSelection.
uint8_t effectPictureSelection(int x, int y, int width, int height);

// As renderEffectThumbnail for a width × height picture with effectPictureSelection: over
// `source` (at least width × height, read from its top-left corner) or neutral grey. Null when
// a side is not positive, memory runs out or the render fails.
std::unique_ptr<Picture> renderEffectPicture(const EffectSettings& settings,
                                             const EffectPictures& pictures,
                                             RandomGenerator& random, int width, int height,
                                             const Picture* source = nullptr);

}  // namespace orichalcumite
