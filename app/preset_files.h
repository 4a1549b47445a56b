// Presets on the command line: a settings file (.q5q, or the older .q9q) played as the
// effect of a render, and the effect of a finished render saved as a .q5q preset with a
// thumbnail of its result. The effect travels to and from the module as a descriptor, built
// by the parameter table.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/descriptor.h"
#include "app/image.h"
#include "pictures/picture.h"
#include "settings/effect_settings.h"

namespace orichalcumite {

// The effect a fresh parameters block holds: factory values, no pictures, the run's name.
EffectSettings factoryEffect();

// All 75 parameters of `s` as descriptor items in descriptor order, as a module records them:
// integers and colour channels "long", light components "doub", flags "bool", enumerations
// "enum", picture names "TEXT" ("<none>" for none, cut to 255 bytes on a character boundary).
Descriptor settingsDescriptor(const EffectSettings& s);
// `descriptor` applied to factoryEffect(): every known key of the right type sets its field
// through the parameter table (clamped into range; unknown enumeration codes are skipped).
EffectSettings settingsFromDescriptor(const Descriptor& descriptor);

// The descriptor of the preset file `path`; nothing, with a one-line reason, when the file
// cannot be read or is damaged.
std::optional<Descriptor> presetDescriptor(const std::string& path, std::string* error);

// A side × side opaque 8-bit picture of `image`: its centre square reduced with a box filter
// (or enlarged by repeating pixels when smaller). Samples are taken in 0..1, grey as grey,
// alpha ignored.
std::unique_ptr<Picture> imageThumbnail(const Image& image, int side);

// Writes the effect `recorded` (the descriptor the module handed back) as the preset `path`
// with a 128 × 128 thumbnail of `result`, named after the file. False, with the reason, when
// it cannot be written; the target is then unchanged.
bool writePresetFile(const std::string& path, const Descriptor& recorded, const Image& result,
                     std::string* error);

}  // namespace orichalcumite
