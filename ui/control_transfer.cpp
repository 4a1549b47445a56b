#include "ui/control_transfer.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace orichalcumite {
namespace {

// Every control that carries a setting, in transfer order.
constexpr int kTransferOrder[] = {
    17,  21, 66,  9,   75,  15,  19,  69,  11,  28, 12, 42, 55,  58,  52,
    27,  74, 33,  45,  44,  46,  60,  100, 165, 76, 80, 82, 90,  83,  95,
    119, 99, 101, 106, 110, 116, 115, 113, 78,  91, 92, 93, 121, 104, 108,
};

LightVector lightOf(const EffectSettings& s, int light) {
  return light == 1 ? LightVector{s.light1X, s.light1Y, s.light1Z}
                    : LightVector{s.light2X, s.light2Y, s.light2Z};
}

void setLight(EffectSettings& s, int light, const LightVector& v) {
  if (light == 1) {
    s.light1X = v.x, s.light1Y = v.y, s.light1Z = v.z;
  } else {
    s.light2X = v.x, s.light2Y = v.y, s.light2Z = v.z;
  }
}

// The value display of a slider: its edit box or the texture scale's hidden static.
int valueDisplayOf(int sliderId) {
  const ControlDescriptor d = controlDescriptor(sliderId);
  return d.kind == ControlKind::Slider ? d.partnerId : -1;
}

}  // namespace

std::optional<double> editNumber(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  text.remove_prefix(start);
  // from_chars takes no leading plus sign, which a user may well type.
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || std::isnan(value)) return std::nullopt;
  return value;
}

double parseEditNumber(std::string_view text) { return editNumber(text).value_or(0); }

std::string formatControlValue(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

void controlsFromSettings(const EffectSettings& settings, DialogControls& controls) {
  for (const int id : kTransferOrder) {
    const ControlBinding b = controlBinding(id);
    if (b.field != nullptr) {
      const int32_t value = settings.*(b.field);
      controls.values[id] = value;
      if (const int display = valueDisplayOf(id); display >= 0)
        controls.texts[display] = formatControlValue(value);
    } else if (b.colourSlot >= 0) {
      controls.colours[id] = settings.colours[b.colourSlot];
    } else if (b.light != 0) {
      controls.lights[id] = lightOf(settings, b.light);
    }
  }
}

std::vector<int> settingsFromControls(DialogControls& controls, EffectSettings& settings) {
  std::vector<int> rewritten;
  for (const int id : kTransferOrder) {
    const ControlBinding b = controlBinding(id);
    if (b.field != nullptr) {
      if (const int edit = editBoxOf(id); edit >= 0) {
        // Text that is not a number reads as 0; like a clamped number it is replaced by the
        // value actually used, so the box never shows something the effect does not use.
        const std::optional<double> typed = editNumber(controls.texts[edit]);
        const double number = typed.value_or(0);
        const int32_t clamped = clampToControlRange(id, number);
        const ControlDescriptor d = controlDescriptor(id);
        if (!typed || number < d.minimum || number > d.maximum) {
          controls.texts[edit] = formatControlValue(clamped);
          rewritten.push_back(edit);
        }
        controls.values[id] = clamped;
      } else {
        controls.values[id] = clampToControlRange(id, controls.values[id]);
        if (const int display = valueDisplayOf(id); display >= 0)
          controls.texts[display] = formatControlValue(controls.values[id]);
      }
      settings.*(b.field) = controls.values[id];
    } else if (b.colourSlot >= 0) {
      settings.colours[b.colourSlot] = controls.colours[id];
    } else if (b.light != 0) {
      setLight(settings, b.light, controls.lights[id]);
    }
  }
  updateLightAngles(settings);
  return rewritten;
}

}  // namespace orichalcumite
