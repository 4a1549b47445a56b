// The dialog's commands that go through choosers and files: the colour swatches, the texture
// and environment pictures, saving and loading presets, the PSD export with its progress
// window, and the question about a missing picture. Each works on the session's effect and
// says whether it changed it; the window then updates its controls and renders.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "settings/picture_search.h"

namespace orichalcumite {

struct DialogSession;
struct EffectSettings;

// The colour of `slot` from the host's colour picker, or the toolkit's colour chooser when the
// host has none. True when the user picked a colour (stored × 256).
bool chooseSwatchColour(GtkWindow* parent, DialogSession& session, int slot,
                        const std::string& title);

// "Open a texture picture" / "Open an environment picture": true when a picture was chosen and
// loaded (its path and name are in the effect, the folder is remembered; a texture's pan is
// back at 0, 0). A picture that cannot be read changes nothing and the user is told.
bool openEffectPicture(GtkWindow* parent, DialogSession& session, PictureWhich which);

// At dialog start: the preset folder the registry remembers.
void readPresetFolder(EffectSettings& settings);

// "Save a settings file": the effect with the preview's thumbnail. True when written.
bool savePresetFile(GtkWindow* parent, DialogSession& session);
// "Open a settings file": true when the effect was replaced by the file's; a file that cannot
// be read changes nothing and the user is told.
bool loadPresetFile(GtkWindow* parent, DialogSession& session);

// "Save a PSD file", then the export behind its progress window.
void exportPsdFile(GtkWindow* parent, DialogSession& session);

// What the picture search asks while the dialog is open: "Can't open file" with Ignore and
// "Find folder...", then the chooser for the file or for any file in the pictures folder.
MissingPictureHook missingPictureQuestion(GtkWindow* parent);

}  // namespace orichalcumite
