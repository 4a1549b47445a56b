#include "ui/artwork/skin_artwork.h"

#include "ui/artwork/secondary_artwork.h"

#include <cairo.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <string_view>

#include "ui/artwork/artwork_catalogue.h"
#include "ui/artwork/cairo_image.h"

namespace orichalcumite {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kSkinWidth = 1006;
constexpr int kSkinHeight = 687;
constexpr const char* kFont = "DejaVu Sans";
constexpr const char* kNarrowFont = "DejaVu Sans Condensed";

// ---- Colours (0..1). The panels are light metal; the accent is the warm brass the product
// is named after.
struct Colour {
  double r, g, b;
};
constexpr Colour kInk = {0.16, 0.17, 0.19};
constexpr Colour kBrass = {0.62, 0.46, 0.22};
constexpr Colour kBrassLight = {0.86, 0.72, 0.45};

// ---- cairo plumbing.

void setColour(cairo_t* cr, Colour c, double alpha = 1.0) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

void setFont(cairo_t* cr, const char* family, double sizePx, bool bold = false) {
  cairo_select_font_face(cr, family, CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, sizePx);
}

// A sunken rectangle: shade on the top and left, light on the bottom and right.
void sunkenFrame(cairo_t* cr, double x, double y, double w, double h, double alpha = 1.0) {
  cairo_set_line_width(cr, 1.0);
  cairo_set_source_rgba(cr, 0.35, 0.36, 0.40, alpha);
  cairo_move_to(cr, x + 0.5, y + h - 1);
  cairo_line_to(cr, x + 0.5, y + 0.5);
  cairo_line_to(cr, x + w - 1, y + 0.5);
  cairo_stroke(cr);
  cairo_set_source_rgba(cr, 1, 1, 1, alpha);
  cairo_move_to(cr, x + w - 0.5, y + 1);
  cairo_line_to(cr, x + w - 0.5, y + h - 0.5);
  cairo_line_to(cr, x + 1, y + h - 0.5);
  cairo_stroke(cr);
}

// ---- Tiny hash noise: the same numbers on every machine and build.
uint32_t hashOf(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7feb352dU;
  v ^= v >> 15;
  v *= 0x846ca68bU;
  v ^= v >> 16;
  return v;
}
// -1..1
double hashNoise(uint32_t v) { return static_cast<double>(hashOf(v) & 0xffff) / 32767.5 - 1.0; }

// ---- The skin.

struct Box {
  double x, y, w, h;
};

// The raised panels the controls sit on (x, y, width, height), the About strip first.
// The strip's bar is narrower than its 32-pixel control so that the longest left-column
// labels, which start at x 44, stay on the panel beside it.
constexpr Box kAboutStrip = {18, 4, 23, 679};
constexpr std::array<Box, 9> kPanels = {{
    kAboutStrip,
    {43, 5, 248, 382},     // shape and the material sliders
    {43, 391, 248, 291},   // lights and the water stains
    {294, 5, 156, 383},    // texture and environment (their buttons reach x 444)
    {294, 392, 138, 290},  // the command buttons, clear of the memory dots (from x 434)
    {455, 5, 545, 400},    // preview and zoom
    {722, 444, 277, 172},  // weathering colours
    {438, 632, 561, 50},   // glue mode and the closing buttons
    {455, 408, 545, 28},   // preset name
}};
constexpr double kPanelCorner = 7.0;

// The memory dots' top-left corners, slots 1..25.
constexpr std::array<std::array<int, 2>, 25> kDotPositions = {{
    {442, 447}, {446, 459}, {446, 471}, {442, 484}, {438, 497}, {434, 510}, {434, 523},
    {438, 535}, {445, 546}, {453, 556}, {464, 564}, {476, 573}, {489, 579}, {504, 583},
    {519, 583}, {533, 579}, {546, 573}, {558, 564}, {567, 552}, {573, 539}, {577, 524},
    {577, 509}, {573, 495}, {567, 482}, {558, 470},
}};

RgbaImage skinBase() {
  RgbaImage base = blankImage(kSkinWidth, kSkinHeight);
  for (int y = 0; y < kSkinHeight; ++y) {
    for (int x = 0; x < kSkinWidth; ++x) {
      uint8_t* p = base.at(x, y);
      const int g = skinMetalGrey(x, y);
      // A hint of blue keeps the grey from looking dirty.
      p[0] = static_cast<uint8_t>(std::max(0, g - 4));
      p[1] = static_cast<uint8_t>(std::max(0, g - 2));
      p[2] = static_cast<uint8_t>(g);
      p[3] = 255;
    }
  }
  return base;
}

// The panels' coverage, 0..255, for the renderer's bevel.
std::vector<uint8_t> panelMask() {
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_A8, kSkinWidth, kSkinHeight));
  Context cr(cairo_create(surface.get()));
  for (const Box& b : kPanels) roundedRect(cr.get(), b.x, b.y, b.w, b.h, kPanelCorner);
  cairo_fill(cr.get());
  cairo_surface_flush(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  std::vector<uint8_t> mask(static_cast<size_t>(kSkinWidth) * kSkinHeight);
  for (int y = 0; y < kSkinHeight; ++y)
    std::copy_n(data + static_cast<ptrdiff_t>(y) * stride, kSkinWidth,
                &mask[static_cast<size_t>(y) * kSkinWidth]);
  return mask;
}

// Lightens the panel tops a little against the bare metal around them and tints the About
// strip brass, before the renderer shades their edges.
void tintPanels(RgbaImage& base, const std::vector<uint8_t>& mask) {
  for (int y = 0; y < kSkinHeight; ++y) {
    for (int x = 0; x < kSkinWidth; ++x) {
      const double m = mask[static_cast<size_t>(y) * kSkinWidth + x] / 255.0;
      if (m == 0.0) continue;
      uint8_t* p = base.at(x, y);
      const bool strip = x < kAboutStrip.x + kAboutStrip.w + 1;
      for (int c = 0; c < 3; ++c) {
        double v = p[c];
        if (strip) {
          const double brass = c == 0 ? 196 : c == 1 ? 170 : 124;
          v = v * (1 - m) + (brass + (v - 205) * 0.5) * m;
        } else {
          v += 10 * m;
        }
        p[c] = static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
      }
    }
  }
}

