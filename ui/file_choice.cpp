#include "ui/file_choice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "pictures/picture.h"
#include "render/preview.h"

namespace orichalcumite {
namespace {

struct FilterEntry {
  int type;
  bool save;
  bool open;
  FileFilter filter;
};

constexpr FilterEntry kFilters[] = {
    {0, true, true, {"Bitmap files (*.bmp)", "*.bmp"}},
    {1, true, false, {"Orichalcumite presets (*.q5q)", "*.q5q"}},
    {1, false, true, {"All Orichalcumite presets (*.q9q, *.q5q)", "*.q9q;*.q5q"}},
    {2, true, false, {"Photoshop files (*.psd)", "*.psd"}},
    {3, true, false, {"HTML files (*.html)", "*.html"}},
    {4, true, false, {"LDraw files (*.ldr)", "*.ldr"}},
    {5, false, true, {"All files (*.*)", "*.*"}},
    {6, true, false, {"Wavefront files (*.obj)", "*.obj"}},
    {7, false, true, {"All Image Files", kPicturePattern}},
};

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool endsWithIgnoringCase(std::string_view text, std::string_view ending) {
  if (ending.size() > text.size()) return false;
  const std::string_view tail = text.substr(text.size() - ending.size());
  return std::equal(tail.begin(), tail.end(), ending.begin(),
                    [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
}

}  // namespace

std::optional<FileFilter> fileFilter(int type, bool save) {
  for (const FilterEntry& entry : kFilters)
    if (entry.type == type && (save ? entry.save : entry.open)) return entry.filter;
  return std::nullopt;
}

std::vector<std::string> splitPatterns(std::string_view patterns) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= patterns.size()) {
    const size_t end = std::min(patterns.find(';', start), patterns.size());
    if (end > start) out.emplace_back(patterns.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

std::string defaultExtension(std::string_view patterns) {
  const std::vector<std::string> all = splitPatterns(patterns);
  if (all.empty()) return {};
  const std::string& first = all.front();
  const size_t dot = first.rfind('.');
  if (dot == std::string::npos) return {};
  std::string extension = first.substr(dot);
  if (extension == ".*" || extension.find('*') != std::string::npos) return {};
  return extension;
}

std::string withDefaultExtension(const std::string& path, std::string_view patterns) {
  const size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string::npos
                                    ? std::string_view(path)
                                    : std::string_view(path).substr(slash + 1);
  if (name.empty() || name.find('.') != std::string_view::npos) return path;
  return path + defaultExtension(patterns);
}

bool matchesPatterns(std::string_view fileName, std::string_view patterns) {
  for (const std::string& pattern : splitPatterns(patterns)) {
    if (pattern == "*.*" || pattern == "*") return true;
    if (pattern.size() > 1 && pattern[0] == '*' &&
        endsWithIgnoringCase(fileName, std::string_view(pattern).substr(1)) &&
        fileName.size() > pattern.size() - 1)
      return true;
  }
  return false;
}

TextureListStep textureListSelected(const TextureListChoice&, int32_t selected) {
  return selected == kTexturePictureItem ? TextureListStep::askForPicture : TextureListStep::keep;
}

int32_t texturePictureChosen(TextureListChoice& choice, bool chosen) {
  const int32_t stands = chosen ? kTexturePictureItem : choice.previous;
  choice.previous = stands;
  return stands;
}

void rememberTextureChoice(TextureListChoice& choice, int32_t selected) {
  choice.previous = selected;
}

CentredSquare largestCentredSquare(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return {};
  const int32_t side = std::min(width, height);
  return {(width - side) / 2, (height - side) / 2, side};
}

std::unique_ptr<Picture> presetThumbnail(const PreviewPixels& preview, int side) {
  if (!preview.planes || preview.planeCount < 1 || side < 1) return nullptr;
  const CentredSquare square = largestCentredSquare(preview.width, preview.height);
  if (square.side < 1) return nullptr;
  std::unique_ptr<Picture> picture =
      createPicture(side, side, PictureKind::rgba8, WrapMode::noPyramid);
  if (!picture) return nullptr;
  const size_t planeSize = static_cast<size_t>(preview.width) * static_cast<size_t>(preview.height);
  const int colourPlanes = preview.planeCount >= 3 ? 3 : 1;
  for (int y = 0; y < side; ++y) {
    // The source rows and columns that fall into this pixel, at least one of each.
    const int64_t y0 = int64_t{y} * square.side / side;
    const int64_t y1 = std::max(y0 + 1, int64_t{y + 1} * square.side / side);
    for (int x = 0; x < side; ++x) {
      const int64_t x0 = int64_t{x} * square.side / side;
      const int64_t x1 = std::max(x0 + 1, int64_t{x + 1} * square.side / side);
      int64_t sum[3] = {0, 0, 0};
      for (int64_t sy = y0; sy < y1; ++sy)
        for (int64_t sx = x0; sx < x1; ++sx) {
          const size_t at =
              static_cast<size_t>(square.top + sy) * static_cast<size_t>(preview.width) +
              static_cast<size_t>(square.left + sx);
          for (int c = 0; c < 3; ++c)
            sum[c] +=
                preview.planes[static_cast<size_t>(colourPlanes == 3 ? c : 0) * planeSize + at];
        }
      const int64_t count = (y1 - y0) * (x1 - x0);
      const auto mean = [&](int c) { return static_cast<int>((sum[c] + count / 2) / count); };
      picture->setPixel(x, y, 0, mean(0), mean(1), mean(2), 255);
    }
  }
  return picture;
}

std::string picturesFolderBesidePresets(const std::string& picturesFolder,
                                        const std::string& presetFolder) {
  if (!picturesFolder.empty()) return {};
  constexpr std::string_view kName = "environments and textures";
  const size_t at = presetFolder.find(kName);
  if (at == std::string::npos) return {};
  const size_t end = at + kName.size();
  // The name must be a whole folder name: followed by a '/' or the end of the path.
  if (end < presetFolder.size() && presetFolder[end] != '/') return {};
  return presetFolder.substr(0, end);
}

std::string progressPercent(double fraction) {
  const double clamped = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
  char text[8];
  std::snprintf(text, sizeof text, "%d%%", static_cast<int>(clamped * 100.0));
  return text;
}

}  // namespace orichalcumite
