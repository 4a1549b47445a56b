// The main dialog's drawn widgets on GTK: the light balls, the texture swatch, the
// environment swatch's sphere, the memory dots and their preview square. The decisions and
// the pixels are the toolkit-free model's (ui/light_ball.h, ui/texture_swatch.h,
// ui/environment_swatch.h, ui/memory_dots.h); this only puts them on the screen.
#pragma once

#include <cairo.h>

#include <memory>
#include <optional>

#include "ui/controls.h"
#include "ui/memory_dots.h"
#include "ui/texture_swatch.h"

namespace orichalcumite {

class Skin;
struct DialogSession;

class DialogWidgets {
 public:
  DialogWidgets(DialogSession& session, Skin& skin);

  // The light ball `id` showing `light`; the bare ball when it is disabled.
  void drawLightBall(cairo_t* cr, int id, const LightVector& light, bool enabled);
  // The texture swatch: its window onto the effect's texture tile at `pan`.
  void drawTextureSwatch(cairo_t* cr, TexturePan pan);
  // The environment's sphere with its 64 × 64 corner at (x, y), turned by `spin`.
  void drawEnvironmentSphere(cairo_t* cr, double x, double y, int spin);
  // Memory dot `id` (126..150), pressed or not.
  void drawMemoryDot(cairo_t* cr, int id, bool pressed);
  // The preview square (158): its frame and the hovered dot's stored preview.
  void drawDotPreviewSquare(cairo_t* cr);

  // The texture tile's size for panning: the tile's own, or the size the effect notes.
  void textureTileSize(int32_t& width, int32_t& height, int32_t noteWidth,
                       int32_t noteHeight) const;

  // The memory dots; none without the module's user state.
  MemoryDots* dots() { return dots_ ? &*dots_ : nullptr; }

 private:
  DialogSession& session_;
  Skin& skin_;
  std::optional<MemoryDots> dots_;
};

// The memory dot (126..150) whose rectangle contains (x, y), or -1.
int memoryDotAt(int32_t x, int32_t y);

}  // namespace orichalcumite
