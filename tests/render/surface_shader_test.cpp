#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "pictures/picture_slots.h"
#include "render/height_field.h"
#include "render/surface_shader.h"
#include "tests/render/shading_test_support.h"

namespace orichalcumite {
namespace {

using testing::ShadingScene;
using testing::wavySurface;

// ---- Per-pixel mathematics against hand-worked values.

TEST(PixelMaths, KernelResponsesAndSlopeOfAPlane) {
  // The plane 3x + 5y at the four corners; the kernel for 90 degrees is (0, -644, 0, 644).
  const QuadHeights h{0.0f, 3.0f, 5.0f, 8.0f};
  const KernelWeights down = kernelWeights(directionKernel(90));
  EXPECT_FLOAT_EQ(kernelResponse(down, h), 644.0f * 5.0f / 256.0f);
  // Moved one place and negated: -(w10 x 0 + w11 x 3 + w00 x 5 + w01 x 8) / 256.
  EXPECT_FLOAT_EQ(rotatedResponse(down, h), -644.0f * 3.0f / 256.0f);
  EXPECT_FLOAT_EQ(surfaceSlope(h), 2.0f * std::sqrt(34.0f));
}

TEST(PixelMaths, SpotAndSquareGloss) {
  // Es 119, radius 75, scale 250: the full spot where the tilt is (Es, Es), half at half the
  // radius, nothing outside the box or beyond the radius.
  auto spot = [](float p, float q) { return spotLevel(p, q, 119.0f, 75.0f, 1.0f / 75.0f, 250.0f); };
  EXPECT_FLOAT_EQ(spot(119.0f, 119.0f), 250.0f);
  EXPECT_FLOAT_EQ(spot(119.0f + 37.5f, 119.0f), 125.0f);
  EXPECT_EQ(spot(119.0f + 80.0f, 119.0f), 0.0f);
  EXPECT_EQ(spot(119.0f + 60.0f, 119.0f + 60.0f), 0.0f);
  EXPECT_EQ(spotLevel(119.0f, 119.0f, 119.0f, 0.0f, 0.0f, 0.0f), 0.0f);  // glare 0
  // The square gloss sits at (-Es, -Es): (75 - 0)(75 - 0) x 250 / (75 x 75), then
  // (75 - 30)(75 - 0) x 250 / 5625.
  const float g = 250.0f / (75.0f * 75.0f);
  EXPECT_FLOAT_EQ(squareGloss(-119.0f, -119.0f, 119.0f, 75.0f, g), 250.0f);
  EXPECT_FLOAT_EQ(squareGloss(-149.0f, -119.0f, 119.0f, 75.0f, g), 150.0f);
  EXPECT_EQ(squareGloss(119.0f, 119.0f, 119.0f, 75.0f, g), 0.0f);
}

TEST(PixelMaths, CausticDiffuseGlareAndGobo) {
  // 255^2 / 64 x Cs / 256 with Cs = 50 x 256 / 75; a steep response leaves nothing.
  EXPECT_NEAR(causticLevel(0.0f, 1.0f, 0.0f, 170.6667f), 1016.0156f * 170.6667f / 256.0f, 1e-2f);
  EXPECT_EQ(causticLevel(300.0f, 1.0f, 0.0f, 170.6667f), 0.0f);
  EXPECT_EQ(causticLevel(-300.0f, 1.0f, 0.0f, 170.6667f), 0.0f);

  EXPECT_FLOAT_EQ(diffuseLevel(256.0f, 1.0f, 1.0f), 256.0f);
  EXPECT_FLOAT_EQ(diffuseLevel(512.0f, 1.0f, 1.0f), 427.0f);  // 256 x 171/256 + 256
  EXPECT_FLOAT_EQ(diffuseLevel(512.0f, 0.5f, 1.0f), 256.0f);
  EXPECT_FLOAT_EQ(diffuseLevel(256.0f, 1.0f, 0.5f), 128.0f);
  EXPECT_EQ(diffuseLevel(-10.0f, 1.0f, 1.0f), 0.0f);

  // gloss x 171/256 - response; faded near the edge depth; compressed above 256.
  EXPECT_FLOAT_EQ(glareLevel(0.0f, 10.0f, 0.0f, 100.0f, 1.0f, 1.0f), -10.0f);
  EXPECT_FLOAT_EQ(glareLevel(300.0f, -10.0f, 0.0f, 100.0f, 1.0f, 1.0f),
                  300.0f * 171.0f / 256.0f + 10.0f);
  EXPECT_FLOAT_EQ(glareLevel(300.0f, -10.0f, 99.75f, 100.0f, 1.0f, 1.0f),
                  (300.0f * 171.0f / 256.0f + 10.0f) * 0.25f);
  EXPECT_NEAR(glareLevel(600.0f, 0.0f, 0.0f, 100.0f, 1.0f, 1.0f),
              (600.0f * 171.0f / 256.0f - 256.0f) * 171.0f / 256.0f + 256.0f, 1e-3f);

  // Gobo 0 (floor 0, gain 1): full light on the centre line, smoothstep to nothing at the
  // band's edge, folded back above 256; gobo 30 keeps 30% everywhere.
  EXPECT_FLOAT_EQ(goboLevel(256.0f, 0.0f, 1.0f), 1.0f);
  EXPECT_FLOAT_EQ(goboLevel(128.0f, 0.0f, 1.0f), 0.5f);
  EXPECT_FLOAT_EQ(goboLevel(384.0f, 0.0f, 1.0f), 0.5f);
  EXPECT_EQ(goboLevel(0.0f, 0.0f, 1.0f), 0.0f);
  EXPECT_EQ(goboLevel(600.0f, 0.0f, 1.0f), 0.0f);
  EXPECT_EQ(goboLevel(std::nanf(""), 0.0f, 1.0f), 0.0f);
  EXPECT_FLOAT_EQ(goboLevel(128.0f, 0.3f, 0.7f), 0.65f);
  EXPECT_FLOAT_EQ(goboLevel(-50.0f, 1.0f, 0.0f), 1.0f);
}

TEST(PixelMaths, ReflectionCoordinateTableStaysWithinItsTolerance) {
  const ReflectionCoordinateTable& table = reflectionCoordinateTable();
  double worst = 0.0;
  for (double dh = -300.0; dh <= 300.0; dh += 0.0137) {
    const double exact = std::clamp(0.5 + 0.5 * std::atan(0.010782459 * dh), 0.0, 1.0);
    worst =
        std::max(worst, std::fabs(static_cast<double>(table.at(static_cast<float>(dh))) - exact));
  }
  EXPECT_LT(worst, 1e-6);
  EXPECT_EQ(table.at(0.0f), 0.5f);
  EXPECT_NEAR(table.at(1e9f), 1.0f, 1e-6f);
  EXPECT_NEAR(table.at(-1e9f), 0.0f, 1e-6f);
  EXPECT_EQ(reflectionCoordinate(-1000.0f), 0.0f);
  EXPECT_TRUE(std::isfinite(table.at(std::nanf(""))));
}

// The sphere placement step by step: azimuth from atan and its quadrant cases, polar angle,
// direction on the sphere, then the picture point.
EnvironmentPoint sphereByTheSteps(double dx, double dy) {
  const double pi = 3.141592653;
  const double a = dx * 0.01, b = dy * 0.01;
  double phi;
  if (b == 0.0)
    phi = a <= 0.0 ? pi / 2 : 3 * pi / 2;
  else if (b >= 0.0)
    phi = std::atan(a / b) + pi;
  else if (a >= 0.0)
    phi = std::atan(a / b) + 2 * pi;
  else
    phi = std::atan(a / b);
  const double s = phi / 6.283185307;
  const double t = 2.0 * std::atan(std::sqrt(a * a + b * b)) / pi;
  const double y = std::sin((t - 0.5) * -pi);
  const double r = std::sqrt(std::max(0.0, 1.0 - y * y));
  const double theta = (s - 0.5) * 2.0 * pi;
  const double x = std::sin(theta) * r, z = std::cos(theta) * r;
  const double e = 1.0 / std::sqrt((y + 1.0) * 2.0);
  return {static_cast<float>(1.0 - (-x * e * 0.5 + 0.5)),
          static_cast<float>(1.0 - (-z * e * 0.5 + 0.5))};
}

TEST(PixelMaths, SpherePlacementAgreesWithTheStepByStepMapping) {
  const EnvironmentPoint flat = spherePoint(0.0f, 0.0f);
  EXPECT_EQ(flat.u, 0.5f);
  EXPECT_EQ(flat.v, 0.5f);
  for (float dx : {-300.0f, -40.0f, 0.0f, 25.0f, 180.0f, 900.0f})
    for (float dy : {-250.0f, -10.0f, 0.0f, 60.0f, 400.0f}) {
      if (dx == 0.0f && dy == 0.0f) continue;
      const EnvironmentPoint fast = spherePoint(dx, dy);
      const EnvironmentPoint slow =
          sphereByTheSteps(static_cast<double>(dx), static_cast<double>(dy));
      EXPECT_NEAR(fast.u, slow.u, 2e-6f) << dx << " " << dy;
      EXPECT_NEAR(fast.v, slow.v, 2e-6f) << dx << " " << dy;
    }
}

TEST(PixelMaths, SpinTurnsPointsAboutTheCentre) {
  const EnvironmentRotation quarter = environmentRotation(1);
  const auto c = static_cast<float>(quarter.cosTheta), s = static_cast<float>(quarter.sinTheta);
  // A quarter turn of -pi/2 takes the right of the centre to above it.
  const EnvironmentPoint turned = spunPoint({0.75f, 0.5f}, c, s);
  EXPECT_NEAR(turned.u, 0.5f, 1e-6f);
  EXPECT_NEAR(turned.v, 0.25f, 1e-6f);
  const EnvironmentPoint centre = spunPoint({0.5f, 0.5f}, c, s);
  EXPECT_EQ(centre.u, 0.5f);
  EXPECT_EQ(centre.v, 0.5f);
  EnvironmentPoint p{0.9f, 0.3f};
  for (int i = 0; i < 4; ++i) p = spunPoint(p, c, s);
  EXPECT_NEAR(p.u, 0.9f, 1e-6f);
  EXPECT_NEAR(p.v, 0.3f, 1e-6f);
}

TEST(PixelMaths, TableLookUpsBySlope) {
  IridescenceTable iri{};
  for (int i = 0; i < kIridescenceEntries; ++i)
    iri[static_cast<size_t>(i)] = {static_cast<float>(i), 0, 0};
  EXPECT_FLOAT_EQ(iridescenceAt(iri, 20.0f).red, 2.5f);  // slope / 8, interpolated
  EXPECT_FLOAT_EQ(iridescenceAt(iri, 5000.0f).red, 89.0f);
  EXPECT_FLOAT_EQ(iridescenceAt(iri, -3.0f).red, 0.0f);
  CausticColourTable caustic{};
  for (int i = 0; i < kCausticColourEntries; ++i)
    caustic[static_cast<size_t>(i)] = {static_cast<float>(i), 0, 0};
  EXPECT_EQ(causticColourAt(caustic, 0.0f, 61.33f, -1.0f).red, 61.0f);  // whole part
  EXPECT_EQ(causticColourAt(caustic, 100.0f, 61.33f, -1.0f).red, 0.0f);
  EXPECT_EQ(causticColourAt(caustic, 0.0f, 230.0f, -1.0f).red, 92.0f);
}

// ---- Curvature for tarnish and abrasion.

TEST(Curvature, MatchesTheWindowSumAndIsZeroOnFlatGround) {
  ShadingScene scene({0, 0, 12, 20});
  scene.setHeights(wavySurface(7, 300.0f));
  const HeightView h = scene.heights();
  std::vector<float> sums(20 + 6), out(20);
  for (int32_t y = 0; y < 12; y += 5) {
    curvatureRow(h, y, 0, 20, sums.data(), out.data());
    for (int32_t x = 0; x < 20; ++x) {
      double j = 0.0, weights = 0.0;
      for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) {
          if (dx == 0 && dy == 0) continue;
          const double w = std::exp(-0.3 * (dx * dx + dy * dy));
          j += w * static_cast<double>(h.at(x + dx, y + dy));
          weights += w;
        }
      j -= weights * static_cast<double>(h.at(x, y));
      EXPECT_NEAR(out[static_cast<size_t>(x)], j, 2e-3 * std::max(1.0, std::fabs(j)))
          << x << "," << y;
    }
  }
  scene.setHeights([](int32_t, int32_t) { return 123456.0f; });
  curvatureRow(scene.heights(), 4, 0, 20, sums.data(), out.data());
  for (float j : out) EXPECT_EQ(j, 0.0f);
}

// ---- Band kernels.

TEST(SurfaceShader, FlatGroundGivesThePlainLitSource) {
  ShadingScene scene({0, 0, 3, 4});  // no environment: no reflection, full diffuse weight
  for (Rgba& s : scene.source) s = {0.6f, 0.3f, 0.9f, 1.0f};
  // Whole 0..255 source (153, 76, 229) x level 256 x light 255 / 65536.
  for (const Rgba& m : scene.shade()) {
    EXPECT_NEAR(m.red, 153.0f * 255.0f / 256.0f / 255.0f, 1e-6f);
    EXPECT_NEAR(m.green, 76.0f * 255.0f / 256.0f / 255.0f, 1e-6f);
    EXPECT_NEAR(m.blue, 229.0f * 255.0f / 256.0f / 255.0f, 1e-6f);
    EXPECT_EQ(m.alpha, 1.0f);
  }
  // A coloured light (200, 100, 50) and a second white one add up per channel.
  scene.settings.colours[light1Color] = {200 * 256, 100 * 256, 50 * 256};
  scene.settings.colours[light2Color] = {255 * 256, 255 * 256, 255 * 256};
  const Rgba m = scene.shade()[5];
  EXPECT_EQ(m.red, 1.0f);  // 153 x 455 / 256 is past white
  EXPECT_NEAR(m.green, 76.0f * (100.0f + 255.0f) / 256.0f / 255.0f, 1e-6f);
}

TEST(SurfaceShader, FlatGroundReflectsTheEnvironmentCentre) {
  ShadingScene scene({0, 0, 4, 5});
  scene.useGradientEnvironment();
  const Rgba centre = scene.environment()->sample(0, 0.0f, 0.5f, 0.5f);
  for (const Rgba& m : scene.shade()) {  // reflection 100: Dw 0, W 256
    EXPECT_NEAR(m.red, centre.red * 256.0f / 255.0f, 1e-3f);
    EXPECT_NEAR(m.green, centre.green * 256.0f / 255.0f, 1e-3f);
    EXPECT_NEAR(m.blue, centre.blue * 256.0f / 255.0f, 1e-3f);
  }
  // Reflection 50: Rw = Dw = 128; the source (51 in every channel) at half the diffuse light
  // plus half the reflection.
  scene.settings.reflection = 50;
  for (Rgba& s : scene.source) s = {0.2f, 0.2f, 0.2f, 1.0f};
  const Rgba m = scene.shade()[7];
  EXPECT_NEAR(m.red, (51.0f * 128.0f * 255.0f / 65536.0f + centre.red * 128.0f) / 255.0f, 1e-3f);
  // Iridescence 100 with a film of no thickness doubles the whole.
  scene.settings.iridescence = 100;
  EXPECT_NEAR(scene.shade()[7].red, 2.0f * m.red, 1e-4f);
}

TEST(SurfaceShader, UnlitIsTheSourceAtTheDiffuseWeightPlusReflection) {
  ShadingScene scene({0, 0, 10, 30});
  scene.setHeights(wavySurface(3, 200.0f));  // no light, so the relief does not matter
  scene.useConstantEnvironment(200, 100, 50);
  scene.settings.glue = kUnlitGlueMode;
  scene.settings.reflection = 40;                             // Rw 102, Dw 154, W 102
  for (Rgba& s : scene.source) s = {1.0f, 0.5f, 0.0f, 1.0f};  // whole 255, 127, 0
  for (const Rgba& m : scene.shade()) {
    EXPECT_NEAR(m.red, (255.0f * 154.0f / 256.0f + 200.0f / 255.0f * 102.0f) / 255.0f, 1e-4f);
    EXPECT_NEAR(m.green, (127.0f * 154.0f / 256.0f + 100.0f / 255.0f * 102.0f) / 255.0f, 1e-4f);
    EXPECT_NEAR(m.blue, (50.0f / 255.0f * 102.0f) / 255.0f, 1e-4f);
  }
}

TEST(SurfaceShader, UnlitTakesNeitherTheFilmTintNorTheGlass) {
  // The unlit material is the source at the diffuse weight plus the reflection, whatever the
  // iridescence film and the glassiness: no light passes through the film or the glass.
  ShadingScene scene({0, 0, 10, 30});
  scene.setHeights(wavySurface(5, 200.0f));  // slopes, so that every film angle shows
  scene.settings.glue = kUnlitGlueMode;
  for (Rgba& s : scene.source) s = {1.0f, 0.5f, 0.0f, 1.0f};  // whole 255, 127, 0
  struct Case {
    int iridescence, iriColors, glassiness, reflection;
  };
  for (const Case& c :
       {Case{100, 0, 0, 0}, Case{100, 60, 0, 0}, Case{70, 35, 80, 0}, Case{100, 60, 0, 40}}) {
    scene.settings.iridescence = c.iridescence;
    scene.settings.iriColors = c.iriColors;
    scene.settings.glassiness = c.glassiness;
    scene.settings.reflection = c.reflection;
    // Rw = reflection x 256 / 100 (whole), Dw = 256 - Rw; without glass W = Rw.
    const float rw = static_cast<float>(c.reflection * 256 / 100);
    const float dw = 256.0f - rw;
    if (c.reflection > 0) scene.useConstantEnvironment(200, 100, 50);
    for (const Rgba& m : scene.shade()) {
      ASSERT_NEAR(m.red, (255.0f * dw / 256.0f + 200.0f / 255.0f * rw) / 255.0f, 1e-4f)
          << c.iridescence << " " << c.iriColors << " " << c.glassiness;
      ASSERT_NEAR(m.green, (127.0f * dw / 256.0f + 100.0f / 255.0f * rw) / 255.0f, 1e-4f);
      ASSERT_NEAR(m.blue, (50.0f / 255.0f * rw) / 255.0f, 1e-4f);
    }
  }
}

TEST(SurfaceShader, HeightMaterialIsGreyBetweenTheExtremes) {
  ShadingScene scene({0, 0, 1, 3});
  scene.settings.glue = kHeightGlueMode;
  scene.setHeights([](int32_t x, int32_t) { return 5000.0f * static_cast<float>(x); });
  scene.minimum = 0.0f;
  scene.maximum = 10000.0f;
  std::vector<Rgba> m = scene.shade();
  EXPECT_FLOAT_EQ(m[0].green, 1.0f);  // highest ground white
  EXPECT_NEAR(m[1].green, 0.5f, 1e-6f);
  EXPECT_EQ(m[2].green, 0.0f);  // deepest black
  // Blotches 50: G0 = 255 - 15.5, the range grows by 160 and 50 x 4000 darkens; the lichen
  // itself can only lighten that (its relief is checked with the weathering layers).
  scene.settings.blotches = 50;
  m = scene.shade();
  EXPECT_GE(m[0].red, (239.5f - 200000.0f / 10160.0f) / 255.0f - 1e-5f);
  EXPECT_GE(m[1].red, (239.5f - (5000.0f * 239.5f + 200000.0f) / 10160.0f) / 255.0f - 1e-5f);
}

TEST(SurfaceShader, TarnishAndAbrasionShowTheirSideOfTheCurvature) {
  // A paraboloid -4 (dx^2 + dy^2) about every pixel has the same curvature:
  // -4 x 2 x sum g(d) d^2 x sum g(d) = -131.34, with g(d) = exp(-0.3 d^2), d = -3..3.
  ShadingScene scene({0, 0, 4, 4});
  scene.setHeights([](int32_t x, int32_t y) { return -4.0f * static_cast<float>(x * x + y * y); });
  scene.settings.tarnish = 50;  // scale 50 x 256 / 50 / 290.4
  scene.settings.abrasion = 50;
  const float tarnish = 131.34f * (256.0f / 290.4f);
  scene.settings.glue = kTarnishGlueMode;
  for (const Rgba& m : scene.shade()) EXPECT_NEAR(m.green, tarnish / 255.0f, 1e-3f);
  scene.settings.glue = kAbrasionGlueMode;
  for (const Rgba& m : scene.shade()) EXPECT_EQ(m.green, 0.0f);
  // A ridge is the other way round; without tarnish the tarnish map is black.
  scene.setHeights([](int32_t x, int32_t y) { return 4.0f * static_cast<float>(x * x + y * y); });
  for (const Rgba& m : scene.shade()) EXPECT_NEAR(m.green, tarnish / 255.0f, 1e-3f);
  scene.settings.glue = kTarnishGlueMode;
  for (const Rgba& m : scene.shade()) EXPECT_EQ(m.green, 0.0f);
  scene.settings.tarnish = 0;
  scene.setHeights([](int32_t x, int32_t y) { return -4.0f * static_cast<float>(x * x + y * y); });
  for (const Rgba& m : scene.shade()) EXPECT_EQ(m.green, 0.0f);
}

TEST(SurfaceShader, CausticMaterialKeepsOnlyTheCatchlights) {
  ShadingScene scene({0, 0, 2, 2});
  for (Rgba& s : scene.source) s = {1.0f, 1.0f, 1.0f, 1.0f};
  scene.settings.glue = kCausticGlueMode;
  scene.settings.height = 5;
  scene.settings.whiteCaustic = 1;
  for (const Rgba& m : scene.shade()) EXPECT_EQ(m.red, 0.0f);  // no glass, no catchlight
  // Glassiness 100: Cs = 50 x 256 / 75; k = 5: offset 30^2 x 255 / 1225, so flat ground has
  // c = 67.653 and a catchlight of c^2 / 64 x Cs / 256 = 47.676. Span 25, reach 33.33: colour
  // entry whole((0.5 + 8.333 x 0.5 / 25) x 92) = 61, white (92 - 61) x 61 / 18 = 105.06.
  scene.settings.glassiness = 100;
  const float expected = 47.676f * (105.0556f / 256.0f) * 255.0f * 255.0f / 65536.0f / 255.0f;
  for (const Rgba& m : scene.shade()) EXPECT_NEAR(m.blue, expected, 1e-4f);
}

// The lit material pixel by pixel, straight from the definitions: every height read from the
// field, the reflection coordinates by atan, the lights summed in the order they are described.
std::vector<Rgba> litByThePixel(ShadingScene& scene) {
  const auto plan = scene.plan();
  const ShadingPlan& p = *plan;
  const HeightView h = scene.heights();
  const Rect32& r = scene.region();
  std::vector<Rgba> out(scene.source.size());
  for (int32_t y = 0; y < r.height(); ++y)
    for (int32_t x = 0; x < r.width(); ++x) {
      const QuadHeights q{h.at(x, y), h.at(x + 1, y), h.at(x, y + 1), h.at(x + 1, y + 1)};
      const Rgba s = scene.sourceAt(x, y);
      const float src[3] = {std::floor(s.red * 255.0f), std::floor(s.green * 255.0f),
                            std::floor(s.blue * 255.0f)};
      const float slope = surfaceSlope(q);
      const ColourTriple iri = iridescenceAt(p.iridescence, slope);
      const ColourTriple cc =
          causticColourAt(p.causticColours, slope, p.causticIndexBase, p.causticIndexStep);
      float c[3] = {0, 0, 0};
      for (int k = 0; k < p.lightCount; ++k) {
        const LightPlan& l = p.lights[static_cast<size_t>(k)];
        const float pass =
            goboLevel(l.goboOrigin + l.goboStepX * x + l.goboStepY * y, l.goboFloor, l.goboGain);
        const float sd = kernelResponse(l.diffuse, q);
        const float sp = kernelResponse(l.specular, q), sq = rotatedResponse(l.specular, q);
        const float spot =
            spotLevel(sp, sq, l.specularOffset, p.glareRadius, p.inverseGlareRadius, p.spotScale);
        const float lit = diffuseLevel(sd + 256.0f, p.glassDiffuse, p.diffuseWeight / 256.0f);
        const float gloss = squareGloss(sp, sq, l.specularOffset, p.glareRadius, p.glossPerDivisor);
        const float glare =
            wholePart(glareLevel(gloss, sd, q.h00, p.profileLast, p.glareFade, p.inverseGlareFade) *
                      p.glareGlass);
        const float catchlight = causticLevel(kernelResponse(l.caustic, q), p.causticGain,
                                              p.causticOffset, p.causticStrength);
        const float tint[3] = {cc.red, cc.green, cc.blue};
        const float tints[3] = {iri.red, iri.green, iri.blue};
        for (int ch = 0; ch < 3; ++ch) {
          const float light = l.colour[ch] * pass;
          c[ch] += tints[ch] / 256.0f * (spot * light / 256.0f + src[ch] * lit * light / 65536.0f);
          c[ch] += (glare + catchlight * tint[ch] / 256.0f) * src[ch] * light / 65536.0f;
        }
      }
      if (p.reflection != ReflectionMode::none) {
        EnvironmentPoint a, b, cp;
        if (p.reflection == ReflectionMode::flat) {
          a = {reflectionCoordinate(h.at(x, y + 1) - h.at(x - 1, y + 1)),
               reflectionCoordinate(h.at(x, y + 1) - h.at(x, y))};
          b = {reflectionCoordinate(h.at(x + 1, y) - h.at(x, y)),
               reflectionCoordinate(h.at(x + 1, y) - h.at(x + 1, y - 1))};
          cp = {reflectionCoordinate(h.at(x + 1, y + 1) - h.at(x, y + 1)),
                reflectionCoordinate(h.at(x + 1, y + 1) - h.at(x + 1, y))};
        } else {
          const float pu = 230.0f * ((x + 0.5f) / static_cast<float>(r.width()) - 0.5f);
          const float pv = 230.0f * ((y + 0.5f) / static_cast<float>(r.height()) - 0.5f);
          a = spherePoint(pu + h.at(x, y + 1) - h.at(x - 1, y + 1),
                          pv + h.at(x, y + 1) - h.at(x, y));
          b = spherePoint(pu + h.at(x + 1, y) - h.at(x, y),
                          pv + h.at(x + 1, y) - h.at(x + 1, y - 1));
          cp = spherePoint(pu + h.at(x + 1, y + 1) - h.at(x, y + 1),
                           pv + h.at(x + 1, y + 1) - h.at(x + 1, y));
        }
        a = spunPoint(a, p.spinCos, p.spinSin);
        b = spunPoint(b, p.spinCos, p.spinSin);
        cp = spunPoint(cp, p.spinCos, p.spinSin);
        const EnvironmentFootprint f = p.environment->footprint(a, b, cp);
        const Rgba e = p.environment->sample(f);
        const Rgba e2 = p.environment->sampleAt(1.0f - cp.u, 1.0f - cp.v, f.level, f.levelFraction);
        const float w = reflectionStrength(slope, p.reflectionBase, p.reflectionSlopeGain);
        const float env[3] = {e.red, e.green, e.blue}, mirror[3] = {e2.red, e2.green, e2.blue};
        const float tints[3] = {iri.red, iri.green, iri.blue};
        for (int ch = 0; ch < 3; ++ch) {
          c[ch] += tints[ch] / 256.0f * env[ch] * w;
          if (p.mirror) c[ch] += mirror[ch] * src[ch] * p.mirrorGain * w;
        }
      }
      auto limit = [](float v) { return std::clamp(v, 0.0f, 255.0f) / 255.0f; };
      out[scene.index(x, y)] = {limit(c[0]), limit(c[1]), limit(c[2]), 1.0f};
    }
  return out;
}

void expectSameMaterial(const std::vector<Rgba>& a, const std::vector<Rgba>& b, float tolerance) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_NEAR(a[i].red, b[i].red, tolerance) << i;
    ASSERT_NEAR(a[i].green, b[i].green, tolerance) << i;
    ASSERT_NEAR(a[i].blue, b[i].blue, tolerance) << i;
    ASSERT_EQ(a[i].alpha, b[i].alpha) << i;
  }
}

