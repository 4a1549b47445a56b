#include "ui/controls.h"

#include <algorithm>
#include <cmath>

#include "settings/parameter_table.h"

namespace orichalcumite {
namespace {

// One control of the dialog. Ranges and most tooltips are not written here: a control that
// edits a setting takes both from that setting's entry in the parameter table.
struct ControlRow {
  ControlKind kind = ControlKind::none;
  ControlRect rect;
  int partnerId = -1;
  int bitmap = 0;
  int labelIndex = 0;
  IntField field = nullptr;       // the setting a Slider, CheckBox or list edits
  int colourSlot = -1;            // the setting a ColourSwatch edits
  int light = 0;                  // the light (1 or 2) a LightBall turns
  const char* tooltip = nullptr;  // for controls that edit no setting
  const char* caption = nullptr;  // buttons
};

// Label-list indices of the texts the labels show.
enum LabelIndex : int {
  shapeText = 2,
  radiusText,
  heightText,
  textureText,
  glossText,
  glareText,
  reflectionText,
  glassinessText,
  causticText,
  iridescenceText,
  iriColorsText,
  tarnishText,
  lightsText,
  abrasionText = 16,
  rainText,
  evaporationText,
  diffusionText,
  wanderText,
  dustText,
  embossingText,
  gritText,
  mossText,
  blotchSizeText,
  leakinessText,
  blotchesText,
  smoothnessText,
};

struct ColumnSlider {
  int labelId;
  int labelIndex;
  int sliderId;
  int32_t y;
  int editId;
  int trackBitmap;
  IntField field;
};

// The left column: tracks 135 × 12 at x 113, edit boxes 24 × 15 at x 258, labels ending at
// x 102 (wider labels for the five longest words).
// clang-format off
constexpr ColumnSlider kLeftColumn[] = {
    {8, radiusText, 9, 57, 25, 125, &EffectSettings::radius},
    {10, heightText, 11, 85, 13, 136, &EffectSettings::height},
    {64, smoothnessText, 75, 112, 22, 251, &EffectSettings::smoothness},
    {18, textureText, 19, 140, 20, 133, &EffectSettings::textureStrength},
    {30, glossText, 28, 167, 26, 137, &EffectSettings::gloss},
    {98, embossingText, 99, 196, 97, 260, &EffectSettings::embossing},
    {31, glareText, 12, 225, 32, 139, &EffectSettings::glare},
    {14, reflectionText, 15, 254, 16, 129, &EffectSettings::reflection},
    {51, glassinessText, 52, 283, 53, 138, &EffectSettings::glassiness},
    {29, causticText, 27, 312, 34, 140, &EffectSettings::caustic},
    {54, iridescenceText, 55, 340, 56, 142, &EffectSettings::iridescence},
    {41, iriColorsText, 42, 368, 43, 221, &EffectSettings::iriColors},
    {79, rainText, 80, 509, 87, 267, &EffectSettings::rain},
    {81, evaporationText, 82, 537, 84, 261, &EffectSettings::evaporation},
    {89, diffusionText, 90, 565, 88, 258, &EffectSettings::diffusion},
    {85, wanderText, 83, 593, 86, 268, &EffectSettings::wander},
    {96, dustText, 95, 621, 94, 259, &EffectSettings::dust},
    {102, gritText, 101, 649, 103, 264, &EffectSettings::grit},
};

// The right column: tracks at x 788, edit boxes 25 × 15 at x 933, labels 48 × 16 at x 729.
constexpr ColumnSlider kRightColumn[] = {
    {57, tarnishText, 58, 458, 59, 130, &EffectSettings::tarnish},
    {117, abrasionText, 76, 486, 77, 257, &EffectSettings::abrasion},
    {107, mossText, 106, 513, 105, 266, &EffectSettings::moss},
    {114, leakinessText, 113, 540, 112, 265, &EffectSettings::leakiness},
    {118, blotchesText, 119, 567, 120, 277, &EffectSettings::blotches},
    {111, blotchSizeText, 110, 595, 109, 279, &EffectSettings::blotchSize},
};

struct Swatch {
  int id;
  ControlRect rect;
  int colourSlot;
  int titleIndex;
};

constexpr Swatch kSwatches[] = {
    {44, {78, 467, 18, 18}, light1Color, 36},  {46, {296, 467, 18, 18}, light2Color, 37},
    {60, {972, 453, 18, 18}, tarnishColor, 45}, {78, {972, 482, 18, 18}, abrasionColor, 38},
    {91, {296, 505, 18, 18}, rainColor1, 39},  {92, {296, 534, 18, 18}, rainColor2, 40},
    {93, {296, 616, 18, 19}, dustColor, 41},   {104, {972, 510, 18, 18}, mossColor1, 42},
    {108, {972, 538, 18, 18}, mossColor2, 43}, {121, {972, 590, 18, 18}, blotchColor, 44},
};

// Memory dots 1..25 on their arc around the preview square.
constexpr int32_t kMemoryDotPositions[25][2] = {
    {442, 447}, {446, 459}, {446, 471}, {442, 484}, {438, 497}, {434, 510}, {434, 523},
    {438, 535}, {445, 546}, {453, 556}, {464, 564}, {476, 573}, {489, 579}, {504, 583},
    {519, 583}, {533, 579}, {546, 573}, {558, 564}, {567, 552}, {573, 539}, {577, 524},
    {577, 509}, {573, 495}, {567, 482}, {558, 470},
};
// clang-format on

constexpr int kHorizontalTrackWidth = 135;
constexpr int kTrackHeight = 12;

struct ControlTable {
  std::array<ControlRow, kControlCount> rows{};
  std::array<int, kControlCount> partnerOf{};  // edit box (or hidden static) -> slider

