// The tooltip that all drawn controls share: it follows the pointer over the client area and
// shows the text of the control under it.
#pragma once

#include <cstdint>

namespace orichalcumite {

// The control under (x, y) for the shared tooltip: the first id from 0 to 199 whose
// rectangle contains the point, passing over the environment swatch's frame (37), which
// would otherwise hide its swatch; -1 when none.
int trackingTooltipControl(int32_t x, int32_t y);

// Follows the control under the pointer from one pointer message to the next.
class TrackingTooltip {
 public:
  // The pointer is over `id` now. True when the tip that is showing must be hidden first, so
  // that the new control's text shows: the control changed and the new one is a control.
  bool moveTo(int id) {
    const bool hideFirst = id != current_ && id > 0;
    current_ = id;
    return hideFirst;
  }
  int current() const { return current_; }

 private:
  int current_ = -1;
};

}  // namespace orichalcumite
