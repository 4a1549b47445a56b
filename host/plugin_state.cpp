#include "host/plugin_state.h"

namespace orichalcumite {

void resetPluginState(PluginState& state) {
  state = PluginState{};
  state.scaleFactor = 1.0f;
  state.requestedFactor = 1;
  state.showDialogOnStart = 1;
}

CallState& callState() {
  static CallState call;
  return call;
}

}  // namespace orichalcumite
