#include <gtest/gtest.h>

#include <cmath>

#include "pictures/effect_pictures.h"
#include "render/render_inputs.h"
#include "render/shading_plan.h"
#include "render/wavelength_tables.h"
#include "tests/render/shading_test_support.h"

namespace orichalcumite {
namespace {

using testing::ShadingScene;

// ---- Spectral palettes and colour tables.

TEST(SpectralTables, LocusIsHeldBeyond700Nanometres) {
  EXPECT_DOUBLE_EQ(spectralLocus(0).x, 0.1741);   // 380 nm
  EXPECT_DOUBLE_EQ(spectralLocus(34).y, 0.6923);  // 550 nm
  for (int k = 64; k <= 80; ++k) {                // 700..780 nm
    EXPECT_DOUBLE_EQ(spectralLocus(k).x, 0.7347);
    EXPECT_DOUBLE_EQ(spectralLocus(k).y, 0.2653);
  }
}

TEST(SpectralTables, PalettesMatchHandWorkedEntries) {
  // Linear RGB by hand: 700 nm (0.7347, 0.2653) -> (1.26541, 0, 0); 550 nm (0.3016, 0.6923)
  // -> (0, 1.18560, 0); 380 nm (0.1741, 0.0050) -> (0.09133, 0, 1.05619); 480 nm
  // (0.0913, 0.1327) -> (0, 0.22695, 0.95769).
  const ColourTriple red = linearRgbOfChromaticity({0.7347, 0.2653});
  EXPECT_NEAR(red.red, 1.26541f, 1e-4f);
  EXPECT_EQ(red.green, 0.0f);
  EXPECT_EQ(red.blue, 0.0f);

  const SpectralPalette iri = iridescencePalette();
  // 185.78 x 1.26541^0.45 = 206.5; 185.78 x 1.18560^0.45 = 200.3;
  // 380 nm at intensity 0.1: 185.78 x 0.009133^0.45 = 22.9, 185.78 x 0.105619^0.45 = 67.9;
  // 780 nm at intensity 0.1: 185.78 x 0.126541^0.45 = 73.8.
  EXPECT_EQ(iri[64], (ColourTriple{206, 0, 0}));
  EXPECT_EQ(iri[34], (ColourTriple{0, 200, 0}));
  EXPECT_EQ(iri[0], (ColourTriple{22, 0, 67}));
  EXPECT_EQ(iri[80], (ColourTriple{73, 0, 0}));

  const SpectralPalette caustic = causticPalette();
  // 700 nm: intensity 80/180, 0.4444 x 185.78 x 1.26541^0.1 = 84.5; 550 nm: 185.78 x
  // 1.18560^0.1 = 188.9; 480 nm: green 185.78 x 0.22695^0.1 = 160.6, blue 185.78 x
  // 0.95769^0.3 = 183.4; the ends have no intensity.
  EXPECT_EQ(caustic[64], (ColourTriple{84, 0, 0}));
  EXPECT_EQ(caustic[34], (ColourTriple{0, 188, 0}));
  EXPECT_EQ(caustic[20], (ColourTriple{0, 160, 183}));
  EXPECT_EQ(caustic[0], (ColourTriple{0, 0, 0}));
  EXPECT_EQ(caustic[80], (ColourTriple{0, 0, 0}));
}

TEST(SpectralTables, IridescenceTableTintsAroundWhite) {
  static_assert(std::tuple_size_v<IridescenceTable> == 90);
  for (int colours : {0, 37, 100})
    for (const ColourTriple& e : iridescenceTable(0, colours))
      EXPECT_EQ(e, (ColourTriple{256, 256, 256}));
  // A film of no thickness adds every wavelength in phase: weight 2 throughout, so the tint is
  // b + 2 (256 - b): 512 at iridescence 100, 384 at 50.
  for (const ColourTriple& e : iridescenceTable(100, 0)) {
    EXPECT_NEAR(e.red, 512.0f, 1e-3f);
    EXPECT_NEAR(e.blue, 512.0f, 1e-3f);
  }
  for (const ColourTriple& e : iridescenceTable(50, 0)) EXPECT_NEAR(e.green, 384.0f, 1e-3f);
  // A thick film colours: the channels part, and all stay within 0..512.
  const IridescenceTable film = iridescenceTable(100, 60);
  float spread = 0.0f;
  for (const ColourTriple& e : film) {
    for (float c : {e.red, e.green, e.blue}) EXPECT_TRUE(c >= 0.0f && c <= 512.0f) << c;
    spread = std::max(spread, std::fabs(e.red - e.blue));
  }
  EXPECT_GT(spread, 50.0f);
}

TEST(SpectralTables, CausticColourTables) {
  static_assert(std::tuple_size_v<CausticColourTable> == 93);
  const CausticColourTable white = causticColourTable(true);
  for (int c : {0, 10, 46, 92}) {
    const float v = static_cast<float>((92 - c) * c) / 18.0f;
    EXPECT_FLOAT_EQ(white[static_cast<size_t>(c)].red, v);
    EXPECT_FLOAT_EQ(white[static_cast<size_t>(c)].blue, v);
  }
  // The rainbow stretches the 81 catchlight colours over 93 entries: entries 23, 46 and 69 land
  // on 480, 580 and 680 nm; entry 1 lies 0.87 of the way from 380 to 385 nm (0 to (7, 0, 15)).
  const CausticColourTable rainbow = causticColourTable(false);
  EXPECT_EQ(rainbow[23], (ColourTriple{0, 160, 183}));
  EXPECT_EQ(rainbow[46], (ColourTriple{176, 172, 0}));
  EXPECT_EQ(rainbow[69], (ColourTriple{105, 0, 0}));
  EXPECT_NEAR(rainbow[1].red, 7.0f * 80.0f / 92.0f, 1e-4f);
  EXPECT_NEAR(rainbow[1].blue, 15.0f * 80.0f / 92.0f, 1e-4f);
  EXPECT_EQ(rainbow[0], (ColourTriple{0, 0, 0}));
  EXPECT_EQ(rainbow[92], (ColourTriple{0, 0, 0}));
}

// ---- Direction kernels.

TEST(DirectionKernels, MatchTheHandWorkedTable) {
  // (angle + 281) mod 360 x 2 / 45 picks quadrant and step; h = whole(gain x 322.56) is 322,
  // 301 or 228.
  EXPECT_EQ(directionKernel(90), (DirectionKernel{0, -644, 0, 644}));     // k 0
  EXPECT_EQ(directionKernel(102), (DirectionKernel{0, -602, 301, 301}));  // k 1
  EXPECT_EQ(directionKernel(150), (DirectionKernel{301, -602, 301, 0}));  // k 3
  EXPECT_EQ(directionKernel(225), (DirectionKernel{456, 0, 0, -456}));    // k 6: light 1
  EXPECT_EQ(directionKernel(170), (DirectionKernel{644, -644, 0, 0}));    // k 4
  EXPECT_EQ(directionKernel(540), directionKernel(180));                  // reduced mod 360
  EXPECT_EQ(directionKernel(-90), (DirectionKernel{644, 0, -644, 0}));    // k 8
  EXPECT_EQ(directionKernel(0), (DirectionKernel{0, 0, -644, 644}));      // k 12
  EXPECT_EQ(directionKernel(45), (DirectionKernel{-456, 0, 0, 456}));     // k 14: light 2
}

TEST(DirectionKernels, FlatGroundIsSilentAndSlopesAnswerTheirDirection) {
  for (int a = 0; a < 360; ++a) {
    const DirectionKernel k = directionKernel(a);
    EXPECT_EQ(k.w00 + k.w10 + k.w01 + k.w11, 0) << a;
    // A plane deepening by 1 per pixel in direction a: heights at the four corners.
    const double c = std::cos(a * M_PI / 180.0), s = std::sin(a * M_PI / 180.0);
    const double response = (k.w10 * c + k.w01 * s + k.w11 * (c + s)) / 256.0;
    EXPECT_GT(response, 2.0) << a;
  }
}

// ---- The plan.

TEST(ShadingPlanSetUp, FactorsOfTheDefaultEffect) {
  ShadingScene scene({0, 0, 100, 200});
  scene.useConstantEnvironment(10, 20, 30);
  const auto p = scene.plan();
  ASSERT_TRUE(p && p->kernel);
  EXPECT_EQ(p->material, ShadingMaterial::lit);
  EXPECT_EQ(p->lightCount, 1);  // light 2 is black
  EXPECT_EQ(p->reflection, ReflectionMode::flat);
  EXPECT_EQ(p->lights[0].angleDeg, 225);
  EXPECT_EQ(p->lights[1].angleDeg, 45);
  EXPECT_EQ(p->lights[0].specularOffset, 119.0f);  // (1 - 0.8) x 600 just below 120
  EXPECT_EQ(p->lights[0].colour[0], 255.0f);
  EXPECT_EQ(p->reflectionWeight, 256.0f);
  EXPECT_EQ(p->diffuseWeight, 0.0f);
  EXPECT_EQ(p->glareRadius, 75.0f);
  EXPECT_FLOAT_EQ(p->spotScale, 250.0f);
  EXPECT_FLOAT_EQ(p->glossPerDivisor, 250.0f / (75.0f * 75.0f));
  EXPECT_FALSE(p->glassy);
  EXPECT_FALSE(p->mirror);
  // Height 60: k = 35, so no offset and gain 8960 / 35 / 256 = 1; span 80, reach 400.
  EXPECT_FLOAT_EQ(p->causticGain, 1.0f);
  EXPECT_FLOAT_EQ(p->causticOffset, 0.0f);
  EXPECT_FLOAT_EQ(p->causticIndexBase, 230.0f);
  EXPECT_FLOAT_EQ(p->causticIndexStep, -0.575f);
}

TEST(ShadingPlanSetUp, GlassAndPartReflection) {
  ShadingScene scene({0, 0, 10, 10});
  scene.useConstantEnvironment(10, 20, 30);
  scene.settings.glassiness = 50;  // Gl 128
  scene.settings.reflection = 50;  // Rw 128, Dw 128
  scene.settings.caustic = 60;
  const auto p = scene.plan();
  EXPECT_EQ(p->glassiness, 128.0f);
  EXPECT_FLOAT_EQ(p->glassDiffuse, 0.5f);
  EXPECT_FLOAT_EQ(p->glareGlass, 128.0f * (256.0f - 64.0f) / 65536.0f);
  EXPECT_FLOAT_EQ(p->causticStrength, 60.0f * 128.0f / 75.0f);
  EXPECT_FLOAT_EQ(p->reflectionBase, 64.0f);       // (256 - 128) x 128 / 256
  EXPECT_FLOAT_EQ(p->reflectionSlopeGain, 0.25f);  // 128/256 x 128/256
  EXPECT_TRUE(p->glassy);
  EXPECT_TRUE(p->mirror);
  EXPECT_FLOAT_EQ(p->mirrorGain, 128.0f * 128.0f / 65536.0f / 128.0f);
}

TEST(ShadingPlanSetUp, WithoutAnEnvironmentTheReflectionWeightLightsTheSurface) {
  ShadingScene scene({0, 0, 10, 10});
  const auto p = scene.plan();
  EXPECT_EQ(p->reflection, ReflectionMode::none);
  EXPECT_EQ(p->reflectionWeight, 0.0f);
  EXPECT_EQ(p->diffuseWeight, 256.0f);
}

TEST(ShadingPlanSetUp, MaterialsOfTheSpecialGlueModes) {
  ShadingScene scene({0, 0, 10, 10});
  const std::pair<int, ShadingMaterial> cases[] = {
      {1, ShadingMaterial::lit},        {11, ShadingMaterial::tarnishMap},
      {12, ShadingMaterial::caustic},   {13, ShadingMaterial::abrasionMap},
      {14, ShadingMaterial::heightMap}, {15, ShadingMaterial::unlit},
      {40, ShadingMaterial::lit}};
  for (const auto& [glue, material] : cases) {
    scene.settings.glue = glue;
    EXPECT_EQ(scene.plan()->material, material) << glue;
  }
  scene.settings.glue = 15;
  scene.settings.colours[light2Color] = {100, 100, 100};
  const auto unlit = scene.plan();
  EXPECT_EQ(unlit->lightCount, 0);
  EXPECT_EQ(unlit->glossStrength, 0.0f);
  EXPECT_EQ(unlit->causticStrength, 0.0f);
  scene.settings.glue = 1;
  EXPECT_EQ(scene.plan()->lightCount, 2);
}

TEST(ShadingPlanSetUp, GoboBandCentresOnTheImage) {
  // Light 1 at 225 degrees: (sx, sy) = (-181, 181); a 200 x 100 image has norm
  // 181 x 100 + 181 x 50 = 27150, so d = 256 - ((100 - X)(-181) + (50 - Y) 181) x 256 / 27150.
  ShadingScene scene({0, 0, 100, 200});
  auto p = scene.plan();
  const LightPlan& l = p->lights[0];
  auto d = [&](float x, float y) { return l.goboOrigin + l.goboStepX * x + l.goboStepY * y; };
  EXPECT_NEAR(d(100, 50), 256.0f, 1e-3f);
  EXPECT_NEAR(d(0, 0), 256.0f + 9050.0f * 256.0f / 27150.0f, 1e-3f);
  // A preview at scale 2 whose region starts at image pixel (10, 20) of the same image.
  ShadingInputs in;
  in.settings = &scene.settings;
  in.heights = scene.heights();
  in.regionWidth = 95;
  in.regionHeight = 40;
  in.previewScale = 2;
  in.offsetX = 10;
  in.offsetY = 20;
  in.imageWidth = 200;
  in.imageHeight = 100;
  p = makeShadingPlan(in);
  const LightPlan& m = p->lights[0];
  EXPECT_NEAR(m.goboOrigin, 256.0f + 10860.0f * 256.0f / 27150.0f, 1e-3f);         // image (10, 20)
  EXPECT_NEAR(m.goboOrigin + m.goboStepX * 45 + m.goboStepY * 15, 256.0f, 1e-3f);  // (100, 50)
}

TEST(ShadingPlanSetUp, CurvatureHeightAndProfileFactors) {
  ShadingScene scene({0, 0, 10, 10});
  scene.settings.tarnish = 80;  // above 50 acts four times: 170
  scene.settings.abrasion = 30;
  scene.settings.blotches = 50;
  scene.minimum = 10.0f;
  scene.maximum = 110.0f;
  ProfileTable t;
  for (int k = 0; k <= kProfileLast; ++k) t.values[static_cast<size_t>(k)] = -static_cast<float>(k);
  scene.profile = t;
  const auto p = scene.plan();
  EXPECT_FLOAT_EQ(p->hollowScale, 170.0f * 256.0f / 50.0f / 290.4f);
  EXPECT_FLOAT_EQ(p->ridgeScale, 30.0f * 256.0f / 50.0f / 290.4f);
  EXPECT_FLOAT_EQ(p->heightTop, 255.0f - 15.5f);
  EXPECT_FLOAT_EQ(p->heightRange, 100.0f + 160.0f);
  EXPECT_FLOAT_EQ(p->blotchDarkening, 200000.0f);
  EXPECT_EQ(p->profileLast, -3000.0f);
  EXPECT_FLOAT_EQ(p->glareFade, 2000.0f);  // |2/3 x -3000|
  scene.profile.reset();
  EXPECT_EQ(scene.plan()->glareFade, 1.0f);
}

TEST(ShadingPlanSetUp, SlidersOutsideTheirRangesReachThePlanLimited) {
  // The plan trusts its settings; a render's inputs are where values are brought into range.
  ShadingScene scene({0, 0, 10, 10});
  EffectSettings wild = scene.settings;
  wild.gloss = 400;
  wild.glassiness = -20;
  wild.light1X = std::nanf("");
  const EffectPictures noPictures;
  RandomGenerator random(1);
  scene.settings = makeRenderInputs(wild, noPictures, random)->settings;
  const auto p = scene.plan();
  EXPECT_EQ(p->glossStrength, 500.0f);
  EXPECT_EQ(p->glassiness, 0.0f);
  EXPECT_TRUE(std::isfinite(p->lights[0].goboOrigin));
}

}  // namespace
}  // namespace orichalcumite
