// Finding the pictures an effect names again: the environment and texture pictures that
// scripting, presets, memory dots and the registry carry by bare name are looked up in the
// pictures folder ("EnviroPath") and loaded into the module's pictures.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orichalcumite {

struct EffectSettings;
class EffectPictures;
class UserMessages;

constexpr int32_t kPictureNotFound = 222;

enum class PictureWhich { environment, texture };

// What the search asks the user when a named picture is missing (the dialog fills this in).
// Returns the path the user chose, or an empty text when the user gives up. `askForFile`
// chooses "find the missing file" over "choose any file in the pictures folder".
using MissingPictureHook =
    std::function<std::string(PictureWhich which, const std::string& baseName, bool askForFile)>;

// Change flags the preview consults to rebuild what depends on a picture.
struct PictureChangeFlags {
  bool environmentChanged = false;
  bool textureChanged = false;
  bool fileProblemSeen = false;
};

struct PictureSearch {
  EffectSettings& settings;
  EffectPictures& pictures;
  UserMessages& messages;      // told about pictures that cannot be read
  MissingPictureHook missing;  // null: a missing picture is not asked about
  PictureChangeFlags flags;
};

// Finds and loads the picture `nameOrPath` names (a bare name, with or without an ending, or a
// path): 0 when it was loaded or no picture is wanted ("", ".x", "<none>"), kPictureNotFound
// when it cannot be found. On success the full-path and name fields receive the file found.
int32_t loadSettingsPicture(PictureSearch& search, const std::string& nameOrPath,
                            PictureWhich which, bool interactive, bool askForFile);

// True when `nameOrPath` asks for no picture: with its extension stripped, its file name is
// empty or starts with ".", or it contains "<none>" in any case.
bool noPictureWanted(const std::string& nameOrPath);

// The bare name of a picture: the file name without folder and without extension.
std::string pictureBaseName(const std::string& nameOrPath);

// The files the search tries for `nameOrPath`, in order. A bare name is looked for in
// `folder` (none without a folder) with the endings none, ".pict", ".pct", ".jpg", ".jpeg",
// ".bmp", ".png", ".tif" after its own extension is stripped; a name holding a '/' is a path,
// tried as it stands and then with those endings in its own folder.
std::vector<std::string> pictureCandidates(const std::string& folder,
                                           const std::string& nameOrPath);

}  // namespace orichalcumite
