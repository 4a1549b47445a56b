#include "app/psd_output.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/preset_files.h"
#include "base/random_generator.h"
#include "base/user_messages.h"
#include "pictures/effect_pictures.h"
#include "pictures/texture_generators.h"
#include "settings/effect_settings.h"
#include "settings/picture_search.h"

namespace orichalcumite {
namespace {

// Tells the program's user about pictures that cannot be read, one line each.
class LineMessages final : public UserMessages {
 public:
  void tell(const char* title, const char* text) override {
    std::fprintf(stderr, "orichalcumite: %s: %s\n", title, text);
  }
};

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

// Loads the pictures `s` names (the files the run was given take their place), as a run
// does: the texture picture only for the "texture file" choice. A picture that cannot be
// found is a warning: the export goes on with the built-in one.
void loadPictures(EffectSettings& s, EffectPictures& pictures, const PsdPictureFiles& files,
                  UserMessages& messages) {
  PictureSearch search{s, pictures, messages, nullptr, {}};
  const auto lookUp = [&](const char* name, const std::string& file, PictureWhich which,
                          const char* what) {
    const std::string wanted =
        file.empty() ? std::string(name, strnlen(name, kTextCapacity)) : absolutePath(file);
    if (wanted.empty()) return;
    if (loadSettingsPicture(search, wanted, which, false, false) == kPictureNotFound)
      messages.tell("warning", (std::string("the PSD document is made without the ") + what +
                                " picture \"" + wanted + "\", which cannot be found")
                                   .c_str());
  };
  if (s.textureChoice == kTextureChoiceFile)
    lookUp(s.textureName, files.texture, PictureWhich::texture, "texture");
  lookUp(s.environmentName, files.environment, PictureWhich::environment, "environment");
}

}  // namespace

int psdBytesPerChannel(SampleType type) {
  switch (type) {
    case SampleType::uint16: return 2;
    case SampleType::float32: return 4;
    default: return 1;
  }
}

std::unique_ptr<Picture> psdSourcePicture(const Image& image) {
  const int bytes = psdBytesPerChannel(image.type());
  std::unique_ptr<Picture> picture =
      createPicture(image.width(), image.height(), psdPictureKind(bytes), WrapMode::noPyramid);
  if (!picture) return nullptr;
  // File units to 0..1: 16-bit files run to 65535, the pictures' 16-bit scale to 32768.
  const double scale = image.type() == SampleType::uint8    ? 1.0 / 255.0
                       : image.type() == SampleType::uint16 ? 1.0 / 65535.0
                                                            : 1.0;
  const bool grey = image.isGrey();
  const int alphaChannel = image.hasAlpha() ? image.channels() - 1 : -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const auto unit = [&](int c) { return float(image.sample(x, y, c) * scale); };
      const float red = unit(0);
      picture->writeFloat(x, y, 0,
                          {red, grey ? red : unit(1), grey ? red : unit(2),
                           alphaChannel < 0 ? 1.0f : unit(alphaChannel)});
    }
  return picture;
}

PsdExportSource psdExportSource(const PsdOutput& output) {
  PsdExportSource source;
  source.picture = output.source;
  source.greyscale = output.greyscale;
  source.editableTransparency = !output.alpha.empty();
  source.keepSourceAlpha = !output.alpha.empty();
  if (!output.selection.empty()) {
    source.mask = output.selection;
  } else if (!output.alpha.empty()) {
    source.mask = output.alpha;
    source.maskIsSelection = false;
  }
  return source;
}

bool writePsdOutput(const PsdOutput& output, std::string* error) {
  const auto fail = [&](const std::string& why) {
    if (error) *error = "cannot write the PSD document " + output.path + ": " + why;
    return false;
  };
  if (!output.recorded || !output.source) return fail("nothing to export");
  EffectSettings settings = settingsFromDescriptor(*output.recorded);
  EffectPictures pictures;
  LineMessages messages;
  // Grit and the weathering draw from the run's generator, seeded as a run of the module is.
  RandomGenerator random;
  random.seedForRun();
  if (!pictures.ensureEnvironment()) return fail("not enough memory");
  loadPictures(settings, pictures, output.files, messages);
  if (!pictures.prepareTexture(settings.textureChoice, random, output.source->width()))
    return fail("not enough memory");

  PsdExportRequest request;
  request.width = output.source->width();
  request.height = output.source->height();
  request.bytesPerChannel = output.source->kind() == PictureKind::rgba16      ? 2
                            : output.source->kind() == PictureKind::rgbaFloat ? 4
                                                                              : 1;
  request.source = psdExportSource(output);
  request.progress = output.progress;
  request.cancel = output.cancel;
  if (Status status = exportPsd(output.path, settings, pictures, random, request); !status)
    return fail(status.message());
  return true;
}

}  // namespace orichalcumite
