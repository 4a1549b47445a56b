// The About box outside the main dialog: the host's About selector shows the dialog library's
// About box when there is a display, and waits until the user closes it.
#pragma once

#include <cstdint>

namespace orichalcumite {

// The dialog library's second entry point: shows the About box and returns when it is closed.
// Answers a DialogOutcome: accepted when the box was shown, noDisplay without a display.
constexpr const char* kShowAboutSymbol = "orichalcumite_show_about";
using ShowAboutFn = int32_t (*)(int32_t version);

// Shows the About box; false when it could not be shown (no display, no dialog library), so
// that the caller tells the user in its own way.
bool showAboutBox();

}  // namespace orichalcumite
