// Writing the gallery pages: a folder of presets, a folder of pictures, or the stored memory
// dots as a page of framed thumbnails that a browser shows. Beside the page goes the folder
// "web_images" with the thumbnails (JPEG) and the four frame images (GIF).
//
// Every file is written to a temporary name and renamed into place, so an existing page or
// thumbnail is replaced whole or not at all. A file of the folder that cannot be read still
// gets its cell (without thumbnail: an old thumbnail of the same name is removed) and is named
// in the report. Runs on the caller's thread; the presets and pictures pages refuse to start
// while another of them is being written.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/status.h"
#include "pictures/picture.h"
#include "settings/user_state.h"

namespace orichalcumite {

struct EffectSettings;
class EffectPictures;
class UserMessages;

constexpr int kGalleryThumbnailSide = 88;  // presets and pictures
constexpr int kDotPictureSide = 300;       // memory dots: the larger side of each render

struct PageReport {
  int cells = 0;                      // one per file or dot shown
  int thumbnails = 0;                 // thumbnails written
  std::vector<std::string> problems;  // one line per file that could not be shown
};

// The two caption lines the presets page shows under a preset: its glue mode and bevel shape,
// and its texture and environment, by their dialog names.
std::pair<std::string, std::string> presetCaptionLines(const EffectSettings& s);

// The page of every file of `sourceFolder` whose name contains ".q5q", sorted by name, each
// with the preview stored in it and two caption lines. Fails, writing no page, when the
// folder cannot be listed or the page's files cannot be written.
Result<PageReport> writePresetsPage(const std::string& sourceFolder, const std::string& pagePath);

// The page of every picture file of `sourceFolder` (names containing ".psd", ".bmp", ".jpg",
// ".jpeg", ".png", ".gif" or ".tif"), each reduced to at most 88 pixels on its larger side.
Result<PageReport> writePicturesPage(const std::string& sourceFolder, const std::string& pagePath);

// Renders an effect over `source`, at the source's size, with `pictures` (which the dot
// filled; the renderer prepares their texture tile). Null when the render fails.
using EffectOverPicture = std::function<std::unique_ptr<Picture>(
    const EffectSettings& effect, EffectPictures& pictures, const Picture& source)>;

struct MemoryDotsPageRequest {
  std::array<bool, kMemoryDotCount> stored{};  // the dots that hold an effect
  const Picture* image = nullptr;  // rendered over, fitted to 300 pixels on its larger side
  EffectOverPicture render;
  UserMessages* messages = nullptr;  // told about pictures a dot names that cannot be read
};

// The page of the stored dots, each effect read from its dot file (into a copy: the user's
// current and cached settings stay as they are) and rendered over the image.
Result<PageReport> writeMemoryDotsPage(const std::string& pagePath,
                                       const MemoryDotsPageRequest& request);

}  // namespace orichalcumite
