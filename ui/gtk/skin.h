// The dialog's artwork, read from the resource bundle linked into the dialog library. Pictures
// are decoded once per dialog and kept while it is open: decoding the skin at every paint
// would cost more than drawing it.
#pragma once

#include <cairo.h>

#include <map>
#include <string>

namespace orichalcumite {

class Skin {
 public:
  Skin() = default;
  Skin(const Skin&) = delete;
  Skin& operator=(const Skin&) = delete;
  ~Skin();

  // The picture "/org/orichalcumite/dialog/<name>.png", or null when the bundle lacks it (the
  // caller then draws a plain stand-in shape).
  cairo_surface_t* picture(const std::string& name);
  // Draws picture `name` with its top-left corner at (x, y); false when there is none.
  bool draw(cairo_t* cr, const std::string& name, double x, double y);

 private:
  std::map<std::string, cairo_surface_t*> pictures_;
};

// Registers the artwork bundle with GIO once per process.
void registerSkinResources();

}  // namespace orichalcumite
