#include "ui/gtk/dialog_widgets.h"

#include <cmath>
#include <string>
#include <vector>

#include "host/effect_thumbnail.h"
#include "pictures/effect_pictures.h"
#include "settings/user_state.h"
#include "ui/dialog_session.h"
#include "ui/environment_swatch.h"
#include "ui/gtk/skin.h"
#include "ui/light_ball.h"

namespace orichalcumite {
namespace {

const EffectPictures* effectPictures(const DialogSession& session) {
  return session.pictures ? &session.pictures->pictures : nullptr;
}

// Paints `side` × `side` RGB bytes with their top-left corner at (x, y).
void paintRgb(cairo_t* cr, const std::vector<uint8_t>& rgb, int side, double x, double y) {
  if (rgb.size() < size_t(side) * side * 3) return;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, side, side);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return;
  }
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int row = 0; row < side; ++row) {
    auto* out = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(row) * stride);
    const uint8_t* in = rgb.data() + size_t(row) * side * 3;
    for (int column = 0; column < side; ++column, in += 3)
      out[column] = (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8) | in[2];
  }
  cairo_surface_mark_dirty(surface);
  cairo_save(cr);
  cairo_set_source_surface(cr, surface, x, y);
  cairo_rectangle(cr, x, y, side, side);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(surface);
}

void setSourceRgb(cairo_t* cr, RgbColour c) {
  cairo_set_source_rgb(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0);
}

}  // namespace

int memoryDotAt(int32_t x, int32_t y) {
  for (int id = control::firstMemoryDot; id <= control::lastMemoryDot; ++id)
    if (layoutRect(id).contains(x, y)) return id;
  return -1;
}

DialogWidgets::DialogWidgets(DialogSession& session, Skin& skin) : session_(session), skin_(skin) {
  if (!session.user) return;
  // What a dot keeps with its effect: the effect's own thumbnail, when the module's pictures
  // and random numbers are at hand to render it.
  MemoryDots::ThumbnailMaker thumbnails;
  if (session.pictures && session.random) {
    thumbnails = [&session](const EffectSettings& s) {
      return renderEffectThumbnail(s, session.pictures->pictures, *session.random);
    };
  }
  dots_.emplace(*session.user, session.pictures, std::move(thumbnails));
}

void DialogWidgets::drawLightBall(cairo_t* cr, int id, const LightVector& light, bool enabled) {
  const ControlRect r = layoutRect(id);
  if (!skin_.draw(cr, "light-ball", r.x, r.y)) {
    cairo_set_source_rgb(cr, 0.78, 0.78, 0.82);
    cairo_arc(cr, r.x + 42.5, r.y + 42.5, 40, 0, 2 * M_PI);
    cairo_fill(cr);
  }
  if (!enabled) return;
  const LightBallDrawing d = lightBallDrawing(r, light);
  setSourceRgb(cr, d.colour);
  cairo_set_line_width(cr, 2);
  cairo_move_to(cr, d.lineStartX, d.lineStartY);
  cairo_line_to(cr, d.endX, d.endY);
  cairo_stroke(cr);
  if (!skin_.draw(cr, "light-marker", d.markerX, d.markerY)) {
    cairo_rectangle(cr, d.markerX, d.markerY, 4, 4);
    cairo_fill(cr);
  }
}

void DialogWidgets::drawTextureSwatch(cairo_t* cr, TexturePan pan) {
  const ControlRect r = layoutRect(control::textureSwatch);
  const EffectPictures* pictures = effectPictures(session_);
  const Picture* tile = pictures ? pictures->textureTile() : nullptr;
  // The window sits one pixel up and left of the swatch's place, inside its frame.
  paintRgb(cr, textureSwatchPixels(tile, pan), kTextureSwatchSide, r.x - 1, r.y - 1);
}

void DialogWidgets::textureTileSize(int32_t& width, int32_t& height, int32_t noteWidth,
                                    int32_t noteHeight) const {
  const EffectPictures* pictures = effectPictures(session_);
  const Picture* tile = pictures ? pictures->textureTile() : nullptr;
  width = tile ? tile->width() : noteWidth;
  height = tile ? tile->height() : noteHeight;
}

void DialogWidgets::drawEnvironmentSphere(cairo_t* cr, double x, double y, int spin) {
  const EffectPictures* pictures = effectPictures(session_);
  paintRgb(cr, environmentSwatchPixels(pictures ? pictures->environment() : nullptr, spin),
           kEnvironmentSwatchSide, x, y);
}

void DialogWidgets::drawMemoryDot(cairo_t* cr, int id, bool pressed) {
  if (!dots_) return;
  const int face = dots_->face(id - control::firstMemoryDot, pressed);
  const ControlRect r = layoutRect(id);
  if (!skin_.draw(cr, "dot-" + std::to_string(face), r.x, r.y + 2)) {
    const double grey = face == 203 || face == 210 ? 0.8 : 0.25;
    cairo_set_source_rgb(cr, grey, grey, 0.8);
    cairo_arc(cr, r.x + 4, r.y + 6, 4, 0, 2 * M_PI);
    cairo_fill(cr);
  }
}

void DialogWidgets::drawDotPreviewSquare(cairo_t* cr) {
  const ControlRect r = layoutRect(control::memoryDotPreview);
  if (!skin_.draw(cr, "dot-preview-frame", r.x, r.y)) {
    cairo_set_source_rgb(cr, 0.63, 0.63, 0.67);
    cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    cairo_fill(cr);
  }
  if (dots_ && !dots_->preview().empty())
    paintRgb(cr, dots_->preview(), kDotPreviewSide, r.x + 4, r.y + 4);
}

}  // namespace orichalcumite