void drawSkinDetails(cairo_t* cr) {
  // The preview well: a sunken border around the preview pane (460, 12, 532 × 351).
  setColour(cr, {0.62, 0.64, 0.68});
  cairo_rectangle(cr, 459, 11, 534, 353);
  cairo_fill(cr);
  sunkenFrame(cr, 457, 9, 538, 357);
  sunkenFrame(cr, 458, 10, 536, 355, 0.5);

  // The preset name's groove.
  setColour(cr, {0.93, 0.94, 0.95});
  cairo_rectangle(cr, 459, 411, 534, 22);
  cairo_fill(cr);
  sunkenFrame(cr, 458, 410, 536, 24);

  // The two picture frames (texture and environment swatch), 66 × 66.
  for (const double top : {54.0, 277.0}) {
    setColour(cr, {0.50, 0.51, 0.54});
    cairo_rectangle(cr, 340, top, 66, 66);
    cairo_fill(cr);
    sunkenFrame(cr, 338, top - 2, 70, 70);
    sunkenFrame(cr, 339, top - 1, 68, 68, 0.6);
  }

  // Engraved lines that part the groups of the middle column and of the left column.
  auto engrave = [cr](double x0, double y0, double x1, double y1) {
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 0.45, 0.46, 0.50, 0.7);
    cairo_move_to(cr, x0, y0 + 0.5);
    cairo_line_to(cr, x1, y1 + 0.5);
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.9);
    cairo_move_to(cr, x0, y0 + 1.5);
    cairo_line_to(cr, x1, y1 + 1.5);
    cairo_stroke(cr);
  };
  engrave(302, 222, 428, 222);
  engrave(62, 45, 282, 45);
  engrave(62, 498, 282, 498);

  // A shallow socket under each memory dot (its face is drawn at the dot's left, top + 2).
  for (const auto& d : kDotPositions) {
    const double cx = d[0] + 4.0, cy = d[1] + 6.0;
    cairo_arc(cr, cx, cy, 5.5, 0, 2 * kPi);
    cairo_pattern_t* g = cairo_pattern_create_linear(cx - 4, cy - 4, cx + 4, cy + 4);
    cairo_pattern_add_color_stop_rgba(g, 0, 0.30, 0.31, 0.35, 0.55);
    cairo_pattern_add_color_stop_rgba(g, 1, 1, 1, 1, 0.9);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_arc(cr, cx, cy, 4.5, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.80, 0.81, 0.84);
    cairo_fill(cr);
  }

  // The About strip's name, written upwards and engraved.
  setFont(cr, kFont, 14, true);
  const char* name = "Orichalcumite";
  cairo_text_extents_t ext;
  cairo_text_extents(cr, name, &ext);
  const double spacing = 3.0;
  const double total = ext.x_advance + spacing * (std::char_traits<char>::length(name) - 1);
  const double centreX = kAboutStrip.x + kAboutStrip.w / 2;
  const double baseline = centreX + 5.5;
  for (int pass = 0; pass < 2; ++pass) {
    cairo_save(cr);
    cairo_translate(cr, baseline + (pass == 0 ? 1.0 : 0.0),
                    (kSkinHeight + total) / 2 + (pass == 0 ? 1.0 : 0.0));
    cairo_rotate(cr, -kPi / 2);
    if (pass == 0)
      cairo_set_source_rgba(cr, 1, 0.95, 0.85, 0.7);
    else
      setColour(cr, {0.36, 0.25, 0.10});
    double x = 0;
    for (const char* c = name; *c; ++c) {
      const char letter[2] = {*c, 0};
      cairo_move_to(cr, x - 0.0, 0);
      cairo_show_text(cr, letter);
      cairo_text_extents_t le;
      cairo_text_extents(cr, letter, &le);
      x += le.x_advance + spacing;
    }
    cairo_restore(cr);
  }
  // Small brass rivets at the strip's ends.
  for (const double y : {18.0, kSkinHeight - 18.0}) {
    cairo_arc(cr, centreX, y, 4, 0, 2 * kPi);
    cairo_pattern_t* g = cairo_pattern_create_radial(centreX - 1.5, y - 1.5, 0.5, centreX, y, 4);
    cairo_pattern_add_color_stop_rgb(g, 0, kBrassLight.r, kBrassLight.g, kBrassLight.b);
    cairo_pattern_add_color_stop_rgb(g, 1, kBrass.r * 0.7, kBrass.g * 0.7, kBrass.b * 0.7);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
  }
}

bool makeBackground(RgbaImage& out) {
  RgbaImage base = skinBase();
  const std::vector<uint8_t> mask = panelMask();
  tintPanels(base, mask);
  if (!shadePanels(base, mask, 5)) return false;
  Surface surface = surfaceOfImage(base);
  Context cr(cairo_create(surface.get()));
  drawSkinDetails(cr.get());
  out = imageOfSurface(surface.get());
  return true;
}

// ---- Slider tracks.

enum class TrackLook { rising, centred, hues };

TrackLook trackLook(int id) {
  switch (id) {
    case 136:  // height
    case 133:  // texture strength
    case 260:  // embossing
      return TrackLook::centred;
    case 221:  // iri colors
      return TrackLook::hues;
    default: return TrackLook::rising;
  }
}

