#include "ui/tracking_tooltip.h"

#include "ui/controls.h"

namespace orichalcumite {
namespace {
// The environment swatch's frame lies over the whole swatch.
constexpr int kEnvironmentFrame = 37;
}  // namespace

int trackingTooltipControl(int32_t x, int32_t y) {
  for (int id = 0; id < kControlCount; ++id) {
    if (id == kEnvironmentFrame) continue;
    if (layoutRect(id).contains(x, y)) return id;
  }
  return -1;
}

}  // namespace orichalcumite
