#include "ui/gtk/file_dialogs.h"

namespace orichalcumite {

// Stand-ins until the choosers are built: every request is answered as cancelled.
std::optional<std::string> chooseFileToSave(GtkWindow*, const char*, FileType, const std::string&,
                                            const std::string&) {
  return std::nullopt;
}
std::optional<std::string> chooseFileToOpen(GtkWindow*, const char*, FileType, const std::string&) {
  return std::nullopt;
}
std::optional<std::string> chooseFolder(GtkWindow*, const char*, const std::string&) {
  return std::nullopt;
}

}  // namespace orichalcumite
