// The host program's pixel display: draws a filter's pixel map into the memory of a
// PlatformDisplaySurface (32 bits a pixel, 0x00RRGGBB in the machine's byte order), which the
// filter's window then paints. Plain memory only: no toolkit is involved on this side.
#pragma once

#include <cstdint>

#include "protocol/filter_protocol.h"

namespace orichalcumite {

// Draws srcRect of `map` with its top-left corner at row dstRow, column dstCol of `surface`,
// clipped to the surface; the part of srcRect outside the map's bounds is not drawn. Maps of
// versions 1..3 with 8-bit samples in greyscale (grey gives red = green = blue) or RGB mode,
// planar or interleaved (any colBytes and planeBytes, rowBytes apart). A map's masks (its
// `masks` list: coverage laid out like the map, 255 opaque; up to four) lay it over a
// checkerboard, as transparent layers are shown.
//
// paramErr for a map or a rectangle this host cannot read (unknown version, mode or depth, no
// pixels, negative sizes or steps, a rectangle turned inside out, an extent that does not fit
// the address space) and for a surface of an unknown version or an impossible size. A null
// surface checks the map and draws nothing: noErr for a good map.
ps::OSErr drawPixelMap(const ps::PSPixelMap& map, const ps::VRect& srcRect, int32_t dstRow,
                       int32_t dstCol, const ps::PlatformDisplaySurface* surface);

// Transparent parts of a map with masks show this checkerboard through: squares of
// kCheckerSquare surface pixels, white and light grey, fixed to the surface.
constexpr int kCheckerSquare = 8;
constexpr uint8_t checkerboardValue(int64_t x, int64_t y) {
  return ((x / kCheckerSquare) + (y / kCheckerSquare)) % 2 == 0 ? 255 : 204;
}
// A sample of coverage 0..255 laid over the board's value, rounded.
constexpr uint8_t overBoard(uint8_t sample, uint8_t board, uint32_t coverage) {
  return static_cast<uint8_t>((sample * coverage + board * (255 - coverage) + 127) / 255);
}

// One surface pixel from 8-bit red, green and blue.
constexpr uint32_t surfacePixel(uint8_t red, uint8_t green, uint8_t blue) {
  return (uint32_t{red} << 16) | (uint32_t{green} << 8) | uint32_t{blue};
}

}  // namespace orichalcumite
