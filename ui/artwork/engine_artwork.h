// The parts of the dialog's artwork that our own renderer makes: the bevel-shape icons, the
// texture icons, and the bevelled panels of the skin. Pictures here are plain 8-bit RGBA
// buffers with straight (not premultiplied) alpha, so the generator can hand them to any
// drawing library and a test can read them without one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orichalcumite {

struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4, rows top to bottom, straight alpha

  uint8_t* at(int x, int y) { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
  const uint8_t* at(int x, int y) const {
    return &pixels[(static_cast<size_t>(y) * width + x) * 4];
  }
};

// A size × size picture filled with transparent black.
RgbaImage blankImage(int width, int height);

// Averages each factor × factor block of `image` into one pixel, colours weighted by alpha.
// The sides must be multiples of `factor`.
RgbaImage reduceImage(const RgbaImage& image, int factor);

// The 16 × 16 icon of bevel shape `shape` (1..14): a small bevelled disc rendered by the
// effect renderer with that shape at four times the size and reduced, on transparent ground.
// Empty (width 0) when the render fails.
RgbaImage renderShapeIcon(int shape);

// The 16 × 16 icon of built-in texture `choice` (1..12): a corner of the choice's texture
// tile reduced to icon size, its greys stretched to the full range so fine textures still
// show. Empty when the tile cannot be built.
RgbaImage renderTextureIcon(int choice);

// Bevels the areas of `mask` (0..255, width × height of `base`) with the effect renderer and
// lays the bevel's light and shade over `base`, which keeps its own colours: flat parts of a
// panel look like `base`, its edges catch the light. `radiusPx` is the bevel's width. False
// when the render fails; `base` is then unchanged.
bool shadePanels(RgbaImage& base, const std::vector<uint8_t>& mask, int radiusPx);

}  // namespace orichalcumite
