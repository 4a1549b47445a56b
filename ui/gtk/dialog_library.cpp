// The dialog library's entry point. The module opens this library only when it shows its
// dialog, so that a render without one never loads the toolkit.
#include <gtk/gtk.h>

#include "ui/dialog_session.h"
#include "ui/gtk/main_window.h"
#include "ui/gtk/skin.h"

using orichalcumite::DialogOutcome;
using orichalcumite::DialogSession;

extern "C" __attribute__((visibility("default"))) int32_t orichalcumite_run_dialog(
    int32_t version, DialogSession* session) {
  const auto answer = [](DialogOutcome outcome) { return static_cast<int32_t>(outcome); };
  if (version != orichalcumite::kDialogInterfaceVersion || !session || !session->settings ||
      !session->preview)
    return answer(DialogOutcome::failed);
  // gtk_init_check, unlike gtk_init, returns instead of ending the process when there is no
  // display. Once it has succeeded it must not run again.
  static bool initialised = false;
  if (!initialised) {
    g_set_prgname("orichalcumite");
    // The dialog draws with cairo alone. Without this GDK probes OpenGL when it opens the
    // display, loading the GL drivers, which takes several times as long as the rest of the
    // toolkit's start. A setting the user made stays.
    g_setenv("GDK_GL", "disable", FALSE);
    if (!gtk_init_check(nullptr, nullptr)) return answer(DialogOutcome::noDisplay);
    orichalcumite::registerSkinResources();
    initialised = true;
  }
  return answer(orichalcumite::showMainWindow(*session));
}
