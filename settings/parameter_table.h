// One declaration per parameter: scripting key and name, value kind, range, factory default and
// tooltip. Scripting, settings files, the dialog's transfer and the host's dictionary read this
// table; no key, range or default is written down anywhere else.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "settings/effect_settings.h"
#include "settings/enumerations.h"

namespace orichalcumite {

// How a parameter is exchanged with a host.
enum class ParameterKind {
  integer,         // a slider: descriptor "long"
  lightComponent,  // a light-vector component: descriptor float ("doub"), unchanged
  boolean,         // descriptor "bool", stored 0/1
  colourChannel,   // descriptor "long" 0..255: the high byte of a 16-bit colour channel
  enumerated,      // descriptor "enum" of one of the three enumerations
  pictureName,     // descriptor "TEXT": the bare file name, "<none>" when there is none
};

using IntField = int32_t EffectSettings::*;
using FloatField = float EffectSettings::*;
using TextField = char (EffectSettings::*)[kTextCapacity];

struct ParameterInfo {
  uint32_t key;           // the four-character descriptor key ("0001", "SGky")
  const char* name;       // scripting name, as the terminology declares it
  bool inTerminology;     // false only for the spherical-environment key "0075"
  uint32_t declaredType;  // the terminology's type: "long" or the enumeration's type code
  ParameterKind kind;
  IntField intField;      // integer, boolean and enumerated parameters
  FloatField floatField;  // light components
  TextField textField;    // picture names
  int colourSlot;         // colour channels: ColourSlot
  int channel;            // colour channels: 0 red, 1 green, 2 blue
  Enumeration enumeration;
  double minimum, maximum;    // inclusive; in exchanged units (0..255 for colour channels)
  double factoryDefault;      // in exchanged units
  bool keepsValueOnDefaults;  // environmentSpin and the picture names are never reset
  const char* tooltip;
};

constexpr int kDescriptorKeyCount = 75;

// All 75 parameters in descriptor order ("0001", "Srky", "0003" ... "0075").
std::span<const ParameterInfo> parameterTable();
// The parameter with this descriptor key, or null.
const ParameterInfo* parameterByKey(uint32_t key);
// The parameter with this scripting name (case-insensitive) or four-character key, or null.
const ParameterInfo* parameterByName(std::string_view nameOrKey);

// The value of a numeric parameter in exchanged units (colour channels as 0..255).
double parameterNumber(const EffectSettings& s, const ParameterInfo& p);
// Stores a numeric value given in exchanged units, clamped into [minimum, maximum] (integers
// then truncated; colours × 256). A flag is 1 for any non-zero value. A value that is not a
// number gives the factory value. Every value from outside the dialog (descriptors, action
// files, settings files) is stored through here.
void setParameterNumber(EffectSettings& s, const ParameterInfo& p, double value);

// Brings every numeric parameter of `s` into its table range: sliders, light components and
// enumerations are clamped to [minimum, maximum], booleans become 0 or 1, and a light
// component that is not a number takes its factory value. Colour channels and picture names
// cannot leave their ranges. This is the one rule for values from outside the dialog.
void clampToParameterRanges(EffectSettings& s);

}  // namespace orichalcumite
