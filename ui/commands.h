// The main dialog's commands: a click on a button (or a swatch, a memory dot, the About strip)
// arrives as its control id. The command table lists them in the order the dialog tests
// them, each with the undo snapshot it takes; applyCommand carries out what a command does to
// the effect and to the preview's view, and tells the view what to do next (update controls,
// render, redraw a text line, close).
//
// Plain records and functions: no toolkit, no threads, no files. Everything here runs on the
// dialog's thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "settings/effect_settings.h"

namespace orichalcumite {

class RandomGenerator;
struct PictureContext;
struct PreviewState;
struct UserState;

// Control ids that are commands.
namespace command_id {
constexpr int32_t kCancel = 2;
constexpr int32_t kOk = 3;
constexpr int32_t kTextureChoice = 17;
constexpr int32_t kAboutStrip = 24;
constexpr int32_t kPreviewPane = 35;
constexpr int32_t kPresetManagement = 36;
constexpr int32_t kEnvironmentFrame = 37;
constexpr int32_t kEnvironmentSwatch = 38;
constexpr int32_t kZoomIn = 47;
constexpr int32_t kZoomOut = 48;
constexpr int32_t kTextureFrame = 49;
constexpr int32_t kTextureSwatch = 50;
constexpr int32_t kSavePreset = 61;
constexpr int32_t kLoadPreset = 62;
constexpr int32_t kRandomize = 65;
constexpr int32_t kSpinEnvironment = 67;
constexpr int32_t kZoomActualSize = 72;
constexpr int32_t kNextGlueMode = 73;
constexpr int32_t kRandomSeed = 122;
constexpr int32_t kUndo = 123;
constexpr int32_t kFactory = 124;
constexpr int32_t kFirstMemoryDot = 126;  // slots 1..25 are ids 126..150
constexpr int32_t kLastMemoryDot = 150;
constexpr int32_t kMemoryDotPreview = 158;
constexpr int32_t kInfo = 160;
constexpr int32_t kExportPsd = 162;
}  // namespace command_id

// The colour swatches, in the colours' storage order (ColourSlot).
constexpr int32_t kColourSwatchIds[kColourCount] = {44, 46, 60, 78, 91, 92, 93, 121, 104, 108};

constexpr const char* kSuggestedPsdName = "Orichalcumite result.psd";
constexpr const char* kDefaultPresetName = "Orichalcumite settings";
constexpr const char* kPresetExtension = ".q5q";

// The undo snapshot a command takes after its handler has run: none; light, kept in memory
// only; full, also written to the undo file so the pictures' names come back with it.
enum class SnapshotKind { none, light, full };

// How a command's snapshot is decided.
enum class SnapshotRule {
  fixed,             // always `snapshot`
  memoryDot,         // full for a click without Ctrl that leaves the dot holding an effect
  memoryDotPreview,  // full while a memory dot is hovered
};

struct CommandInfo {
  int32_t firstId;
  int32_t lastId;  // the same as firstId except for the memory dots
  const char* name;
  SnapshotKind snapshot;
  SnapshotRule rule;
  bool handledHere;  // false: the work belongs to a dialog or file of its own (see applyCommand)
};

// The click commands in the order the dialog tests them, then the closing commands.
std::span<const CommandInfo> commandTable();
// The entry for `id` (a colour swatch id finds the colour swatch entry), or nothing.
const CommandInfo* findCommand(int32_t id);
// The colour slot of a colour swatch id, or nothing.
std::optional<int> colourSlotOfSwatch(int32_t id);

// What decides the snapshot beyond the id.
struct SnapshotContext {
  // The id's control is a slider, check box, icon button, colour swatch, light ball, texture
  // swatch, picture frame, icon choice list or mode list (the controls model knows which).
  bool effectControl = false;
  bool ctrlHeld = false;        // memory dots: Ctrl was held at the press
  bool dotHoldsEffect = false;  // memory dots: the dot holds an effect after the click
  bool dotHovered = false;      // the memory-dot preview: a dot is hovered
};

// The snapshot for `id` after its handler has run. Ids outside the command table (sliders,
// lists, check boxes...) take a light snapshot when they are effect controls, none otherwise.
SnapshotKind snapshotKind(int32_t id, const SnapshotContext& context);
// The settle-timer render after typing takes a light snapshot.
constexpr SnapshotKind kSettleTimerSnapshot = SnapshotKind::light;
// Whether the command clears the memory dots' current mark: every command that takes a
// snapshot, and undo, except memory-dot clicks (those set the mark themselves).
bool clearsCurrentDot(int32_t id, SnapshotKind snapshot);

// What a command asks of the dialog once its handler has run.
enum class CommandOutcome {
  done,           // handled; see the flags of CommandResult
  unchanged,      // handled; nothing to do (e.g. zoom in at 100 %)
  notHandledYet,  // the command opens a dialog or writes files that this model does not have
  accepted,       // &OK: close the dialog and apply the effect
  cancelled,      // &Cancel: the effect is back to the cancel copy; close without applying
  blocked,        // &OK or &Cancel while the Preset Management dialog is open: nothing happens
  unknown,        // not a command id
};

struct CommandResult {
  CommandOutcome outcome = CommandOutcome::unknown;
  bool controlsFromSettings = false;  // the settings changed: write them into the controls
  bool render = false;                // render the preview
  bool redrawPresetName = false;
  bool redrawEnvironmentSwatch = false;
  bool zoomChanged = false;  // refresh the zoom buttons and their caption
};

// What the commands work on besides the effect. Pointers that a command needs but finds null
// make it report notHandledYet.
struct CommandContext {
  RandomGenerator* random = nullptr;
  PreviewState* preview = nullptr;
  UserState* user = nullptr;
  PictureContext* pictures = nullptr;          // for undo of a file-backed snapshot
  const EffectSettings* cancelCopy = nullptr;  // the settings as the dialog received them
  bool presetManagementOpen = false;
};

// Carries out command `id` on `settings`. The snapshot is not taken here: the caller takes
// snapshotKind(id, ...) after settings-from-controls.
CommandResult applyCommand(int32_t id, EffectSettings& settings, CommandContext& context);

// The individual effects, for callers and tests.
// A fresh random seed in 0..2047 (11 bits) and the name "random settings".
void newRandomSeed(EffectSettings& settings, RandomGenerator& random);
// A quarter turn of the environment (spin 0..3; four turns come back to the start).
void spinEnvironment(EffectSettings& settings);
// After a new environment picture was chosen: a reflection of 0 would hide it, so it becomes
// 100. True when the reflection changed.
bool showNewEnvironment(EffectSettings& settings);
// The name a preset is saved under: "Orichalcumite settings" when the effect has no name,
// with the ".q5q" extension set on it (replacing any other extension).
void setPresetFileName(EffectSettings& settings);

}  // namespace orichalcumite