TEST(SurfaceShader, BandKernelsMatchAPixelByPixelReference) {
  // Wider than two chunks and not starting at the image's left, so that chunk seams, the
  // coordinates shared between pixels and rows, and the region offset are all crossed.
  ShadingScene scene({5, 7, 5 + 11, 7 + 300});
  scene.setHeights(wavySurface(11, 260.0f));
  std::mt19937 random(5);
  std::uniform_real_distribution<float> channel(0.0f, 1.0f);
  for (Rgba& s : scene.source) s = {channel(random), channel(random), channel(random), 1.0f};
  scene.useGradientEnvironment();
  EffectSettings& s = scene.settings;
  s.colours[light2Color] = {40000, 30000, 20000};
  s.gobo1 = 30;
  s.gobo2 = 0;
  s.iridescence = 80;
  s.iriColors = 35;
  for (int glassiness : {0, 60})
    for (int reflection : {0, 55, 100})
      for (int spherical : {0, 1}) {
        s.glassiness = glassiness;
        s.reflection = reflection;
        s.sphericalEnvironment = spherical;
        s.environmentSpin = spherical ? 3 : 1;
        SCOPED_TRACE(::testing::Message() << glassiness << " " << reflection << " " << spherical);
        expectSameMaterial(scene.shade(), litByThePixel(scene), 2e-4f);
      }
}

