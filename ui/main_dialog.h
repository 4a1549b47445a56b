// The main dialog: the user shapes the effect against a live preview and accepts or cancels.
// The window itself lives in the dialog companion library, opened here on first use so that a
// run without a dialog never loads the toolkit.
#pragma once

#include "ui/dialog_session.h"

namespace orichalcumite {

// Runs the dialog modally over the session's effect. On accepted the effect holds the user's
// settings; on every other outcome it is as it came. A companion that cannot be loaded is
// told to the user through the session's messages and answers failed.
DialogOutcome runMainDialog(DialogSession& session);

}  // namespace orichalcumite
