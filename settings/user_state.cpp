#include "settings/user_state.h"

#include "settings/effect_settings.h"

namespace orichalcumite {

void initialiseRun(EffectSettings& s, bool /*descriptorPresent*/) {
  setText(s.textureName, "");
  setText(s.environmentName, "");
}

void releaseRun(const EffectSettings& /*s*/) {}
void takeDialogUndoStep(const EffectSettings& /*s*/) {}
void saveCachedSettings(const EffectSettings& /*s*/) {}
void storePicturePaths(const EffectSettings& /*s*/) {}

}  // namespace orichalcumite
