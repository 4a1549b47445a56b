#include "ui/commands.h"

#include <cstring>
#include <string>

#include "base/random_generator.h"
#include "pictures/picture_slots.h"
#include "settings/user_state.h"
#include "ui/preview_view.h"

namespace orichalcumite {
namespace {

using namespace command_id;

constexpr SnapshotKind kNone = SnapshotKind::none;
constexpr SnapshotKind kLight = SnapshotKind::light;
constexpr SnapshotKind kFull = SnapshotKind::full;
constexpr SnapshotRule kFixed = SnapshotRule::fixed;

// Entries marked false open a dialog or a file of their own that this model does not have
// yet: the colour chooser, the About and Info boxes, the preset dialogs and files, the PSD
// export, the memory dots, the Preset Management dialog and the environment picture chooser.
// applyCommand reports notHandledYet for them; their ids and snapshot kinds are final.
constexpr CommandInfo kCommands[] = {
    {44, 44, "light 1 colour", kLight, kFixed, false},
    {46, 46, "light 2 colour", kLight, kFixed, false},
    {60, 60, "tarnish colour", kLight, kFixed, false},
    {78, 78, "abrasion colour", kLight, kFixed, false},
    {91, 91, "rain colour 1", kLight, kFixed, false},
    {92, 92, "rain colour 2", kLight, kFixed, false},
    {93, 93, "dust colour", kLight, kFixed, false},
    {104, 104, "moss colour 1", kLight, kFixed, false},
    {108, 108, "moss colour 2", kLight, kFixed, false},
    {121, 121, "blotch colour", kLight, kFixed, false},
    {kZoomIn, kZoomIn, "zoom in", kNone, kFixed, true},
    {kZoomOut, kZoomOut, "zoom out", kNone, kFixed, true},
    {kZoomActualSize, kZoomActualSize, "zoom to 100%", kNone, kFixed, true},
    {kAboutStrip, kAboutStrip, "about", kNone, kFixed, false},
    {kInfo, kInfo, "info", kLight, kFixed, false},
    {kUndo, kUndo, "undo", kNone, kFixed, true},
    {kRandomize, kRandomize, "randomize", kLight, kFixed, true},
    {kRandomSeed, kRandomSeed, "random seed", kLight, kFixed, true},
    {kNextGlueMode, kNextGlueMode, "next glue mode", kLight, kFixed, true},
    {kFactory, kFactory, "factory settings", kLight, kFixed, true},
    {kSavePreset, kSavePreset, "save preset", kNone, kFixed, false},
    {kLoadPreset, kLoadPreset, "load preset", kFull, kFixed, false},
    {kExportPsd, kExportPsd, "export PSD", kLight, kFixed, false},
    {kFirstMemoryDot, kLastMemoryDot, "memory dot", kNone, SnapshotRule::memoryDot, false},
    {kMemoryDotPreview, kMemoryDotPreview, "memory dot preview", kNone,
     SnapshotRule::memoryDotPreview, false},
    {kPresetManagement, kPresetManagement, "preset management", kNone, kFixed, false},
    {kEnvironmentSwatch, kEnvironmentSwatch, "environment picture", kFull, kFixed, false},
    {kSpinEnvironment, kSpinEnvironment, "spin environment", kFull, kFixed, true},
    {kCancel, kCancel, "cancel", kNone, kFixed, true},
    {kOk, kOk, "ok", kNone, kFixed, true},
};

// Controls that are no click command but whose change brings a picture or a texture choice
// with it, so that their snapshot goes to the undo file too.
constexpr int32_t kFullSnapshotControls[] = {kTextureChoice, kEnvironmentFrame, kTextureFrame,
                                             kTextureSwatch};

CommandResult result(CommandOutcome outcome) {
  CommandResult r;
  r.outcome = outcome;
  return r;
}

// The settings changed as a whole: controls, preview and the preset name follow.
CommandResult settingsReplaced() {
  CommandResult r = result(CommandOutcome::done);
  r.controlsFromSettings = true;
  r.render = true;
  r.redrawPresetName = true;
  return r;
}

CommandResult zoomResult(bool changed) {
  CommandResult r = result(changed ? CommandOutcome::done : CommandOutcome::unchanged);
  r.render = changed;
  r.zoomChanged = changed;
  return r;
}

}  // namespace

std::span<const CommandInfo> commandTable() { return kCommands; }

const CommandInfo* findCommand(int32_t id) {
  for (const CommandInfo& info : kCommands) {
    if (id >= info.firstId && id <= info.lastId) return &info;
  }
  return nullptr;
}

std::optional<int> colourSlotOfSwatch(int32_t id) {
  for (int slot = 0; slot < kColourCount; ++slot) {
    if (kColourSwatchIds[slot] == id) return slot;
  }
  return std::nullopt;
}

SnapshotKind snapshotKind(int32_t id, const SnapshotContext& context) {
  if (const CommandInfo* info = findCommand(id)) {
    switch (info->rule) {
      case SnapshotRule::fixed: return info->snapshot;
      case SnapshotRule::memoryDot:
        return !context.ctrlHeld && context.dotHoldsEffect ? kFull : kNone;
      case SnapshotRule::memoryDotPreview: return context.dotHovered ? kFull : kNone;
    }
  }
  for (int32_t full : kFullSnapshotControls) {
    if (id == full) return kFull;
  }
  return context.effectControl ? kLight : kNone;
}

bool clearsCurrentDot(int32_t id, SnapshotKind snapshot) {
  const bool memoryDotClick =
      (id >= kFirstMemoryDot && id <= kLastMemoryDot) || id == kMemoryDotPreview;
  if (memoryDotClick) return false;
  return snapshot != kNone || id == kUndo;
}

void newRandomSeed(EffectSettings& settings, RandomGenerator& random) {
  settings.randomSeed = random.next() & 0x7FF;
  setText(settings.settingsName, "random settings");
}

void spinEnvironment(EffectSettings& settings) {
  settings.environmentSpin = nextEnvironmentSpin(settings.environmentSpin);
}

bool showNewEnvironment(EffectSettings& settings) {
  if (settings.reflection != 0) return false;
  settings.reflection = 100;
  return true;
}

void setPresetFileName(EffectSettings& settings) {
  std::string name(settings.settingsName, strnlen(settings.settingsName, kTextCapacity));
  if (name.empty()) name = kDefaultPresetName;
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.resize(dot);
  // Cut the stem, not the extension, when the whole name would not fit the field.
  const size_t extension = std::strlen(kPresetExtension);
  if (name.size() + extension > kTextCapacity - 1) name.resize(kTextCapacity - 1 - extension);
  setText(settings.settingsName, (name + kPresetExtension).c_str());
}

CommandResult applyCommand(int32_t id, EffectSettings& settings, CommandContext& context) {
  const CommandInfo* info = findCommand(id);
  if (info == nullptr) return result(CommandOutcome::unknown);
  if (!info->handledHere) return result(CommandOutcome::notHandledYet);

  switch (id) {
    case kZoomIn:
    case kZoomOut:
    case kZoomActualSize: {
      if (context.preview == nullptr) return result(CommandOutcome::notHandledYet);
      PreviewState& preview = *context.preview;
      const bool changed = id == kZoomIn    ? zoomIn(preview)
                           : id == kZoomOut ? zoomOut(preview)
                                            : zoomToActualSize(preview);
      return zoomResult(changed);
    }
    case kUndo: {
      if (context.user == nullptr || context.pictures == nullptr) {
        return result(CommandOutcome::notHandledYet);
      }
      if (!undo(settings, *context.user, *context.pictures)) {
        return result(CommandOutcome::unchanged);
      }
      return settingsReplaced();
    }
    case kRandomize:
      if (context.random == nullptr) return result(CommandOutcome::notHandledYet);
      randomizeSettings(settings, *context.random);
      return settingsReplaced();
    case kRandomSeed: {
      if (context.random == nullptr) return result(CommandOutcome::notHandledYet);
      newRandomSeed(settings, *context.random);
      // The name changed too, so it is redrawn with the rest.
      return settingsReplaced();
    }
    case kNextGlueMode: {
      nextGlueMode(settings);
      CommandResult r = result(CommandOutcome::done);
      r.controlsFromSettings = true;
      r.render = true;
      return r;
    }
    case kFactory: resetSettings(settings); return settingsReplaced();
    case kSpinEnvironment: {
      spinEnvironment(settings);
      CommandResult r = result(CommandOutcome::done);
      r.redrawEnvironmentSwatch = true;
      r.render = true;
      return r;
    }
    case kCancel:
      if (context.presetManagementOpen) return result(CommandOutcome::blocked);
      if (context.cancelCopy != nullptr) settings = *context.cancelCopy;
      return result(CommandOutcome::cancelled);
    case kOk:
      if (context.presetManagementOpen) return result(CommandOutcome::blocked);
      return result(CommandOutcome::accepted);
    default: return result(CommandOutcome::notHandledYet);
  }
}

}  // namespace orichalcumite
