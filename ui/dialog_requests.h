// What a step of the dialog's model asks the view to do. The model never touches a window,
// a timer or the renderer itself: it returns these requests and the view carries them out.
#pragma once

#include <vector>

namespace orichalcumite {

// Typed numbers wait for one second of quiet before the preview renders.
constexpr int kSettleTimerId = 8064;
constexpr int kSettleTimerMs = 1000;

enum class TimerRequest { none, start, stop };
enum class UndoSnapshot { none, light, full };

struct DialogRequests {
  TimerRequest settleTimer = TimerRequest::none;  // start: (re)arm kSettleTimerId
  bool settingsFromControls = false;
  UndoSnapshot undo = UndoSnapshot::none;
  bool renderPreview = false;
  std::vector<int> redraw;      // controls to redraw
  std::vector<int> updateText;  // controls whose text changed (edit boxes, value statics)
  int postClick = -1;           // a click command to post to the dialog for this id
};

}  // namespace orichalcumite
