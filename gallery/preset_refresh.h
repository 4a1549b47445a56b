// Adding fresh previews to every preset of a folder: each preset is read, rendered into a
// 128 × 128 thumbnail over the user's picture and written back as a version-221 file with that
// thumbnail; presets of the older family (names holding "q9q") are then renamed to ".q5q".
//
// The batch never makes things worse than it found them: a preset that cannot be read, or whose
// thumbnail cannot be rendered, is left byte for byte as it was; a failed write leaves the old
// file (files are replaced through a temporary file); a rename never replaces an existing file.
// Everything runs on the calling thread, which is the render's dispatcher.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "pictures/picture.h"

namespace orichalcumite {

struct EffectSettings;
class EffectPictures;
class RandomGenerator;

enum class PresetRefreshStep {
  refreshed,   // written back with a thumbnail
  renamed,     // a refreshed "q9q" file got its ".q5q" name
  notRenamed,  // a refreshed "q9q" file kept its name (the new name is taken, or the rename failed)
  skipped,     // left as it was
};

struct PresetRefreshEvent {
  PresetRefreshStep step = PresetRefreshStep::skipped;
  std::string name;     // the file's name in the folder
  std::string newName;  // renamed, notRenamed: the ".q5q" name
  // skipped, notRenamed: why; refreshed: what the thumbnail lacks (a picture not found), or
  // empty.
  std::string reason;
  // skipped: true when something failed (unreadable, damaged, render or write failure), false
  // when the preset was left alone on purpose (read-only, or a rewrite would drop data);
  // notRenamed: true when the rename failed, false when the new name is taken.
  bool failed = false;
  // refreshed: the effect as written, for a dialog to show while the batch runs; null otherwise.
  const EffectSettings* settings = nullptr;
};

struct PresetRefreshSummary {
  int32_t code = 0;     // 0, or kSettingsFileNotFound when the folder cannot be listed
  std::string problem;  // with a code: why, in one line
  int refreshed = 0;
  int renamed = 0;
  int notRenamed = 0;
  int skipped = 0;  // every skipped preset, failed or not
  int failed = 0;   // events with `failed` set: skipped presets and renames that failed
  bool cancelled = false;
};

// Called once per event, in order; returning false stops the batch after the current preset.
using PresetRefreshReport = std::function<bool(const PresetRefreshEvent&)>;

// Whether `fileName` is one the batch treats as a preset: it holds "q9q" or "q5q" in any case.
bool isRefreshCandidate(std::string_view fileName);
// The name a refreshed "q9q" preset gets: the part after the last dot replaced by "q5q" (a name
// without a dot gets ".q5q" added). `fileName` itself when it holds no "q9q".
std::string refreshedPresetName(std::string_view fileName);

// Refreshes every preset of `folder`, in the order the file system lists the folder when the
// batch starts (files the batch itself writes or renames are not visited again). Sub-folders,
// read-only files and files whose names are not candidates are passed over; read-only presets
// are reported as skipped, the others silently. Each preset starts from the factory defaults,
// is read with its pictures looked up by name in the pictures folder (no one is asked; a
// missing picture is noted in the event), is named after its file, and is rendered with
// `pictures` over `source` (a 128 × 128 picture, or null for neutral grey). The pictures of
// `pictures` are replaced as each preset asks (a preset naming none gets the built-in
// environment, never the previous preset's picture); `random` is drawn from as by any render.
PresetRefreshSummary refreshPresets(const std::string& folder, const Picture* source,
                                    EffectPictures& pictures, RandomGenerator& random,
                                    const PresetRefreshReport& report);

// The batch as the plug-in's dialog runs it on the module's current effect: the effect is kept
// with its thumbnail in the preset-update memory-dot file, its second option word reads 1 while
// the batch runs, and afterwards `current` is exactly what it was (restored from memory, since
// a settings file keeps light components only to hundredths). `currentPictures` render the kept
// thumbnail and are not changed; the presets are rendered with pictures of their own.
PresetRefreshSummary refreshPresetsKeepingEffect(const std::string& folder, EffectSettings& current,
                                                 const EffectPictures& currentPictures,
                                                 const Picture* source, RandomGenerator& random,
                                                 const PresetRefreshReport& report);

}  // namespace orichalcumite
