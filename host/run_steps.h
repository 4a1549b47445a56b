// The steps of a run that belong to other layers (persistent user state, pictures, the main
// dialog and the render), called by the selector handlers through these functions. Each is
// named after the step it stands for, so the handlers read like the run they drive.
#pragma once

#include <cstdint>

#include "host/plugin_state.h"
#include "protocol/filter_protocol.h"

namespace orichalcumite {

struct EffectSettings;

// Start of a run: clears the run-time fields and, unless the host passed a scripting
// descriptor, restores the last effect from the cached-settings file.
void initialiseRun(EffectSettings& s, PluginState& state, bool descriptorPresent);
// End of a run (Finish, cancel, refusal): writes the memory-dot map and frees the buffers.
void releaseRun(EffectSettings& s, PluginState& state);

// Loads the environment and texture pictures. False when they cannot be made (not enough
// memory). `imageWidth` is the filter rectangle's width (the walk textures draw by it).
bool loadRunPictures(EffectSettings& s, int32_t imageWidth);
// Makes the texture tile of the current texture choice (rebuilt only when the choice
// changed) and points the settings at it. False when no tile can be made.
bool prepareTextureTile(EffectSettings& s, int32_t imageWidth);
// Finds and loads the pictures a scripting descriptor named.
void loadDescriptorPictures(EffectSettings& s);

// The undo copy taken before the dialog opens.
void takeDialogUndoStep(EffectSettings& s, PluginState& state);
// Runs the main dialog modally; true when the user pressed OK.
bool runMainDialog(ps::FilterRecord& rec, EffectSettings& s, PluginState& state);

// Renders the whole filter rectangle into the host's image. Returns the host result: 0, or the
// host's error, or -128 when the user cancelled.
int16_t renderToHost(ps::FilterRecord& rec, const EffectSettings& s, PluginState& state);

// Persistent state written after a successful run.
void saveCachedSettings(const EffectSettings& s);
void storePicturePaths(const EffectSettings& s);

// Tells the user about a problem (a message box in the dialog's world; standard error here).
void tellUser(const char* title, const char* text);

}  // namespace orichalcumite
