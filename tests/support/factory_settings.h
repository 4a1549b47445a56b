// The effect as a fresh parameters block holds it: run-time fields cleared, factory values.
#pragma once

#include "settings/effect_settings.h"

namespace orichalcumite::testing {

inline EffectSettings factorySettings() {
  EffectSettings s{};
  resetRunTimeFields(s);
  loadFactoryDefaults(s);
  return s;
}

}  // namespace orichalcumite::testing
