// Settings travel between EffectSettings and the dialog's control tables in both directions.
// Reading back from the controls is where every setting is brought into its control's range,
// so a value loaded from anywhere reaches the renderer only inside the range the dialog offers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/controls.h"

namespace orichalcumite {

// Writes every setting the dialog edits into its control: slider value and the text of its
// value display, check state, 1-based list selection, colour and light vector. Values are
// written as they stand; the read-back clamps them.
void controlsFromSettings(const EffectSettings& settings, DialogControls& controls);

// Reads the controls back into `settings`, edit boxes first: an edit box's text is parsed as a
// decimal number, clamped to its slider's range, and rewritten when clamping changed it. Every
// other value is clamped to its control's range too. The light angles are recomputed from the
// vectors. Returns the ids of the edit boxes whose text was rewritten, for the view to update.
std::vector<int> settingsFromControls(DialogControls& controls, EffectSettings& settings);

// The number typed into an edit box: a leading decimal number (surrounding blanks allowed,
// trailing characters ignored); text that does not start with a number, and NaN, read as 0.
double parseEditNumber(std::string_view text);
// The same, telling text that is not a number apart.
std::optional<double> editNumber(std::string_view text);
// A slider value as its value display shows it ("%g").
std::string formatControlValue(double value);

}  // namespace orichalcumite
