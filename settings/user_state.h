// The user's own state between runs, kept in the program's state folder
// ($XDG_STATE_HOME/orichalcumite, mode 0700) as settings files: the last effect, 25 memory
// dots with their map, and the two-step undo. The memory dots and the undo slots live in a
// UserState record that the module owns for as long as it is loaded; the host's data block
// does not hold them, so the module never depends on a host keeping that block.
//
// Everything here runs on the host's thread. A missing file is normal (a first run): the
// caller's values stand. Nothing here talks to the user except the picture search, which
// reports pictures that exist but cannot be read.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "pictures/picture.h"
#include "settings/effect_settings.h"
#include "settings/picture_search.h"

namespace orichalcumite {

class EffectPictures;
class UserMessages;

constexpr int kMemoryDotCount = 25;
// The memory-dot file that keeps the effect while presets are updated: one past the dots.
constexpr int kPresetUpdateDot = kMemoryDotCount + 1;

constexpr const char* kCachedSettingsFileName = "Orichalcumite cached settings D";
constexpr const char* kMemoryDotMapFileName = "Orichalcumite memdot map 3";

enum class DotDisplay : int32_t { empty = 0, stored = 1, current = 2 };

struct UndoSlot {
  EffectSettings effect{};  // only the effect's fields are meaningful
  bool valid = false;
  bool fileBacked = false;
};

struct UserState {
  // Persisted: 1 when the dot holds a stored effect.
  std::array<int32_t, kMemoryDotCount> dotMap{};
  // Not persisted: what the dot buttons show.
  std::array<DotDisplay, kMemoryDotCount> dotDisplay{};
  std::array<UndoSlot, 2> undoSlots{};
  int currentUndoSlot = 0;  // 0 or 1
};

// The module's record: one per loaded module, used only on the host's thread.
UserState& moduleUserState();

// Where a settings load finds and keeps its pictures.
struct PictureContext {
  EffectPictures& pictures;
  UserMessages& messages;
  // Asks the user about a picture that cannot be found (the dialog sets it while it is open);
  // null: the load goes on without the picture and nobody is asked.
  MissingPictureHook missing = nullptr;
};

// File names in the state folder. `dot` counts from 1 (1..26: 26 is kPresetUpdateDot); the
// file carries dot − 1. `slot` is 0 or 1.
std::string memoryDotFileName(int dot);
std::string undoFileName(int slot);
// The full path of `fileName` in the state folder, made (mode 0700) when missing; empty when
// there is no usable state folder.
std::string stateFilePath(const std::string& fileName);

// Reads a settings file in load mode and then finds its pictures without asking anyone: the
// environment picture, and the texture picture when the texture choice is the picture file.
// The file is read into a copy that replaces `s` only when the whole file was read, so a
// damaged or missing file leaves `s` as it was. Returns 0 or the settings-file code.
int32_t loadSettingsFileWithPictures(const std::string& path, EffectSettings& s,
                                     PictureContext context);

// The memory-dot map file: the version 221 and 25 entries, all big-endian ints. Reading
// takes the version unchecked; a short file leaves the entries it lacks at 0 and entries
// other than 0 count as 1.
std::array<int32_t, kMemoryDotCount> decodeMemoryDotMap(std::string_view bytes);
std::string encodeMemoryDotMap(const std::array<int32_t, kMemoryDotCount>& map);

struct RunStart {
  bool descriptorPresent = false;  // the host passes a scripting descriptor
  bool parametersJustRun = false;  // Parameters ran before this Start
};

// Start of a run: clears the picture names and paths, the undo slots and the dots' display
// states; unless a descriptor is present restores the last effect (loadCachedSettings);
// after Parameters resets the preview's view fields; reads the memory-dot map.
void initialiseRun(EffectSettings& s, UserState& user, const RunStart& start,
                   PictureContext context);
// End of a run (Finish, cancel, refusal): writes the memory-dot map. False when it could not
// be written.
bool releaseRun(const UserState& user);

// The last effect: written without thumbnail after every successful run; read at the start
// of a run without descriptor (a missing or damaged file leaves `s` as it is).
bool saveCachedSettings(const EffectSettings& s);
int32_t loadCachedSettings(EffectSettings& s, PictureContext context);

struct StoredDot {
  int32_t code = 0;                    // 0, or the settings-file code of the failure
  std::unique_ptr<Picture> thumbnail;  // read back from the file, for the effect-preview well
};

// Stores the effect of `s` with `thumbnail` (128 × 128, rendered by the caller) in dot
// `dot` (1..25), which becomes the only current dot. Nothing changes when the write fails.
StoredDot storeDot(int dot, const EffectSettings& s, const Picture* thumbnail, UserState& user);
// Loads dot `dot` into `s` and names the effect "dot <n>"; the dot becomes the only current
// one. A dot that is not stored, or whose file is missing or damaged, changes nothing and
// gives the settings-file code (-43 for missing).
int32_t recallDot(int dot, EffectSettings& s, UserState& user, PictureContext context);
// Empties the dot (map entry and display); its file stays and is overwritten by the next store.
void clearDot(int dot, UserState& user);
// At dialog start: every dot the map marks as stored shows as stored.
void showStoredDots(UserState& user);

// Takes an undo step: the other slot becomes current and receives the effect of `s`; with
// `fileBacked` the effect (with its picture names) is also written to that slot's undo file.
// False when the file could not be written (the slot then holds the effect without file).
bool takeUndoStep(const EffectSettings& s, UserState& user, bool fileBacked);
// Undoes to the other slot when it is valid: its effect returns to `s` (and, when it is
// file-backed, its file is read again for the picture names and pictures), and it becomes the
// current slot. Undoing twice returns to where the first undo started. False when there was
// nothing to undo.
bool undo(EffectSettings& s, UserState& user, PictureContext context);

// Writes the environment's and the texture's full path and bare name to the settings key.
void storePicturePaths(const EffectSettings& s);

}  // namespace orichalcumite
