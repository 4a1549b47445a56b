#include "host/run_steps.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "host/host_image.h"
#include "pictures/picture.h"
#include "pictures/picture_slots.h"
#include "pictures/texture_generators.h"
#include "pictures/texture_tile.h"
#include "render/picture_target.h"
#include "render/worker_pool.h"
#include "settings/random_generator.h"
#include "host/host_render_source.h"
#include "render/render_driver.h"
#include "settings/effect_settings.h"

namespace orichalcumite {

// Stand-in until persistent user state lands: nothing is cached between runs yet, so the
// effect Prepare loaded (factory defaults) stands.
void initialiseRun(EffectSettings& s, PluginState& state, bool /*descriptorPresent*/) {
  setText(s.textureName, "");
  setText(s.environmentName, "");
  state.runInitialised = 1;
}

void releaseRun(EffectSettings& /*s*/, PluginState& state) {
  releasePreviewPixels(state);
  state.runInitialised = 0;
}

namespace {

// The pictures of the settings slots. They live as long as the module is loaded, so a repeat
// of the filter finds them again; a load replaces (and so frees) the old picture.
std::unique_ptr<Picture>& environmentSlot() {
  static std::unique_ptr<Picture> picture;
  return picture;
}

// The procedural texture tile and the choice it was built for.
struct TextureSlot {
  std::unique_ptr<Picture> tile;
  int choice = 0;
};

TextureSlot& textureSlot() {
  static TextureSlot slot;
  return slot;
}

}  // namespace

// Until picture files can be loaded, the run uses the built-in environment.
bool loadRunPictures(EffectSettings& s, int32_t imageWidth) {
  std::unique_ptr<Picture>& environment = environmentSlot();
  if (!environment) environment = defaultEnvironmentPicture();
  s.environmentPicture = environment.get();
  return s.environmentPicture != nullptr && prepareTextureTile(s, imageWidth);
}

bool prepareTextureTile(EffectSettings& s, int32_t imageWidth) {
  TextureSlot& slot = textureSlot();
  if (!slot.tile || slot.choice != s.textureChoice) {
    // "Texture file" has no procedural tile: the loaded picture is its tile.
    auto tile = buildTextureTile(s.textureChoice, runRandom(), std::max(imageWidth, 1),
                                 poolPictureRunner(processorCount()));
    if (tile) {
      slot.tile = std::move(tile);
      slot.choice = s.textureChoice;
    } else if (!slot.tile) {
      slot.tile = buildTextureTile(kDefaultTextureChoice, runRandom(), std::max(imageWidth, 1));
      slot.choice = kDefaultTextureChoice;
    }
  }
  if (!slot.tile) return false;
  // Until texture files can be loaded, the "texture file" choice has no picture, and the
  // texture pass then does nothing.
  s.texturePicture = s.textureChoice == kTextureChoiceFile ? nullptr : slot.tile.get();
  s.textureWidth = slot.tile->width();
  s.textureHeight = slot.tile->height();
  return true;
}
void loadDescriptorPictures(EffectSettings& /*s*/) {}

// Stand-in until undo and the main dialog land: a request for the dialog is answered as if
// the user pressed OK.
void takeDialogUndoStep(EffectSettings& /*s*/, PluginState& /*state*/) {}
bool runMainDialog(ps::FilterRecord& /*rec*/, EffectSettings& /*s*/, PluginState& /*state*/) {
  return true;
}

int16_t renderToHost(ps::FilterRecord& rec, const EffectSettings& s, PluginState& state) {
  state.maskNotNeeded = 0;
  HostRenderSource source(rec, state, s.glue);
  RenderOptions options;
  options.imageWidth = source.region().width();
  options.imageHeight = source.region().height();
  return renderEffect(s, source, options);
}

// Stand-ins until persistent user state lands.
void saveCachedSettings(const EffectSettings& /*s*/) {}
void storePicturePaths(const EffectSettings& /*s*/) {}

void tellUser(const char* title, const char* text) {
  std::fprintf(stderr, "Orichalcumite: %s: %s\n", title, text);
}

}  // namespace orichalcumite
