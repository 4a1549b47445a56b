#include "ui/artwork/secondary_artwork.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "ui/artwork/cairo_image.h"

namespace orichalcumite {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr const char* kFont = "DejaVu Sans";
constexpr const char* kSerif = "DejaVu Serif";

template <typename Draw> RgbaImage drawPicture(int w, int h, Draw draw) {
  Surface surface = newSurface(w, h);
  Context ctx(cairo_create(surface.get()));
  draw(ctx.get());
  return imageOfSurface(surface.get());
}

void setFont(cairo_t* cr, const char* family, double size, bool bold) {
  cairo_select_font_face(cr, family, CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
}

void centredText(cairo_t* cr, const char* text, double cx, double baseline) {
  cairo_text_extents_t ext;
  cairo_text_extents(cr, text, &ext);
  cairo_move_to(cr, std::round(cx - ext.x_advance / 2), baseline);
  cairo_show_text(cr, text);
}

void brassGradient(cairo_t* cr, double top, double bottom) {
  cairo_pattern_t* g = cairo_pattern_create_linear(0, top, 0, bottom);
  cairo_pattern_add_color_stop_rgb(g, 0, 0.93, 0.80, 0.52);
  cairo_pattern_add_color_stop_rgb(g, 0.5, 0.70, 0.52, 0.25);
  cairo_pattern_add_color_stop_rgb(g, 1, 0.50, 0.35, 0.15);
  cairo_set_source(cr, g);
  cairo_pattern_destroy(g);
}

}  // namespace

RgbaImage drawAboutPicture() {
  constexpr int kW = 232, kH = 171;
  // Dark brushed ground with a lighter plate in the middle.
  RgbaImage base = drawPicture(kW, kH, [](cairo_t* cr) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, kH);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.22, 0.24, 0.28);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.10, 0.11, 0.13);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
    for (int y = 0; y < kH; y += 2) {
      cairo_set_source_rgba(cr, 1, 1, 1, 0.02 + 0.02 * ((y * 7) % 5) / 4.0);
      cairo_rectangle(cr, 0, y, kW, 1);
      cairo_fill(cr);
    }
    brassGradient(cr, 40, 120);
    cairo_rectangle(cr, 0, 0, kW, kH);
    cairo_fill(cr);
  });
  // The letters and a ring, as a mask the renderer bevels.
  const RgbaImage letters = drawPicture(kW, kH, [](cairo_t* cr) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 7);
    cairo_arc(cr, kW / 2.0, 62, 40, 0, 2 * kPi);
    cairo_stroke(cr);
    cairo_arc(cr, kW / 2.0, 62, 18, 0, 2 * kPi);
    cairo_fill(cr);
    setFont(cr, kSerif, 25, true);
    centredText(cr, "Orichalcumite", kW / 2.0, 140);
  });
  std::vector<uint8_t> mask(static_cast<size_t>(kW) * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) mask[static_cast<size_t>(y) * kW + x] = letters.at(x, y)[3];
  // The bevelled areas keep the brass; the rest goes back to the dark ground.
  RgbaImage ground = drawPicture(kW, kH, [](cairo_t* cr) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, kH);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.22, 0.24, 0.28);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.10, 0.11, 0.13);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
  });
  if (!shadePanels(base, mask, 4)) return {};
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const int m = mask[static_cast<size_t>(y) * kW + x];
      uint8_t* p = base.at(x, y);
      const uint8_t* q = ground.at(x, y);
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((p[c] * m + q[c] * (255 - m)) / 255);
      p[3] = 255;
    }
  }
  // The maker's line under the name.
  Surface surface = surfaceOfImage(base);
  Context ctx(cairo_create(surface.get()));
  cairo_t* cr = ctx.get();
  cairo_set_source_rgb(cr, 0.80, 0.82, 0.86);
  setFont(cr, kFont, 10, false);
  centredText(cr, "a material surface filter by Ferrovantine", kW / 2.0, 160);
  return imageOfSurface(surface.get());
}

RgbaImage drawAboutTitle() {
  return drawPicture(160, 18, [](cairo_t* cr) {
    setFont(cr, kSerif, 14, true);
    brassGradient(cr, 2, 16);
    cairo_move_to(cr, 1, 14);
    cairo_show_text(cr, "Orichalcumite");
  });
}

