#pragma once

// Folder-private access to a Picture's tiles for the sampler and pyramid kernels.

#include <algorithm>
#include <memory>

#include "pictures/picture.h"

namespace orichalcumite::detail {

inline constexpr int kTileShift = 9;
inline constexpr int kTileMask = kPictureTileSide - 1;

// One level's pixels as `Texel`s (const-qualified for reading). No bounds checks: callers
// pass positions inside the level.
template <class Texel> struct LevelView {
  const std::unique_ptr<unsigned char[]>* tiles = nullptr;  // the level's first tile
  int tilesPerRow = 0;
  int width = 0;
  int height = 0;

  Texel* tileRow(int x, int y) const {
    unsigned char* tile = tiles[(y >> kTileShift) * tilesPerRow + (x >> kTileShift)].get();
    return reinterpret_cast<Texel*>(tile) + (y & kTileMask) * kPictureTileSide + (x & kTileMask);
  }
  Texel& at(int x, int y) const { return *tileRow(x, y); }
};

struct PictureAccess {
  template <class Texel> static LevelView<const Texel> read(const Picture& picture, int level) {
    const PictureLevel& l = picture.levels_[level];
    return {picture.tiles_.data() + l.firstTile, l.tilesPerRow, l.width, l.height};
  }
  template <class Texel> static LevelView<Texel> write(Picture& picture, int level) {
    const PictureLevel& l = picture.levels_[level];
    return {picture.tiles_.data() + l.firstTile, l.tilesPerRow, l.width, l.height};
  }
};

// Integer access edge handling: clamp, or wrap once (a coordinate more than one size
// outside is then clamped).
inline int clampedCoordinate(int c, int size) { return std::clamp(c, 0, size - 1); }

inline int wrappedCoordinate(int c, int size) {
  if (c < 0) {
    c += size;
    if (c < 0) c = 0;
  } else if (c >= size) {
    c -= size;
    if (c >= size) c = size - 1;
  }
  return c;
}

// floor() for values well inside the int range, without a library call.
inline int floorToInt(float v) {
  const int i = static_cast<int>(v);
  return v < static_cast<float>(i) ? i - 1 : i;
}

inline bool wrapsColumns(WrapMode mode) {
  return mode == WrapMode::wrapBoth || mode == WrapMode::wrapHorizontal;
}
inline bool wrapsRows(WrapMode mode) { return mode == WrapMode::wrapBoth; }

}  // namespace orichalcumite::detail
