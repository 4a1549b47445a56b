#include "render/bevel_radius.h"

#include <algorithm>
#include <cstdint>

namespace orichalcumite {

int bevelRadiusPx(int radius, int previewScale) {
  int64_t r = radius;
  if (r > 40) {
    // Held below 2^17 first so that the square cannot overflow; the limit applies anyway.
    const int64_t excess = std::min<int64_t>(r, 1 << 17) - 38;
    r = std::min<int64_t>(excess * excess * 960 / 3844 + 40, kMaxBevelRadiusPx);
  }
  r /= std::max(previewScale, 1);
  return static_cast<int>(std::max<int64_t>(r, 1));
}

}  // namespace orichalcumite