// A groove along the middle of a w × h track (horizontal when w ≥ h), with marks that hint
// at its setting: a wedge rising towards the maximum, a notch at the centre of a −100..100
// range, or the hues an iridescence setting picks from.
RgbaImage drawTrack(int w, int h, TrackLook look) {
  Surface surface = newSurface(w, h);
  Context ctx(cairo_create(surface.get()));
  cairo_t* cr = ctx.get();
  const bool horizontal = w >= h;
  // Work in the horizontal frame; a vertical track rises towards its top.
  if (!horizontal) {
    cairo_translate(cr, 0, h);
    cairo_rotate(cr, -kPi / 2);
    std::swap(w, h);
  }
  const double gy = h / 2.0 - 3.0;
  const double gh = 6.0;
  // The groove's floor.
  roundedRect(cr, 0.5, gy, w - 1.0, gh, 3.0);
  cairo_pattern_t* floor = cairo_pattern_create_linear(0, gy, 0, gy + gh);
  cairo_pattern_add_color_stop_rgb(floor, 0, 0.60, 0.62, 0.66);
  cairo_pattern_add_color_stop_rgb(floor, 1, 0.84, 0.85, 0.88);
  cairo_set_source(cr, floor);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(floor);
  cairo_save(cr);
  cairo_clip(cr);
  if (look == TrackLook::hues) {
    cairo_pattern_t* hues = cairo_pattern_create_linear(2, 0, w - 2, 0);
    for (int i = 0; i <= 6; ++i) {
      const double hue = i / 6.0;
      const double r = std::clamp(std::fabs(hue * 6 - 3) - 1, 0.0, 1.0);
      const double g = std::clamp(2 - std::fabs(hue * 6 - 2), 0.0, 1.0);
      const double b = std::clamp(2 - std::fabs(hue * 6 - 4), 0.0, 1.0);
      cairo_pattern_add_color_stop_rgba(hues, hue, 0.25 + 0.7 * r, 0.25 + 0.7 * g, 0.25 + 0.7 * b,
                                        0.85);
    }
    cairo_set_source(cr, hues);
    cairo_paint(cr);
    cairo_pattern_destroy(hues);
  } else if (look == TrackLook::rising) {
    // A brass wedge, thin at the minimum and filling the groove at the maximum.
    cairo_move_to(cr, 2, gy + gh - 1.5);
    cairo_line_to(cr, w - 2, gy + 1);
    cairo_line_to(cr, w - 2, gy + gh);
    cairo_line_to(cr, 2, gy + gh);
    cairo_close_path(cr);
    cairo_pattern_t* wedge = cairo_pattern_create_linear(0, 0, w, 0);
    cairo_pattern_add_color_stop_rgba(wedge, 0, kBrass.r, kBrass.g, kBrass.b, 0.15);
    cairo_pattern_add_color_stop_rgba(wedge, 1, kBrass.r, kBrass.g, kBrass.b, 0.6);
    cairo_set_source(cr, wedge);
    cairo_fill(cr);
    cairo_pattern_destroy(wedge);
  } else {
    // Two wedges growing from the centre outwards: the deviation either way.
    const double c = w / 2.0;
    for (const double end : {2.0, w - 2.0}) {
      cairo_move_to(cr, c, gy + gh);
      cairo_line_to(cr, end, gy + 1);
      cairo_line_to(cr, end, gy + gh);
      cairo_close_path(cr);
    }
    setColour(cr, kBrass, 0.4);
    cairo_fill(cr);
  }
  // Inner shadow along the groove's upper lip.
  cairo_set_source_rgba(cr, 0.2, 0.2, 0.25, 0.35);
  cairo_rectangle(cr, 0, gy, w, 1);
  cairo_fill(cr);
  cairo_restore(cr);
  // The groove's lips: shade above, light below.
  cairo_set_line_width(cr, 1.0);
  roundedRect(cr, 0.5, gy - 0.5, w - 1.0, gh + 1.0, 3.5);
  cairo_pattern_t* lip = cairo_pattern_create_linear(0, gy - 0.5, 0, gy + gh + 0.5);
  cairo_pattern_add_color_stop_rgba(lip, 0, 0.30, 0.31, 0.35, 0.9);
  cairo_pattern_add_color_stop_rgba(lip, 1, 1, 1, 1, 0.95);
  cairo_set_source(cr, lip);
  cairo_stroke(cr);
  cairo_pattern_destroy(lip);
  if (look == TrackLook::centred) {
    // The notch at the centre of the thumb's travel: the thumb (12 wide, starting 1 pixel in)
    // travels over w - 15 pixels, so value 0 puts its middle at 1 + (w - 15) / 2 + 6.
    const double notch = std::floor(1 + (w - 15) / 2.0 + 6) + 0.5;
    setColour(cr, kInk, 0.75);
    cairo_move_to(cr, notch, 0);
    cairo_line_to(cr, notch, 2.5);
    cairo_move_to(cr, notch, h - 2.5);
    cairo_line_to(cr, notch, h);
    cairo_stroke(cr);
  }
  return imageOfSurface(surface.get());
}

// A raised metal knob with a grip in its middle (lines across the direction of travel).
RgbaImage drawThumb(int w, int h, bool horizontalTrack) {
  Surface surface = newSurface(w, h);
  Context ctx(cairo_create(surface.get()));
  cairo_t* cr = ctx.get();
  roundedRect(cr, 0.5, 0.5, w - 1.0, h - 1.0, 2.0);
  cairo_pattern_t* body = cairo_pattern_create_linear(0, 0, w * 0.3, h);
  cairo_pattern_add_color_stop_rgb(body, 0, 0.98, 0.98, 0.99);
  cairo_pattern_add_color_stop_rgb(body, 0.55, 0.80, 0.82, 0.86);
  cairo_pattern_add_color_stop_rgb(body, 1, 0.60, 0.62, 0.67);
  cairo_set_source(cr, body);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(body);
  cairo_set_line_width(cr, 1.0);
  setColour(cr, {0.22, 0.23, 0.27});
  cairo_stroke(cr);
  // Grip: two brass lines with a light edge beside each.
  for (int i = 0; i < 2; ++i) {
    if (horizontalTrack) {
      const double x = w / 2.0 - 1.5 + 2 * i;
      setColour(cr, kBrass);
      cairo_rectangle(cr, std::floor(x), 3, 1, h - 6);
      cairo_fill(cr);
      cairo_set_source_rgba(cr, 1, 1, 1, 0.8);
      cairo_rectangle(cr, std::floor(x) + 1, 3, 1, h - 6);
      cairo_fill(cr);
    } else {
      const double y = h / 2.0 - 1.5 + 2 * i;
      setColour(cr, kBrass);
      cairo_rectangle(cr, 3, std::floor(y), w - 6, 1);
      cairo_fill(cr);
      cairo_set_source_rgba(cr, 1, 1, 1, 0.8);
      cairo_rectangle(cr, 3, std::floor(y) + 1, w - 6, 1);
      cairo_fill(cr);
    }
  }
  return imageOfSurface(surface.get());
}

