#pragma once

#include "pictures/picture.h"
#include "pictures/rgba.h"

namespace orichalcumite::detail {

// The sampler's general path, which reads every tap through the edge handling. samplePoint
// takes it only near edges and tile borders; tests call it directly to check that the fast
// path gives the same result where both apply.
Rgba samplePointGeneral(const Picture& picture, int level, float px, float py);

}  // namespace orichalcumite::detail
