#include "app/preset_refresh_command.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "app/commands.h"
#include "app/image_files.h"
#include "app/preset_files.h"
#include "base/random_generator.h"
#include "gallery/preset_refresh.h"
#include "host/effect_thumbnail.h"
#include "pictures/effect_pictures.h"

namespace orichalcumite {
namespace {

void printLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string eventLine(const PresetRefreshEvent& event) {
  switch (event.step) {
    case PresetRefreshStep::refreshed:
      return "refreshed " + event.name + (event.reason.empty() ? "" : " (" + event.reason + ")");
    case PresetRefreshStep::renamed: return "renamed " + event.name + " -> " + event.newName;
    case PresetRefreshStep::notRenamed:
      return "not renamed " + event.name + " -> " + event.newName + ": " + event.reason;
    case PresetRefreshStep::skipped: return "skipped " + event.name + ": " + event.reason;
  }
  return {};
}

}  // namespace

int presetsRefreshCommand(const std::string& folder, const std::string& imagePath,
                          const std::atomic<bool>& cancel) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    printError(folder + " is not a folder");
    return kExitBadInput;
  }
  std::string error;
  const std::optional<Image> image = readImageFile(imagePath, &error, &cancel);
  if (!image) {
    if (cancel.load()) return kExitCancelled;
    printError("cannot read " + imagePath + ": " + error);
    return kExitBadInput;
  }
  const std::unique_ptr<Picture> source = imageThumbnail(*image, kEffectThumbnailSide);
  if (!source) {
    printError("not enough memory for the thumbnails' source picture");
    return kExitBadInput;
  }

  // The batch works on pictures and a generator of its own: the module's cached settings,
  // memory dots and pictures are never touched.
  EffectPictures pictures;
  RandomGenerator random;
  random.seedForRun();
  const PresetRefreshSummary summary =
      refreshPresets(folder, source.get(), pictures, random, [&](const PresetRefreshEvent& event) {
        printLine(eventLine(event));
        return !cancel.load();
      });
  if (summary.code != 0) {
    printError(summary.problem);
    return kExitBadInput;
  }
  std::string line = "refreshed " + std::to_string(summary.refreshed) + ", renamed " +
                     std::to_string(summary.renamed) + ", skipped " +
                     std::to_string(summary.skipped);
  if (summary.notRenamed > 0) line += ", not renamed " + std::to_string(summary.notRenamed);
  printLine(line);
  if (summary.cancelled) return kExitCancelled;
  return summary.failed > 0 ? kExitModuleError : kExitDone;
}

}  // namespace orichalcumite