// ---- Light ball: a shaded sphere lit from the upper left, with the horizon ring (where a
// light lies in the picture plane) 33 pixels around the centre the widget measures from.
RgbaImage drawLightBall() {
  constexpr int kSide = 85;
  constexpr double cx = 42.5;
  constexpr double cy = 41.5;
  constexpr double radius = 40.0;
  Surface surface = newSurface(kSide, kSide);
  Context ctx(cairo_create(surface.get()));
  cairo_t* cr = ctx.get();
  // A soft shadow below the ball.
  cairo_pattern_t* shadow =
      cairo_pattern_create_radial(cx + 2, cy + 3, radius - 4, cx + 2, cy + 3, radius + 2.5);
  cairo_pattern_add_color_stop_rgba(shadow, 0, 0, 0, 0, 0.35);
  cairo_pattern_add_color_stop_rgba(shadow, 1, 0, 0, 0, 0);
  cairo_set_source(cr, shadow);
  cairo_arc(cr, cx + 2, cy + 3, radius + 2.5, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(shadow);
  cairo_arc(cr, cx, cy, radius, 0, 2 * kPi);
  cairo_pattern_t* body = cairo_pattern_create_radial(cx - 13, cy - 14, 2, cx, cy, radius);
  cairo_pattern_add_color_stop_rgb(body, 0, 1.0, 1.0, 1.0);
  cairo_pattern_add_color_stop_rgb(body, 0.25, 0.85, 0.86, 0.89);
  cairo_pattern_add_color_stop_rgb(body, 0.75, 0.50, 0.52, 0.58);
  cairo_pattern_add_color_stop_rgb(body, 1.0, 0.26, 0.27, 0.32);
  cairo_set_source(cr, body);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(body);
  cairo_set_line_width(cr, 1.0);
  cairo_set_source_rgba(cr, 0.15, 0.16, 0.2, 0.8);
  cairo_stroke(cr);
  // The horizon ring and the two axes, faint.
  const double dash[] = {2.0, 2.0};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_set_source_rgba(cr, 0.15, 0.16, 0.2, 0.35);
  cairo_arc(cr, cx, cy, 33.0, 0, 2 * kPi);
  cairo_stroke(cr);
  cairo_move_to(cr, cx - 33, cy);
  cairo_line_to(cr, cx + 33, cy);
  cairo_move_to(cr, cx, cy - 33);
  cairo_line_to(cr, cx, cy + 33);
  cairo_stroke(cr);
  return imageOfSurface(surface.get());
}

RgbaImage drawLightMarker() {
  Surface surface = newSurface(5, 5);
  Context ctx(cairo_create(surface.get()));
  cairo_t* cr = ctx.get();
  cairo_arc(cr, 2.5, 2.5, 2.2, 0, 2 * kPi);
  cairo_set_source_rgb(cr, 1.0, 1.0, 0.75);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1.0);
  setColour(cr, kInk);
  cairo_stroke(cr);
  return imageOfSurface(surface.get());
}

// ---- The memory-dot preview square's frame: a bevelled 4-pixel border, the inside left
// transparent for the preview picture.
RgbaImage drawDotPreviewFrame() {
  Surface surface = newSurface(96, 96);
  Context ctx(cairo_create(surface.get()));
  cairo_t* cr = ctx.get();
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  roundedRect(cr, 0, 0, 96, 96, 3);
  cairo_rectangle(cr, 4, 4, 88, 88);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 96, 96);
  cairo_pattern_add_color_stop_rgb(g, 0, 0.97, 0.93, 0.84);
  cairo_pattern_add_color_stop_rgb(g, 0.5, kBrassLight.r, kBrassLight.g, kBrassLight.b);
  cairo_pattern_add_color_stop_rgb(g, 1, kBrass.r * 0.7, kBrass.g * 0.7, kBrass.b * 0.7);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  cairo_set_line_width(cr, 1.0);
  cairo_set_source_rgba(cr, 0.25, 0.18, 0.08, 0.9);
  roundedRect(cr, 0.5, 0.5, 95, 95, 3);
  cairo_stroke(cr);
  // The inner edge: shade above and left (the picture sits lower than the frame).
  sunkenFrame(cr, 3, 3, 90, 90);
  return imageOfSurface(surface.get());
}

// ---- Memory-dot faces. Filled means the slot holds an effect; brass means it is kept between
// runs, blue-grey that it is temporary; a white core marks the current slot; the pressed face
// is darker and one pixel lower and further right.
struct DotFace {
  bool holds;
  bool kept;
  bool current;
  bool pressed;
};

RgbaImage drawDot(DotFace face) {
  Surface surface = newSurface(8, 8);
  Context ctx(cairo_create(surface.get()));
  cairo_t* cr = ctx.get();
  const double shift = face.pressed ? 0.5 : 0.0;
  const double cx = 4.0 + shift;
  const double cy = 4.0 + shift;
  const double dim = face.pressed ? 0.75 : 1.0;
  cairo_set_line_width(cr, 1.0);
  if (!face.holds) {
    cairo_arc(cr, cx, cy, 3.0, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.90 * dim, 0.91 * dim, 0.93 * dim);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.45 * dim, 0.46 * dim, 0.50 * dim);
    cairo_stroke(cr);
    return imageOfSurface(surface.get());
  }
  const Colour light = face.kept ? Colour{1.0, 0.85, 0.45} : Colour{0.70, 0.82, 0.98};
  const Colour deep = face.kept ? Colour{0.62, 0.38, 0.05} : Colour{0.18, 0.35, 0.62};
  cairo_arc(cr, cx, cy, 3.5, 0, 2 * kPi);
  cairo_pattern_t* g = cairo_pattern_create_radial(cx - 1.2, cy - 1.2, 0.3, cx, cy, 3.8);
  cairo_pattern_add_color_stop_rgb(g, 0, light.r * dim, light.g * dim, light.b * dim);
  cairo_pattern_add_color_stop_rgb(g, 1, deep.r * dim, deep.g * dim, deep.b * dim);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  if (face.current) {
    cairo_arc(cr, cx, cy, 3.5, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.75 * dim, 0.05, 0.05);
    cairo_stroke(cr);
    cairo_arc(cr, cx, cy, 1.3, 0, 2 * kPi);
    cairo_set_source_rgb(cr, dim, dim, dim);
    cairo_fill(cr);
  }
  return imageOfSurface(surface.get());
}

