#include "gallery/gallery_pages.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>

#include "base/replace_file.h"
#include "base/user_messages.h"
#include "gallery/frame_images.h"
#include "gallery/page_text.h"
#include "gallery/page_writer.h"
#include "gallery/picture_fit.h"
#include "pictures/effect_pictures.h"
#include "pictures/jpeg_thumbnail.h"
#include "pictures/picture_files.h"
#include "settings/effect_settings.h"
#include "settings/enumerations.h"
#include "settings/picture_search.h"
#include "settings/settings_file.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;

constexpr int kTextureFileChoice = 13;

// The page's files: the "web_images" folder with its frame images, and the page itself,
// written under a temporary name until the page is complete.
class PageFiles {
 public:
  static Result<PageFiles> open(const std::string& pagePath) {
    const fs::path page = fs::absolute(fs::path(pagePath));
    const fs::path images = page.parent_path() / kWebImagesFolder;
    std::error_code ec;
    fs::create_directory(images, ec);
    if (ec || !fs::is_directory(images))
      return Status(StatusCode::ioError, "cannot make the folder " + images.string() + ": " +
                                             (ec ? ec.message() : "a file of that name exists"));
    for (const FrameImage& frame : kFrameImages) {
      const std::vector<uint8_t> gif = frameImageFile(frame);
      const Status written = replaceFileContents(
          (images / frame.fileName).string(),
          std::string_view(reinterpret_cast<const char*>(gif.data()), gif.size()));
      if (!written) return written;
    }
    Result<TemporaryFile> file = TemporaryFile::create(page.string());
    if (!file) return file.status();
    return PageFiles(images, std::move(file.value()));
  }

  // The thumbnail name (without ".jpg") of the file `name`, not yet used on this page: files
  // that differ only in their extension ("a.png", "a.jpg") or in what sanitising changes
  // would otherwise share one thumbnail, and all but one cell would show the wrong picture.
  std::string claimThumbnail(std::string_view name) {
    const std::string stem = thumbnailStem(name);
    std::string candidate = stem;
    for (int n = 2; !claimed_.insert(candidate).second; ++n)
      candidate = stem + " (" + std::to_string(n) + ")";
    return candidate;
  }

  std::string thumbnailPath(std::string_view thumbnail) const {
    return (images_ / (std::string(thumbnail) + ".jpg")).string();
  }

  // No thumbnail for a cell: an old one would show a picture the file no longer holds.
  void removeThumbnail(std::string_view thumbnail) const {
    std::error_code ec;
    fs::remove(thumbnailPath(thumbnail), ec);
  }

  Status finish(const std::string& text) {
    const Status written = page_.write(text);
    if (!written) return written;
    return page_.commit();
  }

 private:
  PageFiles(fs::path images, TemporaryFile page)
      : images_(std::move(images)), page_(std::move(page)) {}

  fs::path images_;
  TemporaryFile page_;
  std::set<std::string> claimed_;
};

// One presets or pictures page at a time.
std::atomic<bool> gFolderPageRunning{false};

class FolderPageGuard {
 public:
  FolderPageGuard() : owner_(!gFolderPageRunning.exchange(true)) {}
  ~FolderPageGuard() {
    if (owner_) gFolderPageRunning.store(false);
  }
  FolderPageGuard(const FolderPageGuard&) = delete;
  FolderPageGuard& operator=(const FolderPageGuard&) = delete;
  bool owner() const { return owner_; }

 private:
  bool owner_;
};

// The names of the files of `folder` (sub-folders left out) that contain one of `patterns`,
// sorted by name so that a page lists them the same way every time.
Result<std::vector<std::string>> folderEntries(const std::string& folder,
                                               std::initializer_list<std::string_view> patterns) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec)
    return Status(StatusCode::notFound, "cannot list the folder " + folder + ": " + ec.message());
  std::vector<std::string> names;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec)
      return Status(StatusCode::ioError, "cannot list the folder " + folder + ": " + ec.message());
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    const std::string name = it->path().filename().string();
    const bool wanted = std::any_of(patterns.begin(), patterns.end(), [&](std::string_view p) {
      return name.find(p) != std::string::npos;
    });
    if (wanted) names.push_back(name);
  }
  if (ec)
    return Status(StatusCode::ioError, "cannot list the folder " + folder + ": " + ec.message());
  std::sort(names.begin(), names.end());
  return names;
}

