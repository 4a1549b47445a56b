// The artwork's way between cairo and its own pictures: owned cairo surfaces and contexts, and
// the conversion between cairo's premultiplied native-endian ARGB and straight RGBA bytes.
#pragma once

#include <cairo.h>

#include <memory>

#include "ui/artwork/engine_artwork.h"

namespace orichalcumite {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

// A transparent ARGB surface.
Surface newSurface(int width, int height);
// The surface's pixels as straight RGBA (colours rounded back from their premultiplied form).
RgbaImage imageOfSurface(cairo_surface_t* surface);
// A new surface holding `image`, premultiplied.
Surface surfaceOfImage(const RgbaImage& image);

}  // namespace orichalcumite
