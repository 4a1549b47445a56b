// Settings files: any bytes either load or end in kSettingsReadFailed, in both modes. A load
// leaves every setting inside its range; what loaded, written and read again, reads the same;
// thumbnail mode changes no byte of the record.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "settings/effect_settings.h"
#include "settings/parameter_table.h"
#include "settings/settings_file.h"

using namespace orichalcumite;

namespace {

EffectSettings factoryRecord() {
  EffectSettings s;
  std::memset(&s, 0, sizeof s);
  resetRunTimeFields(s);
  loadFactoryDefaults(s);
  return s;
}

std::string_view pictureName(const char* field) {
  return field[0] == '\0' ? std::string_view(kNoPictureName) : std::string_view(field);
}

void checkRanges(const EffectSettings& s) {
  for (const ParameterInfo& p : parameterTable()) {
    if (p.kind == ParameterKind::colourChannel || p.kind == ParameterKind::pictureName) continue;
    const double v = parameterNumber(s, p);
    if (!(v >= p.minimum && v <= p.maximum)) fuzz::broken("a loaded setting is out of range");
  }
  for (const char* name : {s.environmentName, s.textureName})
    if (strnlen(name, kTextCapacity) == kTextCapacity) fuzz::broken("a name without its end");
}

// The same settings, light components to `lightTolerance`.
bool sameSettings(const EffectSettings& a, const EffectSettings& b, double lightTolerance) {
  for (const ParameterInfo& p : parameterTable()) {
    if (p.kind == ParameterKind::pictureName) {
      if (pictureName(a.*(p.textField)) != pictureName(b.*(p.textField))) return false;
    } else if (p.kind == ParameterKind::colourChannel) {
      if (std::memcmp(&a.colours[p.colourSlot], &b.colours[p.colourSlot], sizeof a.colours[0]))
        return false;
    } else if (p.kind == ParameterKind::lightComponent) {
      if (!(std::fabs(parameterNumber(a, p) - parameterNumber(b, p)) <= lightTolerance))
        return false;
    } else if (parameterNumber(a, p) != parameterNumber(b, p)) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::keepSanitizerReportsVisible();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);

  const EffectSettings before = factoryRecord();
  EffectSettings untouched = before;
  const SettingsFileResult preview =
      decodeSettingsFile(bytes, SettingsReadMode::thumbnail, untouched);
  if (std::memcmp(&untouched, &before, sizeof before) != 0)
    fuzz::broken("thumbnail mode changed the record");

  EffectSettings loaded = factoryRecord();
  const SettingsFileResult result = decodeSettingsFile(bytes, SettingsReadMode::load, loaded);
  if (result.code != 0 && result.code != kSettingsReadFailed) fuzz::broken("an unexpected code");
  if (result.code != preview.code) fuzz::broken("the two modes disagree about the file");
  if ((result.code == 0) != result.problem.empty()) fuzz::broken("a problem without a failure");
  checkRanges(loaded);
  if (result.code != 0) return 0;

  // Writing keeps hundredths of the light components (a field an old file lacks keeps its
  // factory value, which has more); from then on every save reads back exactly.
  EffectSettings again = factoryRecord();
  if (decodeSettingsFile(encodeSettingsFile(loaded, nullptr), SettingsReadMode::load, again).code)
    fuzz::broken("a written file does not read");
  if (!sameSettings(loaded, again, 0.01)) fuzz::broken("a loaded file written again differs");
  EffectSettings third = factoryRecord();
  if (decodeSettingsFile(encodeSettingsFile(again, nullptr), SettingsReadMode::load, third).code)
    fuzz::broken("a written file does not read");
  if (!sameSettings(again, third, 0)) fuzz::broken("a file saved twice changes");
  return 0;
}
