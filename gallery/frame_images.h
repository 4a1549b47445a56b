// The four images that draw a shadowed frame around every thumbnail of a gallery page: a
// light strip above, thin strips at the sides and a soft shadow below. Their pixels are
// constant artwork of ours, drawn by the plain functions here and stored as GIF files.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace orichalcumite {

// Frames fit the largest thumbnail of a page's cell: 88 pixels, plus 3 on each side.
constexpr int kFrameThumbnailSide = 88;
constexpr int kFrameSideWidth = 3;
constexpr int kFrameTopHeight = 2;
constexpr int kFrameBottomHeight = 5;

struct FrameImage {
  std::string_view fileName;  // in the page's "web_images" folder
  int width;
  int height;
};

inline constexpr std::array<FrameImage, 4> kFrameImages = {{
    {"top.gif", kFrameThumbnailSide + 2 * kFrameSideWidth, kFrameTopHeight},
    {"left.gif", kFrameSideWidth, kFrameThumbnailSide},
    {"right.gif", kFrameSideWidth, kFrameThumbnailSide},
    {"bottom.gif", kFrameThumbnailSide + 2 * kFrameSideWidth, kFrameBottomHeight},
}};

// The grey palette entry (0 black .. 15 white) of pixel (x, y) of `frame`.
uint8_t framePixel(const FrameImage& frame, int x, int y);

// The complete GIF file of `frame`.
std::vector<uint8_t> frameImageFile(const FrameImage& frame);

}  // namespace orichalcumite
