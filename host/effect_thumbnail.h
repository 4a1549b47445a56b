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

}  // namespace orichalcumite
