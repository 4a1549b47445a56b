#include "render/shading_plan.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "pictures/picture_slots.h"
#include "render/height_field.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

ShadingMaterial materialOf(int glue) {
  switch (glue) {
    case kTarnishGlueMode: return ShadingMaterial::tarnishMap;
    case kCausticGlueMode: return ShadingMaterial::caustic;
    case kAbrasionGlueMode: return ShadingMaterial::abrasionMap;
    case kHeightGlueMode: return ShadingMaterial::heightMap;
    case kUnlitGlueMode: return ShadingMaterial::unlit;
    default: return ShadingMaterial::lit;
  }
}

// Where the gobo bands and the spherical environment take their bearings.
struct ImageGeometry {
  double centreX = 0.0;
  double centreY = 0.0;
  double width = 1.0;
  double height = 1.0;
  double scale = 1.0;
  double offsetX = 0.0;
  double offsetY = 0.0;
};

LightPlan lightPlan(float x, float y, float z, const SettingsColour& colour, int gobo,
                    const ImageGeometry& g) {
  LightPlan l;
  l.angleDeg = lightAzimuthDeg(x, y);
  l.specularOffset = static_cast<float>(lightElevation(z));
  l.colour[0] = colour.red / 256.0f;
  l.colour[1] = colour.green / 256.0f;
  l.colour[2] = colour.blue / 256.0f;

  // The gobo band: d = 256 - ((cx - X) sx + (cy - Y) sy) x 256 / norm at image position (X, Y)
  // = (x scale + offsetX, y scale + offsetY), with (sx, sy) the whole 256ths of (sin t,
  // -cos t) for the light angle t; norm makes d run 256 +- 256 from the centre to the
  // farthest corner.
  const double t = l.angleDeg * std::numbers::pi / 180.0;
  const auto sx = static_cast<double>(static_cast<int>(std::sin(t) * 256.0));
  const auto sy = static_cast<double>(static_cast<int>(-std::cos(t) * 256.0));
  double norm = std::fabs(sx * g.centreX) + std::fabs(sy * g.centreY);
  if (norm == 0.0) norm = 1.0;
  const double k = 256.0 / norm;
  l.goboOrigin =
      static_cast<float>(256.0 - ((g.centreX - g.offsetX) * sx + (g.centreY - g.offsetY) * sy) * k);
  l.goboStepX = static_cast<float>(sx * g.scale * k);
  l.goboStepY = static_cast<float>(sy * g.scale * k);
  l.goboFloor = static_cast<float>(gobo) / 100.0f;
  l.goboGain = static_cast<float>(100 - gobo) / 100.0f;

  l.diffuse = kernelWeights(directionKernel(l.angleDeg));
  l.specular = kernelWeights(directionKernel(l.angleDeg + 315));
  l.caustic = kernelWeights(directionKernel(l.angleDeg + 90));
  return l;
}

// Tarnish and abrasion amounts above 50 act four times as strongly.
int weatheringAmount(int a) { return a <= 50 ? a : (a - 50) * 4 + 50; }

bool isBlack(const SettingsColour& c) { return c.red == 0 && c.green == 0 && c.blue == 0; }

}  // namespace

WeatheringSettings weatheringSettings(const EffectSettings& s) {
  WeatheringSettings w;
  w.tarnish = s.tarnish;
  w.abrasion = s.abrasion;
  w.rain = s.rain;
  w.wetRain = s.wetRain != 0;
  w.evaporation = s.evaporation;
  w.diffusion = s.diffusion;
  w.wander = s.wander;
  w.leakiness = s.leakiness;
  w.blotches = s.blotches;
  w.blotchSize = s.blotchSize;
  w.moss = s.moss;
  w.dust = s.dust;
  w.grit = s.grit;
  w.tarnishColour = s.colours[tarnishColor];
  w.abrasionColour = s.colours[abrasionColor];
  w.dirt1 = s.colours[rainColor1];
  w.dirt2 = s.colours[rainColor2];
  w.wax = s.colours[blotchColor];
  w.moss1 = s.colours[mossColor1];
  w.moss2 = s.colours[mossColor2];
  w.dustColour = s.colours[dustColor];
  return w;
}

