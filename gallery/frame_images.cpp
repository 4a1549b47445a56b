#include "gallery/frame_images.h"

#include <algorithm>

#include "gallery/grey_gif.h"

namespace orichalcumite {
namespace {

constexpr int kWhite = kGreyGifLevels - 1;

// The light falls from the top left: a pale rim above and to the left, a darker edge to the
// right and a shadow below that fades into the white page. Values are palette entries.
constexpr std::array<int, kFrameTopHeight> kTopRows = {14, 12};
constexpr std::array<int, kFrameSideWidth> kLeftColumns = {14, 12, 11};
constexpr std::array<int, kFrameSideWidth> kRightColumns = {8, 11, 13};
constexpr std::array<int, kFrameBottomHeight> kBottomRows = {7, 10, 12, 13, 14};

}  // namespace

uint8_t framePixel(const FrameImage& frame, int x, int y) {
  int level = kWhite;
  if (frame.fileName == "top.gif") {
    level = kTopRows[static_cast<size_t>(std::clamp(y, 0, kFrameTopHeight - 1))];
  } else if (frame.fileName == "left.gif") {
    level = kLeftColumns[static_cast<size_t>(std::clamp(x, 0, kFrameSideWidth - 1))];
  } else if (frame.fileName == "right.gif") {
    level = kRightColumns[static_cast<size_t>(std::clamp(x, 0, kFrameSideWidth - 1))];
  } else if (frame.fileName == "bottom.gif") {
    level = kBottomRows[static_cast<size_t>(std::clamp(y, 0, kFrameBottomHeight - 1))];
    // The shadow is offset to the right: its left end fades in over the first few pixels.
    const int fromLeft = std::max(0, 2 * kFrameSideWidth - x);
    level = std::min(kWhite, level + fromLeft);
  }
  return static_cast<uint8_t>(level);
}

std::vector<uint8_t> frameImageFile(const FrameImage& frame) {
  std::vector<uint8_t> pixels;
  pixels.reserve(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height));
  for (int y = 0; y < frame.height; ++y)
    for (int x = 0; x < frame.width; ++x) pixels.push_back(framePixel(frame, x, y));
  return encodeGreyGif(frame.width, frame.height, pixels);
}

}  // namespace orichalcumite
