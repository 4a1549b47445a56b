#include "ui/gtk/skin.h"

#include <gio/gio.h>

#include <cstring>

#include "ui/artwork/dialog_artwork.h"

namespace orichalcumite {
namespace {

constexpr const char* kResourcePrefix = "/org/orichalcumite/dialog/";

struct PngReader {
  const uint8_t* data;
  size_t size;
  size_t at;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length) {
  auto* reader = static_cast<PngReader*>(closure);
  if (reader->size - reader->at < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(out, reader->data + reader->at, length);
  reader->at += length;
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

void registerSkinResources() {
  static bool registered = false;
  if (registered) return;
  if (GResource* resource = orichalcumiteDialogResource()) g_resources_register(resource);
  registered = true;
}

Skin::~Skin() {
  for (auto& [name, surface] : pictures_)
    if (surface) cairo_surface_destroy(surface);
}

cairo_surface_t* Skin::picture(const std::string& name) {
  if (auto it = pictures_.find(name); it != pictures_.end()) return it->second;
  cairo_surface_t* surface = nullptr;
  const std::string path = kResourcePrefix + name + ".png";
  if (GBytes* bytes =
          g_resources_lookup_data(path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr)) {
    gsize size = 0;
    PngReader reader{static_cast<const uint8_t*>(g_bytes_get_data(bytes, &size)), size, 0};
    surface = cairo_image_surface_create_from_png_stream(readPng, &reader);
    g_bytes_unref(bytes);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(surface);
      surface = nullptr;
    }
  }
  pictures_.emplace(name, surface);
  return surface;
}

bool Skin::draw(cairo_t* cr, const std::string& name, double x, double y) {
  cairo_surface_t* surface = picture(name);
  if (!surface) return false;
  cairo_set_source_surface(cr, surface, x, y);
  cairo_paint(cr);
  return true;
}

}  // namespace orichalcumite