DirectionKernel directionKernel(int angleDeg) {
  // The 16 directions are centred so that each covers 22.5 degrees; 281 turns the reduced
  // angle into the index of the direction it falls in.
  const int reduced = ((angleDeg + 281) % 360 + 360) % 360;
  const int k = reduced * 2 / 45;
  struct Step {
    int32_t e, f, d;
    double gain;
  };
  static constexpr Step kSteps[4] = {
      {2, 0, 0, 1.0}, {1, 1, 0, 0.934}, {0, 2, 0, 0.7071}, {0, 1, 1, 0.934}};
  const Step& s = kSteps[k % 4];
  const auto h = static_cast<int32_t>(s.gain * 322.56);
  switch (k / 4) {
    case 0: return {s.d * h, -2 * h, s.f * h, s.e * h};
    case 1: return {2 * h, -s.e * h, -s.d * h, -s.f * h};
    case 2: return {s.e * h, s.f * h, -2 * h, s.d * h};
    default: return {-s.f * h, -s.d * h, -s.e * h, 2 * h};
  }
}

KernelWeights kernelWeights(const DirectionKernel& k) {
  constexpr float kScale = 1.0f / 256.0f;
  return {static_cast<float>(k.w00) * kScale, static_cast<float>(k.w10) * kScale,
          static_cast<float>(k.w01) * kScale, static_cast<float>(k.w11) * kScale};
}

