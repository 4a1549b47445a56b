// Writes the effect thumbnails of memory dots and presets side by side into one PNG, for
// looking at them: the factory effect first, then each settings file named.
//
//   orichalcumite_make_thumbnail_sheet OUT.png [SETTINGS_FILE...]
#include <OpenImageIO/imageio.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "base/random_generator.h"
#include "host/effect_thumbnail.h"
#include "pictures/effect_pictures.h"
#include "render/picture_target.h"
#include "render/worker_pool.h"
#include "settings/effect_settings.h"
#include "settings/settings_file.h"

int main(int argc, char** argv) {
  using namespace orichalcumite;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png [SETTINGS_FILE...]\n", argv[0]);
    return 2;
  }
  std::vector<EffectSettings> effects;
  EffectSettings factory{};
  resetRunTimeFields(factory);
  loadFactoryDefaults(factory);
  effects.push_back(factory);
  for (int i = 2; i < argc; ++i) {
    EffectSettings s = factory;
    const SettingsFileResult read = readSettingsFile(argv[i], SettingsReadMode::load, s);
    if (read.code != 0) {
      std::fprintf(stderr, "%s: cannot be read (%d)\n", argv[i], read.code);
      return 1;
    }
    effects.push_back(s);
  }

  constexpr int kSide = kEffectThumbnailSide;
  constexpr int kGap = 8;
  const int count = static_cast<int>(effects.size());
  const int width = count * kSide + (count + 1) * kGap;
  const int height = kSide + 2 * kGap;
  std::vector<unsigned char> sheet(static_cast<size_t>(width) * height * 3, 40);
  EffectPictures pictures;
  RandomGenerator random(1);
  for (int i = 0; i < count; ++i) {
    const EffectSettings& s = effects[size_t(i)];
    if (!pictures.ensureEnvironment() ||
        !pictures.prepareTexture(s.textureChoice, random, kSide,
                                 poolPictureRunner(processorCount()))) {
      std::fprintf(stderr, "no pictures for effect %d\n", i);
      return 1;
    }
    const std::unique_ptr<Picture> thumbnail = renderEffectThumbnail(s, pictures, random);
    if (!thumbnail) {
      std::fprintf(stderr, "effect %d did not render\n", i);
      return 1;
    }
    const int left = kGap + i * (kSide + kGap);
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        const Rgba p = thumbnail->readPicturePixel(x, y, 0);
        unsigned char* out = &sheet[(static_cast<size_t>(kGap + y) * width + left + x) * 3];
        out[0] = static_cast<unsigned char>(p.red * 255.0f + 0.5f);
        out[1] = static_cast<unsigned char>(p.green * 255.0f + 0.5f);
        out[2] = static_cast<unsigned char>(p.blue * 255.0f + 0.5f);
      }
    }
  }
  auto output = OIIO::ImageOutput::create(argv[1]);
  const OIIO::ImageSpec spec(width, height, 3, OIIO::TypeDesc::UINT8);
  if (!output || !output->open(argv[1], spec) ||
      !output->write_image(OIIO::TypeDesc::UINT8, sheet.data()) || !output->close()) {
    std::fprintf(stderr, "%s: cannot be written\n", argv[1]);
    return 1;
  }
  return 0;
}