// The source folder as the heading shows it: the folder's path ending in a slash.
std::string headingFolder(const std::string& folder) {
  std::string text = fs::absolute(fs::path(folder)).lexically_normal().string();
  if (text.empty() || text.back() != '/') text += '/';
  return text;
}

EffectSettings factoryEffect() {
  EffectSettings s{};
  resetRunTimeFields(s);
  loadFactoryDefaults(s);
  return s;
}

std::string settingsProblem(const std::string& name, const SettingsFileResult& read) {
  std::string line = "cannot read the preset " + name;
  if (read.code == kSettingsFileNotFound) return line + ": no such file";
  if (!read.problem.empty()) return line + ": " + read.problem;
  return line;
}

// Writes `picture` as `thumbnail`, the thumbnail of the file `name`; false, with a line in the
// report, on failure.
bool writeThumbnail(const PageFiles& files, const std::string& thumbnail, std::string_view name,
                    const Picture& picture, PageReport& report) {
  const Status written = writeJpegFile(picture, files.thumbnailPath(thumbnail), kThumbnailQuality);
  if (written) {
    ++report.thumbnails;
    return true;
  }
  report.problems.push_back("cannot write the thumbnail of " + std::string(name) + ": " +
                            written.message());
  files.removeThumbnail(thumbnail);
  return false;
}

// Decodes a picture file to at most `side` pixels on its larger side.
std::unique_ptr<Picture> pictureThumbnail(const std::string& path, int side) {
  std::unique_ptr<Picture> picture;
  if (decodePictureToBitmap(path.c_str(), &picture, side) != kBitmapDone || !picture)
    return nullptr;
  // The decoder bounds the width only; a tall picture is brought down here.
  if (picture->height() > side) {
    const PictureSize size = fittedSize(picture->width(), picture->height(), side);
    picture = resizedPicture(*picture, size.width, size.height);
  }
  return picture;
}

}  // namespace

std::pair<std::string, std::string> presetCaptionLines(const EffectSettings& s) {
  std::string first = std::string(enumName(Enumeration::glueMode, s.glue)) + " glue, " +
                      std::string(enumName(Enumeration::bevelShape, s.shape)) + " bevel";
  std::string second;
  if (s.textureChoice == kTextureFileChoice && !noPictureWanted(s.textureName))
    second = std::string("texture ") + std::string(s.textureName);
  else if (s.textureChoice == 1)
    second = "no texture";
  else
    second = std::string(enumName(Enumeration::textureChoice, s.textureChoice)) + " texture";
  second += noPictureWanted(s.environmentName) ? std::string(", built-in environment")
                                               : ", environment " + std::string(s.environmentName);
  return {std::move(first), std::move(second)};
}

Result<PageReport> writePresetsPage(const std::string& sourceFolder, const std::string& pagePath) {
  const FolderPageGuard guard;
  if (!guard.owner()) return Status(StatusCode::cancelled, "another gallery page is being written");
  Result<std::vector<std::string>> names = folderEntries(sourceFolder, {".q5q"});
  if (!names) return names.status();
  Result<PageFiles> files = PageFiles::open(pagePath);
  if (!files) return files.status();

  PageReport report;
  PageWriter page(PageKind::presets, headingFolder(sourceFolder));
  page.start();
  for (const std::string& name : *names) {
    const std::string thumbnail = files->claimThumbnail(name);
    EffectSettings preset = factoryEffect();
    const SettingsFileResult read =
        readSettingsFile((fs::path(sourceFolder) / name).string(), SettingsReadMode::load, preset);
    std::pair<std::string, std::string> captions;
    if (read.code != 0) {
      report.problems.push_back(settingsProblem(name, read));
      files->removeThumbnail(thumbnail);
    } else {
      captions = presetCaptionLines(preset);
      if (read.thumbnail) {
        writeThumbnail(*files, thumbnail, name, *read.thumbnail, report);
      } else {
        report.problems.push_back("the preset " + name + " holds no preview");
        files->removeThumbnail(thumbnail);
      }
    }
    page.addCell(name, kGalleryThumbnailSide, kGalleryThumbnailSide, captions.first,
                 captions.second, thumbnail);
    ++report.cells;
  }
  page.end();
  const Status finished = files->finish(page.text());
  if (!finished) return finished;
  return report;
}