RgbaImage drawAboutEmblem() {
  return drawPicture(24, 24, [](cairo_t* cr) {
    cairo_pattern_t* g = cairo_pattern_create_radial(9, 8, 1, 12, 12, 11);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.98, 0.90, 0.66);
    cairo_pattern_add_color_stop_rgb(g, 0.6, 0.72, 0.53, 0.25);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.42, 0.29, 0.12);
    cairo_set_source(cr, g);
    cairo_arc(cr, 12, 12, 11, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_set_source_rgba(cr, 0.25, 0.17, 0.06, 0.9);
    cairo_set_line_width(cr, 1.5);
    cairo_arc(cr, 12, 12, 6, 0, 2 * kPi);
    cairo_stroke(cr);
  });
}

RgbaImage drawInfoPicture(const RgbaImage& background) {
  constexpr int kW = 684, kH = 656;
  constexpr double kScale = 0.56;
  constexpr double kLeft = (kW - 1006 * kScale) / 2, kTop = 44;
  Surface skin = surfaceOfImage(background);
  return drawPicture(kW, kH, [&skin](cairo_t* cr) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.16, 0.17, 0.19);
    setFont(cr, kFont, 18, true);
    centredText(cr, "The Orichalcumite dialog", kW / 2.0, 28);

    // The dialog in miniature.
    cairo_save(cr);
    cairo_translate(cr, kLeft, kTop);
    cairo_scale(cr, kScale, kScale);
    cairo_set_source_surface(cr, skin.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_set_source_rgb(cr, 0.35, 0.36, 0.40);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, kLeft - 0.5, kTop - 0.5, 1006 * kScale + 1, 687 * kScale + 1);
    cairo_stroke(cr);

    // Numbered groups: rectangles on the client area and what they do.
    struct Group {
      double x, y, w, h;
      const char* text;
    };
    static constexpr Group kGroups[] = {
        {40, 8, 250, 376, "Bevel and surface: shape, radius, height, texture, gloss, glass"},
        {40, 392, 280, 90, "Lights: drag a ball to turn its light; the swatch sets its colour"},
        {40, 496, 280, 172, "Weathering: water stains, dust and grit"},
        {330, 44, 120, 330, "Texture and environment pictures: click a swatch to load one"},
        {336, 396, 74, 274, "Factory, Load, Save, Randomize, Undo, Seed and PSD export"},
        {456, 8, 540, 396, "Preview: drag to pan; - % + zoom; i opens this page"},
        {456, 440, 256, 196, "Memory dots: click to store or recall, right-click clears"},
        {720, 440, 280, 180, "Tarnish, abrasion, moss and lichen blotches"},
        {436, 636, 560, 40, "Glue mode, and OK or Cancel"},
    };
    const double textTop = kTop + 687 * kScale + 28;
    int number = 1;
    for (const Group& g : kGroups) {
      const double x = kLeft + g.x * kScale, y = kTop + g.y * kScale;
      cairo_set_source_rgba(cr, 0.62, 0.46, 0.22, 0.95);
      cairo_set_line_width(cr, 2);
      cairo_rectangle(cr, x, y, g.w * kScale, g.h * kScale);
      cairo_stroke(cr);
      // The group's number in a brass disc at its top-left corner.
      cairo_arc(cr, x + 9, y + 9, 8, 0, 2 * kPi);
      cairo_fill(cr);
      const std::string label = std::to_string(number);
      cairo_set_source_rgb(cr, 1, 1, 1);
      setFont(cr, kFont, 11, true);
      centredText(cr, label.c_str(), x + 9, y + 13);
      // The line of text below the miniature.
      const double ty = textTop + (number - 1) * 20;
      cairo_set_source_rgb(cr, 0.62, 0.46, 0.22);
      cairo_arc(cr, 40, ty - 4, 8, 0, 2 * kPi);
      cairo_fill(cr);
      cairo_set_source_rgb(cr, 1, 1, 1);
      centredText(cr, label.c_str(), 40, ty);
      cairo_set_source_rgb(cr, 0.16, 0.17, 0.19);
      setFont(cr, kFont, 13, false);
      cairo_move_to(cr, 58, ty);
      cairo_show_text(cr, g.text);
      ++number;
    }
  });
}

}  // namespace orichalcumite