TEST(SurfaceShader, BandsOfAnyHeightGiveTheSameImage) {
  ShadingScene scene({0, 0, 40, 150});
  scene.setHeights(wavySurface(2, 400.0f));
  scene.useGradientEnvironment();
  scene.settings.glassiness = 30;
  scene.settings.reflection = 70;
  const std::vector<Rgba> whole = scene.shade(64);
  for (int32_t rows : {1, 7, 32}) expectSameMaterial(scene.shade(rows), whole, 0.0f);
}

TEST(SurfaceShader, ExtremeSettingsStayFiniteAndInRange) {
  ShadingScene scene({0, 0, 24, 140});
  std::mt19937 random(9);
  std::uniform_real_distribution<float> rough(-1.0f, 1.0f);
  const auto wave = wavySurface(4, 30000.0f);
  scene.setHeights([&](int32_t x, int32_t y) { return wave(x, y) + 500.0f * rough(random); });
  scene.useGradientEnvironment();
  scene.minimum = -40000.0f;
  scene.maximum = 40000.0f;
  for (Rgba& s : scene.source) s = {3.0f, -1.0f, std::nanf(""), 1.0f};
  EffectSettings& s = scene.settings;
  s.colours[light2Color] = {65535, 65535, 65535};
  for (int glue : {1, 11, 12, 13, 14, 15})
    for (int height : {-100, 0, 100})
      for (int variant = 0; variant < 4; ++variant) {
        s.glue = glue;
        s.height = height;
        s.gloss = s.glare = s.caustic = s.glassiness = s.iridescence = s.iriColors =
            variant % 2 ? 100 : 0;
        s.reflection = variant < 2 ? 100 : 30;
        s.tarnish = s.abrasion = s.blotches = 100;
        s.gobo1 = s.gobo2 = variant * 33;
        s.light1Z = variant < 2 ? 1.0f : 0.0f;
        s.light2Z = variant < 2 ? 0.0f : 1.0f;
        s.light1X = variant == 3 ? 0.0f : -0.5f;
        s.light1Y = 0.0f;
        s.sphericalEnvironment = variant % 2;
        s.environmentSpin = variant;
        for (const Rgba& m : scene.shade()) {
          for (float c : {m.red, m.green, m.blue})
            ASSERT_TRUE(std::isfinite(c) && c >= 0.0f && c <= 1.0f)
                << glue << " " << height << " " << variant;
          ASSERT_EQ(m.alpha, 1.0f);
        }
      }
}

}  // namespace
}  // namespace orichalcumite
