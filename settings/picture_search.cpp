#include "settings/picture_search.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "base/text_compare.h"
#include "base/user_messages.h"
#include "pictures/effect_pictures.h"
#include "pictures/picture_files.h"
#include "settings/effect_settings.h"
#include "settings/registry.h"

namespace orichalcumite {
namespace {

// Picture names were once stored with any of these endings, or none; other files in the
// pictures folder are never picked up by name.
constexpr std::array<const char*, 8> kTriedEndings = {"",      ".pict", ".pct", ".jpg",
                                                      ".jpeg", ".bmp",  ".png", ".tif"};

std::string fileNameOf(const std::string& nameOrPath) {
  const size_t slash = nameOrPath.rfind('/');
  return slash == std::string::npos ? nameOrPath : nameOrPath.substr(slash + 1);
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string withoutExtension(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

// Found means a regular file that can be opened for reading: a folder of the same name is not
// a picture.
bool readableFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  return regular;
}

const char* whichText(PictureWhich which) {
  return which == PictureWhich::environment ? "environment" : "texture";
}

// The folder the search looks in: the registry's, else the one the settings hold.
void reloadPicturesFolder(EffectSettings& s) {
  const std::optional<std::string> folder = readRegistryValue(kEnviroPathValue);
  if (folder && !folder->empty()) setText(s.picturesFolder, folder->c_str());
}

// Stores a path only when the field holds it whole: a cut path names another file.
void storePath(char (&field)[kTextCapacity], const std::string& path) {
  setText(field, path.size() < kTextCapacity ? path.c_str() : "");
}

// Decodes the file found into its slot. A file that cannot be decoded leaves the old picture;
// the user hears which file and why.
void loadFound(PictureSearch& search, const std::string& path, PictureWhich which) {
  EffectSettings& s = search.settings;
  const std::string baseName = pictureBaseName(path);
  if (which == PictureWhich::environment) {
    storePath(s.environmentPath, path);
    setText(s.environmentName, baseName.c_str());
  } else {
    storePath(s.texturePath, path);
    setText(s.textureName, baseName.c_str());
  }
  Result<std::unique_ptr<Picture>> picture =
      decodePictureFile(path, which == PictureWhich::environment ? PictureFileSlot::environment
                                                                 : PictureFileSlot::texture);
  if (!picture) {
    const std::string text =
        std::string("The ") + whichText(which) +
        " picture could not be read, so the previous one stays: " + picture.message();
    search.messages.tell("Can't open file", text.c_str());
    return;
  }
  if (which == PictureWhich::environment) {
    search.pictures.setEnvironment(std::move(*picture));
  } else {
    s.textureWidth = (*picture)->width();
    s.textureHeight = (*picture)->height();
    search.pictures.setTexturePicture(std::move(*picture));
  }
}

}  // namespace

bool noPictureWanted(const std::string& nameOrPath) {
  const std::string stem = withoutExtension(fileNameOf(nameOrPath));
  return stem.empty() || stem[0] == '.' ||
         asciiLowerText(nameOrPath).find("<none>") != std::string::npos;
}

std::string pictureBaseName(const std::string& nameOrPath) {
  return withoutExtension(fileNameOf(nameOrPath));
}

std::vector<std::string> pictureCandidates(const std::string& folder,
                                           const std::string& nameOrPath) {
  std::vector<std::string> candidates;
  std::filesystem::path base;
  if (nameOrPath.find('/') != std::string::npos) {
    candidates.push_back(nameOrPath);
    base = std::filesystem::path(folderOf(nameOrPath)) / pictureBaseName(nameOrPath);
  } else {
    // Without a pictures folder a bare name says nothing about where the file is.
    if (folder.empty()) return candidates;
    base = std::filesystem::path(folder) / pictureBaseName(nameOrPath);
  }
  for (const char* ending : kTriedEndings) {
    std::string candidate = base.string() + ending;
    if (candidate != nameOrPath) candidates.push_back(std::move(candidate));
  }
  return candidates;
}

int32_t loadSettingsPicture(PictureSearch& search, const std::string& nameOrPath,
                            PictureWhich which, bool interactive, bool askForFile) {
  EffectSettings& s = search.settings;
  reloadPicturesFolder(s);
  if (which == PictureWhich::environment) {
    search.flags.environmentChanged = true;
  } else {
    search.flags.textureChanged = true;
  }

  std::string name = nameOrPath;
  for (;;) {
    if (noPictureWanted(name)) {
      search.flags.fileProblemSeen = true;
      return 0;
    }
    const std::string folder(s.picturesFolder, strnlen(s.picturesFolder, kTextCapacity));
    for (const std::string& candidate : pictureCandidates(folder, name)) {
      if (!readableFile(candidate)) continue;
      loadFound(search, candidate, which);
      return 0;
    }
    if (!interactive || !search.missing) return kPictureNotFound;

    search.flags.fileProblemSeen = true;
    const std::string chosen = search.missing(which, pictureBaseName(name), askForFile);
    if (chosen.empty()) return kPictureNotFound;
    const std::string chosenFolder = folderOf(chosen);
    setText(s.picturesFolder, chosenFolder.c_str());
    writeRegistryValue(kEnviroPathValue, chosenFolder);
    if (askForFile) {
      // The file the user found replaces the name; its folder is also where the next open
      // dialog starts.
      writeRegistryValue(kCurrentDirectoryValue, chosenFolder);
      name = chosen;
    }
  }
}

}  // namespace orichalcumite