Result<PageReport> writePicturesPage(const std::string& sourceFolder, const std::string& pagePath) {
  const FolderPageGuard guard;
  if (!guard.owner()) return Status(StatusCode::cancelled, "another gallery page is being written");
  Result<std::vector<std::string>> names =
      folderEntries(sourceFolder, {".psd", ".bmp", ".jpg", ".jpeg", ".png", ".gif", ".tif"});
  if (!names) return names.status();
  Result<PageFiles> files = PageFiles::open(pagePath);
  if (!files) return files.status();

  PageReport report;
  PageWriter page(PageKind::pictures, headingFolder(sourceFolder));
  page.start();
  for (const std::string& name : *names) {
    const std::string thumbnailName = files->claimThumbnail(name);
    PictureSize cell{kGalleryThumbnailSide, kGalleryThumbnailSide};
    const std::unique_ptr<Picture> thumbnail =
        pictureThumbnail((fs::path(sourceFolder) / name).string(), kGalleryThumbnailSide);
    if (thumbnail) {
      cell = fittedSize(thumbnail->width(), thumbnail->height(), kGalleryThumbnailSide);
      writeThumbnail(*files, thumbnailName, name, *thumbnail, report);
    } else {
      report.problems.push_back("cannot read the picture " + name);
      files->removeThumbnail(thumbnailName);
    }
    page.addCell(name, cell.width, cell.height, {}, {}, thumbnailName);
    ++report.cells;
  }
  page.end();
  const Status finished = files->finish(page.text());
  if (!finished) return finished;
  return report;
}

Result<PageReport> writeMemoryDotsPage(const std::string& pagePath,
                                       const MemoryDotsPageRequest& request) {
  if (!request.image || !request.render || !request.messages)
    return Status(StatusCode::invalidArgument,
                  "the memory-dots page needs an image and a renderer");
  const PictureSize size =
      fittedSize(request.image->width(), request.image->height(), kDotPictureSide);
  const std::unique_ptr<Picture> source = resizedPicture(*request.image, size.width, size.height);
  if (!source) return Status(StatusCode::ioError, "out of memory for the memory-dots page");
  Result<PageFiles> files = PageFiles::open(pagePath);
  if (!files) return files.status();

  PageReport report;
  PageWriter page(PageKind::memoryDots, {});
  page.start();
  for (int dot = 1; dot <= kMemoryDotCount; ++dot) {
    if (!request.stored[static_cast<size_t>(dot - 1)]) continue;
    char nameText[32];
    std::snprintf(nameText, sizeof nameText, "dot %d.jpg", dot);
    const std::string name = nameText;
    const std::string thumbnail = files->claimThumbnail(name);
    // A copy of the factory effect takes the dot, so nothing of the user's effect changes.
    EffectSettings effect = factoryEffect();
    EffectPictures pictures;
    const int32_t code = loadSettingsFileWithPictures(stateFilePath(memoryDotFileName(dot)), effect,
                                                      {pictures, *request.messages});
    std::unique_ptr<Picture> rendered;
    if (code != 0) {
      report.problems.push_back("cannot read memory dot " + std::to_string(dot) + " (code " +
                                std::to_string(code) + ")");
    } else {
      rendered = request.render(effect, pictures, *source);
      if (!rendered) report.problems.push_back("cannot render memory dot " + std::to_string(dot));
    }
    if (rendered)
      writeThumbnail(*files, thumbnail, name, *rendered, report);
    else
      files->removeThumbnail(thumbnail);
    page.addCell(name, size.width, size.height, {}, {}, thumbnail);
    ++report.cells;
  }
  page.end();
  const Status finished = files->finish(page.text());
  if (!finished) return finished;
  return report;
}

}  // namespace orichalcumite