  ControlTable() {
    partnerOf.fill(-1);
    for (const ColumnSlider& s : kLeftColumn) addColumnSlider(s, true);
    for (const ColumnSlider& s : kRightColumn) addColumnSlider(s, false);

    // The texture scale has no edit box: its partner is a hidden static beside the track.
    rows[69] = {ControlKind::Slider, {340, 130, 70, 12}, 70, 337, 0, &EffectSettings::textureZoom};
    partnerOf[70] = 69;
    rows[116] = {ControlKind::Slider, {81, 418, 12, 48}, -1, 263, 0, &EffectSettings::gobo1};
    rows[115] = {ControlKind::Slider, {299, 420, 12, 46}, -1, 263, 0, &EffectSettings::gobo2};

    for (const Swatch& s : kSwatches) {
      rows[s.id] = {ControlKind::ColourSwatch, s.rect, -1, 0, s.titleIndex};
      rows[s.id].colourSlot = s.colourSlot;
    }

    rows[6] = label({55, 20, 48, 16}, shapeText);
    rows[7] = label({54, 396, 48, 16}, lightsText);
    rows[21] = {ControlKind::IconChoiceList, {113, 14, 135, 25}, -1, 0, 0, &EffectSettings::shape};
    rows[17] = {ControlKind::IconChoiceList,   {339, 155, 69, 37}, -1, 0, 0,
                &EffectSettings::textureChoice};
    rows[66] = {ControlKind::ModeList, {442, 644, 135, 16}, -1, 0, 0, &EffectSettings::glue};
    rows[33] = {ControlKind::LightBall, {107, 404, 85, 85}};
    rows[33].light = 1;
    rows[45] = {ControlKind::LightBall, {193, 404, 85, 85}};
    rows[45].light = 2;
    rows[74] = {ControlKind::CheckBox, {296, 311, 14, 14}, -1, 0, 0, &EffectSettings::whiteCaustic};
    rows[100] = {ControlKind::CheckBox, {298, 564, 14, 14}, -1, 0, 0, &EffectSettings::wetRain};
    rows[165] = {
        ControlKind::CheckBox, {416, 323, 14, 14}, -1, 0, 0, &EffectSettings::sphericalEnvironment};

    constexpr const char* kTextureTip = "Texture image. Click to load. Drag to move.";
    constexpr const char* kEnvironmentTip = "Reflection environment. Click to load.";
    rows[49] = custom(ControlKind::PictureFrame, {340, 54, 66, 66}, kTextureTip);
    rows[50] = custom(ControlKind::TextureSwatch, {343, 57, 64, 64}, kTextureTip);
    rows[37] = custom(ControlKind::PictureFrame, {340, 277, 66, 66}, kEnvironmentTip);
    rows[38] = custom(ControlKind::EnvironmentSwatch, {342, 279, 64, 64}, kEnvironmentTip);
    rows[163] = custom(ControlKind::TextLine, {300, 192, 148, 16}, nullptr);
    rows[164] = custom(ControlKind::TextLine, {300, 356, 148, 16}, nullptr);
    rows[23] = custom(ControlKind::TextLine, {460, 410, 533, 22}, nullptr);
    rows[35] = custom(ControlKind::PreviewPane, {460, 12, 532, 351}, nullptr);
    rows[158] =
        custom(ControlKind::MemoryDotPreview, {460, 458, 96, 96}, "Click to use this effect");
    rows[24] = custom(ControlKind::AboutStrip, {17, 0, 32, 672}, "About");
    for (int slot = 0; slot < 25; ++slot)
      rows[control::firstMemoryDot + slot] =
          custom(ControlKind::MemoryDot,
                 {kMemoryDotPositions[slot][0], kMemoryDotPositions[slot][1], 12, 12},
                 "Store or recall an effect. Right-click clears.");

    button(67, {418, 287, 22, 22}, 331, "spin", "Spin the reflection environment");
    button(124, {343, 403, 60, 29}, 225, "&Factory", "Reset");
    button(62, {343, 442, 60, 29}, 240, "&Load", "Load");
    button(61, {343, 481, 60, 29}, 241, "&Save", "Save");
    button(65, {343, 520, 60, 29}, 237, "&Randomize", "Randomize");
    button(123, {343, 559, 60, 29}, 242, "&Undo", "Undo");
    button(122, {343, 598, 60, 29}, 186, "Rando&mSeed", "Random seed");
    button(162, {343, 637, 60, 29}, 232, "PSD", "Export a PSD image");
    button(160, {460, 380, 22, 22}, 235, "i", "Get information");
    button(48, {688, 383, 14, 14}, 169, "-", "Zoom out");
    // The zoom-percentage button shows its caption (the zoom) instead of an icon.
    button(72, {709, 382, 35, 16}, 0, "%", "Zoom to 100%");
    button(47, {750, 383, 14, 14}, 5, "+", "Zoom in");
    button(36, {971, 379, 22, 22}, 236, "^", "Make settings gallery");
    button(73, {586, 647, 15, 14}, 231, "^", "Go to next popup item");
    rows[2] = custom(ControlKind::DialogButton, {689, 641, 60, 29},
                     "Exit without applying the effect to the image");
    rows[2].caption = "&Cancel";
    rows[3] =
        custom(ControlKind::DialogButton, {931, 641, 60, 29}, "Apply the effect to the image");
    rows[3].caption = "&OK";
  }

