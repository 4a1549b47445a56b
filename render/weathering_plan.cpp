#include "render/weathering_plan.h"

#include <algorithm>
#include <cmath>

#include "base/random_generator.h"

namespace orichalcumite {
namespace {

// The 0..255 component of a settings colour channel (its high byte).
int component(uint16_t channel) { return channel >> 8; }

std::array<int, 3> components(const SettingsColour& c) {
  return {component(c.red), component(c.green), component(c.blue)};
}

LayerColour layerColour(const SettingsColour& c) {
  const std::array<int, 3> k = components(c);
  return {static_cast<float>(k[0]), static_cast<float>(k[1]), static_cast<float>(k[2])};
}

}  // namespace

bool hasWeathering(const WeatheringSettings& s) {
  return s.tarnish != 0 || s.abrasion != 0 || s.rain != 0 || s.leakiness != 0 || s.blotches != 0 ||
         s.moss != 0 || s.dust != 0;
}

StainRamp dryStainRamp(const SettingsColour& dirt1, const SettingsColour& dirt2) {
  const std::array<int, 3> a = components(dirt1);
  const std::array<int, 3> b = components(dirt2);
  StainRamp ramp{};
  for (int l = 0; l < kStainRampEntries; ++l) {
    const int o = std::min(l, 255);
    // Past full strength the stain keeps darkening, by a tenth at the ramp's end.
    const double t = l < 256 ? 1.0 : 1.0 - (l - 255) / 1450.0;
    const int u = std::max(0, 2 * o - 256);
    for (int c = 0; c < 3; ++c)
      ramp[static_cast<size_t>(l)][static_cast<size_t>(c)] = static_cast<float>(static_cast<int>(
          (u * b[static_cast<size_t>(c)] + (256 - u) * a[static_cast<size_t>(c)]) / 256.0 * t));
  }
  return ramp;
}

StainRamp wetStainRamp(const SettingsColour& dirt1, const SettingsColour& dirt2) {
  const std::array<int, 3> a = components(dirt1);
  const std::array<int, 3> b = components(dirt2);
  StainRamp ramp{};
  for (int o = 0; o < kStainRampEntries; ++o) {
    const double t = std::clamp(std::max(-256 + 2 * o, 0) / 256.0, 0.0, 1.0);
    for (int c = 0; c < 3; ++c) {
      const double base =
          a[static_cast<size_t>(c)] / 256.0 * (1.0 - t) + b[static_cast<size_t>(c)] / 256.0 * t;
      ramp[static_cast<size_t>(o)][static_cast<size_t>(c)] =
          static_cast<float>(static_cast<int>(255.0 * std::pow(base, o * 0.01)));
    }
  }
  return ramp;
}

DustPalette dustPalette(const SettingsColour& dust, RandomGenerator& random) {
  const std::array<int, 3> k = components(dust);
  DustPalette palette{};
  for (LayerColour& entry : palette) {
    const int r = random.next() & 15;
    for (size_t c = 0; c < 3; ++c) entry[c] = static_cast<float>(k[c] * (135 + r) / 150);
  }
  return palette;
}

LichenRamp lichenRamp(const SettingsColour& wax) {
  const std::array<int, 3> w = components(wax);
  // Luma of the colour in 256ths; at most 255 x 255, so it fits 16 bits.
  const auto luma = static_cast<uint16_t>(28 * w[2] + 77 * w[0] + 150 * w[1]);
  const int grey = luma / 256;
  const std::array<int, 3> pale = {((w[0] + grey) * 128) >> 8, ((w[1] + grey) * 128) >> 8,
                                   ((((w[2] + grey) * 128) >> 8) * 195) >> 8};
  LichenRamp ramp{};
  for (int k = 0; k < kLichenRampEntries; ++k) {
    const int v = k * 256 / (kLichenRampEntries - 1);
    for (size_t c = 0; c < 3; ++c)
      ramp[static_cast<size_t>(k)][c] = static_cast<float>((v * w[c] + (256 - v) * pale[c]) >> 8);
  }
  return ramp;
}

MossSlopeRamp mossSlopeRamp(const SettingsColour& moss2) {
  const int r2 = moss2.red, g2 = moss2.green, b2 = moss2.blue;
  const std::array<int, 3> whole = components(moss2);
  // Each channel of the steep colour mixes two of the colour's channels and brightens the
  // result by 165 / 128.
  const std::array<int, 3> steep = {(((r2 * 186 + g2 * 70) >> 16) & 255) * 165 / 128,
                                    (((g2 * 186 + b2 * 70) >> 16) & 255) * 165 / 128,
                                    (((r2 * 70 + b2 * 186) >> 16) & 255) * 165 / 128};
  MossSlopeRamp ramp{};
  for (int k = 0; k < kMossSlopeRampEntries; ++k) {
    const int d = k < 81 ? 0 : (k - 80) * 256 / 175;
    for (size_t c = 0; c < 3; ++c)
      ramp[static_cast<size_t>(k)][c] =
          static_cast<float>((steep[c] * d + whole[c] * (256 - d)) >> 8);
  }
  return ramp;
}

MossShadeTable mossShadeTable(int blotchSize) {
  const double base = 1.0 - blotchSize * 0.0072;
  MossShadeTable table{};
  for (int l = 0; l < kMossShadeEntries; ++l)
    table[static_cast<size_t>(l)] =
        static_cast<float>(static_cast<int>(256.0 * std::pow(base, l / 30.0)));
  return table;
}

JitterTable jitterTable(int grit, int scale, RandomGenerator& random) {
  JitterTable table{};
  const int span = 200 - grit;
  const int divisor = std::max(scale, 1) * 256;
  for (int32_t& j : table) j = (random.next() & 255) * span / divisor;
  return table;
}

WeatheringPlan makeWeatheringPlan(const WeatheringInputs& in) {
  const WeatheringSettings& s = in.settings;
  WeatheringPlan p;
  p.scale = std::max(in.scale, 1);
  p.offsetX = in.offsetX;
  p.offsetY = in.offsetY;
  p.inverseScale = 1.0f / static_cast<float>(p.scale);
  p.curvature = s.tarnish != 0 || s.abrasion != 0;
  p.rain = s.rain != 0 || s.leakiness != 0;
  p.wetRain = s.wetRain;
  p.blotches = s.blotches != 0 && in.noise != nullptr;
  p.moss = s.moss != 0;
  p.dust = s.dust != 0;
  p.active = p.curvature || p.rain || p.blotches || p.moss || p.dust;
  if (!p.active) return p;

  RandomGenerator fallback(1);
  RandomGenerator& random = in.random ? *in.random : fallback;

  p.tarnishColour = layerColour(s.tarnishColour);
  p.abrasionColour = layerColour(s.abrasionColour);

  p.rainStart = s.rain * 9;
  p.evaporationLevel = s.evaporation * 9;
  p.wanderGain = static_cast<float>(s.wander) / 400.0f;
  p.diffusionSide = s.diffusion * 64 / 100;
  p.diffusionCentre = 256 - 2 * p.diffusionSide;
  p.leakiness = s.leakiness;
  if (p.rain)
    p.stainRamp = s.wetRain ? wetStainRamp(s.dirt1, s.dirt2) : dryStainRamp(s.dirt1, s.dirt2);

  p.dustGain = static_cast<float>(s.dust) / 64.0f;
  if (p.dust) p.dustPalette = dustPalette(s.dustColour, random);

  if (p.blotches) {
    p.noise = in.noise;
    p.lichenRamp = lichenRamp(s.wax);
    const BlotchNoiseConstants c = derivedNoiseConstants(*in.noise, s.blotchSize);
    p.octaveFrequency = {c.c4, c.c4 * c.c0, c.c4 * c.c1, c.c4 * c.c1 * c.c0};
    p.octaveWeight2 = c.c2;
    p.octaveWeight3 = c.c3;
    p.octaveWeight4 = c.c2 * c.c3;
    p.blotchBase = c.c2 + 1.0f + c.c3 + c.c2 * c.c3;
    p.blotchThreshold = static_cast<float>((1.0 - std::sqrt(s.blotches / 200.0)) *
                                           static_cast<double>(p.blotchBase) * 2.0);
    p.blotchGain = 2.0f / (c.c4 * 100.0f) / static_cast<float>(p.scale);
  }

  p.mossThreshold = static_cast<float>((100 - s.moss) * 2);
  if (p.moss) {
    p.mossColour1 = layerColour(s.moss1);
    p.mossSlopeRamp = mossSlopeRamp(s.moss2);
    p.mossShade = mossShadeTable(s.blotchSize);
  }
  if (p.moss || p.blotches) p.jitter = jitterTable(s.grit, p.scale, random);
  return p;
}

}  // namespace orichalcumite
