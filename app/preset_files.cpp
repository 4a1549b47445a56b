#include "app/preset_files.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "base/utf8_text.h"
#include "settings/parameter_table.h"
#include "settings/settings_file.h"

namespace orichalcumite {
namespace {

constexpr int kPresetThumbnailSide = 128;

// One sample of `image` in 0..1.
double unitSample(const Image& image, int x, int y, int c) {
  const double v = image.sample(x, y, c);
  switch (image.type()) {
    case SampleType::uint8: return v / 255.0;
    case SampleType::uint16: return v / 65535.0;
    case SampleType::float32: return std::clamp(v, 0.0, 1.0);
  }
  return 0.0;
}

std::string settingsFileProblem(const SettingsFileResult& result) {
  std::string reason;
  switch (result.code) {
    case kSettingsFileNotFound: reason = "the file does not exist"; break;
    case kSettingsReadFailed: reason = "it is damaged or cut short"; break;
    default: reason = "error " + std::to_string(result.code); break;
  }
  if (!result.problem.empty()) reason += " (" + result.problem + ")";
  return reason;
}

}  // namespace

EffectSettings factoryEffect() {
  EffectSettings s;
  std::memset(&s, 0, sizeof s);
  resetRunTimeFields(s);
  loadFactoryDefaults(s);
  s.environmentSpin = 0;
  setText(s.settingsName, "Orichalcumite settings");
  return s;
}

Descriptor settingsDescriptor(const EffectSettings& s) {
  Descriptor descriptor;
  for (const ParameterInfo& p : parameterTable()) {
    switch (p.kind) {
      case ParameterKind::integer:
      case ParameterKind::colourChannel:
        descriptor.items.push_back(
            DescriptorItem::integerItem(p.key, static_cast<int32_t>(parameterNumber(s, p))));
        break;
      case ParameterKind::lightComponent:
        descriptor.items.push_back(DescriptorItem::floatItem(p.key, parameterNumber(s, p)));
        break;
      case ParameterKind::boolean:
        descriptor.items.push_back(DescriptorItem::booleanItem(p.key, parameterNumber(s, p) != 0));
        break;
      case ParameterKind::enumerated:
        descriptor.items.push_back(DescriptorItem::enumItem(
            p.key, enumTypeCode(p.enumeration),
            enumCodeFromIndex(static_cast<int>(parameterNumber(s, p)), p.enumeration)));
        break;
      case ParameterKind::pictureName: {
        const char* field = s.*(p.textField);
        std::string_view name(field, strnlen(field, kTextCapacity));
        if (name.empty()) name = kNoPictureName;
        descriptor.items.push_back(DescriptorItem::textItem(
            p.key, std::string(name.substr(0, utf8PrefixLength(name, 255)))));
        break;
      }
    }
  }
  return descriptor;
}

EffectSettings settingsFromDescriptor(const Descriptor& descriptor) {
  EffectSettings s = factoryEffect();
  setText(s.environmentName, kNoPictureName);
  setText(s.textureName, kNoPictureName);
  for (const DescriptorItem& item : descriptor.items) {
    const ParameterInfo* p = parameterByKey(item.key);
    if (!p) continue;
    switch (p->kind) {
      case ParameterKind::integer:
      case ParameterKind::colourChannel:
        if (item.type == ps::typeInteger) setParameterNumber(s, *p, item.integer);
        break;
      case ParameterKind::lightComponent:
        if (item.type == ps::typeFloat) setParameterNumber(s, *p, item.number);
        break;
      case ParameterKind::boolean:
        if (item.type == ps::typeBoolean) setParameterNumber(s, *p, item.integer != 0 ? 1 : 0);
        break;
      case ParameterKind::enumerated:
        if (item.type == ps::typeEnumerated)
          if (const int index = enumIndexFromCode(p->enumeration, item.enumValue); index != 0)
            setParameterNumber(s, *p, index);
        break;
      case ParameterKind::pictureName:
        if (item.type == ps::typeText) setText(s.*(p->textField), item.bytes.c_str());
        break;
    }
  }
  return s;
}

std::optional<Descriptor> presetDescriptor(const std::string& path, std::string* error) {
  EffectSettings s = factoryEffect();
  const SettingsFileResult result = readSettingsFile(path, SettingsReadMode::load, s);
  if (result.code != 0) {
    if (error) *error = "cannot read the preset " + path + ": " + settingsFileProblem(result);
    return std::nullopt;
  }
  return settingsDescriptor(s);
}

std::unique_ptr<Picture> imageThumbnail(const Image& image, int side) {
  std::unique_ptr<Picture> thumbnail =
      createPicture(side, side, PictureKind::rgba8, WrapMode::noPyramid);
  if (!thumbnail) return nullptr;
  const int square = std::min(image.width(), image.height());
  const int left = (image.width() - square) / 2;
  const int top = (image.height() - square) / 2;
  const bool grey = image.isGrey();
  for (int ty = 0; ty < side; ++ty) {
    // The source rows and columns of one output pixel: [first, last), at least one.
    const int y0 = top + int(int64_t(ty) * square / side);
    const int y1 = std::max(y0 + 1, top + int(int64_t(ty + 1) * square / side));
    for (int tx = 0; tx < side; ++tx) {
      const int x0 = left + int(int64_t(tx) * square / side);
      const int x1 = std::max(x0 + 1, left + int(int64_t(tx + 1) * square / side));
      double sum[3] = {0, 0, 0};
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
          for (int c = 0; c < 3; ++c) sum[c] += unitSample(image, x, y, grey ? 0 : c);
      const double count = double(y1 - y0) * double(x1 - x0);
      int rgb[3];
      for (int c = 0; c < 3; ++c) rgb[c] = int(std::lround(sum[c] / count * 255.0));
      thumbnail->setPixel(tx, ty, 0, rgb[0], rgb[1], rgb[2], 255);
    }
  }
  return thumbnail;
}

bool writePresetFile(const std::string& path, const Descriptor& recorded, const Image& result,
                     std::string* error) {
  EffectSettings s = settingsFromDescriptor(recorded);
  setText(s.settingsName, std::filesystem::path(path).stem().string().c_str());
  const std::unique_ptr<Picture> thumbnail = imageThumbnail(result, kPresetThumbnailSide);
  if (writeSettingsFile(path, s, thumbnail.get()) != 0) {
    if (error) *error = "cannot write the preset " + path;
    return false;
  }
  return true;
}

}  // namespace orichalcumite
