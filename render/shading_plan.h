// The per-render set-up of the surface shader: everything that follows from the settings, the
// height field's profile and extremes, the environment picture, the image size and the
// preview scale, derived once before the final pass into one ShadingPlan that the band
// kernels (render/surface_shader.h) only read. This header sits below the kernels: it names
// their type but not one of them.
//
// Units: the shader works in 0..255 float units per colour channel; weights and levels in
// 256ths (256 = full); heights in the height field's depth units (larger is deeper).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "base/rect.h"
#include "pictures/environment_sampler.h"
#include "render/final_pass.h"
#include "render/profile_table.h"
#include "render/shading_maths.h"
#include "render/wavelength_tables.h"
#include "render/weathering_plan.h"

namespace orichalcumite {

struct EffectSettings;
class RandomGenerator;
struct ShadingPlan;
struct ShadingScratch;

// Glue modes whose material the shader makes in its own way ("height", 14, is
// kHeightGlueMode in render/height_field.h).
inline constexpr int kTarnishGlueMode = 11;
inline constexpr int kCausticGlueMode = 12;
inline constexpr int kAbrasionGlueMode = 13;
inline constexpr int kUnlitGlueMode = 15;

// What a pixel's material is made of.
enum class ShadingMaterial {
  lit,          // lights, gloss, glare, caustic, reflection and iridescence
  unlit,        // the source colour and reflection: no lights, no iridescent tint
  caustic,      // the caustic light alone
  tarnishMap,   // the tarnish amount as grey
  abrasionMap,  // the abrasion amount as grey
  heightMap,    // the height field as grey
};

enum class ReflectionMode {
  none,       // no reflection: `reflection` is 0 or there is no environment picture
  flat,       // the surface's tilt picks the point; flat ground sees the picture centre
  spherical,  // the picture is wrapped round the scene; the pixel's place in the image counts
};

// A 2 x 2 direction kernel: weights of the heights at (x, y), (x + 1, y), (x, y + 1) and
// (x + 1, y + 1). A kernel's response (weights . heights) / 256 is the surface's slope in its
// direction in depth units, positive where the surface falls away (gets deeper) that way.
// Every kernel's weights sum to 0, so flat ground responds with 0.
struct DirectionKernel {
  int32_t w00 = 0, w10 = 0, w01 = 0, w11 = 0;
  friend bool operator==(const DirectionKernel&, const DirectionKernel&) = default;
};

// The kernel for a direction in whole degrees (0 = +x, 90 = +y, image rows counting down; any
// value, reduced mod 360). Directions snap to one of 16, a quarter of the circle each split
// into four steps of weights (2, 0, 0, 1.0), (1, 1, 0, 0.934), (0, 2, 0, 0.7071) and
// (0, 1, 1, 0.934), scaled by the whole part of the gain x 322.56 so that each step answers a
// slope of the same size alike.
DirectionKernel directionKernel(int angleDeg);

// A kernel as floats with the division by 256 folded in (KernelWeights, render/shading_maths.h).
KernelWeights kernelWeights(const DirectionKernel& kernel);

// One light, set up for a render.
struct LightPlan {
  // The direction the light comes from, in whole degrees as directionKernel takes them: the
  // light widget's azimuth of the light vector (settings/effect_settings.h).
  int angleDeg = 0;
  // How far the surface must tilt towards the light for the highlight: (1 - Z) x 600, whole.
  float specularOffset = 0.0f;
  // The light colour, 0..255 units (16-bit component / 256).
  float colour[3] = {0.0f, 0.0f, 0.0f};
  // The gobo's band of light through the image centre: at region pixel (x, y) the band
  // coordinate is d = goboOrigin + goboStepX x + goboStepY y (256 on the band's centre line),
  // and the light colour is scaled by goboFloor + goboGain x smoothstep(d).
  float goboOrigin = 256.0f;
  float goboStepX = 0.0f;
  float goboStepY = 0.0f;
  float goboFloor = 1.0f;  // gobo / 100
  float goboGain = 0.0f;   // (100 - gobo) / 100
  KernelWeights diffuse;   // at the light angle
  KernelWeights specular;  // at the light angle + 315
  KernelWeights caustic;   // at the light angle + 90
};

// A band kernel: shades every pixel of the band's unit (source colours in, material colours
// 0..1 with alpha 1 out). `region` is the render region, whose top-left is height-field
// pixel (0, 0).
using BandKernel = void (*)(const ShadingPlan& plan, BandBuffer& band, const Rect32& region,
                            ShadingScratch& scratch);

struct ShadingPlan {
  // ---- Which kernel runs, and the choices it was picked by.
  ShadingMaterial material = ShadingMaterial::lit;
  int lightCount = 1;  // lights that are on: light 1 always, light 2 unless black; 0 unlit
  ReflectionMode reflection = ReflectionMode::none;
  bool glassy = false;          // glassiness above 0: the glare and caustic terms
  bool mirror = false;          // the mirrored environment sample of partly reflective glass
  BandKernel kernel = nullptr;  // picked by makeShadingPlan (render/surface_shader.h)

