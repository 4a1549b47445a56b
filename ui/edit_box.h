// The numeric edit boxes beside the sliders. Typing moves the slider at once but renders only
// after the settle timer: a render per keystroke would make typing a number unbearably slow.
#pragma once

#include <string_view>

#include "ui/controls.h"
#include "ui/dialog_requests.h"

namespace orichalcumite {

// The user changed the text of edit box `editId` to `text`: the text is kept as typed, the
// partner slider takes the parsed number clamped to its range and is redrawn, and the settle
// timer is (re)armed. Ids that are not a slider's edit box ask for nothing.
DialogRequests editBoxTyped(DialogControls& controls, int editId, std::string_view text);

// The settle timer fired: read the settings back from the controls (which also rewrites an
// out-of-range or non-numeric box), take a light undo snapshot, stop the timer and render.
// The boxes whose text the read-back replaced are listed in `updateText`.
DialogRequests settleTimerFired(DialogControls& controls, EffectSettings& settings);

}  // namespace orichalcumite
