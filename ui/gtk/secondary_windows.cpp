#include "ui/gtk/secondary_windows.h"

namespace orichalcumite {

// Stand-ins until the secondary windows are built: nothing opens, message dialogs answer with
// their default button.
int showMessageDialog(GtkWindow*, MessageDialog which, const std::array<std::string, 4>&) {
  return which == MessageDialog::cantOpenFile ? kMessageIgnore : kMessageCancel;
}
void SecondaryWindows::showAbout(GtkWindow*) {}
void SecondaryWindows::showInfo(GtkWindow*) {}
void SecondaryWindows::showPresetManagement(GtkWindow*, int&, std::function<void(int)>) {}
void SecondaryWindows::closeAll() {}
void runGalleryAction(GtkWindow*, int, DialogSession&) {}
void writeMemoryDotsPage(GtkWindow*, DialogSession&) {}

}  // namespace orichalcumite