  void addColumnSlider(const ColumnSlider& s, bool left) {
    const int32_t trackX = left ? 113 : 788;
    rows[s.sliderId] = {ControlKind::Slider,
                        {trackX, s.y, kHorizontalTrackWidth, kTrackHeight},
                        s.editId,
                        s.trackBitmap,
                        0,
                        s.field};
    partnerOf[s.editId] = s.sliderId;
    editRects[s.editId] =
        left ? ControlRect{258, s.y - 4, 24, 15} : ControlRect{933, s.y - 4, 25, 15};

    // Labels sit 1 pixel above their slider, except the two whose text is level with it.
    const bool level = s.labelIndex == smoothnessText || s.labelIndex == abrasionText;
    const bool wide = s.labelIndex == smoothnessText || s.labelIndex == embossingText ||
                      s.labelIndex == glassinessText || s.labelIndex == iridescenceText ||
                      s.labelIndex == evaporationText;
    const int32_t labelY = level ? s.y : s.y - 1;
    const ControlRect labelRect = !left  ? ControlRect{729, labelY, 48, 16}
                                  : wide ? ControlRect{44, labelY, 58, 16}
                                         : ControlRect{54, labelY, 48, 16};
    rows[s.labelId] = label(labelRect, s.labelIndex);
  }

  static ControlRow label(ControlRect rect, int index) {
    ControlRow row{ControlKind::Label, rect};
    row.labelIndex = index;
    return row;
  }
  static ControlRow custom(ControlKind kind, ControlRect rect, const char* tooltip) {
    ControlRow row{kind, rect};
    row.tooltip = tooltip;
    return row;
  }
  void button(int id, ControlRect rect, int icon, const char* caption, const char* tooltip) {
    rows[id] = custom(ControlKind::IconButton, rect, tooltip);
    rows[id].bitmap = icon;
    rows[id].caption = caption;
  }

