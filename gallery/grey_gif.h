// A small GIF89a writer for the pages' frame images: one uncompressed-palette image of up to
// 16 grey levels, LZW-compressed as every GIF reader expects.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace orichalcumite {

constexpr int kGreyGifLevels = 16;

// The grey value (0..255) of palette entry `index` (0..15): evenly spaced from black (0) to
// white (15).
constexpr uint8_t greyGifLevel(int index) { return static_cast<uint8_t>(index * 17); }

// A complete GIF89a file of `width` × `height` pixels (1..65535 each) whose pixels, row by
// row, are the palette entries in `indices` (values above 15 are taken as 15). Empty when the
// size is out of range or `indices` holds fewer than width × height entries.
std::vector<uint8_t> encodeGreyGif(int width, int height, std::span<const uint8_t> indices);

}  // namespace orichalcumite
