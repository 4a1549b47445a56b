#include "settings/effect_settings.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/random_generator.h"
#include "settings/enumerations.h"
#include "settings/parameter_table.h"

namespace orichalcumite {
namespace {

SettingsColour colourOf8Bit(int r, int g, int b) {
  return {static_cast<uint16_t>(r * 256), static_cast<uint16_t>(g * 256),
          static_cast<uint16_t>(b * 256)};
}

SettingsColour randomColour(RandomGenerator& rng) {
  const int r = rng.next() & 255;
  const int g = rng.next() & 255;
  const int b = rng.next() & 255;
  return colourOf8Bit(r, g, b);
}

// A random colour pulled towards its own luminance by weight/256.
SettingsColour greyedRandomColour(RandomGenerator& rng, int weight) {
  const SettingsColour c = randomColour(rng);
  const int lum = (77 * c.red + 150 * c.green + 28 * c.blue) / 256;
  auto grey = [&](int v) {
    return static_cast<uint16_t>(std::clamp((weight * lum + (256 - weight) * v) / 256, 0, 65535));
  };
  return {grey(c.red), grey(c.green), grey(c.blue)};
}

int clampInt(int v, int lo, int hi) { return std::clamp(v, lo, hi); }

}  // namespace

void setText(char (&field)[kTextCapacity], const char* text) {
  const size_t n = text ? std::min(std::strlen(text), kTextCapacity - 1) : 0;
  if (n) std::memmove(field, text, n);
  field[n] = '\0';
}

int32_t lightAzimuthDeg(float x, float y) {
  // The light widget works on whole pixels of a 33-pixel radius.
  const int px = static_cast<int>(x * 33.0f);
  const int py = static_cast<int>(y * 33.0f);
  int t;
  if (py != 0) {
    t = static_cast<int>(std::atan(static_cast<double>(px) / -py) * 180.0 / M_PI);
    if (py > 0) t += 180;
    if (t < 0) t += 360;
  } else {
    t = px == 0 ? 0 : (px < 0 ? 270 : 90);
  }
  return t - 90;
}

int32_t lightElevation(float z) { return static_cast<int32_t>((1.0f - z) * 600.0f); }

void updateLightAngles(EffectSettings& s) {
  s.light1AzimuthDeg = lightAzimuthDeg(s.light1X, s.light1Y);
  s.light1Elevation = lightElevation(s.light1Z);
  s.light2AzimuthDeg = lightAzimuthDeg(s.light2X, s.light2Y);
  s.light2Elevation = lightElevation(s.light2Z);
}

void loadFactoryDefaults(EffectSettings& s) {
  for (const ParameterInfo& p : parameterTable()) {
    if (p.keepsValueOnDefaults) continue;
    setParameterNumber(s, p, p.factoryDefault);
  }
  static constexpr int32_t kPanels[6] = {1, 5, 1, 1, 0, 0};
  std::copy(std::begin(kPanels), std::end(kPanels), s.dialogPanels);
  s.optionWord = 1;
  updateLightAngles(s);
}

void resetSettings(EffectSettings& s) {
  loadFactoryDefaults(s);
  s.textureStrength = 0;
  s.reflection = 0;
  s.sphericalEnvironment = 1;
  s.shape = 14;
  setText(s.settingsName, "plain settings");
}

void randomizeSettings(EffectSettings& s, RandomGenerator& rng) {
  s.textureStrength = randomIn(rng, -100, 100);
  s.reflection = randomIn(rng, 0, 100);
  s.height = randomIn(rng, -70, 70);
  s.radius = randomIn(rng, 2, 50);

  s.glue = 1;
  if (randomIn(rng, 0, 100) > 80) s.glue = randomIn(rng, 1, kGlueModeCount);

  s.shape = randomIn(rng, 1, 13);
  s.gloss = randomIn(rng, 0, 100);
  s.glare = randomIn(rng, 0, 100);
  s.iriColors = randomIn(rng, 0, 100);
  s.iridescence = randomIn(rng, 0, 100);
  s.tarnish = randomIn(rng, 0, 60);

  if (randomIn(rng, 0, 100) <= 80) {
    s.colours[light1Color] = randomColour(rng);
    s.colours[light2Color] = randomColour(rng);
  } else {
    s.colours[light1Color] = colourOf8Bit(255, 255, 255);
    s.colours[light2Color] = colourOf8Bit(0, 0, 0);
  }

  s.colours[tarnishColor] = randomColour(rng);
  s.glassiness = randomIn(rng, 0, 100);
  s.textureZoom = randomIn(rng, 30, 75);
  s.caustic = randomIn(rng, 0, 100);
  s.smoothness = 100;
  s.abrasion = randomIn(rng, 0, 60);
  s.colours[abrasionColor] = randomColour(rng);

  s.colours[rainColor1] = greyedRandomColour(rng, 200);
  s.colours[rainColor2] = greyedRandomColour(rng, 200);
  s.rain = randomIn(rng, 20, 100);
  if (randomIn(rng, 0, 100) > 25) s.rain = 0;
  s.evaporation = randomIn(rng, 20, 60);
  s.diffusion = randomIn(rng, 20, 100);
  s.wander = randomIn(rng, 20, 80);

  s.colours[dustColor] = greyedRandomColour(rng, 240);
  s.dust = randomIn(rng, 0, 50);
  s.embossing = randomIn(rng, 0, 50);

  s.wetRain = randomIn(rng, 0, 1);
  if (s.wetRain == 1) {
    // Wet stains darken: each channel becomes the 16-bit complement of an eighth of itself.
    for (ColourSlot slot : {rainColor1, rainColor2}) {
      SettingsColour& c = s.colours[slot];
      for (uint16_t* ch : {&c.red, &c.green, &c.blue}) *ch = static_cast<uint16_t>(~(*ch / 8));
    }
  }

  s.grit = clampInt(randomIn(rng, 0, 100) - 70, 0, 100);

  s.colours[mossColor1] = greyedRandomColour(rng, 180);
  s.colours[mossColor2] = greyedRandomColour(rng, 180);
  s.moss = randomIn(rng, 20, 100);
  if (randomIn(rng, 0, 100) > 25) s.moss = 0;

  s.leakiness = randomIn(rng, 0, 50);
  if (randomIn(rng, 0, 100) > 25) s.leakiness = 0;

  s.gobo1 = 100;
  if (randomIn(rng, 0, 100) > 80) s.gobo1 = 0;
  s.gobo2 = 100;
  if (randomIn(rng, 0, 100) > 80) s.gobo2 = 0;

  s.colours[blotchColor] = greyedRandomColour(rng, 200);

  s.blotches = clampInt(s.blotches * 50 / randomIn(rng, 40, 60), 0, 100);
  s.blotchSize = clampInt(s.blotchSize * 50 / randomIn(rng, 40, 60), 0, 100);

  setText(s.settingsName, "random settings");
}

void nextGlueMode(EffectSettings& s) { s.glue = s.glue >= kGlueModeCount ? 1 : s.glue + 1; }

void resetRunTimeFields(EffectSettings& s) {
  setText(s.texturePath, "");
  setText(s.textureName, "");
  setText(s.environmentPath, "");
  setText(s.environmentName, "");
  s.hostCanDisplay = 0;
  std::fill(std::begin(s.viewFields), std::end(s.viewFields), 0);
}

void copyEffect(const EffectSettings& from, EffectSettings& to) {
  std::memcpy(to.settingsName, from.settingsName, kTextCapacity);
  to.light1X = from.light1X;
  to.light1Y = from.light1Y;
  to.light1Z = from.light1Z;
  to.light2X = from.light2X;
  to.light2Y = from.light2Y;
  to.light2Z = from.light2Z;
  std::copy(std::begin(from.dialogPanels), std::end(from.dialogPanels), to.dialogPanels);
  to.optionWord = from.optionWord;
  to.secondOptionWord = from.secondOptionWord;
  std::copy(std::begin(from.colours), std::end(from.colours), to.colours);
  // Every slider, switch and choice of the parameter table belongs to the effect.
  for (const ParameterInfo& p : parameterTable()) {
    if (p.kind == ParameterKind::integer || p.kind == ParameterKind::boolean ||
        p.kind == ParameterKind::enumerated)
      to.*(p.intField) = from.*(p.intField);
  }
  updateLightAngles(to);
}

}  // namespace orichalcumite