  // ---- Where pixels are.
  HeightView heights;
  int32_t regionWidth = 0;
  // The spherical environment's view of the pixel's place in the image: the term
  // 230 x (position - 0.5) for region pixel (x, y) is spherePositionU + spherePositionStepU x
  // across and likewise down.
  float spherePositionU = 0.0f;
  float spherePositionStepU = 0.0f;
  float spherePositionV = 0.0f;
  float spherePositionStepV = 0.0f;

  // ---- Lights.
  std::array<LightPlan, 2> lights{};

  // ---- Weights and factors (settings / image derived), 256ths unless said.
  float reflectionWeight = 0.0f;    // Rw: reflection x 256 / 100, whole
  float diffuseWeight = 256.0f;     // Dw = 256 - Rw
  float glareRadius = 0.0f;         // a = glare x 1.5
  float inverseGlareRadius = 0.0f;  // 1 / a, 0 when a is 0
  float glossStrength = 0.0f;       // Gs = gloss x 5 (0 unlit)
  float glossPerDivisor = 0.0f;     // Gs / (a x 75), 0 when a is 0
  float spotScale = 0.0f;           // gloss x 5 x a / 75
  float glassiness = 0.0f;          // Gl = glassiness x 256 / 100, whole
  float glassDiffuse = 1.0f;        // (256 - Gl) / 256: glass lets the diffuse light through
  float glareGlass = 0.0f;          // Gl' = Gl x (256 - Rw^2 / 256) / 65536
  float causticStrength = 0.0f;     // Cs = caustic x Gl / 75 (0 unlit)
  float causticGain = 0.0f;         // 8960 / k / 256, k = |height| in 1..35
  float causticOffset = 0.0f;       // (35 - k)^2 x 255 / 1225
  // Catchlight colour index = causticIndexBase + causticIndexStep x slope, from the
  // iridescence span |height| + 20 and reach max(|height x 300 / 45|, span).
  float causticIndexBase = 0.0f;
  float causticIndexStep = 0.0f;
  float profileLast = 0.0f;  // T_max: the scaled profile's entry 3000, the edge depth
  float glareFade = 1.0f;    // c0: |2/3 x the smallest scaled profile value|, 1 when 0
  float inverseGlareFade = 1.0f;
  // Reflection strength W = reflectionBase + reflectionSlopeGain x min(slope x 140/256, 256).
  float reflectionBase = 0.0f;
  float reflectionSlopeGain = 0.0f;
  float mirrorGain = 0.0f;  // Dw x Gl / 65536 / 128 (times W and the source channel)

  // ---- Colour tables, 256ths.
  IridescenceTable iridescence{};
  CausticColourTable causticColours{};

  // ---- The environment.
  std::optional<EnvironmentSampler> environment;
  float spinCos = 1.0f;  // environmentSpin quarter turns about the picture centre
  float spinSin = 0.0f;

  // ---- Tarnish and abrasion curvature: raw curvature times these, limited to -256..256.
  float hollowScale = 0.0f;  // curvature <= 0 (hollows): tarnish' x 256 / (scale x 50) / 290.4
  float ridgeScale = 0.0f;   // curvature > 0 (ridges): abrasion' likewise

  // ---- The "height" material: grey = heightTop - ((H - heightMinimum) x heightTop - relief
  // terms + blotchDarkening) / heightRange.
  float heightMinimum = 0.0f;
  float heightRange = 1.0f;
  float heightTop = 255.0f;
  float blotchDarkening = 0.0f;

  // ---- The weathering layers; inactive when every weathering setting is 0.
  WeatheringPlan weathering;
  // Noise tables the plan made itself when it was given none.
  std::unique_ptr<NoiseTables> ownNoise;
};

// What a plan is made from.
struct ShadingInputs {
  // The render's snapshot; required. Every numeric parameter inside its table range
  // (RenderInputs makes it so): the shader's arithmetic is only sound there.
  const EffectSettings* settings = nullptr;
  // The finished height field; its extremes are read by the "height" material.
  HeightView heights;
  const ProfileTable* profile = nullptr;  // the scaled profile (null: all zero, edgeless)
  const Picture* environment = nullptr;   // null: no reflection
  int32_t regionWidth = 0;                // the render region, in its own pixels
  int32_t regionHeight = 0;
  int previewScale = 1;  // image pixels per region pixel
  // Image coordinates of region pixel (0, 0), at full resolution.
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  // The whole image at full resolution; 0 takes the region's size times the scale.
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
  // The render's noise tables (the lichen blotches read them); must outlive the plan. Null
  // makes the plan build its own from the settings' random seed when it needs them.
  const NoiseTables* noise = nullptr;
  // The render's generator, which the weathering tables are drawn from (the final pass goes
  // on drawing from it). Null draws them from a generator seeded with 1.
  RandomGenerator* random = nullptr;
};

// The weathering settings of an effect (whose parameters lie inside their ranges).
WeatheringSettings weatheringSettings(const EffectSettings& settings);

// Derives everything the band kernels read. The plan's kernel is left empty: makeShadingPlan
// (render/surface_shader.h) derives the plan and picks its kernel. Returns none when memory
// runs out. With no environment picture the reflection counts as 0 (its weight goes to the
// diffuse light), so that a surface without an environment is lit rather than black.
std::unique_ptr<ShadingPlan> deriveShadingPlan(const ShadingInputs& inputs);

}  // namespace orichalcumite