// ---- Icons. Glyphs are drawn in a box of `s` pixels at (x, y) with strokes of ink.

using GlyphFunction = void (*)(cairo_t*, double x, double y, double s);

void glyphReset(cairo_t* cr, double x, double y, double s) {
  const double cx = x + s / 2, cy = y + s / 2, r = s * 0.36;
  cairo_set_line_width(cr, 1.6);
  cairo_arc(cr, cx, cy, r, -kPi * 0.35, kPi * 1.45);
  cairo_stroke(cr);
  // The arrow head at the arc's start, pointing along it.
  const double ax = cx + r * std::cos(-kPi * 0.35);
  const double ay = cy + r * std::sin(-kPi * 0.35);
  cairo_move_to(cr, ax + 3.0, ay - 1.5);
  cairo_line_to(cr, ax - 1.0, ay - 3.0);
  cairo_line_to(cr, ax + 0.5, ay + 1.8);
  cairo_close_path(cr);
  cairo_fill(cr);
}

void glyphLoad(cairo_t* cr, double x, double y, double s) {
  // An open folder.
  cairo_set_line_width(cr, 1.0);
  cairo_move_to(cr, x + 0.5, y + s * 0.25);
  cairo_line_to(cr, x + s * 0.4, y + s * 0.25);
  cairo_line_to(cr, x + s * 0.5, y + s * 0.38);
  cairo_line_to(cr, x + s * 0.9, y + s * 0.38);
  cairo_line_to(cr, x + s * 0.9, y + s * 0.85);
  cairo_line_to(cr, x + 0.5, y + s * 0.85);
  cairo_close_path(cr);
  setColour(cr, kBrassLight);
  cairo_fill_preserve(cr);
  setColour(cr, kInk);
  cairo_stroke(cr);
  cairo_move_to(cr, x + 0.5, y + s * 0.85);
  cairo_line_to(cr, x + s * 0.2, y + s * 0.5);
  cairo_line_to(cr, x + s, y + s * 0.5);
  cairo_line_to(cr, x + s * 0.9, y + s * 0.85);
  cairo_close_path(cr);
  setColour(cr, kBrass);
  cairo_fill_preserve(cr);
  setColour(cr, kInk);
  cairo_stroke(cr);
}

void glyphSave(cairo_t* cr, double x, double y, double s) {
  // An arrow down into a tray.
  cairo_set_line_width(cr, 1.6);
  cairo_move_to(cr, x + s / 2, y + 1);
  cairo_line_to(cr, x + s / 2, y + s * 0.55);
  cairo_stroke(cr);
  cairo_move_to(cr, x + s / 2 - 3.5, y + s * 0.45);
  cairo_line_to(cr, x + s / 2 + 3.5, y + s * 0.45);
  cairo_line_to(cr, x + s / 2, y + s * 0.72);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_set_line_width(cr, 1.4);
  cairo_move_to(cr, x + 1, y + s * 0.6);
  cairo_line_to(cr, x + 1, y + s - 1);
  cairo_line_to(cr, x + s - 1, y + s - 1);
  cairo_line_to(cr, x + s - 1, y + s * 0.6);
  cairo_stroke(cr);
}

void glyphDie(cairo_t* cr, double x, double y, double s) {
  cairo_set_line_width(cr, 1.0);
  roundedRect(cr, x + 0.5, y + 0.5, s - 1, s - 1, 2.5);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_fill_preserve(cr);
  setColour(cr, kInk);
  cairo_stroke(cr);
  const double a = s * 0.28, b = s * 0.5, c = s * 0.72;
  for (const auto& p : {std::array<double, 2>{a, a}, {c, a}, {b, b}, {a, c}, {c, c}}) {
    cairo_arc(cr, x + p[0], y + p[1], 1.1, 0, 2 * kPi);
    cairo_fill(cr);
  }
}

void glyphUndo(cairo_t* cr, double x, double y, double s) {
  cairo_set_line_width(cr, 1.6);
  cairo_move_to(cr, x + s * 0.25, y + s * 0.4);
  cairo_curve_to(cr, x + s * 0.8, y + s * 0.3, x + s * 1.05, y + s * 0.95, x + s * 0.45,
                 y + s * 0.92);
  cairo_stroke(cr);
  cairo_move_to(cr, x, y + s * 0.42);
  cairo_line_to(cr, x + s * 0.38, y + s * 0.12);
  cairo_line_to(cr, x + s * 0.38, y + s * 0.7);
  cairo_close_path(cr);
  cairo_fill(cr);
}

void glyphSeed(cairo_t* cr, double x, double y, double s) {
  // A seed with a sprouting leaf.
  cairo_save(cr);
  cairo_translate(cr, x + s * 0.42, y + s * 0.68);
  cairo_scale(cr, s * 0.32, s * 0.22);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr);
  setColour(cr, kBrass);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1.0);
  setColour(cr, kInk);
  cairo_stroke(cr);
  cairo_move_to(cr, x + s * 0.5, y + s * 0.5);
  cairo_curve_to(cr, x + s * 0.5, y + s * 0.3, x + s * 0.6, y + s * 0.15, x + s * 0.8, y + 1);
  cairo_stroke(cr);
  cairo_move_to(cr, x + s * 0.62, y + s * 0.22);
  cairo_curve_to(cr, x + s * 0.85, y + s * 0.1, x + s, y + s * 0.3, x + s * 0.98, y + s * 0.3);
  cairo_curve_to(cr, x + s * 0.85, y + s * 0.42, x + s * 0.7, y + s * 0.4, x + s * 0.62,
                 y + s * 0.22);
  cairo_set_source_rgb(cr, 0.25, 0.55, 0.2);
  cairo_fill(cr);
}

