#include "ui/secondary_dialogs.h"

#include <algorithm>
#include <cmath>

#include "pictures/picture.h"

namespace orichalcumite {

WindowRect placeWindow(const WindowRect& parent, int width, int height, bool hasCloseButton,
                       int screenWidth, int screenHeight) {
  const int shift =
      hasCloseButton ? kCaptionButtonWidth : kCaptionButtonWidth - kCaptionButtonWidth / 3;
  int x = parent.x + (std::max(0, parent.width - width) >> 1) - shift;
  int y = parent.y + std::max(0, parent.height - height) / 3;
  if (x + width > screenWidth) x = std::max(0, screenWidth - width);
  if (y + height > screenHeight) y = std::max(0, screenHeight - height);
  // A parent at the screen's left edge would push the window's left part off the screen by
  // the caption shift; the window stays whole on the screen instead.
  x = std::max(0, x);
  y = std::max(0, y);
  return {x, y, width, height};
}

int dialogUnitsToPixelsX(int units) { return units * 6 / 4; }
int dialogUnitsToPixelsY(int units) { return units * 13 / 8; }

std::string substituteMarkers(std::string_view text, const MessageSubstitutions& substitutions) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '^' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3') {
      out += substitutions[static_cast<size_t>(text[i + 1] - '0')];
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

const MessageTemplate& messageTemplate(MessageKind kind) {
  static const MessageTemplate notEnoughMemory{
      "Not Enough Memory",
      176,
      97,
      {"The filter cannot run because it can't get enough RAM (memory). Try re-selecting the "
       "image."},
      {{2, "Cancel", true}},
      2};
  static const MessageTemplate cantOpenFile{
      "Can't open file",
      271,
      135,
      {"Can't open the ^0 file \"^1\".",
       "Try putting this file in your \"environments and textures\" folder.\n\nOr, help "
       "Orichalcumite find the \"environments and textures\" folder."},
      {{1, "Ignore", true}, {2, "Find folder...", false}},
      1};
  return kind == MessageKind::notEnoughMemory ? notEnoughMemory : cantOpenFile;
}

const std::array<PresetActionChoice, kPresetActionCount>& presetActionChoices() {
  static const std::array<PresetActionChoice, kPresetActionCount> choices{{
      {3, "Make a web page of presets"},
      {4, "Make a web pag of environment and texture images"},
      {5, "Update presets by adding new previews"},
  }};
  return choices;
}

int presetActionOfRadio(int radioId) {
  const int action = radioId - kFirstPresetRadioId;
  return action >= 0 && action < kPresetActionCount ? action : -1;
}

int validPresetAction(int action) {
  return action >= 0 && action < kPresetActionCount ? action : 0;
}

int& lastPresetAction() {
  static int action = 0;
  return action;
}

const char* suggestedPageName(GalleryAction action) {
  return action == GalleryAction::picturesPage ? kPicturesPageName : kPresetsPageName;
}

namespace {
std::string& lastPageFolder() {
  static std::string folder;
  return folder;
}
}  // namespace

std::string pageFolder(const std::string& fallback) {
  return lastPageFolder().empty() ? fallback : lastPageFolder();
}

void rememberPageFolder(const std::string& pagePath) {
  const size_t slash = pagePath.find_last_of('/');
  if (slash == std::string::npos) return;
  lastPageFolder() = slash == 0 ? std::string("/") : pagePath.substr(0, slash);
}

WindowRect centredSquare(int width, int height) {
  const int side = std::max(0, std::min(width, height));
  return {(width - side) / 2, (height - side) / 2, side, side};
}

int largerSideForSquare(int width, int height, int side) {
  const int smaller = std::min(width, height), larger = std::max(width, height);
  if (smaller <= 0) return side;
  // Rounded up, and one more, so that the host's own rounding cannot leave the smaller side
  // a pixel short.
  const long long needed = (static_cast<long long>(side) * larger + smaller - 1) / smaller + 1;
  return static_cast<int>(std::min<long long>(needed, kMaxPictureSide));
}

std::unique_ptr<Picture> centredSquarePicture(const Picture& source, int side) {
  if (side < 1 || source.width() < 1 || source.height() < 1) return nullptr;
  std::unique_ptr<Picture> out = createPicture(side, side, PictureKind::rgba8, WrapMode::noPyramid);
  if (!out) return nullptr;
  const WindowRect square = centredSquare(source.width(), source.height());
  for (int y = 0; y < side; ++y) {
    const int sy = square.y + static_cast<int>(static_cast<long long>(y) * square.height / side);
    for (int x = 0; x < side; ++x) {
      const int sx = square.x + static_cast<int>(static_cast<long long>(x) * square.width / side);
      const Rgba p = source.readPicturePixel(sx, sy, 0);
      const auto byte = [](float v) {
        return static_cast<int>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
      };
      out->setPixel(x, y, 0, byte(p.red), byte(p.green), byte(p.blue), 255);
    }
  }
  return out;
}

}  // namespace orichalcumite
