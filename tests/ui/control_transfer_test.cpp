#include "ui/control_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "settings/parameter_table.h"
#include "tests/support/factory_settings.h"
#include "ui/edit_box.h"

namespace orichalcumite {
namespace {

using testing::factorySettings;

// Integer settings that the dialog edits with a control of their own; the others (spin, pan,
// seed) change through commands.
bool hasControl(const ParameterInfo& p) {
  return p.intField != nullptr && p.intField != &EffectSettings::environmentSpin &&
         p.intField != &EffectSettings::texturePanX && p.intField != &EffectSettings::texturePanY &&
         p.intField != &EffectSettings::randomSeed;
}

EffectSettings roundTrip(const EffectSettings& in, DialogControls& controls) {
  EffectSettings out = in;
  controlsFromSettings(in, controls);
  settingsFromControls(controls, out);
  return out;
}

TEST(SettingsTransfer, everyEditedSettingSurvivesBothEndsOfItsRange) {
  for (const bool atMaximum : {false, true}) {
    EffectSettings s = factorySettings();
    for (const ParameterInfo& p : parameterTable())
      if (hasControl(p)) s.*(p.intField) = static_cast<int32_t>(atMaximum ? p.maximum : p.minimum);
    for (int c = 0; c < kColourCount; ++c)
      s.colours[c] = {uint16_t(c * 256), uint16_t(c * 512), uint16_t(65280 - c * 256)};
    DialogControls controls;
    const EffectSettings out = roundTrip(s, controls);
    for (const ParameterInfo& p : parameterTable())
      if (hasControl(p)) {
        EXPECT_EQ(out.*(p.intField), s.*(p.intField)) << p.name;
      }
    for (int c = 0; c < kColourCount; ++c) {
      EXPECT_EQ(out.colours[c].red, s.colours[c].red) << c;
      EXPECT_EQ(out.colours[c].blue, s.colours[c].blue) << c;
    }
  }
}

TEST(SettingsTransfer, everyEditedSettingIsClampedIntoItsControlsRange) {
  EffectSettings s = factorySettings();
  for (const ParameterInfo& p : parameterTable())
    if (hasControl(p)) s.*(p.intField) = static_cast<int32_t>(p.maximum) + 1000;
  DialogControls controls;
  EffectSettings out = roundTrip(s, controls);
  for (const ParameterInfo& p : parameterTable())
    if (hasControl(p)) {
      EXPECT_EQ(out.*(p.intField), p.maximum) << p.name;
    }

  for (const ParameterInfo& p : parameterTable())
    if (hasControl(p)) s.*(p.intField) = INT32_MIN;
  out = roundTrip(s, controls);
  for (const ParameterInfo& p : parameterTable())
    if (hasControl(p)) {
      // A check box is on for any value but 0.
      const double expected = p.kind == ParameterKind::boolean ? 1 : p.minimum;
      EXPECT_EQ(out.*(p.intField), expected) << p.name;
    }
  // The clamped value replaces the text of the box, and of the texture scale's display.
  EXPECT_EQ(controls.texts[control::radiusEdit], "2");
  EXPECT_EQ(controls.texts[control::textureZoomText], "0");
}

TEST(SettingsTransfer, lightVectorsTravelAndTheirAnglesAreRecomputed) {
  EffectSettings s = factorySettings();
  DialogControls controls;
  controlsFromSettings(s, controls);
  controls.lights[33] = {0.0f, 0.0f, 1.0f};
  controls.lights[45] = {0.6f, 0.0f, 0.8f};
  settingsFromControls(controls, s);
  EXPECT_EQ(s.light1Z, 1.0f);
  EXPECT_EQ(s.light1Elevation, lightElevation(1.0f));
  EXPECT_EQ(s.light2X, 0.6f);
  EXPECT_EQ(s.light2AzimuthDeg, lightAzimuthDeg(0.6f, 0.0f));
}

TEST(EditBoxes, typedNumbersMoveTheSliderAndSettleIntoTheSetting) {
  struct Case {
    const char* typed;
    int32_t value;
    const char* boxAfterSettling;
  };
  const Case cases[] = {
      {"500", 100, "100"},  {"1", 2, "2"},   {"letters", 2, "2"},    {"", 2, "2"},
      {" 42 ", 42, " 42 "}, {"+7", 7, "+7"}, {"37.9", 37, "37.9"},   {"-1e300", 2, "2"},
      {"1e999", 2, "2"},    {"nan", 2, "2"}, {"12abc", 12, "12abc"},
  };
  for (const Case& c : cases) {
    EffectSettings s = factorySettings();
    DialogControls controls;
    controlsFromSettings(s, controls);
    const DialogRequests typed = editBoxTyped(controls, control::radiusEdit, c.typed);
    EXPECT_EQ(typed.settleTimer, TimerRequest::start) << c.typed;
    EXPECT_FALSE(typed.renderPreview) << c.typed;
    EXPECT_EQ(controls.values[control::radius], c.value) << c.typed;
    EXPECT_EQ(controls.texts[control::radiusEdit], c.typed) << "typing never rewrites the box";

    const DialogRequests settled = settleTimerFired(controls, s);
    EXPECT_EQ(s.radius, c.value) << c.typed;
    EXPECT_EQ(controls.texts[control::radiusEdit], c.boxAfterSettling) << c.typed;
    const bool rewritten = std::string(c.typed) != c.boxAfterSettling;
    EXPECT_EQ(std::count(settled.updateText.begin(), settled.updateText.end(), control::radiusEdit),
              rewritten ? 1 : 0)
        << c.typed;
    EXPECT_EQ(settled.settleTimer, TimerRequest::stop);
    EXPECT_EQ(settled.undo, UndoSnapshot::light);
    EXPECT_TRUE(settled.renderPreview);
  }
}

TEST(EditBoxes, onlyASlidersEditBoxReactsToTyping) {
  DialogControls controls;
  for (const int id : {control::radius, control::textureZoomText, 8, 0, -1, 250}) {
    const DialogRequests r = editBoxTyped(controls, id, "50");
    EXPECT_EQ(r.settleTimer, TimerRequest::none) << id;
  }
  EXPECT_EQ(controls.values[control::textureZoom], 0);
}

}  // namespace
}  // namespace orichalcumite
