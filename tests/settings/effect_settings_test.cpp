#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "base/random_generator.h"
#include "settings/effect_settings.h"
#include "settings/parameter_table.h"
#include "tests/support/factory_settings.h"

namespace orichalcumite {
namespace {

using testing::factorySettings;

TEST(FactoryDefaults, MatchTheDocumentedEffect) {
  const EffectSettings s = factorySettings();
  EXPECT_EQ(s.textureStrength, 55);
  EXPECT_EQ(s.shape, 14);
  EXPECT_EQ(s.textureChoice, 6);
  EXPECT_EQ(s.glue, 1);
  EXPECT_EQ(s.radius, 35);
  EXPECT_EQ(s.smoothness, 30);
  EXPECT_EQ(s.iridescence, 100);
  EXPECT_EQ(s.randomSeed, 21);
  EXPECT_NEAR(s.light1X, -0.42426f, 1e-5f);
  EXPECT_NEAR(s.light2Y, 0.42426f, 1e-5f);
  EXPECT_FLOAT_EQ(s.light1Z, 0.8f);
  EXPECT_EQ(s.colours[light1Color].red, 255 * 256);
  EXPECT_EQ(s.colours[light2Color].green, 0);
  EXPECT_EQ(s.colours[tarnishColor].green, 164 * 256);
  EXPECT_EQ(s.colours[mossColor2].blue, 44 * 256);
  EXPECT_EQ(s.dialogPanels[0], 1);
  EXPECT_EQ(s.dialogPanels[1], 5);
  EXPECT_EQ(s.optionWord, 1);
}

TEST(FactoryDefaults, KeepEnvironmentSpinPicturesAndName) {
  EffectSettings s = factorySettings();
  s.environmentSpin = 3;
  setText(s.environmentName, "sky.png");
  setText(s.settingsName, "mine");
  loadFactoryDefaults(s);
  EXPECT_EQ(s.environmentSpin, 3);
  EXPECT_STREQ(s.environmentName, "sky.png");
  EXPECT_STREQ(s.settingsName, "mine");
}

TEST(FactoryDefaults, EveryDefaultLiesInItsRange) {
  for (const ParameterInfo& p : parameterTable()) {
    if (p.kind == ParameterKind::pictureName) continue;
    EXPECT_GE(p.factoryDefault, p.minimum) << p.name;
    EXPECT_LE(p.factoryDefault, p.maximum) << p.name;
  }
}

TEST(Reset, GivesThePlainEffect) {
  EffectSettings s = factorySettings();
  s.gloss = 7;
  resetSettings(s);
  EXPECT_EQ(s.shape, 14);
  EXPECT_EQ(s.textureStrength, 0);
  EXPECT_EQ(s.reflection, 0);
  EXPECT_EQ(s.sphericalEnvironment, 1);
  EXPECT_EQ(s.gloss, 50);
  EXPECT_STREQ(s.settingsName, "plain settings");
}

TEST(Randomize, StaysInsideItsRulesForManyDraws) {
  RandomGenerator rng(12345);
  std::set<int> shapes;
  for (int i = 0; i < 500; ++i) {
    EffectSettings s = factorySettings();
    s.textureChoice = 9;
    s.randomSeed = 77;
    s.blotches = 100;
    randomizeSettings(s, rng);
    ASSERT_GE(s.shape, 1);
    ASSERT_LE(s.shape, 13);
    shapes.insert(s.shape);
    ASSERT_EQ(s.textureChoice, 9);
    ASSERT_EQ(s.randomSeed, 77);
    ASSERT_EQ(s.smoothness, 100);
    ASSERT_GE(s.radius, 2);
    ASSERT_LE(s.radius, 50);
    ASSERT_GE(s.glue, 1);
    ASSERT_LE(s.glue, 74);
    ASSERT_GE(s.grit, 0);
    ASSERT_LE(s.grit, 30);
    ASSERT_LE(s.blotches, 100);
    ASSERT_TRUE(s.gobo1 == 0 || s.gobo1 == 100);
    ASSERT_STREQ(s.settingsName, "random settings");
  }
  EXPECT_EQ(shapes.size(), 13u);
}

TEST(Randomize, WetStainsUseTheComplementOfAnEighth) {
  // Find a draw that makes wet stains and check the colours are dark complements: a channel
  // c/8 complemented lies in 57344..65535.
  RandomGenerator rng(1);
  for (int i = 0; i < 200; ++i) {
    EffectSettings s = factorySettings();
    randomizeSettings(s, rng);
    if (s.wetRain != 1) continue;
    for (ColourSlot slot : {rainColor1, rainColor2}) {
      EXPECT_GE(s.colours[slot].red, 57344);
      EXPECT_GE(s.colours[slot].blue, 57344);
    }
    return;
  }
  FAIL() << "no wet draw in 200 tries";
}

TEST(RandomIn, HonoursItsBounds) {
  RandomGenerator rng(7);
  EXPECT_EQ(randomIn(rng, 5, 5), 5);
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    const int v = randomIn(rng, 10, 0);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 10);
    seen.insert(v);
  }
  EXPECT_EQ(seen.size(), 11u);
  // Wider than 2047: the 11-bit draw cannot reach the top.
  for (int i = 0; i < 2000; ++i) {
    const int v = randomIn(rng, 0, 5000);
    ASSERT_LE(v, 2047);
  }
}

