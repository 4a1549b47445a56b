// The program's file choosers: native GTK choosers with the program's titles, filters and
// initial folders. At most one is open at a time; a request while one is open answers nothing
// at once, as a cancelled chooser does.
#pragma once

#include <gtk/gtk.h>

#include <optional>
#include <string>

namespace orichalcumite {

// The filters by file type: what a chooser shows and which extension a saved name gets.
enum class FileType : int {
  bitmap = 0,     // "Bitmap files (*.bmp)"
  preset = 1,     // save: "Orichalcumite presets (*.q5q)"; open: both preset extensions
  photoshop = 2,  // "Photoshop files (*.psd)"
  html = 3,       // "HTML files (*.html)"
  ldraw = 4,      // "LDraw files (*.ldr)"
  allFiles = 5,   // "All files (*.*)"
  wavefront = 6,  // "Wavefront files (*.obj)"
  pictures = 7,   // "All Image Files"
};

// A file to write: asks before replacing an existing one. `suggestedName` is the name the
// chooser starts with. Empty when the user cancelled.
std::optional<std::string> chooseFileToSave(GtkWindow* parent, const char* title, FileType type,
                                            const std::string& folder,
                                            const std::string& suggestedName);
// An existing file to read. Preset choosers show the selected preset's stored thumbnail beside
// the list. Empty when the user cancelled.
std::optional<std::string> chooseFileToOpen(GtkWindow* parent, const char* title, FileType type,
                                            const std::string& folder);
// A folder. Empty when the user cancelled.
std::optional<std::string> chooseFolder(GtkWindow* parent, const char* title,
                                        const std::string& folder);

}  // namespace orichalcumite
