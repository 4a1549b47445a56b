#include "host/run_steps.h"

#include <algorithm>
#include <cstdio>

#include "host/host_image.h"
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

// Stand-in until picture loading lands: the render does not sample pictures yet.
bool loadRunPictures(EffectSettings& /*s*/) { return true; }
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
  return renderEffect(s, source);
}

// Stand-ins until persistent user state lands.
void saveCachedSettings(const EffectSettings& /*s*/) {}
void storePicturePaths(const EffectSettings& /*s*/) {}

void tellUser(const char* title, const char* text) {
  std::fprintf(stderr, "Orichalcumite: %s: %s\n", title, text);
}

}  // namespace orichalcumite
