// The main dialog's window on GTK 3: the drawn skin with the native controls placed on it,
// pointer input for the drawn controls, timers, and the preview drawn through the host's pixel
// display. Every decision is the toolkit-free model's (ui/); this file only carries it out.
#pragma once

#include "ui/dialog_session.h"

namespace orichalcumite {

// Shows the main dialog over the session's effect and runs it until the user closes it.
// GTK must have been initialised.
DialogOutcome showMainWindow(DialogSession& session);

}  // namespace orichalcumite
