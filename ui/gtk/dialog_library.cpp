// The dialog library's entry point. The module opens this library only when it shows its
// dialog, so that a render without one never loads the toolkit.
#include <gtk/gtk.h>

#include "ui/dialog_session.h"
#include "ui/gtk/main_window.h"
#include "ui/gtk/secondary_windows.h"
#include "ui/gtk/skin.h"

using orichalcumite::DialogOutcome;
using orichalcumite::DialogSession;

namespace {

// gtk_init_check, unlike gtk_init, returns instead of ending the process when there is no
// display. Once it has succeeded it must not run again.
bool toolkitReady() {
  static bool initialised = false;
  if (!initialised) {
    g_set_prgname("orichalcumite");
    // The dialog draws with cairo alone. Without this GDK probes OpenGL when it opens the
    // display, loading the GL drivers, which takes several times as long as the rest of the
    // toolkit's start. A setting the user made stays.
    g_setenv("GDK_GL", "disable", FALSE);
    if (!gtk_init_check(nullptr, nullptr)) return false;
    orichalcumite::registerSkinResources();
    initialised = true;
  }
  return true;
}

int32_t answer(DialogOutcome outcome) { return static_cast<int32_t>(outcome); }

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t orichalcumite_run_dialog(
    int32_t version, DialogSession* session) {
  if (version != orichalcumite::kDialogInterfaceVersion || !session || !session->settings ||
      !session->preview)
    return answer(DialogOutcome::failed);
  if (!toolkitReady()) return answer(DialogOutcome::noDisplay);
  return answer(orichalcumite::showMainWindow(*session));
}

// The host's About selector: the About box over the desktop, until the user closes it.
extern "C" __attribute__((visibility("default"))) int32_t orichalcumite_show_about(
    int32_t version) {
  if (version != orichalcumite::kDialogInterfaceVersion) return answer(DialogOutcome::failed);
  if (!toolkitReady()) return answer(DialogOutcome::noDisplay);
  orichalcumite::SecondaryWindows windows;
  windows.showAbout(nullptr);
  while (windows.aboutOpen()) gtk_main_iteration();
  // Let the window system take the box away before the host goes on.
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  return answer(DialogOutcome::accepted);
}