void glyphLayers(cairo_t* cr, double x, double y, double s) {
  cairo_set_line_width(cr, 1.0);
  for (int i = 2; i >= 0; --i) {
    const double top = y + 1 + i * s * 0.22;
    cairo_move_to(cr, x + s * 0.5, top);
    cairo_line_to(cr, x + s - 0.5, top + s * 0.18);
    cairo_line_to(cr, x + s * 0.5, top + s * 0.36);
    cairo_line_to(cr, x + 0.5, top + s * 0.18);
    cairo_close_path(cr);
    const Colour c = i == 0   ? kBrassLight
                     : i == 1 ? Colour{0.6, 0.75, 0.95}
                              : Colour{0.8, 0.8, 0.82};
    setColour(cr, c);
    cairo_fill_preserve(cr);
    setColour(cr, kInk);
    cairo_stroke(cr);
  }
}

// The width of `text` at `sizePx` in `family`.
double textWidth(cairo_t* cr, const char* family, double sizePx, const char* text) {
  setFont(cr, family, sizePx);
  cairo_text_extents_t ext;
  cairo_text_extents(cr, text, &ext);
  return ext.x_advance;
}

// A 52 × 21 button icon: the glyph at the left and the word beside it in an 11-pixel sans
// face, narrowed (or, failing that, made smaller) when the word would not fit.
RgbaImage drawWordIcon(GlyphFunction glyph, const char* word) {
  constexpr int kWidth = 52, kHeight = 21;
  constexpr double kGlyph = 12.0;
  Surface surface = newSurface(kWidth, kHeight);
  Context ctx(cairo_create(surface.get()));
  cairo_t* cr = ctx.get();
  setColour(cr, kInk);
  glyph(cr, 1, (kHeight - kGlyph) / 2, kGlyph);
  const double left = kGlyph + 3;
  const double room = kWidth - left - 1;
  const char* family = kFont;
  double size = 11.0;
  if (textWidth(cr, family, size, word) > room) family = kNarrowFont;
  while (size > 7.0 && textWidth(cr, family, size, word) > room) size -= 0.5;
  setFont(cr, family, size);
  cairo_text_extents_t ext;
  cairo_text_extents(cr, word, &ext);
  setColour(cr, kInk);
  cairo_move_to(cr, left + (room - ext.x_advance) / 2, std::round(kHeight / 2.0 + 4));
  cairo_show_text(cr, word);
  return imageOfSurface(surface.get());
}

template <typename Draw> RgbaImage drawIcon(int w, int h, Draw draw) {
  Surface surface = newSurface(w, h);
  Context ctx(cairo_create(surface.get()));
  draw(ctx.get());
  return imageOfSurface(surface.get());
}

RgbaImage drawGalleryIcon() {
  // Four small pictures in a grid, with a caret above: "make a gallery".
  return drawIcon(16, 16, [](cairo_t* cr) {
    for (int row = 0; row < 2; ++row) {
      for (int col = 0; col < 2; ++col) {
        const double x = 1 + col * 8, y = 5 + row * 6;
        cairo_rectangle(cr, x, y, 6, 5);
        setColour(cr, kInk, 0.8);
        cairo_fill(cr);
        cairo_rectangle(cr, x + 1, y + 1, 4, 3);
        setColour(cr, (row + col) % 2 ? kBrassLight : Colour{0.65, 0.78, 0.95});
        cairo_fill(cr);
      }
    }
    cairo_set_line_width(cr, 1.2);
    setColour(cr, kInk);
    cairo_move_to(cr, 5, 3.5);
    cairo_line_to(cr, 8, 0.8);
    cairo_line_to(cr, 11, 3.5);
    cairo_stroke(cr);
  });
}

RgbaImage drawInfoIcon() {
  return drawIcon(16, 16, [](cairo_t* cr) {
    cairo_arc(cr, 8, 8, 7, 0, 2 * kPi);
    cairo_pattern_t* g = cairo_pattern_create_radial(6, 5, 1, 8, 8, 7.5);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.55, 0.72, 1.0);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.12, 0.30, 0.65);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_arc(cr, 8, 4.5, 1.3, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_rectangle(cr, 7, 7, 2, 5.5);
    cairo_fill(cr);
  });
}

RgbaImage drawSpinIcon() {
  // A small globe with an arrow turning around it.
  return drawIcon(16, 16, [](cairo_t* cr) {
    cairo_arc(cr, 8, 8.5, 4, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.45, 0.65, 0.9);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.0);
    setColour(cr, kInk);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.4);
    cairo_arc(cr, 8, 8.5, 6.8, kPi * 0.9, kPi * 2.2);
    cairo_stroke(cr);
    // The head points along the arc where it ends: tangent (-sin, cos), normal (cos, sin).
    const double end = kPi * 2.2;
    const double ax = 8 + 6.8 * std::cos(end), ay = 8.5 + 6.8 * std::sin(end);
    const double tx = -std::sin(end), ty = std::cos(end);
    const double nx = std::cos(end), ny = std::sin(end);
    cairo_move_to(cr, ax + 3.2 * tx, ay + 3.2 * ty);
    cairo_line_to(cr, ax + 2.6 * nx - 0.5 * tx, ay + 2.6 * ny - 0.5 * ty);
    cairo_line_to(cr, ax - 2.6 * nx - 0.5 * tx, ay - 2.6 * ny - 0.5 * ty);
    cairo_close_path(cr);
    cairo_fill(cr);
  });
}

RgbaImage drawZoomIcon(bool plus) {
  return drawIcon(10, 10, [plus](cairo_t* cr) {
    setColour(cr, kInk);
    cairo_rectangle(cr, 1, 4, 8, 2);
    if (plus) cairo_rectangle(cr, 4, 1, 2, 8);
    cairo_fill(cr);
  });
}

RgbaImage drawNextModeIcon() {
  return drawIcon(11, 10, [](cairo_t* cr) {
    setColour(cr, kInk);
    cairo_move_to(cr, 5.5, 1.5);
    cairo_line_to(cr, 10, 7.5);
    cairo_line_to(cr, 1, 7.5);
    cairo_close_path(cr);
    cairo_fill(cr);
  });
}

