// The pictures of the dialog's small windows: the About box's picture, title and emblem, and
// the Info box's one large picture that explains the main dialog's controls. Drawn with cairo
// (the About picture's letters bevelled by our own renderer); only the generator includes this.
#pragma once

#include "ui/artwork/engine_artwork.h"

namespace orichalcumite {

// The About box's picture, 232 × 171: the product's name in bevelled brass on dark metal.
// Empty (width 0) when the renderer fails.
RgbaImage drawAboutPicture();
// The About box's title line, 160 × 18, on transparent ground.
RgbaImage drawAboutTitle();
// The About box's emblem, 24 × 24: a small bevelled brass disc.
RgbaImage drawAboutEmblem();
// The Info box's picture, 684 × 656 on white: the main dialog in miniature (`background` is the
// 1006 × 687 skin) with numbered groups and a line of text for each.
RgbaImage drawInfoPicture(const RgbaImage& background);

}  // namespace orichalcumite
