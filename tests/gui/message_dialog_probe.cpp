// Shows one message dialog without a main window and prints the id of the button that closed
// it, so that the X-server checks can drive it: message_dialog_probe memory|missing.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>

#include "ui/gtk/secondary_windows.h"
#include "ui/gtk/skin.h"

int main(int argc, char** argv) {
  if (argc != 2 || (std::strcmp(argv[1], "memory") != 0 && std::strcmp(argv[1], "missing") != 0)) {
    std::fprintf(stderr, "usage: %s memory|missing\n", argv[0]);
    return 2;
  }
  if (!gtk_init_check(nullptr, nullptr)) return 3;
  orichalcumite::registerSkinResources();
  const bool memory = std::strcmp(argv[1], "memory") == 0;
  const int answer =
      orichalcumite::showMessageDialog(nullptr,
                                       memory ? orichalcumite::MessageDialog::notEnoughMemory
                                              : orichalcumite::MessageDialog::cantOpenFile,
                                       {"texture", "bark & moss.png", "", ""});
  std::printf("answer %d\n", answer);
  return 0;
}
