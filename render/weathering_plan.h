// The per-render set-up of the weathering layers (tarnish, water stains, abrasion, lichen
// blotches, moss and dust): the tables and factors that follow from the settings, the noise
// tables and the preview scale, derived once before the final pass into one WeatheringPlan
// that the layers (render/weathering.h) only read.
//
// Units: colours in 0..255 units per channel (the tables hold whole numbers); weights and
// levels in 256ths; heights in the height field's depth units (larger is deeper).
#pragma once

#include <array>
#include <cstdint>

#include "pictures/noise_tables.h"
#include "settings/effect_settings.h"

namespace orichalcumite {

class RandomGenerator;

inline constexpr int kStainRampEntries = 401;
inline constexpr int kDustPaletteEntries = 32;
inline constexpr int kLichenRampEntries = 64;
inline constexpr int kMossSlopeRampEntries = 256;
inline constexpr int kMossShadeEntries = 256;
inline constexpr int kJitterEntries = 512;
inline constexpr int kBlotchOctaves = 4;

// One colour of a layer: red, green, blue in 0..255 units.
using LayerColour = std::array<float, 3>;

using StainRamp = std::array<LayerColour, kStainRampEntries>;
using DustPalette = std::array<LayerColour, kDustPaletteEntries>;
using LichenRamp = std::array<LayerColour, kLichenRampEntries>;
using MossSlopeRamp = std::array<LayerColour, kMossSlopeRampEntries>;
using MossShadeTable = std::array<float, kMossShadeEntries>;
using JitterTable = std::array<int32_t, kJitterEntries>;

// The weathering settings, each already limited to its declared range.
struct WeatheringSettings {
  int tarnish = 0;
  int abrasion = 0;
  int rain = 0;
  bool wetRain = false;
  int evaporation = 0;
  int diffusion = 0;
  int wander = 0;
  int leakiness = 0;
  int blotches = 0;
  int blotchSize = 0;
  int moss = 0;
  int dust = 0;
  int grit = 0;
  SettingsColour tarnishColour{};
  SettingsColour abrasionColour{};
  SettingsColour dirt1{};  // rainColor1
  SettingsColour dirt2{};  // rainColor2
  SettingsColour wax{};    // blotchColor: the lichen
  SettingsColour moss1{};  // mossColor1
  SettingsColour moss2{};  // mossColor2
  SettingsColour dustColour{};
};

// Whether any layer is on. Grit alone is not a layer here: it roughens the height field.
bool hasWeathering(const WeatheringSettings& s);

// ---- The tables, from plain values (exposed for tests; the plan builds them).

// Water stains without wet rain: entry l (0..400) fades from dirt 1 (l = 0) to dirt 2
// (l = 255), then darkens slowly towards entry 400.
StainRamp dryStainRamp(const SettingsColour& dirt1, const SettingsColour& dirt2);
// With wet rain: a multiplier per channel (255 = none), darker and more coloured as the
// water rises.
StainRamp wetStainRamp(const SettingsColour& dirt1, const SettingsColour& dirt2);
// 32 shades of the dust colour, each (135 + r) / 150 of it, r a fresh value 0..15.
DustPalette dustPalette(const SettingsColour& dust, RandomGenerator& random);
// From a pale, slightly yellowed grey of the lichen colour (entry 0) to the colour itself
// (entry 63).
LichenRamp lichenRamp(const SettingsColour& wax);
// The colour of moss on steep ground by slope index: the second moss colour up to index 80,
// then blending into a warmer mix of its channels.
MossSlopeRamp mossSlopeRamp(const SettingsColour& moss2);
// 256 x (1 - blotchSize x 0.0072)^(l / 30), whole.
MossShadeTable mossShadeTable(int blotchSize);
// Per position a depth of 0 .. (200 - grit) / scale: a fresh byte x (200 - grit) /
// (scale x 256), whole.
JitterTable jitterTable(int grit, int scale, RandomGenerator& random);

// ---- The plan.

struct WeatheringPlan {
  // ---- Which layers are on.
  bool active = false;     // any of the below
  bool curvature = false;  // tarnish or abrasion
  bool rain = false;       // rain or leakiness: the water state flows
  bool wetRain = false;
  bool blotches = false;
  bool moss = false;
  bool dust = false;

  int scale = 1;  // image pixels per region pixel
  // Image coordinates (full resolution) of region pixel (0, 0).
  int32_t offsetX = 0;
  int32_t offsetY = 0;

  // ---- Tarnish and abrasion (their curvature scales are in the shading plan).
  LayerColour tarnishColour{};
  LayerColour abrasionColour{};

  // ---- Rain.
  int32_t rainStart = 0;          // water at the top of the image: rain x 9
  int32_t evaporationLevel = 0;   // evaporation x 9: water that leaves no stain
  float wanderGain = 0.0f;        // wander / 400 per step of a random byte
  int32_t diffusionSide = 0;      // f = diffusion x 64 / 100
  int32_t diffusionCentre = 256;  // 256 - 2f
  int32_t leakiness = 0;
  StainRamp stainRamp{};  // dry or wet, as wetRain says

  // ---- Dust.
  float dustGain = 0.0f;  // dust / 64
  DustPalette dustPalette{};

  // ---- Lichen blotches.
  LichenRamp lichenRamp{};
  const NoiseTables* noise = nullptr;  // the render's; required when blotches is on
  // Octave frequencies per image pixel: c4, c4 c0, c4 c1, c4 c1 c0.
  std::array<float, kBlotchOctaves> octaveFrequency{};
  float octaveWeight2 = 0.0f;    // c2
  float octaveWeight3 = 0.0f;    // c3
  float octaveWeight4 = 0.0f;    // c2 c3
  float blotchBase = 0.0f;       // I = c2 + 1 + c3 + c2 c3: the noise sum's mid value
  float blotchThreshold = 0.0f;  // (1 - sqrt(blotches / 200)) x I x 2
  float blotchGain = 0.0f;       // 2 / (c4 x 100) / scale
  float inverseScale = 1.0f;

  // ---- Moss.
  float mossThreshold = 0.0f;  // (100 - moss) x 2
  LayerColour mossColour1{};
  MossSlopeRamp mossSlopeRamp{};
  MossShadeTable mossShade{};
  JitterTable jitter{};
};

struct WeatheringInputs {
  WeatheringSettings settings;
  int scale = 1;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  // The render's noise tables; must outlive the plan. Required when blotches is on.
  const NoiseTables* noise = nullptr;
  // Draws the dust palette and the jitter table.
  RandomGenerator* random = nullptr;
};

// Builds the plan. Tables are built only for layers that are on; with no layer on the plan
// is inactive and nothing is drawn from the generator.
WeatheringPlan makeWeatheringPlan(const WeatheringInputs& inputs);

}  // namespace orichalcumite
