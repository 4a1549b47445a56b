#include "gallery/preset_refresh.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "base/random_generator.h"
#include "base/text_compare.h"
#include "base/user_messages.h"
#include "host/effect_thumbnail.h"
#include "pictures/effect_pictures.h"
#include "render/picture_target.h"
#include "render/worker_pool.h"
#include "settings/effect_settings.h"
#include "settings/picture_search.h"
#include "settings/settings_file.h"
#include "settings/user_state.h"

namespace orichalcumite {
namespace {

constexpr int kTextureChoicePicture = 13;

// Keeps what the picture search would tell the user, so that a batch does not stop at every
// preset to show a message; the text goes into the preset's event instead.
class CollectedMessages final : public UserMessages {
 public:
  void tell(const char*, const char* text) override { note(text); }
  void note(const std::string& text) {
    if (!text_.empty()) text_ += "; ";
    text_ += text;
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// Closes a directory stream when it goes.
struct FolderCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using FolderHandle = std::unique_ptr<DIR, FolderCloser>;

// Read-only means the owner may not write it (the permission a user takes away to protect a
// file), or that we may not: the first also holds for a process that may write anything.
bool isReadOnly(int folderFd, const char* name, const struct stat& info) {
  return (info.st_mode & S_IWUSR) == 0 || faccessat(folderFd, name, W_OK, AT_EACCESS) != 0;
}

std::string readProblem(const SettingsFileResult& result) {
  std::string reason;
  switch (result.code) {
    case kSettingsFileNotFound: reason = "it no longer exists"; break;
    case kSettingsReadFailed: reason = "it cannot be read or is damaged"; break;
    default: reason = "read error " + std::to_string(result.code); break;
  }
  if (!result.problem.empty()) reason += " (" + result.problem + ")";
  return reason;
}

// Renames `from` to `to` in the folder without ever replacing a file called `to`. Systems whose
// file system lacks an exclusive rename get a hard link and an unlink, which fail the same way.
int renameWithoutReplacing(int folderFd, const char* from, const char* to) {
  if (renameat2(folderFd, from, folderFd, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
  if (linkat(folderFd, from, folderFd, to, 0) != 0) return errno;
  if (unlinkat(folderFd, from, 0) != 0) {
    const int error = errno;
    // Both names now hold the same file; take the new one back so that nothing doubled.
    unlinkat(folderFd, to, 0);
    return error;
  }
  return 0;
}

// The record each preset is read into: the factory effect, no pictures, no run-time state.
EffectSettings factoryRecord() {
  EffectSettings s;
  std::memset(&s, 0, sizeof s);
  resetRunTimeFields(s);
  loadFactoryDefaults(s);
  s.environmentSpin = 0;
  return s;
}

// Looks up the pictures `s` names, without asking anyone; what is missing goes to `messages`.
void findPictures(EffectSettings& s, EffectPictures& pictures, CollectedMessages& messages) {
  // A preset that names no picture, or one that cannot be found, renders with the built-in
  // environment and no texture picture, never with the previous preset's.
  pictures.setEnvironment(nullptr);
  pictures.setTexturePicture(nullptr);
  PictureSearch search{s, pictures, messages, nullptr, {}};
  const std::string environment = s.environmentName;
  if (loadSettingsPicture(search, environment, PictureWhich::environment, false, false) != 0)
    messages.note("environment picture \"" + environment + "\" not found");
  if (s.textureChoice == kTextureChoicePicture) {
    const std::string texture = s.textureName;
    if (loadSettingsPicture(search, texture, PictureWhich::texture, false, false) != 0)
      messages.note("texture picture \"" + texture + "\" not found");
  }
}

class Batch {
 public:
  Batch(const std::string& folder, const Picture* source, EffectPictures& pictures,
        RandomGenerator& random, const PresetRefreshReport& report)
      : folder_(folder), source_(source), pictures_(pictures), random_(random), report_(report) {}

  PresetRefreshSummary run() {
    FolderHandle dir(opendir(folder_.c_str()));
    if (!dir) {
      summary_.code = kSettingsFileNotFound;
      summary_.problem = "cannot list the folder " + folder_ + ": " + std::strerror(errno);
      return summary_;
    }
    // The names are taken before anything is written: the temporary files of the writes and
    // the new names of renamed presets would otherwise turn up later in the same listing.
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = readdir(dir.get())) {
      const std::string_view name = entry->d_name;
      if (name != "." && name != ".." && isRefreshCandidate(name)) names.emplace_back(name);
      errno = 0;
    }
    if (errno != 0) {
      summary_.code = kSettingsFileNotFound;
      summary_.problem = "cannot list the folder " + folder_ + ": " + std::strerror(errno);
      return summary_;
    }
    folderFd_ = dirfd(dir.get());
    for (const std::string& name : names) {
      if (!refreshOne(name)) {
        summary_.cancelled = true;
        break;
      }
    }
    return summary_;
  }

 private:
  bool tell(const PresetRefreshEvent& event) { return !report_ || report_(event); }

  bool skip(const std::string& name, std::string reason, bool failed) {
    ++summary_.skipped;
    if (failed) ++summary_.failed;
    PresetRefreshEvent event;
    event.step = PresetRefreshStep::skipped;
    event.name = name;
    event.reason = std::move(reason);
    event.failed = failed;
    return tell(event);
  }

  // False when the report asks to stop.
  bool refreshOne(const std::string& name) {
    struct stat info {};
    // Symbolic links are followed: a link to a preset is a preset, a link to a folder a folder.
    if (fstatat(folderFd_, name.c_str(), &info, 0) != 0)
      return skip(name, std::string("cannot look at it: ") + std::strerror(errno), true);
    if (S_ISDIR(info.st_mode)) return true;
    if (!S_ISREG(info.st_mode)) return true;
    if (isReadOnly(folderFd_, name.c_str(), info)) return skip(name, "it is read-only", false);

    const std::string path = folder_ + "/" + name;
    EffectSettings s = factoryRecord();
    const SettingsFileResult read = readSettingsFile(path, SettingsReadMode::load, s);
    if (read.code != 0) return skip(name, readProblem(read), true);
    // The writer has no place for a picture embedded in an old file; writing the file again
    // would lose it.
    if (read.embeddedPictureSkipped)
      return skip(name, "it embeds a picture that writing it again would drop", false);

    CollectedMessages notes;
    findPictures(s, pictures_, notes);
    setText(s.settingsName, name.c_str());
    if (!pictures_.ensureEnvironment() ||
        !pictures_.prepareTexture(s.textureChoice, random_, kEffectThumbnailSide,
                                  poolPictureRunner(processorCount())))
      return skip(name, "out of memory for its pictures", true);
    const std::unique_ptr<Picture> thumbnail =
        renderEffectThumbnail(s, pictures_, random_, kEffectThumbnailSide, source_);
    if (!thumbnail) return skip(name, "its thumbnail could not be rendered", true);
    if (writeSettingsFile(path, s, thumbnail.get()) != 0)
      return skip(name, "it could not be written; the old file stays", true);

    ++summary_.refreshed;
    PresetRefreshEvent refreshed;
    refreshed.step = PresetRefreshStep::refreshed;
    refreshed.name = name;
    refreshed.reason = notes.text();
    refreshed.settings = &s;
    if (!tell(refreshed)) return false;

    const std::string newName = refreshedPresetName(name);
    if (newName == name) return true;
    PresetRefreshEvent renamed;
    renamed.name = name;
    renamed.newName = newName;
    const int error = renameWithoutReplacing(folderFd_, name.c_str(), newName.c_str());
    if (error == 0) {
      ++summary_.renamed;
      renamed.step = PresetRefreshStep::renamed;
    } else {
      ++summary_.notRenamed;
      renamed.step = PresetRefreshStep::notRenamed;
      renamed.failed = error != EEXIST;
      if (renamed.failed) ++summary_.failed;
      renamed.reason =
          error == EEXIST ? newName + " already exists" : std::string(std::strerror(error));
    }
    return tell(renamed);
  }

  const std::string& folder_;
  const Picture* source_;
  EffectPictures& pictures_;
  RandomGenerator& random_;
  const PresetRefreshReport& report_;
  int folderFd_ = -1;
  PresetRefreshSummary summary_;
};

}  // namespace

bool isRefreshCandidate(std::string_view fileName) {
  const std::string lower = asciiLowerText(fileName);
  return lower.find("q9q") != std::string::npos || lower.find("q5q") != std::string::npos;
}

std::string refreshedPresetName(std::string_view fileName) {
  if (asciiLowerText(fileName).find("q9q") == std::string::npos) return std::string(fileName);
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return std::string(fileName) + ".q5q";
  return std::string(fileName.substr(0, dot + 1)) + "q5q";
}

PresetRefreshSummary refreshPresets(const std::string& folder, const Picture* source,
                                    EffectPictures& pictures, RandomGenerator& random,
                                    const PresetRefreshReport& report) {
  return Batch(folder, source, pictures, random, report).run();
}

PresetRefreshSummary refreshPresetsKeepingEffect(const std::string& folder, EffectSettings& current,
                                                 const EffectPictures& currentPictures,
                                                 const Picture* source, RandomGenerator& random,
                                                 const PresetRefreshReport& report) {
  const EffectSettings kept = current;
  // The kept effect also goes to its memory-dot file, with its thumbnail, so that it survives
  // even a batch that never returns.
  const std::string keptPath = stateFilePath(memoryDotFileName(kPresetUpdateDot));
  if (!keptPath.empty()) {
    const std::unique_ptr<Picture> thumbnail =
        renderEffectThumbnail(current, currentPictures, random, kEffectThumbnailSide, source);
    writeSettingsFile(keptPath, current, thumbnail.get());
  }
  current.secondOptionWord = 1;
  EffectPictures pictures;
  PresetRefreshSummary summary = refreshPresets(folder, source, pictures, random, report);
  current = kept;
  return summary;
}

}  // namespace orichalcumite