  std::array<ControlRect, kControlCount> editRects{};
};

const ControlTable& table() {
  static const ControlTable t;
  return t;
}

bool isValidId(int id) { return id >= 0 && id < kControlCount; }

const ParameterInfo* parameterOfField(IntField field) {
  if (field == nullptr) return nullptr;
  for (const ParameterInfo& p : parameterTable())
    if (p.intField == field) return &p;
  return nullptr;
}

const ParameterInfo* parameterOfColour(int slot) {
  for (const ParameterInfo& p : parameterTable())
    if (p.kind == ParameterKind::colourChannel && p.colourSlot == slot) return &p;
  return nullptr;
}

const ParameterInfo* parameterOfLight(int light) {
  const FloatField x = light == 1 ? &EffectSettings::light1X : &EffectSettings::light2X;
  for (const ParameterInfo& p : parameterTable())
    if (p.floatField == x) return &p;
  return nullptr;
}

ControlDescriptor describe(int id) {
  const ControlRow& row = table().rows[id];
  ControlDescriptor d;
  d.kind = row.kind;
  d.partnerId = row.partnerId;
  d.primaryId = row.kind == ControlKind::none ? -1 : id;
  d.bitmap = row.bitmap;
  d.labelIndex = row.labelIndex;
  if (const ParameterInfo* p = parameterOfField(row.field)) {
    d.minimum = static_cast<int32_t>(p->minimum);
    d.maximum = static_cast<int32_t>(p->maximum);
  }
  return d;
}

}  // namespace

ControlDescriptor controlDescriptor(int id) {
  if (!isValidId(id)) return {};
  if (const int slider = table().partnerOf[id]; slider >= 0) {
    ControlDescriptor d = describe(slider);
    d.isPartner = true;
    return d;
  }
  return describe(id);
}

ControlBinding controlBinding(int id) {
  if (!isValidId(id)) return {};
  const ControlRow& row = table().rows[id];
  return {row.field, row.colourSlot, row.light};
}

bool isSliderPartner(int id) { return isValidId(id) && table().partnerOf[id] >= 0; }

int editBoxOf(int sliderId) {
  if (!isValidId(sliderId) || table().rows[sliderId].kind != ControlKind::Slider) return -1;
  const int partner = table().rows[sliderId].partnerId;
  return partner == control::textureZoomText ? -1 : partner;
}

ControlRect layoutRect(int id) {
  if (!isValidId(id)) return {};
  if (!table().editRects[id].isEmpty()) return table().editRects[id];
  // The hidden value static of the texture scale is a text-sized box right of its track.
  if (id == control::textureZoomText) return {419, 129, 24, 15};
  return table().rows[id].rect;
}

ControlRect windowRect(int id) {
  ControlRect r = layoutRect(id);
  if (!isValidId(id)) return r;
  const ControlKind kind = table().rows[id].kind;
  if (kind == ControlKind::DialogButton || kind == ControlKind::IconButton) {
    r.x -= 2;
    r.y -= 2;
    if (id == control::zoomPercent) r.y -= 2;
  }
  return r;
}

std::string_view labelText(int index) {
  // clang-format off
  static constexpr const char* kLabels[] = {
      nullptr, nullptr, "Shape", "Radius", "Height", "Texture", "Gloss", "Glare", "Reflection",
      "Glassiness", "Caustic", "Iridescence", "Iri colors", "Tarnish", "Lights", nullptr,
      "Abrasion", "Rain", "Evaporation", "Diffusion", "Wander", "Dust", "Embossing", "Grit",
      "Moss", "Blotch size", "Leakiness", "Blotches", "Smoothness", nullptr, nullptr, nullptr,
      nullptr, nullptr, nullptr, nullptr,
      "Choose the light\u2019s color.", "Choose the light\u2019s color.",
      "Choose the abrasion color.", "Choose rain color 1.", "Choose rain color 2.",
      "Choose the dust color.", "Choose moss color 1.", "Choose moss color 2.",
      "Choose the blotch color.", "Choose the tarnish color.",
  };
  // clang-format on
  constexpr int kCount = static_cast<int>(std::size(kLabels));
  if (index < 0 || index >= kCount || kLabels[index] == nullptr) return "-undef string-";
  return kLabels[index];
}

std::string_view tooltipText(int id) {
  // Only a control's own id has a tip; edit boxes show none.
  if (!isValidId(id) || isSliderPartner(id)) return {};
  const ControlRow& row = table().rows[id];
  if (row.tooltip != nullptr) return row.tooltip;
  const ParameterInfo* p = row.field != nullptr  ? parameterOfField(row.field)
                           : row.colourSlot >= 0 ? parameterOfColour(row.colourSlot)
                           : row.light != 0      ? parameterOfLight(row.light)
                                                 : nullptr;
  return p != nullptr ? std::string_view(p->tooltip) : std::string_view();
}

std::string_view buttonCaption(int id) {
  if (!isValidId(id) || table().rows[id].caption == nullptr) return {};
  return table().rows[id].caption;
}

int32_t clampToControlRange(int id, double value) {
  const ControlDescriptor d = controlDescriptor(id);
  if (d.kind == ControlKind::CheckBox) return value != 0 ? 1 : 0;
  // Clamp as a double so that no value outside int32 is ever converted; NaN reads as 0.
  if (std::isnan(value)) value = 0;
  value = std::clamp(value, static_cast<double>(d.minimum), static_cast<double>(d.maximum));
  return static_cast<int32_t>(value);
}

void applyImageEnables(DialogControls& controls, bool highDynamicRange) {
  controls.enabled[control::glueMode] = !highDynamicRange;
  controls.enabled[control::nextGlueMode] = !highDynamicRange;
}

RgbColour labelTextColour(bool enabled) {
  return enabled ? RgbColour{0, 0, 0} : RgbColour{140, 140, 140};
}

}  // namespace orichalcumite
