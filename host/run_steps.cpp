#include "host/run_steps.h"

#include <algorithm>
#include <cstdio>

#include "host/host_image.h"
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

// Stand-in until the render driver lands: each source pixel is copied to the output through
// the host image access, band by band, with the host's cancel test and progress between bands.
int16_t renderToHost(ps::FilterRecord& rec, const EffectSettings& /*s*/, PluginState& state) {
  constexpr int32_t kBandRows = 64;
  const Rect32 area = filterRectangle(rec);
  const ImageFormat format = classifyImage(rec);
  state.maskNotNeeded = 1;
  for (int32_t top = area.top; top < area.bottom; top += kBandRows) {
    if (testAbort(rec)) return ps::userCanceledErr;
    const Rect32 band{top, area.left, std::min(top + kBandRows, area.bottom), area.right};
    requestRegion(rec, state, band, 1);
    if (const int16_t result = advanceHostState(rec); result != 0) return result;
    const HostPixels pixels(rec, format, band);
    for (int32_t y = band.top; y < band.bottom; ++y) {
      for (int32_t x = band.left; x < band.right; ++x) {
        float rgba[4] = {0, 0, 0, 0};
        pixels.readPixel(x, y, true, rgba);
        pixels.writePixel(x, y, rgba, true);
      }
    }
    reportProgress(rec, band.bottom - area.top, area.height());
  }
  state.maskNotNeeded = 0;
  return 0;
}

// Stand-ins until persistent user state lands.
void saveCachedSettings(const EffectSettings& /*s*/) {}
void storePicturePaths(const EffectSettings& /*s*/) {}

void tellUser(const char* title, const char* text) {
  std::fprintf(stderr, "Orichalcumite: %s: %s\n", title, text);
}

}  // namespace orichalcumite