RgbaImage drawSparkle() {
  return drawIcon(10, 10, [](cairo_t* cr) {
    cairo_move_to(cr, 5, 0.2);
    cairo_curve_to(cr, 5.4, 4, 6, 4.6, 9.8, 5);
    cairo_curve_to(cr, 6, 5.4, 5.4, 6, 5, 9.8);
    cairo_curve_to(cr, 4.6, 6, 4, 5.4, 0.2, 5);
    cairo_curve_to(cr, 4, 4.6, 4.6, 4, 5, 0.2);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 1, 1, 0.92);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 0.8);
    setColour(cr, kBrass);
    cairo_stroke(cr);
  });
}

RgbaImage drawDrop() {
  return drawIcon(10, 10, [](cairo_t* cr) {
    cairo_move_to(cr, 5, 0.5);
    cairo_curve_to(cr, 6, 3, 8.5, 4.5, 8.5, 6.3);
    cairo_arc(cr, 5, 6.3, 3.5, 0, kPi);
    cairo_curve_to(cr, 1.5, 4.5, 4, 3, 5, 0.5);
    cairo_close_path(cr);
    cairo_pattern_t* g = cairo_pattern_create_radial(4, 5.5, 0.3, 5, 6.3, 4);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.85, 0.93, 1.0);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.15, 0.42, 0.80);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    cairo_set_line_width(cr, 0.8);
    cairo_set_source_rgb(cr, 0.08, 0.22, 0.45);
    cairo_stroke(cr);
  });
}

RgbaImage drawGlobe() {
  return drawIcon(10, 10, [](cairo_t* cr) {
    cairo_arc(cr, 5, 5, 4.3, 0, 2 * kPi);
    cairo_pattern_t* g = cairo_pattern_create_radial(3.5, 3.5, 0.3, 5, 5, 4.5);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.75, 0.92, 0.85);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.12, 0.50, 0.45);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    cairo_set_line_width(cr, 0.8);
    cairo_set_source_rgb(cr, 0.05, 0.25, 0.22);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 0.6);
    cairo_save(cr);
    cairo_translate(cr, 5, 5);
    cairo_scale(cr, 0.45, 1);
    cairo_arc(cr, 0, 0, 4.3, 0, 2 * kPi);
    cairo_restore(cr);
    cairo_move_to(cr, 0.7, 5);
    cairo_line_to(cr, 9.3, 5);
    cairo_stroke(cr);
  });
}

// The "file" item of the texture list: a page with a turned corner and a small landscape.
RgbaImage drawPictureFileIcon() {
  return drawIcon(16, 16, [](cairo_t* cr) {
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, 2.5, 0.5);
    cairo_line_to(cr, 10, 0.5);
    cairo_line_to(cr, 13.5, 4);
    cairo_line_to(cr, 13.5, 15.5);
    cairo_line_to(cr, 2.5, 15.5);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    setColour(cr, kInk);
    cairo_stroke(cr);
    cairo_move_to(cr, 10, 0.5);
    cairo_line_to(cr, 10, 4);
    cairo_line_to(cr, 13.5, 4);
    cairo_stroke(cr);
    cairo_rectangle(cr, 4, 6, 8, 8);
    cairo_set_source_rgb(cr, 0.62, 0.80, 0.97);
    cairo_fill(cr);
    cairo_move_to(cr, 4, 14);
    cairo_line_to(cr, 7, 9);
    cairo_line_to(cr, 9, 11.5);
    cairo_line_to(cr, 10.5, 10);
    cairo_line_to(cr, 12, 14);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 0.30, 0.55, 0.30);
    cairo_fill(cr);
    cairo_arc(cr, 10, 7.8, 1.1, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.95, 0.75, 0.2);
    cairo_fill(cr);
  });
}

// A thin frame around a texture icon, so light and dark tiles both read as a square.
void frameIcon(RgbaImage& icon) {
  for (int i = 0; i < icon.width; ++i) {
    for (const auto& [x, y] : {std::pair{i, 0}, std::pair{i, icon.height - 1}, std::pair{0, i},
                               std::pair{icon.width - 1, i}}) {
      uint8_t* p = icon.at(x, y);
      p[0] = 70;
      p[1] = 72;
      p[2] = 80;
      p[3] = 255;
    }
  }
}

}  // namespace

int skinMetalGrey(int x, int y) {
  // Brighter at the top, a little darker towards the bottom.
  const double falloff = 222.0 - 14.0 * y / kSkinHeight;
  // Brushing: each row its own slight offset, and a slow wave along the row so it does not
  // look like plain stripes.
  const double row = 2.2 * hashNoise(static_cast<uint32_t>(y) * 2654435761U);
  const double wave = 0.8 * std::sin(x * 0.013 + y * 0.7);
  const double grain = 0.8 * hashNoise(static_cast<uint32_t>(y * 4099 + x) * 2246822519U);
  return std::clamp(static_cast<int>(std::lround(falloff + row + wave + grain)), 0, 255);
}

