#include "app/preset_commands.h"

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "app/commands.h"
#include "app/image.h"
#include "app/image_files.h"
#include "settings/effect_settings.h"
#include "settings/enumerations.h"
#include "settings/parameter_table.h"
#include "settings/settings_file.h"

namespace orichalcumite {
namespace {

using Json = nlohmann::ordered_json;

// The record a preset is read into: a fresh block with the factory effect, as the dialog's
// Open loads it.
EffectSettings factoryRecord() {
  EffectSettings s{};
  resetRunTimeFields(s);
  loadFactoryDefaults(s);
  return s;
}

std::string fileNameOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// Reads `path`, or says on stderr why it cannot be read.
bool readPreset(const std::string& path, SettingsReadMode mode, EffectSettings& s,
                SettingsFileResult* result) {
  *result = readSettingsFile(path, mode, s);
  if (result->code == 0) return true;
  std::string why = result->problem;
  if (result->code == kSettingsFileNotFound) why = "no such file";
  if (why.empty()) why = "read error";
  printError("cannot read the preset " + path + ": " + why);
  return false;
}

std::string colourText(const SettingsColour& c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c.red >> 8, c.green >> 8, c.blue >> 8);
  return text;
}

std::string lightText(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(v));
  return text;
}

// "light 1 red" -> "light 1 color": a colour is shown once, at its red channel.
std::string colourName(const ParameterInfo& p) {
  std::string name = p.name;
  return name.substr(0, name.rfind(' ')) + " color";
}

std::string pictureText(const char (&field)[kTextCapacity]) {
  return field[0] != '\0' ? std::string(field) : std::string(kNoPictureName);
}

// Every setting as (scripting name, value) in descriptor order, the value as JSON.
Json settingsJson(const EffectSettings& s) {
  Json settings = Json::object();
  for (const ParameterInfo& p : parameterTable()) {
    switch (p.kind) {
      case ParameterKind::integer: settings[p.name] = s.*(p.intField); break;
      case ParameterKind::boolean: settings[p.name] = s.*(p.intField) != 0; break;
      case ParameterKind::lightComponent:
        // Hundredths are all a file holds.
        settings[p.name] = std::stod(lightText(s.*(p.floatField)));
        break;
      case ParameterKind::enumerated:
        settings[p.name] = std::string(enumName(p.enumeration, s.*(p.intField)));
        break;
      case ParameterKind::colourChannel:
        if (p.channel == 0) settings[colourName(p)] = colourText(s.colours[p.colourSlot]);
        break;
      case ParameterKind::pictureName: settings[p.name] = pictureText(s.*(p.textField)); break;
    }
  }
  return settings;
}

std::string plainValue(const ParameterInfo& p, const EffectSettings& s) {
  switch (p.kind) {
    case ParameterKind::integer: return std::to_string(s.*(p.intField));
    case ParameterKind::boolean: return s.*(p.intField) != 0 ? "true" : "false";
    case ParameterKind::lightComponent: return lightText(s.*(p.floatField));
    case ParameterKind::enumerated: return std::string(enumName(p.enumeration, s.*(p.intField)));
    case ParameterKind::colourChannel: return colourText(s.colours[p.colourSlot]);
    case ParameterKind::pictureName: return pictureText(s.*(p.textField));
  }
  return {};
}

}  // namespace

int presetShowCommand(const std::string& path, bool json) {
  EffectSettings s = factoryRecord();
  SettingsFileResult result;
  if (!readPreset(path, SettingsReadMode::load, s, &result)) return kExitBadInput;
  const bool hasThumbnail = result.thumbnailWidth > 0 || result.thumbnailHeight > 0;
  if (json) {
    Json out = Json::object();
    out["file"] = fileNameOf(path);
    out["version"] = result.version;
    out["settings"] = settingsJson(s);
    out["thumbnail"] =
        hasThumbnail ? Json{{"width", result.thumbnailWidth}, {"height", result.thumbnailHeight}}
                     : Json(nullptr);
    if (result.embeddedPictureSkipped) out["embedded pictures"] = "skipped";
    // A file name need not be UTF-8; JSON must be.
    std::printf("%s\n", out.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
    return kExitDone;
  }
  std::printf("file        %s\n", fileNameOf(path).c_str());
  std::printf("version     %d\n", result.version);
  if (hasThumbnail)
    std::printf("thumbnail   %d x %d\n", result.thumbnailWidth, result.thumbnailHeight);
  else
    std::printf("thumbnail   none\n");
  if (result.embeddedPictureSkipped)
    std::printf("note        the file embeds pictures, which are not read; they go by name\n");
  std::printf("settings:\n");
  for (const ParameterInfo& p : parameterTable()) {
    if (p.kind == ParameterKind::colourChannel && p.channel != 0) continue;
    const std::string name = p.kind == ParameterKind::colourChannel ? colourName(p) : p.name;
    std::printf("  %-22s  %s\n", name.c_str(), plainValue(p, s).c_str());
  }
  return kExitDone;
}

int presetThumbnailCommand(const std::string& path, const std::string& output) {
  EffectSettings s = factoryRecord();
  SettingsFileResult result;
  if (!readPreset(path, SettingsReadMode::thumbnail, s, &result)) return kExitBadInput;
  if (!result.thumbnail) {
    const bool hasRecord = result.thumbnailWidth > 0 || result.thumbnailHeight > 0;
    printError(hasRecord ? "the thumbnail of " + path + " cannot be decoded"
                         : path + " has no thumbnail");
    return kExitBadInput;
  }
  const Picture& picture = *result.thumbnail;
  std::string error;
  auto image = Image::make(picture.width(), picture.height(), 3, false, SampleType::uint8, &error);
  if (!image) {
    printError("cannot hold the thumbnail of " + path + ": " + error);
    return kExitBadInput;
  }
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const Rgba p = picture.readPicturePixel(x, y, 0);
      image->setSample(x, y, 0, static_cast<double>(p.red * 255.0f));
      image->setSample(x, y, 1, static_cast<double>(p.green * 255.0f));
      image->setSample(x, y, 2, static_cast<double>(p.blue * 255.0f));
    }
  if (!writeImageFile(output, *image, &error)) {
    printError(error);
    return kExitBadInput;
  }
  return kExitDone;
}

}  // namespace orichalcumite
