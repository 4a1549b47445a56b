#include "settings/user_state.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/replace_file.h"
#include "base/user_folders.h"
#include "settings/picture_search.h"
#include "settings/registry.h"
#include "settings/settings_file.h"

namespace orichalcumite {
namespace {

constexpr int32_t kMemoryDotMapVersion = 221;
// The view fields after Parameters: no pan, fitted zoom, both view sliders at 100.
constexpr int32_t kFreshViewFields[5] = {0, 0, 1, 100, 100};

bool validDot(int dot, int last) { return dot >= 1 && dot <= last; }

std::string readWholeFile(const std::string& path, bool* found) {
  std::ifstream in(path, std::ios::binary);
  *found = static_cast<bool>(in);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void findPictures(EffectSettings& s, PictureContext context) {
  PictureSearch search{s, context.pictures, context.messages, context.missing, {}};
  // With someone to ask, a missing picture is looked for as a file (the name the file
  // carries may have moved with it).
  const bool interactive = static_cast<bool>(context.missing);
  const std::string environment = s.environmentName;
  loadSettingsPicture(search, environment, PictureWhich::environment, interactive, true);
  if (s.textureChoice == 13) {
    const std::string texture = s.textureName;
    loadSettingsPicture(search, texture, PictureWhich::texture, interactive, true);
  }
}

}  // namespace

UserState& moduleUserState() {
  static UserState state;
  return state;
}

std::string memoryDotFileName(int dot) {
  char name[64];
  std::snprintf(name, sizeof name, "%s A memory dot %d%s", "Orichalcumite", dot - 1, ".q5q");
  return name;
}

std::string undoFileName(int slot) {
  return std::string("Orichalcumite undo ") + (slot == 0 ? "0" : "1");
}

std::string stateFilePath(const std::string& fileName) {
  auto folder = programStateFolder(FolderUse::create);
  if (!folder) return {};
  return *folder + "/" + fileName;
}

int32_t loadSettingsFileWithPictures(const std::string& path, EffectSettings& s,
                                     PictureContext context) {
  if (path.empty()) return kSettingsFileNotFound;
  EffectSettings loaded = s;
  // The pictures folder is read before every load, so that the search looks where the user
  // last pointed it.
  if (auto folder = readRegistryValue(kEnviroPathValue))
    setText(loaded.picturesFolder, folder->c_str());
  const SettingsFileResult result = readSettingsFile(path, SettingsReadMode::load, loaded);
  // A file read only in part would leave a mixture of two effects; keep the one we had.
  if (result.code != 0) return result.code;
  s = loaded;
  findPictures(s, context);
  return 0;
}

std::array<int32_t, kMemoryDotCount> decodeMemoryDotMap(std::string_view bytes) {
  std::array<int32_t, kMemoryDotCount> map{};
  ByteReader reader(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  int32_t version = 0;
  if (!reader.i32(&version)) return map;
  for (int32_t& entry : map) {
    int32_t value = 0;
    if (!reader.i32(&value)) break;
    entry = value != 0 ? 1 : 0;
  }
  return map;
}

std::string encodeMemoryDotMap(const std::array<int32_t, kMemoryDotCount>& map) {
  ByteWriter writer;
  writer.i32(kMemoryDotMapVersion);
  for (int32_t entry : map) writer.i32(entry != 0 ? 1 : 0);
  const std::vector<uint8_t>& bytes = writer.data();
  return std::string(bytes.begin(), bytes.end());
}

void initialiseRun(EffectSettings& s, UserState& user, const RunStart& start,
                   PictureContext context) {
  setText(s.environmentName, "");
  setText(s.environmentPath, "");
  setText(s.textureName, "");
  setText(s.texturePath, "");
  for (UndoSlot& slot : user.undoSlots) {
    slot.valid = false;
    slot.fileBacked = false;
  }
  user.dotDisplay.fill(DotDisplay::empty);

  // With a descriptor the effect is Prepare's factory record, and Start applies the
  // descriptor over it.
  if (!start.descriptorPresent) loadCachedSettings(s, context);
  if (start.parametersJustRun)
    std::copy(std::begin(kFreshViewFields), std::end(kFreshViewFields), s.viewFields);

  user.dotMap.fill(0);
  bool found = false;
  const std::string path = stateFilePath(kMemoryDotMapFileName);
  if (!path.empty()) {
    const std::string bytes = readWholeFile(path, &found);
    if (found) user.dotMap = decodeMemoryDotMap(bytes);
  }
}

bool releaseRun(const UserState& user) {
  const std::string path = stateFilePath(kMemoryDotMapFileName);
  if (path.empty()) return false;
  return replaceFileContents(path, encodeMemoryDotMap(user.dotMap)).ok();
}

bool saveCachedSettings(const EffectSettings& s) {
  const std::string path = stateFilePath(kCachedSettingsFileName);
  return !path.empty() && writeSettingsFile(path, s, nullptr) == 0;
}

int32_t loadCachedSettings(EffectSettings& s, PictureContext context) {
  return loadSettingsFileWithPictures(stateFilePath(kCachedSettingsFileName), s, context);
}

StoredDot storeDot(int dot, const EffectSettings& s, const Picture* thumbnail, UserState& user) {
  StoredDot stored;
  if (!validDot(dot, kMemoryDotCount)) {
    stored.code = kSettingsWriteFailed;
    return stored;
  }
  const std::string path = stateFilePath(memoryDotFileName(dot));
  stored.code = path.empty() ? kSettingsWriteFailed : writeSettingsFile(path, s, thumbnail);
  if (stored.code != 0) return stored;
  user.dotMap[size_t(dot - 1)] = 1;
  for (DotDisplay& display : user.dotDisplay)
    if (display == DotDisplay::current) display = DotDisplay::stored;
  user.dotDisplay[size_t(dot - 1)] = DotDisplay::current;
  // What the well shows is what the file holds, so a thumbnail that did not survive the round
  // trip is seen at once.
  EffectSettings untouched = s;
  stored.thumbnail = readSettingsFile(path, SettingsReadMode::thumbnail, untouched).thumbnail;
  return stored;
}

int32_t recallDot(int dot, EffectSettings& s, UserState& user, PictureContext context) {
  if (!validDot(dot, kMemoryDotCount) || user.dotDisplay[size_t(dot - 1)] == DotDisplay::empty)
    return kSettingsFileNotFound;
  EffectSettings recalled = s;
  const int32_t code =
      loadSettingsFileWithPictures(stateFilePath(memoryDotFileName(dot)), recalled, context);
  if (code != 0) return code;
  s = recalled;
  char name[32];
  std::snprintf(name, sizeof name, "dot %d", dot);
  setText(s.settingsName, name);
  for (DotDisplay& display : user.dotDisplay)
    if (display == DotDisplay::current) display = DotDisplay::stored;
  user.dotDisplay[size_t(dot - 1)] = DotDisplay::current;
  return 0;
}

void clearDot(int dot, UserState& user) {
  if (!validDot(dot, kMemoryDotCount)) return;
  user.dotMap[size_t(dot - 1)] = 0;
  user.dotDisplay[size_t(dot - 1)] = DotDisplay::empty;
}

void showStoredDots(UserState& user) {
  for (size_t i = 0; i < user.dotMap.size(); ++i)
    if (user.dotMap[i] != 0 && user.dotDisplay[i] == DotDisplay::empty)
      user.dotDisplay[i] = DotDisplay::stored;
}

bool takeUndoStep(const EffectSettings& s, UserState& user, bool fileBacked) {
  user.currentUndoSlot ^= 1;
  UndoSlot& slot = user.undoSlots[size_t(user.currentUndoSlot)];
  copyEffect(s, slot.effect);
  slot.valid = true;
  slot.fileBacked = false;
  if (!fileBacked) return true;
  const std::string path = stateFilePath(undoFileName(user.currentUndoSlot));
  slot.fileBacked = !path.empty() && writeSettingsFile(path, s, nullptr) == 0;
  return slot.fileBacked;
}

bool undo(EffectSettings& s, UserState& user, PictureContext context) {
  const int other = user.currentUndoSlot ^ 1;
  const UndoSlot& slot = user.undoSlots[size_t(other)];
  if (!slot.valid) return false;
  copyEffect(slot.effect, s);
  // The file holds the picture names as well, which the slot's copy of the effect does not.
  if (slot.fileBacked) loadSettingsFileWithPictures(stateFilePath(undoFileName(other)), s, context);
  user.currentUndoSlot = other;
  return true;
}

void storePicturePaths(const EffectSettings& s) {
  writeRegistryValue(kChromeFileValue, s.environmentPath);
  writeRegistryValue(kChromeNameOnlyValue, s.environmentName);
  writeRegistryValue(kTextureFileValue, s.texturePath);
  writeRegistryValue(kTextureNameOnlyValue, s.textureName);
}

}  // namespace orichalcumite
