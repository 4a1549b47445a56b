// Bringing a picture to the size a gallery cell shows: the larger side set to a given length,
// the proportions kept.
#pragma once

#include <memory>

#include "pictures/picture.h"

namespace orichalcumite {

// `width` × `height` scaled so that the larger side is `side`, each side rounded to the
// nearest pixel and at least 1. A size without pixels gives side × side.
PictureSize fittedSize(int width, int height, int side);

// Level 0 of `source` resampled to `width` × `height` as a new opaque 8-bit colour picture
// without pyramid: each target pixel averages the source area it covers (weighted by the
// covered share of each source pixel), which keeps a reduction free of aliasing and makes an
// enlargement a gentle interpolation. Null when the size is not positive or memory runs out.
std::unique_ptr<Picture> resizedPicture(const Picture& source, int width, int height);

}  // namespace orichalcumite