std::vector<NamedPicture> makeDialogArtwork(std::string& error) {
  std::vector<NamedPicture> pictures;
  auto add = [&pictures](std::string name, RgbaImage image) {
    pictures.push_back({std::move(name), std::move(image)});
  };

  RgbaImage background;
  if (!makeBackground(background)) {
    error = "the renderer could not shade the background's panels";
    return {};
  }
  add("background.png", std::move(background));
  for (const int id : kHorizontalTrackIds)
    add("track-" + std::to_string(id) + ".png", drawTrack(135, 12, trackLook(id)));
  add("track-337.png", drawTrack(70, 12, TrackLook::rising));
  add("track-263.png", drawTrack(12, 45, TrackLook::rising));
  add("thumb-120.png", drawThumb(12, 10, true));
  add("thumb-274.png", drawThumb(10, 10, false));
  add("light-ball.png", drawLightBall());
  add("light-marker.png", drawLightMarker());
  add("dot-preview-frame.png", drawDotPreviewFrame());

  struct DotEntry {
    int id;
    DotFace face;
  };
  constexpr DotEntry kDots[] = {
      {202, {true, false, true, false}},  {203, {false, false, false, false}},
      {208, {true, true, true, false}},   {210, {false, false, false, true}},
      {211, {true, false, true, true}},   {212, {true, true, true, true}},
      {213, {true, false, false, false}}, {214, {true, false, false, true}},
      {215, {true, true, false, false}},  {216, {true, true, false, true}},
  };
  for (const DotEntry& d : kDots) add("dot-" + std::to_string(d.id) + ".png", drawDot(d.face));

  add("icon-225.png", drawWordIcon(glyphReset, "Factory"));
  add("icon-240.png", drawWordIcon(glyphLoad, "Load"));
  add("icon-241.png", drawWordIcon(glyphSave, "Save"));
  add("icon-237.png", drawWordIcon(glyphDie, "Random"));
  add("icon-242.png", drawWordIcon(glyphUndo, "Undo"));
  add("icon-186.png", drawWordIcon(glyphSeed, "Seed"));
  add("icon-232.png", drawWordIcon(glyphLayers, "PSD"));
  add("icon-236.png", drawGalleryIcon());
  add("icon-235.png", drawInfoIcon());
  add("icon-331.png", drawSpinIcon());
  add("icon-5.png", drawZoomIcon(true));
  add("icon-169.png", drawZoomIcon(false));
  add("icon-231.png", drawNextModeIcon());

  for (int shape = 1; shape <= kShapeIconCount; ++shape) {
    RgbaImage icon = renderShapeIcon(shape);
    if (icon.width == 0) {
      error = "the renderer could not draw the icon of shape " + std::to_string(shape);
      return {};
    }
    add("shape-" + std::to_string(shape) + ".png", std::move(icon));
  }
  for (int choice = 1; choice < kTextureIconCount; ++choice) {
    RgbaImage icon = renderTextureIcon(choice);
    if (icon.width == 0) {
      error = "no texture tile for choice " + std::to_string(choice);
      return {};
    }
    frameIcon(icon);
    add("texture-" + std::to_string(choice) + ".png", std::move(icon));
  }
  add("texture-13.png", drawPictureFileIcon());

  add("check-deco-1.png", drawSparkle());
  add("check-deco-2.png", drawDrop());
  add("check-deco-3.png", drawGlobe());

  // The small windows: About and Info.
  RgbaImage about = drawAboutPicture();
  if (about.width == 0) {
    error = "the renderer could not bevel the About picture";
    return {};
  }
  add("about-282.png", std::move(about));
  add("info-332.png", drawInfoPicture(pictures.front().image));
  add("about-title-127.png", drawAboutTitle());
  add("about-emblem-291.png", drawAboutEmblem());
  return pictures;
}

RgbaImage artworkContactSheet(const std::vector<NamedPicture>& pictures) {
  constexpr int kWidth = 1130;
  constexpr int kLabel = 16;
  constexpr int kGap = 12;
  constexpr int kMinCell = 120;
  // Small pictures are magnified by whole multiples (at most 8, and a track to about twice
  // its width) so their pixels stay sharp; the background is shown as it is.
  struct Placed {
    const NamedPicture* picture;
    int scale, x, y, cellWidth;
  };
  std::vector<Placed> placed;
  int x = kGap, y = kGap, rowHeight = 0;
  for (const NamedPicture& p : pictures) {
    const int w = p.image.width, h = p.image.height;
    const int scale = std::clamp(std::min(280 / w, 120 / h), 1, 8);
    const int cellWidth = std::max(kMinCell, w * scale);
    if (x + cellWidth > kWidth - kGap && x > kGap) {
      x = kGap;
      y += rowHeight + kLabel + kGap;
      rowHeight = 0;
    }
    placed.push_back({&p, scale, x, y, cellWidth});
    x += cellWidth + kGap;
    rowHeight = std::max(rowHeight, h * scale);
  }
  const int height = y + rowHeight + kLabel + kGap;
  Surface sheet = newSurface(kWidth, height);
  Context ctx(cairo_create(sheet.get()));
  cairo_t* cr = ctx.get();
  cairo_set_source_rgb(cr, 0.35, 0.36, 0.38);
  cairo_paint(cr);
  setFont(cr, kFont, 11);
  // Row heights again, to put each label under its row.
  std::vector<std::pair<int, int>> rowBottoms;  // (row top, bottom of its tallest picture)
  for (const Placed& p : placed) {
    const int bottom = p.y + p.picture->image.height * p.scale;
    if (rowBottoms.empty() || rowBottoms.back().first != p.y)
      rowBottoms.emplace_back(p.y, bottom);
    else
      rowBottoms.back().second = std::max(rowBottoms.back().second, bottom);
  }
  for (const Placed& p : placed) {
    const double w = p.picture->image.width * p.scale, h = p.picture->image.height * p.scale;
    // A checkerboard under the picture shows its transparent parts.
    for (int cy = 0; cy < h; cy += 6) {
      for (int cx = 0; cx < w; cx += 6) {
        const double grey = ((cx / 6) + (cy / 6)) % 2 != 0 ? 0.75 : 0.95;
        cairo_set_source_rgb(cr, grey, grey, grey);
        cairo_rectangle(cr, p.x + cx, p.y + cy, std::min(6.0, w - cx), std::min(6.0, h - cy));
        cairo_fill(cr);
      }
    }
    Surface picture = surfaceOfImage(p.picture->image);
    cairo_save(cr);
    cairo_translate(cr, p.x, p.y);
    cairo_scale(cr, p.scale, p.scale);
    cairo_set_source_surface(cr, picture.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
    int labelY = p.y;
    for (const auto& [top, bottom] : rowBottoms)
      if (top == p.y) labelY = bottom;
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, p.x, labelY + 13);
    const std::string text =
        p.picture->name + (p.scale > 1 ? " x" + std::to_string(p.scale) : std::string());
    cairo_show_text(cr, text.c_str());
  }
  return imageOfSurface(sheet.get());
}

std::string encodePng(const RgbaImage& image) {
  // libpng's own writer rather than cairo's: cairo stores an opaque picture without its alpha
  // channel, and the dialog expects every picture as RGBA.
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png, nullptr, &size, 0, image.pixels.data(), 0, nullptr))
    return {};
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, image.pixels.data(), 0, nullptr))
    return {};
  bytes.resize(size);
  return bytes;
}

}  // namespace orichalcumite
