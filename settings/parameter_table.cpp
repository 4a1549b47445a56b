#include "settings/parameter_table.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "base/text_compare.h"

namespace orichalcumite {
namespace {

constexpr bool kKeep = true;
constexpr bool kNotDeclared = false;
constexpr uint32_t kLong = fourCC("long");

// Light 1 comes from the upper left at 45 degrees of azimuth: 0.70710677 × 0.6 in each of X
// and Y. Light 2 mirrors it.
constexpr double kLight1XY = static_cast<double>(-0.70710677f * 0.6f);

// The builders and the table are laid out by hand, one parameter a line.
// clang-format off
constexpr ParameterInfo slider(const char (&key)[5], const char* name, IntField field, double lo,
                               double hi, double factory, const char* tooltip,
                               bool keep = false) {
  return {fourCC(key), name, true, kLong, ParameterKind::integer, field, nullptr, nullptr, 0, 0,
          Enumeration::glueMode, lo, hi, factory, keep, tooltip};
}

constexpr ParameterInfo light(const char (&key)[5], const char* name, FloatField field,
                              double factory, const char* tooltip) {
  return {fourCC(key), name, true, kLong, ParameterKind::lightComponent, nullptr, field, nullptr,
          0, 0, Enumeration::glueMode, -1.0, 1.0, factory, false, tooltip};
}

constexpr ParameterInfo flag(const char (&key)[5], const char* name, IntField field,
                             double factory, const char* tooltip, bool declared = true) {
  return {fourCC(key), name, declared, kLong, ParameterKind::boolean, field, nullptr, nullptr, 0,
          0, Enumeration::glueMode, 0, 1, factory, false, tooltip};
}

constexpr ParameterInfo colour(const char (&key)[5], const char* name, int slot, int channel,
                               double factory, const char* tooltip) {
  return {fourCC(key), name, true, kLong, ParameterKind::colourChannel, nullptr, nullptr, nullptr,
          slot, channel, Enumeration::glueMode, 0, 255, factory, false, tooltip};
}

constexpr ParameterInfo choice(const char (&key)[5], const char* name, IntField field,
                               Enumeration e, double factory, const char* tooltip) {
  const uint32_t type = e == Enumeration::glueMode     ? fourCC("SGty")
                        : e == Enumeration::bevelShape ? fourCC("Srty")
                                                       : fourCC("Stty");
  const double count = e == Enumeration::glueMode     ? kGlueModeCount
                       : e == Enumeration::bevelShape ? kBevelShapeCount
                                                      : kTextureChoiceCount;
  return {fourCC(key), name, true, type, ParameterKind::enumerated, field, nullptr, nullptr, 0, 0,
          e, 1, count, factory, false, tooltip};
}

constexpr ParameterInfo picture(const char (&key)[5], const char* name, TextField field,
                                const char* tooltip) {
  return {fourCC(key), name, true, kLong, ParameterKind::pictureName, nullptr, nullptr, field, 0, 0,
          Enumeration::glueMode, 0, 0, 0, kKeep, tooltip};
}

// In descriptor order. The terminology declares every one of these as "long" (or as its
// enumeration) even where the descriptor carries a float, a boolean or a string.
constexpr std::array<ParameterInfo, kDescriptorKeyCount> kParameters = {{
    slider("0001", "texture strength", &EffectSettings::textureStrength, -100, 100, 55, "Add texture from the square to the right"),
    choice("Srky", "shape", &EffectSettings::shape, Enumeration::bevelShape, 14, "Shape of the bevel's edge"),
    slider("0003", "reflection", &EffectSettings::reflection, 0, 100, 100, "Add metallic reflections from the square to the right"),
    slider("0004", "height", &EffectSettings::height, -100, 100, 60, "Strength of distortion"),
    slider("0005", "gloss", &EffectSettings::gloss, 0, 100, 50, "Adds shiny highlights"),
    slider("0006", "glare", &EffectSettings::glare, 0, 100, 50, "Size of shiny highlights"),
    choice("Stky", "texture choice", &EffectSettings::textureChoice, Enumeration::textureChoice, 6, "Choose a built-in texture or a picture"),
    slider("0008", "radius", &EffectSettings::radius, 2, 100, 35, "Width of bevel"),
    light("0009", "light 1 X", &EffectSettings::light1X, kLight1XY, "Light #1 direction"),
    light("0010", "light 1 Y", &EffectSettings::light1Y, kLight1XY, "Light #1 direction"),
    light("0011", "light 1 Z", &EffectSettings::light1Z, 0.8, "Light #1 direction"),
    slider("0012", "iri colors", &EffectSettings::iriColors, 0, 100, 0, "Choose hues of oil-on-water colors"),
    light("0013", "light 2 X", &EffectSettings::light2X, -kLight1XY, "Light #2 direction"),
    light("0014", "light 2 Y", &EffectSettings::light2Y, -kLight1XY, "Light #2 direction"),
    light("0015", "light 2 Z", &EffectSettings::light2Z, 0.8, "Light #2 direction"),
    colour("0016", "light 1 red", light1Color, 0, 255, "Light #1 color"),
    colour("0017", "light 1 green", light1Color, 1, 255, "Light #1 color"),
    colour("0018", "light 1 blue", light1Color, 2, 255, "Light #1 color"),
    colour("0019", "light 2 red", light2Color, 0, 0, "Light #2 color"),
    colour("0020", "light 2 green", light2Color, 1, 0, "Light #2 color"),
    colour("0021", "light 2 blue", light2Color, 2, 0, "Light #2 color"),
    slider("0022", "glassiness", &EffectSettings::glassiness, 0, 100, 0, "Produce a glassy look"),
    slider("0023", "caustic", &EffectSettings::caustic, 0, 100, 50, "Add catchlights to glassy objects"),
    slider("0024", "iridescence", &EffectSettings::iridescence, 0, 100, 100, "Add oil-on-water colors"),
    colour("0025", "tarnish red", tarnishColor, 0, 74, "Tarnish color"),
    colour("0026", "tarnish green", tarnishColor, 1, 164, "Tarnish color"),
    colour("0027", "tarnish blue", tarnishColor, 2, 137, "Tarnish color"),
    slider("0028", "tarnish", &EffectSettings::tarnish, 0, 100, 0, "Put dull color in concavities "),
    slider("0029", "environment spin", &EffectSettings::environmentSpin, 0, 3, 0, "Spin the reflection environment", kKeep),
    choice("SGky", "glue", &EffectSettings::glue, Enumeration::glueMode, 1, "How to combine the result with the original"),
    flag("0031", "white caustic", &EffectSettings::whiteCaustic, 0, "White or rainbow catchlights"),
    slider("0032", "texture zoom", &EffectSettings::textureZoom, 0, 100, 55, "Texture scale"),
    slider("0033", "texture pan X", &EffectSettings::texturePanX, -32768, 32767, 0, "Drag to move"),
    slider("0034", "texture pan Y", &EffectSettings::texturePanY, -32768, 32767, 0, "Drag to move"),
    picture("0035", "environment file", &EffectSettings::environmentName, "Reflection environment. Click to load."),
    picture("0036", "texture file", &EffectSettings::textureName, "Texture image. Click to load. Drag to move."),
    slider("0037", "smoothness", &EffectSettings::smoothness, 0, 100, 30, "Coarse or smooth bevel"),
    slider("0038", "abrasion", &EffectSettings::abrasion, 0, 100, 0, "Put dull color on convexities"),
    colour("0039", "abrasion red", abrasionColor, 0, 20, "Abrasion color"),
    colour("0040", "abrasion green", abrasionColor, 1, 20, "Abrasion color"),
    colour("0041", "abrasion blue", abrasionColor, 2, 20, "Abrasion color"),
    colour("0042", "dirt 1 red", rainColor1, 0, 168, "Water stain color #1"),
    colour("0043", "dirt 1 green", rainColor1, 1, 199, "Water stain color #1"),
    colour("0044", "dirt 1 blue", rainColor1, 2, 153, "Water stain color #1"),
    colour("0045", "dirt 2 red", rainColor2, 0, 244, "Water stain color #2"),
    colour("0046", "dirt 2 green", rainColor2, 1, 200, "Water stain color #2"),
    colour("0047", "dirt 2 blue", rainColor2, 2, 199, "Water stain color #2"),
    slider("0048", "rain", &EffectSettings::rain, 0, 100, 0, "Add water stains"),
    slider("0049", "evaporation", &EffectSettings::evaporation, 0, 100, 25, "Attenuate water stains"),
    slider("0050", "diffusion", &EffectSettings::diffusion, 0, 100, 80, "Broaden water stains"),
    slider("0051", "wander", &EffectSettings::wander, 0, 100, 25, "Makes water stains wiggly"),
    colour("0052", "dust red", dustColor, 0, 50, "Dust color"),
    colour("0053", "dust green", dustColor, 1, 50, "Dust color"),
    colour("0054", "dust blue", dustColor, 2, 45, "Dust color"),
    slider("0055", "dust", &EffectSettings::dust, 0, 100, 0, "Add dust"),
    slider("0056", "embossing", &EffectSettings::embossing, -100, 100, 0, "Add texture from the original image"),
    flag("0057", "wet rain", &EffectSettings::wetRain, 0, "Wet or dry water stains"),
    slider("0058", "grit", &EffectSettings::grit, 0, 100, 0, "Add gritty texture"),
    colour("0059", "moss 1 red", mossColor1, 0, 101, "Moss color #1"),
    colour("0060", "moss 1 green", mossColor1, 1, 108, "Moss color #1"),
    colour("0061", "moss 1 blue", mossColor1, 2, 45, "Moss color #1"),
    colour("0062", "moss 2 red", mossColor2, 0, 81, "Moss color #2"),
    colour("0063", "moss 2 green", mossColor2, 1, 95, "Moss color #2"),
    colour("0064", "moss 2 blue", mossColor2, 2, 44, "Moss color #2"),
    slider("0065", "moss", &EffectSettings::moss, 0, 100, 0, "Add moss on upper surfaces"),
    slider("0066", "blotch size", &EffectSettings::blotchSize, 0, 100, 50, "Size of lichen"),
    slider("0067", "leakiness", &EffectSettings::leakiness, 0, 100, 0, "Add waterstains below moss"),
    slider("0068", "gobo 1", &EffectSettings::gobo1, 0, 100, 100, "Light #1 gobo"),
    slider("0069", "gobo 2", &EffectSettings::gobo2, 0, 100, 100, "Light #2 gobo"),
    colour("0070", "wax red", blotchColor, 0, 128, "Blotch color"),
    colour("0071", "wax green", blotchColor, 1, 116, "Blotch color"),
    colour("0072", "wax blue", blotchColor, 2, 100, "Blotch color"),
    slider("0073", "blotches", &EffectSettings::blotches, 0, 100, 0, "Add lichen blobs"),
    slider("0074", "random seed", &EffectSettings::randomSeed, 0, 2047, 21, "Random seed"),
    flag("0075", "spherical environment", &EffectSettings::sphericalEnvironment, 0, "Use a spherical environment", kNotDeclared),
}};
// clang-format on

uint16_t& channelOf(SettingsColour& c, int channel) {
  return channel == 0 ? c.red : channel == 1 ? c.green : c.blue;
}

}  // namespace

std::span<const ParameterInfo> parameterTable() { return kParameters; }

const ParameterInfo* parameterByKey(uint32_t key) {
  for (const ParameterInfo& p : kParameters)
    if (p.key == key) return &p;
  return nullptr;
}

const ParameterInfo* parameterByName(std::string_view nameOrKey) {
  for (const ParameterInfo& p : kParameters)
    if (equalsIgnoringCase(nameOrKey, p.name)) return &p;
  // Keys are matched exactly: "SGky" and "sgky" are different codes to a host.
  if (auto key = fourCCFromText(nameOrKey)) return parameterByKey(*key);
  return nullptr;
}

double parameterNumber(const EffectSettings& s, const ParameterInfo& p) {
  switch (p.kind) {
    case ParameterKind::integer:
    case ParameterKind::boolean:
    case ParameterKind::enumerated: return s.*(p.intField);
    case ParameterKind::lightComponent: return static_cast<double>(s.*(p.floatField));
    case ParameterKind::colourChannel: {
      SettingsColour c = s.colours[p.colourSlot];
      return channelOf(c, p.channel) >> 8;
    }
    case ParameterKind::pictureName: return 0;
  }
  return 0;
}

void setParameterNumber(EffectSettings& s, const ParameterInfo& p, double value) {
  // A flag is on for any non-zero value; everything else is kept inside its range, so that a
  // value from a descriptor or a file cannot reach the renderer unchecked.
  if (std::isnan(value)) value = p.factoryDefault;
  if (p.kind != ParameterKind::boolean) value = std::clamp(value, p.minimum, p.maximum);
  switch (p.kind) {
    case ParameterKind::integer:
    case ParameterKind::enumerated: s.*(p.intField) = static_cast<int32_t>(value); break;
    case ParameterKind::boolean: s.*(p.intField) = value != 0 ? 1 : 0; break;
    case ParameterKind::lightComponent: s.*(p.floatField) = static_cast<float>(value); break;
    case ParameterKind::colourChannel:
      // The 8-bit value goes to the high byte; the low byte of a colour set this way is 0.
      channelOf(s.colours[p.colourSlot], p.channel) =
          static_cast<uint16_t>(static_cast<int>(value) * 256);
      break;
    case ParameterKind::pictureName: break;
  }
}

void clampToParameterRanges(EffectSettings& s) {
  for (const ParameterInfo& p : kParameters) {
    switch (p.kind) {
      case ParameterKind::integer:
      case ParameterKind::enumerated:
      case ParameterKind::boolean:
      case ParameterKind::lightComponent:
        // Reading a field and storing it again applies setParameterNumber's rule; for these
        // kinds the round trip is exact for values already in range.
        setParameterNumber(s, p, parameterNumber(s, p));
        break;
      // A colour channel stored back through its high byte would lose its low byte, and a
      // 16-bit channel cannot leave its range anyway.
      case ParameterKind::colourChannel:
      case ParameterKind::pictureName: break;
    }
  }
}

}  // namespace orichalcumite
