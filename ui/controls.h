// The main dialog's controls as plain data: what each control id is, where it sits on the
// 1006 × 687 skin, its range, label and tooltip, and the tables of values and enable flags the
// dialog keeps for them. No toolkit types: the view reads these tables to build and draw its
// widgets, and tests check them without a display.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/effect_settings.h"
#include "settings/parameter_table.h"

namespace orichalcumite {

// Control ids are 1..199; every table is indexed by id and has this many entries.
constexpr int kControlCount = 200;

// The client area is exactly the size of the background bitmap.
constexpr int32_t kClientWidth = 1006;
constexpr int32_t kClientHeight = 687;
constexpr int kBackgroundBitmap = 239;

// Ids the dialog's logic refers to by number.
namespace control {
constexpr int cancel = 2;
constexpr int ok = 3;
constexpr int radius = 9;
constexpr int radiusEdit = 25;
constexpr int textureChoice = 17;
constexpr int shape = 21;
constexpr int aboutStrip = 24;
constexpr int previewPane = 35;
constexpr int textureSwatch = 50;
constexpr int glueMode = 66;
constexpr int textureZoom = 69;
constexpr int textureZoomText = 70;  // hidden static that only receives the scale's value
constexpr int zoomPercent = 72;
constexpr int nextGlueMode = 73;
constexpr int gobo2 = 115;
constexpr int gobo1 = 116;
constexpr int firstMemoryDot = 126;
constexpr int lastMemoryDot = 150;
constexpr int memoryDotPreview = 158;
}  // namespace control

enum class ControlKind {
  none,  // not a control of its own (edit boxes answer with their slider's descriptor)
  Slider,
  Label,
  TextLine,
  CheckBox,
  DialogButton,
  IconButton,
  ColourSwatch,
  LightBall,
  TextureSwatch,
  PictureFrame,
  IconChoiceList,
  ModeList,
  AboutStrip,
  MemoryDot,
  MemoryDotPreview,
  // Two controls that fit none of the kinds above: the preview pane, whose pointer input the
  // preview handles, and the owner-drawn environment swatch, a button drawn as a lit sphere.
  PreviewPane,
  EnvironmentSwatch,
};

// x, y, width, height in client pixels.
struct ControlRect {
  int32_t x = 0, y = 0, width = 0, height = 0;

  bool contains(int32_t px, int32_t py) const {
    return px >= x && px < x + width && py >= y && py < y + height;
  }
  bool isEmpty() const { return width <= 0 || height <= 0; }
  friend bool operator==(const ControlRect&, const ControlRect&) = default;
};

struct ControlDescriptor {
  ControlKind kind = ControlKind::none;
  int partnerId = -1;  // a slider's edit box, or an edit box's slider; -1 when none
  int primaryId = -1;  // the id the descriptor describes (the slider for an edit box)
  int bitmap = 0;      // track bitmap of a slider, icon of an IconButton; 0 when none
  int labelIndex = 0;  // label-list index of a Label or a ColourSwatch's chooser title
  int32_t minimum = 0, maximum = 0;  // inclusive; sliders, check boxes and lists
  bool isPartner = false;            // asked with the partner's id (an edit box)
};

// The descriptor of any id; ids outside the table (and outside 0..199) have kind none.
ControlDescriptor controlDescriptor(int id);
// The setting a control edits: an integer field (sliders, check boxes, lists), a colour slot
// (colour swatches) or a light (light balls); all empty for controls that edit none.
struct ControlBinding {
  IntField field = nullptr;
  int colourSlot = -1;
  int light = 0;  // 1 or 2
};
ControlBinding controlBinding(int id);
// Whether `id` is the value display (edit box or hidden static) of a slider.
bool isSliderPartner(int id);
// The native edit box of a slider, or -1 (the texture scale's partner is a hidden static and
// the gobo sliders have none).
int editBoxOf(int sliderId);

// The rectangle of a control on the client area from the layout table; empty when the id has
// no place of its own.
ControlRect layoutRect(int id);
// Where the window system places a native control: push buttons sit 2 pixels up and left of
// their layout position, and the zoom-percentage button 2 more pixels up.
ControlRect windowRect(int id);

// The label list: texts of labels and titles of colour choosers. An index without an entry
// gives "-undef string-".
std::string_view labelText(int index);
// The text shown on hover over a control (the string resource 700 + id); empty for ids that
// have none.
std::string_view tooltipText(int id);
// Caption of an IconButton or DialogButton (its accessible name and mnemonic), or empty.
std::string_view buttonCaption(int id);

struct LightVector {
  float x = 0, y = 0, z = 1;
};

// The dialog's own view of every control: one value, one enable flag, and where they apply
// a colour, a light direction and a text per id.
using ControlValueTable = std::array<int32_t, kControlCount>;
using ControlEnableTable = std::array<bool, kControlCount>;

struct DialogControls {
  ControlValueTable values{};
  ControlEnableTable enabled = allEnabled();
  std::array<SettingsColour, kControlCount> colours{};  // ColourSwatch ids
  std::array<LightVector, kControlCount> lights{};      // LightBall ids
  std::array<std::string, kControlCount> texts{};       // edit boxes, value statics, TextLines

  static ControlEnableTable allEnabled() {
    ControlEnableTable t;
    t.fill(true);
    return t;
  }
};

// A control's value clamped into its descriptor's range (check boxes: any non-zero value is 1).
int32_t clampToControlRange(int id, double value);

// Enables that follow from the image: high dynamic range (32-bit) images get no glue mode, so
// the glue-mode list and its next-mode button are disabled; otherwise both are enabled.
void applyImageEnables(DialogControls& controls, bool highDynamicRange);

struct RgbColour {
  uint8_t red, green, blue;
  friend bool operator==(const RgbColour&, const RgbColour&) = default;
};
// Label text colour: black when enabled, grey when the control is disabled.
RgbColour labelTextColour(bool enabled);

}  // namespace orichalcumite
