// Temporary stand-in so that the user state and picture search can be built beside it; the
// settings-file work replaces this file.
#include "settings/settings_file.h"

namespace orichalcumite {

std::vector<uint8_t> encodeSettingsFile(const EffectSettings&, const Picture*) { return {}; }
int32_t writeSettingsFile(const std::string&, const EffectSettings&, const Picture*) {
  return kSettingsWriteFailed;
}
SettingsFileResult decodeSettingsFile(std::span<const uint8_t>, SettingsReadMode, EffectSettings&) {
  SettingsFileResult result;
  result.code = kSettingsReadFailed;
  return result;
}
SettingsFileResult readSettingsFile(const std::string&, SettingsReadMode, EffectSettings&) {
  SettingsFileResult result;
  result.code = kSettingsFileNotFound;
  return result;
}

}  // namespace orichalcumite
