#include "app/display_port.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace orichalcumite {
namespace {

// A pixel map checked once, so that the drawing loop cannot fail.
struct MaskView {
  const uint8_t* data = nullptr;
  int64_t rowBytes = 0, colBytes = 0;
  bool invert = false;
};

// Masks beyond this many are not read: no filter sends more than a mat and a selection.
constexpr int kMaxMasks = 4;

struct MapView {
  const uint8_t* base = nullptr;
  int64_t top = 0, left = 0, bottom = 0, right = 0;
  int64_t rowBytes = 0, colBytes = 0, planeBytes = 0;
  bool grey = false;
  MaskView masks[kMaxMasks];
  int maskCount = 0;
};

// Whether an extent of rows × columns samples from `base` stays inside the address space.
bool fitsAddressSpace(const void* base, int64_t rows, int64_t columns, int64_t rowBytes,
                      int64_t colBytes, uint64_t extra) {
  // The last sample's offset must be an address. The first two terms are each below
  // 2^63 - 2^32 and the third below 2^32, so their sum cannot wrap in 64 unsigned bits.
  const uint64_t last =
      uint64_t(rows - 1) * uint64_t(rowBytes) + uint64_t(columns - 1) * uint64_t(colBytes) + extra;
  const auto start = reinterpret_cast<uintptr_t>(base);
  return last <= uint64_t(std::numeric_limits<ptrdiff_t>::max()) &&
         last <= std::numeric_limits<uintptr_t>::max() - start;
}

// The masks of a version-1 map: coverage 0..255 laid out like the map's own rows (the mat
// descriptions are read as plain coverage; the inverted one is turned round).
bool readMasks(const ps::PSPixelMap& map, MapView& view) {
  const ps::PSPixelMask* mask = map.version >= 1 ? map.masks : nullptr;
  for (; mask; mask = mask->next) {
    if (view.maskCount == kMaxMasks) return false;
    if (!mask->maskData || mask->rowBytes < 0 || mask->colBytes < 1) return false;
    if (mask->maskDescription < ps::kSimplePSMask || mask->maskDescription > ps::kInvertPSMask)
      return false;
    MaskView& m = view.masks[view.maskCount++];
    m.data = static_cast<const uint8_t*>(mask->maskData);
    m.rowBytes = mask->rowBytes;
    m.colBytes = mask->colBytes;
    m.invert = mask->maskDescription == ps::kInvertPSMask;
    if (view.bottom > view.top && view.right > view.left &&
        !fitsAddressSpace(m.data, view.bottom - view.top, view.right - view.left, m.rowBytes,
                          m.colBytes, 0))
      return false;
  }
  return true;
}

bool readMap(const ps::PSPixelMap& map, MapView& view) {
  if (map.version < 1 || map.version > 3) return false;
  // Depth arrived with version 3; the earlier versions only ever carried 8-bit samples.
  if (map.version >= 3 && map.depth != 8) return false;
  if (map.imageMode != ps::modeRGBColor && map.imageMode != ps::modeGrayScale) return false;
  if (!map.baseAddr) return false;
  if (map.rowBytes < 0 || map.colBytes < 1 || map.planeBytes < 0) return false;
  view.base = static_cast<const uint8_t*>(map.baseAddr);
  view.top = map.bounds.top;
  view.left = map.bounds.left;
  view.bottom = map.bounds.bottom;
  view.right = map.bounds.right;
  if (view.bottom < view.top || view.right < view.left) return false;
  view.rowBytes = map.rowBytes;
  view.colBytes = map.colBytes;
  view.planeBytes = map.planeBytes;
  view.grey = map.imageMode == ps::modeGrayScale;
  if (!readMasks(map, view)) return false;
  if (view.bottom == view.top || view.right == view.left) return true;
  return fitsAddressSpace(view.base, view.bottom - view.top, view.right - view.left, view.rowBytes,
                          view.colBytes, view.grey ? 0 : 2 * uint64_t(view.planeBytes));
}

bool readableSurface(const ps::PlatformDisplaySurface& surface) {
  if (surface.version != ps::kPlatformDisplaySurfaceVersion) return false;
  if (surface.width < 0 || surface.height < 0) return false;
  if (surface.width == 0 || surface.height == 0) return true;
  return surface.pixels && int64_t(surface.rowBytes) >= int64_t(surface.width) * 4;
}

template <bool Grey>
void drawRows(const MapView& map, int64_t x0, int64_t x1, int64_t y0, int64_t y1, int64_t toColumn,
              int64_t toRow, const ps::PlatformDisplaySurface& surface) {
  const auto count = static_cast<size_t>(x1 - x0);
  for (int64_t y = y0; y < y1; ++y) {
    const uint8_t* in = map.base + (y - map.top) * map.rowBytes + (x0 - map.left) * map.colBytes;
    uint8_t* out = surface.pixels + (y + toRow) * int64_t(surface.rowBytes) + (x0 + toColumn) * 4;
    for (size_t i = 0; i < count; ++i, in += map.colBytes, out += 4) {
      uint8_t r = in[0], g = Grey ? in[0] : in[map.planeBytes],
              b = Grey ? in[0] : in[2 * map.planeBytes];
      if (map.maskCount > 0) {
        const int64_t x = x0 + int64_t(i);
        uint32_t coverage = 255;
        for (int m = 0; m < map.maskCount; ++m) {
          const MaskView& mask = map.masks[m];
          uint8_t v = mask.data[(y - map.top) * mask.rowBytes + (x - map.left) * mask.colBytes];
          if (mask.invert) v = static_cast<uint8_t>(255 - v);
          coverage = (coverage * v + 127) / 255;
        }
        const uint8_t board = checkerboardValue(x + toColumn, y + toRow);
        r = overBoard(r, board, coverage);
        g = overBoard(g, board, coverage);
        b = overBoard(b, board, coverage);
      }
      const uint32_t pixel = surfacePixel(r, g, b);
      // Rows of the surface need not be 4-byte aligned.
      std::memcpy(out, &pixel, sizeof pixel);
    }
  }
}

}  // namespace

ps::OSErr drawPixelMap(const ps::PSPixelMap& map, const ps::VRect& srcRect, int32_t dstRow,
                       int32_t dstCol, const ps::PlatformDisplaySurface* surface) {
  MapView view;
  if (!readMap(map, view)) return ps::paramErr;
  if (srcRect.bottom < srcRect.top || srcRect.right < srcRect.left) return ps::paramErr;
  if (!surface) return ps::noErr;
  if (!readableSurface(*surface)) return ps::paramErr;

  // Map column x lands on surface column x + toColumn; likewise for rows. 64 bits keep far-off
  // positions from wrapping.
  const int64_t toColumn = int64_t(dstCol) - srcRect.left;
  const int64_t toRow = int64_t(dstRow) - srcRect.top;
  const int64_t x0 = std::max({int64_t(srcRect.left), view.left, -toColumn});
  const int64_t x1 = std::min({int64_t(srcRect.right), view.right, surface->width - toColumn});
  const int64_t y0 = std::max({int64_t(srcRect.top), view.top, -toRow});
  const int64_t y1 = std::min({int64_t(srcRect.bottom), view.bottom, surface->height - toRow});
  if (x0 >= x1 || y0 >= y1) return ps::noErr;
  if (view.grey)
    drawRows<true>(view, x0, x1, y0, y1, toColumn, toRow, *surface);
  else
    drawRows<false>(view, x0, x1, y0, y1, toColumn, toRow, *surface);
  return ps::noErr;
}

}  // namespace orichalcumite