std::unique_ptr<ShadingPlan> deriveShadingPlan(const ShadingInputs& in) {
  std::unique_ptr<ShadingPlan> plan(new (std::nothrow) ShadingPlan);
  if (!plan || !in.settings) return nullptr;
  const EffectSettings& s = *in.settings;
  ShadingPlan& p = *plan;

  p.material = materialOf(s.glue);
  const bool unlit = p.material == ShadingMaterial::unlit;
  p.heights = in.heights;
  p.regionWidth = in.regionWidth;

  ImageGeometry g;
  g.scale = std::max(in.previewScale, 1);
  g.width = in.imageWidth > 0 ? in.imageWidth : in.regionWidth * g.scale;
  g.height = in.imageHeight > 0 ? in.imageHeight : in.regionHeight * g.scale;
  g.width = std::max(g.width, 1.0);
  g.height = std::max(g.height, 1.0);
  g.centreX = g.width / 2.0;
  g.centreY = g.height / 2.0;
  g.offsetX = in.offsetX;
  g.offsetY = in.offsetY;

  // ---- Lights.
  const int gobo1 = s.gobo1;
  const int gobo2 = s.gobo2;
  p.lights[0] = lightPlan(
      s.light1X, s.light1Y,
      s.light1Z, s.colours[light1Color], gobo1, g);
  p.lights[1] = lightPlan(
      s.light2X, s.light2Y,
      s.light2Z, s.colours[light2Color], gobo2, g);
  p.lightCount = unlit ? 0 : (isBlack(s.colours[light2Color]) ? 1 : 2);

  // ---- Weights and factors.
  const int reflection = s.reflection;
  const int glare = s.glare;
  const int gloss = s.gloss;
  const int glassiness = s.glassiness;
  const int caustic = s.caustic;
  const int height = s.height;

  const bool reflects = in.environment && reflection > 0;
  const int rw = reflects ? reflection * 256 / 100 : 0;
  const int dw = 256 - rw;
  const int gl = glassiness * 256 / 100;
  p.reflectionWeight = static_cast<float>(rw);
  p.diffuseWeight = static_cast<float>(dw);
  p.reflection = !reflects                     ? ReflectionMode::none
                 : s.sphericalEnvironment != 0 ? ReflectionMode::spherical
                                               : ReflectionMode::flat;

  p.glareRadius = static_cast<float>(glare) * 1.5f;
  p.inverseGlareRadius = p.glareRadius > 0.0f ? 1.0f / p.glareRadius : 0.0f;
  p.glossStrength = unlit ? 0.0f : static_cast<float>(gloss * 5);
  p.glossPerDivisor = p.glareRadius > 0.0f ? p.glossStrength / (p.glareRadius * 75.0f) : 0.0f;
  p.spotScale = static_cast<float>(gloss * 5) * p.glareRadius / 75.0f;
  p.glassiness = static_cast<float>(gl);
  p.glassDiffuse = static_cast<float>(256 - gl) / 256.0f;
  p.glareGlass =
      static_cast<float>(gl) * (256.0f - static_cast<float>(rw * rw) / 256.0f) / 65536.0f;
  p.causticStrength = unlit ? 0.0f : static_cast<float>(caustic) * static_cast<float>(gl) / 75.0f;
  p.glassy = gl > 0 && !unlit;

  const int k = std::clamp(std::abs(height), 1, 35);
  p.causticGain = 8960.0f / static_cast<float>(k) / 256.0f;
  p.causticOffset = static_cast<float>((35 - k) * (35 - k)) * 255.0f / 1225.0f;
  const float span = static_cast<float>(std::abs(height) + 20);
  const float reach = std::max(std::fabs(static_cast<float>(height) * 300.0f / 45.0f), span);
  // index = (0.5 - (span - (reach - slope)) x 0.5 / span) x 92
  p.causticIndexBase = (0.5f + (reach - span) * 0.5f / span) * 92.0f;
  p.causticIndexStep = -0.5f / span * 92.0f;

  if (in.profile) {
    const auto& t = in.profile->values;
    p.profileLast = t[kProfileLast];
    const float smallest = *std::min_element(t.begin(), t.end());
    const float fade = std::fabs(2.0f / 3.0f * smallest);
    // A value too small to divide by counts as 0.
    p.glareFade = fade > 1e-6f ? fade : 1.0f;
    p.inverseGlareFade = 1.0f / p.glareFade;
  }

  // W = ((256 - Gl) x 256 + min(slope x 140/256, 256) x Gl) / 256 x Rw / 256.
  p.reflectionBase = static_cast<float>((256 - gl) * rw) / 256.0f;
  p.reflectionSlopeGain = static_cast<float>(gl) / 256.0f * static_cast<float>(rw) / 256.0f;
  // Partly reflective glass (unlit or not) also shows the mirrored environment.
  p.mirror = gl > 0 && rw > 0 && dw > 0;
  p.mirrorGain =
      p.mirror ? static_cast<float>(dw) * static_cast<float>(gl) / 65536.0f / 128.0f : 0.0f;

  // ---- Colour tables.
  p.iridescence = iridescenceTable(s.iridescence,
                                   s.iriColors);
  p.causticColours = causticColourTable(s.whiteCaustic != 0);

  // ---- The environment.
  if (p.reflection != ReflectionMode::none) p.environment.emplace(*in.environment);
  const EnvironmentRotation spin = environmentRotation(s.environmentSpin);
  p.spinCos = static_cast<float>(spin.cosTheta);
  p.spinSin = static_cast<float>(spin.sinTheta);
  // 230 x (position - 0.5), position = (offset + x x scale + 0.5) / image size.
  p.spherePositionU = static_cast<float>(230.0 * ((g.offsetX + 0.5) / g.width - 0.5));
  p.spherePositionStepU = static_cast<float>(230.0 * g.scale / g.width);
  p.spherePositionV = static_cast<float>(230.0 * ((g.offsetY + 0.5) / g.height - 0.5));
  p.spherePositionStepV = static_cast<float>(230.0 * g.scale / g.height);

  // ---- Tarnish and abrasion curvature.
  const double curvatureUnit = 256.0 / (g.scale * 50.0) / 290.4;
  p.hollowScale = static_cast<float>(weatheringAmount(s.tarnish) *
                                     curvatureUnit);
  p.ridgeScale = static_cast<float>(weatheringAmount(s.abrasion) *
                                    curvatureUnit);

  // ---- The "height" material.
  const int blotches = s.blotches;
  p.heightMinimum = in.heights.minimum;
  p.heightTop = 255.0f - static_cast<float>(blotches * 31) / 100.0f;
  p.heightRange = std::max(
      in.heights.maximum - in.heights.minimum + static_cast<float>(blotches * 320) / 100.0f, 1.0f);
  p.blotchDarkening = static_cast<float>(blotches) * 4000.0f;

  // ---- Weathering.
  WeatheringInputs w;
  w.settings = weatheringSettings(s);
  w.scale = static_cast<int>(g.scale);
  w.offsetX = in.offsetX;
  w.offsetY = in.offsetY;
  w.noise = in.noise;
  w.random = in.random;
  if (w.settings.blotches != 0 && !w.noise) {
    p.ownNoise.reset(new (std::nothrow) NoiseTables(makeNoiseTables(s.randomSeed)));
    if (!p.ownNoise) return nullptr;
    w.noise = p.ownNoise.get();
  }
  p.weathering = makeWeatheringPlan(w);
  return plan;
}

}  // namespace orichalcumite