TEST(RandomGenerator, HasTheRuntimeContract) {
  RandomGenerator a(99), b(99);
  for (int i = 0; i < 1000; ++i) {
    const int v = a.next();
    ASSERT_EQ(v, b.next());
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 32767);
  }
  setenv("ORICHALCUMITE_RAND_SEED", "4242", 1);
  RandomGenerator c, d(4242);
  EXPECT_EQ(c.seedForRun(), 4242u);
  EXPECT_EQ(c.next(), d.next());
  unsetenv("ORICHALCUMITE_RAND_SEED");
}

TEST(GlueMode, NextWrapsFromTheLastToTheFirst) {
  EffectSettings s = factorySettings();
  s.glue = 74;
  nextGlueMode(s);
  EXPECT_EQ(s.glue, 1);
  nextGlueMode(s);
  EXPECT_EQ(s.glue, 2);
}

TEST(Colours, ScriptingCarriesTheHighByte) {
  EffectSettings s = factorySettings();
  const ParameterInfo* red = parameterByName("tarnish red");
  ASSERT_NE(red, nullptr);
  setParameterNumber(s, *red, 200);
  EXPECT_EQ(s.colours[tarnishColor].red, 51200);
  s.colours[tarnishColor].red = 51200 + 255;  // a low byte from a 16-bit source is dropped
  EXPECT_EQ(parameterNumber(s, *red), 200);
}

TEST(LightAngles, FollowTheWidgetsQuadrants) {
  // (x, y) on the widget: 0 degrees is straight up (negative y), angles grow clockwise,
  // and the stored value is 90 less.
  EXPECT_EQ(lightAzimuthDeg(0.0f, -1.0f), -90);
  EXPECT_EQ(lightAzimuthDeg(1.0f, 0.0f), 0);
  EXPECT_EQ(lightAzimuthDeg(0.0f, 1.0f), 90);
  EXPECT_EQ(lightAzimuthDeg(-1.0f, 0.0f), 180);
  EXPECT_EQ(lightAzimuthDeg(0.0f, 0.0f), -90);
  const EffectSettings s = factorySettings();
  EXPECT_EQ(s.light1AzimuthDeg, 225);
  EXPECT_EQ(s.light2AzimuthDeg, 45);
  EXPECT_EQ(lightElevation(0.0f), 600);
  EXPECT_EQ(lightElevation(1.0f), 0);
}

TEST(CopyEffect, CarriesTheEffectButNotPictureNamesOrRunTimeFields) {
  EffectSettings from = factorySettings();
  RandomGenerator rng(3);
  randomizeSettings(from, rng);
  from.light2X = 0.125f;
  from.texturePanX = 17;
  from.environmentSpin = 2;
  setText(from.environmentName, "from.png");
  from.hostCanDisplay = 1;

  EffectSettings to = factorySettings();
  setText(to.environmentName, "to.png");
  copyEffect(from, to);
  EXPECT_EQ(std::memcmp(to.colours, from.colours, sizeof from.colours), 0);
  for (const ParameterInfo& p : parameterTable()) {
    if (p.kind == ParameterKind::pictureName) continue;
    EXPECT_EQ(parameterNumber(to, p), parameterNumber(from, p)) << p.name;
  }
  EXPECT_STREQ(to.settingsName, "random settings");
  EXPECT_STREQ(to.environmentName, "to.png");
  EXPECT_EQ(to.hostCanDisplay, 0);
}

TEST(ParameterTable, HoldsSeventyFiveUniqueKeysInDescriptorOrder) {
  const auto table = parameterTable();
  ASSERT_EQ(table.size(), 75u);
  EXPECT_EQ(table[0].key, fourCC("0001"));
  EXPECT_EQ(table[1].key, fourCC("Srky"));
  EXPECT_EQ(table[6].key, fourCC("Stky"));
  EXPECT_EQ(table[29].key, fourCC("SGky"));
  EXPECT_EQ(table[74].key, fourCC("0075"));
  EXPECT_FALSE(table[74].inTerminology);
  std::set<uint32_t> keys;
  std::set<std::string> names;
  for (const ParameterInfo& p : table) {
    keys.insert(p.key);
    names.insert(p.name);
  }
  EXPECT_EQ(keys.size(), 75u);
  EXPECT_EQ(names.size(), 75u);
  EXPECT_EQ(parameterByName("Light 2 x"), &table[12]);
  EXPECT_EQ(parameterByName("0075"), &table[74]);
  EXPECT_EQ(parameterByName("no such thing"), nullptr);
}

}  // namespace
}  // namespace orichalcumite
