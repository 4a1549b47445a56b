#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "settings/effect_settings.h"
#include "settings/parameter_table.h"
#include "tests/support/factory_settings.h"

namespace orichalcumite {
namespace {

using testing::factorySettings;

const ParameterInfo& named(const char* name) {
  const ParameterInfo* p = parameterByName(name);
  EXPECT_NE(p, nullptr) << name;
  return *p;
}

// ---- setParameterNumber: the one rule for numbers from outside ---------------------------------

TEST(SetParameterNumber, ClampsSlidersEnumerationsAndColoursToTheirRanges) {
  EffectSettings s = factorySettings();
  setParameterNumber(s, named("radius"), 150);
  EXPECT_EQ(s.radius, 100);
  setParameterNumber(s, named("radius"), -3);
  EXPECT_EQ(s.radius, 2);
  setParameterNumber(s, named("texture pan X"), 1e12);
  EXPECT_EQ(s.texturePanX, 32767);
  setParameterNumber(s, named("shape"), 15);
  EXPECT_EQ(s.shape, 14);
  setParameterNumber(s, named("glue"), 0);
  EXPECT_EQ(s.glue, 1);
  // 300 × 256 would wrap to 11264 in 16 bits; the top of the range is 255 × 256.
  setParameterNumber(s, named("tarnish red"), 300);
  EXPECT_EQ(s.colours[tarnishColor].red, 255 * 256);
  setParameterNumber(s, named("tarnish green"), -1);
  EXPECT_EQ(s.colours[tarnishColor].green, 0);
}

TEST(SetParameterNumber, InRangeValuesAreStoredAsBefore) {
  EffectSettings s = factorySettings();
  setParameterNumber(s, named("radius"), 42.9);  // integers are truncated
  EXPECT_EQ(s.radius, 42);
  setParameterNumber(s, named("height"), -100);
  EXPECT_EQ(s.height, -100);
  setParameterNumber(s, named("light 2 X"), -0.25);
  EXPECT_EQ(s.light2X, -0.25f);
  setParameterNumber(s, named("wet rain"), -4);  // any non-zero flag is on
  EXPECT_EQ(s.wetRain, 1);
}

TEST(SetParameterNumber, LightsClampAndNotANumberGivesTheFactoryValue) {
  EffectSettings s = factorySettings();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  setParameterNumber(s, named("light 1 Z"), 5);
  EXPECT_EQ(s.light1Z, 1.0f);
  setParameterNumber(s, named("light 1 X"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(s.light1X, -1.0f);
  setParameterNumber(s, named("light 2 Z"), nan);
  EXPECT_FLOAT_EQ(s.light2Z, 0.8f);
  setParameterNumber(s, named("radius"), nan);
  EXPECT_EQ(s.radius, 35);
}

// ---- clampToParameterRanges
// ----------------------------------------------------------------------

TEST(ClampToParameterRanges, BringsEveryNumericFieldIntoItsRange) {
  EffectSettings s;
  std::memset(&s, 0, sizeof s);
  // Wild values straight into the fields, past any setter.
  for (const ParameterInfo& p : parameterTable()) {
    if (p.kind == ParameterKind::integer || p.kind == ParameterKind::enumerated)
      s.*(p.intField) = p.key % 2 ? 1'000'000 : -1'000'000;
    if (p.kind == ParameterKind::boolean) s.*(p.intField) = -7;
    if (p.kind == ParameterKind::lightComponent)
      s.*(p.floatField) = p.key % 2 ? std::numeric_limits<float>::quiet_NaN() : 9.0f;
  }
  clampToParameterRanges(s);
  for (const ParameterInfo& p : parameterTable()) {
    const double v = parameterNumber(s, p);
    switch (p.kind) {
      case ParameterKind::integer:
      case ParameterKind::enumerated:
        EXPECT_EQ(v, p.key % 2 ? p.maximum : p.minimum) << p.name;
        break;
      case ParameterKind::boolean: EXPECT_EQ(v, 1) << p.name; break;
      case ParameterKind::lightComponent:
        EXPECT_FLOAT_EQ(static_cast<float>(v),
                        static_cast<float>(p.key % 2 ? p.factoryDefault : 1.0))
            << p.name;
        break;
      case ParameterKind::colourChannel:
      case ParameterKind::pictureName: break;
    }
  }
}

TEST(ClampToParameterRanges, LeavesValuesInRangeAlone) {
  EffectSettings s = factorySettings();
  s.radius = 2;
  s.height = -100;
  s.colours[dustColor].blue = 0xFFFF;  // a full 16-bit channel keeps its low byte
  s.light1X = -1.0f;
  EffectSettings clamped = s;
  clampToParameterRanges(clamped);
  for (const ParameterInfo& p : parameterTable())
    EXPECT_EQ(parameterNumber(clamped, p), parameterNumber(s, p)) << p.name;
  EXPECT_EQ(clamped.colours[dustColor].blue, 0xFFFF);
}

}  // namespace
}  // namespace orichalcumite
