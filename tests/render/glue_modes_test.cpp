#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "render/detail/lab_space.h"
#include "render/glue_modes.h"

namespace orichalcumite {
namespace {

constexpr float kStep = 1.0f / 32768.0f;  // one fixed-point step

Rgba grey(float v, float alpha = 1.0f) { return {v, v, v, alpha}; }

void expectColour(const Rgba& c, const Rgba& want, float tolerance, const std::string& what) {
  EXPECT_NEAR(c.red, want.red, tolerance) << what;
  EXPECT_NEAR(c.green, want.green, tolerance) << what;
  EXPECT_NEAR(c.blue, want.blue, tolerance) << what;
  EXPECT_NEAR(c.alpha, want.alpha, tolerance) << what;
}

bool sameBits(const Rgba& a, const Rgba& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha;
}

// Channel values on a 1/16 grid (exact in fixed point) plus a few awkward ones.
std::vector<float> channelGrid() {
  std::vector<float> v;
  for (int i = 0; i <= 16; ++i) v.push_back(float(i) / 16.0f);
  for (float x : {kStep, 0.5f - kStep, 0.5f + kStep, 1.0f - kStep, 0.3f, 0.7071f}) v.push_back(x);
  return v;
}

// Material colours for whole-pixel checks: greys, primaries, mixed colours, above white.
std::vector<Rgba> colourSamples() {
  return {grey(0.0f),
          grey(0.5f),
          grey(1.0f),
          {1, 0, 0, 1},
          {0, 1, 0, 0.5f},
          {0, 0, 1, 1},
          {0.9f, 0.6f, 0.1f, 1},
          {0.2f, 0.35f, 0.8f, 0.75f},
          {0.55f, 0.5f, 0.45f, 1},
          {1.5f, 0.56f, 0.56f, 1},
          {2.0f, 0.0f, 0.0f, 1},
          grey(1.2f)};
}

TEST(GlueModeNames, ComeFromTheModeTableAndAreEmptyOutsideIt) {
  EXPECT_EQ(modeName(1), "normal");
  EXPECT_EQ(modeName(19), "exclusion");
  EXPECT_EQ(modeName(31), "hard diff");
  EXPECT_EQ(modeName(67), "screendim");
  EXPECT_EQ(modeName(74), "contrast negate");
  for (int mode : {0, -1, 75, 1000, INT_MIN, INT_MAX}) EXPECT_EQ(modeName(mode), "") << mode;
  for (int mode = 1; mode <= 74; ++mode) EXPECT_FALSE(modeName(mode).empty()) << mode;
}

TEST(GluePassThrough, NormalTheMaterialModesAndUnknownNumbersReturnTheMaterial) {
  const Rgba source{0.3f, 0.6f, 0.9f, 1.0f};
  for (int mode : {1, 11, 12, 13, 14, 15, 0, -5, 75, 1000, INT_MIN, INT_MAX}) {
    for (const Rgba& m : colourSamples()) {
      EXPECT_TRUE(sameBits(glue(m, source, mode), m)) << "mode " << mode;
      Rgba material = m, out{};
      glueRowKernel(mode)(&material, &source, &out, 1);
      EXPECT_TRUE(sameBits(out, m)) << "row kernel of mode " << mode;
    }
  }
}

TEST(GlueIdentities, DifferenceAndExclusionAgreeEverywhere) {
  const std::vector<float> grid = channelGrid();
  for (float m : grid)
    for (float s : grid)
      ASSERT_TRUE(sameBits(glue(grey(m), grey(s), 4), glue(grey(m), grey(s), 19)));
  for (const Rgba& m : colourSamples())
    for (const Rgba& s : colourSamples()) ASSERT_TRUE(sameBits(glue(m, s, 4), glue(m, s, 19)));
}

// Channel modes against what they mean, written in plain floats. Fixed point truncates at
// every shift, so results may sit a few steps below the exact value.
struct ChannelMeaning {
  int mode;
  std::function<float(float m, float s)> value;
};

TEST(GlueArithmetic, ChannelModesMatchTheirMeaningInFloats) {
  const std::vector<ChannelMeaning> meanings = {
      {3, [](float m, float s) { return std::min(1.0f, m + m * s); }},
      {4, [](float m, float s) { return m + s - 2 * m * s; }},
      {5, [](float m, float s) { return std::max(m, s); }},
      {6, [](float m, float s) { return std::min(m, s); }},
      {7, [](float m, float s) { return std::min(1.0f, m + s); }},
      {8, [](float m, float s) { return std::max(0.0f, m - s); }},
      {9, [](float m, float s) { return m * s; }},
      {10, [](float m, float s) { return 1 - (1 - m) * (1 - s); }},
      {16, [](float m, float s) { return m < 0.5f ? 2 * m * s : 1 - 2 * (1 - m) * (1 - s); }},
      {17, [](float m, float s) { return s < 0.5f ? 2 * m * s : 1 - 2 * (1 - m) * (1 - s); }},
      {22, [](float m, float s) { return std::clamp(2 * m + s - 1, 0.0f, 1.0f); }},
      {23, [](float m, float s) { return m < 0.5f ? std::min(s, 2 * m) : std::max(s, 2 * m - 1); }},
      {24, [](float m, float s) { return s < 0.5f ? std::min(m, 2 * s) : std::max(m, 2 * s - 1); }},
      {26, [](float m, float s) { return std::clamp(2 * m - s, 0.0f, 1.0f); }},
      {29, [](float m, float s) { return 1 - std::abs(m + s - 1); }},
      {31, [](float m, float s) { return std::abs(m - s); }},
      {37, [](float m, float s) { return (1 - m) * s + m * m; }},
      {38, [](float m, float s) { return s * (1 + m - s); }},
      {39, [](float m, float s) { return m * (1 - m + s); }},
      {40, [](float m, float s) { return (1 - s) * m + s * s; }},
      {44, [](float m, float s) { return (2 - m * s) * m * s; }},
      {67, [](float m, float s) { return std::pow(1 - (1 - m) * (1 - s), 2.0f); }},
      {73, [](float m, float s) { return m + s <= 1 ? m + s : 2 - m - s; }},
      {74, [](float m, float s) { return s > 0.5f ? std::min(m, 1 - m) : std::max(m, 1 - m); }},
      // The float modes take the channels as they come.
      {63, [](float m, float s) { return s < m ? s / (2 * m) : (s > 0 ? 1 - m / (2 * s) : 1.0f); }},
      {69, [](float m, float s) { return s < 1 ? std::min(1.0f, m * m / (1 - s)) : 1.0f; }},
      {70, [](float m, float s) { return m < 1 ? std::min(1.0f, s * s / (1 - m)) : 1.0f; }},
  };
  const std::vector<float> grid = channelGrid();
  for (const ChannelMeaning& c : meanings) {
    for (float m : grid) {
      for (float s : grid) {
        const Rgba out = glue({m, m, m, 0.25f}, grey(s), c.mode);
        ASSERT_NEAR(out.green, c.value(m, s), 4 * kStep)
            << modeName(c.mode) << " m " << m << " s " << s;
        ASSERT_EQ(out.alpha, 0.25f) << modeName(c.mode);
      }
    }
  }
}

TEST(GlueArithmetic, HandComputedValues) {
  auto g = [](float m, float s, int mode) { return glue(grey(m), grey(s), mode).red; };
  // Procedural +: the material counts for nothing at black and white, half at mid grey.
  EXPECT_EQ(g(1.0f, 0.0f, 2), 0.0f);
  EXPECT_EQ(g(0.0f, 1.0f, 2), 1.0f);
  EXPECT_EQ(g(1.0f, 0.5f, 2), 0.75f);
  // Superlay: (0.5, 0.5) takes the second branch: x = 24576, y = 8192, Y = 2048,
  // (30720 × 14336) >> 14 = 26880.
  EXPECT_EQ(g(0.5f, 0.5f, 18), 26880 * kStep);
  EXPECT_EQ(g(0.0f, 0.7f, 18), 0.0f);
  EXPECT_EQ(g(1.0f, 1.0f, 18), 1.0f);
  // Vivid a: light 128 over base 128 gives 128 × 256 / 255 = 128 → (64 | 16384).
  EXPECT_EQ(g(0.5f, 0.5f, 25), 16448 * kStep);
  // Light 64 (m = 0.25) burns base 192: (49152 − 65280) / 129 + 255 = 130 → 65 | 16640.
  EXPECT_EQ(g(0.25f, 0.75f, 25), 16705 * kStep);
  EXPECT_EQ(g(1.0f, kStep, 25), 0.0f);  // base byte 0 stays black under a white light
  EXPECT_EQ(g(1.0f, 0.1f, 25), 1.0f);
  EXPECT_EQ(g(0.0f, 0.5f, 25), 0.0f);
  // Cross: distance from mid grey squared, ONE at the ends.
  EXPECT_EQ(g(0.25f, 0.5f, 30), 0.75f);
  EXPECT_EQ(g(0.0f, 1.0f, 30), 1.0f);
  EXPECT_EQ(g(0.0f, 0.5f, 30), 0.0f);
  // Soft light, dark material: s² at black, (s + s²) / 2 at a quarter.
  EXPECT_EQ(g(0.0f, 0.5f, 32), 0.25f);
  EXPECT_EQ(g(0.25f, 0.5f, 32), 0.375f);
  // Bright material in 8-bit steps: M = 256, c = 127, r = 255 − ((126·63 + 2·127) >> 7) = 191.
  EXPECT_EQ(g(1.0f, 0.5f, 32), 191.0f * 128.0f * kStep);
  EXPECT_EQ(g(0.5f, 0.0f, 32), 0.0f);
  // Glow and shimmer at s = 0.5: m² / 0.5 capped at 1, and m² bent above one half.
  EXPECT_EQ(g(0.5f, 0.5f, 69), 0.5f);
  EXPECT_EQ(g(0.5f, 0.5f, 71), 0.25f);
  EXPECT_EQ(g(1.0f, 0.5f, 71), 0.75f);  // x = 1: 1 − 0.25
  EXPECT_EQ(g(0.5f, 1.0f, 72), 0.75f);  // lustre mirrors shimmer
}

TEST(GlueBoundaries, DodgeBurnHardMixAndBitwiseModes) {
  for (float s : channelGrid()) EXPECT_EQ(glue(grey(1.0f), grey(s), 35).red, 1.0f) << s;
  EXPECT_EQ(glue(grey(0.0f), grey(0.5f), 36).red, 0.0f);
  EXPECT_EQ(glue(grey(0.5f), grey(0.5f), 57).red, 0.0f);  // exactly ONE
  EXPECT_EQ(glue(grey(0.5f), grey(0.5001f), 57).red, 1.0f);
  EXPECT_EQ(glue(grey(0.5f), grey(0.25f), 41).red, 0.0f);  // 16384 AND 8192
  EXPECT_EQ(glue(grey(0.5f), grey(0.25f), 42).red, 0.75f);
  EXPECT_EQ(glue(grey(0.75f), grey(0.25f), 43).red, 0.5f);  // 24576 XOR 8192
}

TEST(GlueWholeColour, BrightAndDimCompareBrightnessInEightBitSteps) {
  const Rgba red{1, 0, 0, 0.5f}, green{0, 1, 0, 1};
  expectColour(glue(red, green, 33), {0, 1, 0, 0.5f}, 0, "bright picks the brighter source");
  expectColour(glue(red, green, 34), red, 0, "dim keeps the darker material");
  expectColour(glue(green, red, 34), {1, 0, 0, 1}, 0, "dim picks the darker source");
  // A source brighter by less than one 8-bit step counts as equal: the material stays.
  const Rgba m = grey(0.5f), s{0.5f, 0.5f, 0.5f + kStep, 1};
  expectColour(glue(m, s, 33), m, 0, "bright within one step");
  expectColour(glue(s, m, 34), s, 0, "dim within one step");
}

TEST(GlueWholeColour, CompassModesWeighEachChannelByItsNeighbour) {
  const Rgba m{1.0f, 0.25f, 0.0f, 1}, s{0.0f, 1.0f, 0.5f, 1};
  expectColour(glue(m, s, 53), {0.75f, 0.25f, 0.5f, 1}, 0, "north");
  expectColour(glue(m, s, 54), {1.0f, 1.0f, 0.125f, 1}, 0, "south");
  expectColour(glue(m, s, 55), {0.0f, 0.625f, 0.0f, 1}, 0, "east");
  expectColour(glue(m, s, 56), {0.5f, 0.25f, 0.5f, 1}, 0, "west");
}

TEST(GlueWholeColour, HueSaturationAndBrightnessModes) {
  constexpr float tol = 2.0f / 255.0f;
  const Rgba red{1, 0, 0, 1}, blue{0, 0, 1, 1};
  // Color: a grey material takes the source's weighted brightness (77, 150, 28) / 256.
  expectColour(glue(grey(0.4f), red, 20), grey(77.0f / 256.0f), tol, "color, grey material");
  // Luminance: white and black material give white and black whatever the source's hue.
  expectColour(glue(grey(1.0f), red, 21), grey(1.0f), tol, "luminance of white");
  expectColour(glue(grey(0.0f), blue, 21), grey(0.0f), tol, "luminance of black");
  // Saturation: a grey material drains the source to its perceived brightness (red: 0.28).
  expectColour(glue(grey(0.9f), red, 27), grey(0.28f), tol, "saturation, grey material");
  // Hue: blue at red's perceived brightness 0.28. Blue alone is 0.2, so the lightness is
  // 0.5 + 0.5 × 0.08 / 0.8 = 0.55: HSL (2/3, 1, 0.55) is (0.1, 0.1, 1).
  expectColour(glue(blue, red, 28), {0.1f, 0.1f, 1.0f, 1}, tol, "hue");
  // A grey source keeps itself under the hue mode (no saturation to give).
  expectColour(glue(blue, grey(0.3f), 28), grey(0.3f), tol, "hue over grey");
}

TEST(GlueWholeColour, WaxWaneAndFrontal) {
  constexpr float tol = 1.0f / 255.0f;
  const Rgba red{1, 0, 0, 1}, green{0, 1, 0, 1}, source{0.2f, 0.4f, 0.6f, 1};
  // Wax shows saturated material, wane grey material; both fade at black and white.
  expectColour(glue(red, source, 51), red, tol, "wax of a pure hue");
  expectColour(glue(grey(0.5f), source, 51), source, tol, "wax of grey");
  expectColour(glue(red, source, 52), source, tol, "wane of a pure hue");
  expectColour(glue(grey(0.5f), source, 52), grey(0.5f), tol, "wane of mid grey");
  expectColour(glue(grey(1.0f), source, 52), source, tol, "wane of white");
  // Lightness 0.75: e = 0.5, so the grey material shows by 1 − 0.5⁴ = 0.9375.
  expectColour(glue(grey(0.75f), source, 52), {0.715625f, 0.728125f, 0.740625f, 1}, tol,
               "wane of light grey");
  // Frontal: at mid lightness the source's hue wins; against white the material's stays;
  // the darker lightness is kept.
  expectColour(glue(red, green, 58), green, tol, "frontal, both mid");
  expectColour(glue(red, grey(1.0f), 58), red, tol, "frontal over white");
  expectColour(glue(red, grey(0.0f), 58), grey(0.0f), tol, "frontal over black");
  expectColour(glue(red, grey(0.5f), 58), grey(0.5f), tol, "frontal over mid grey");
  // A light red (lightness 0.75) moves 1 − 0.5⁴ of the way from (1, 0) to green's point
  // (−0.5, 0.866): hue 0.32384, saturation 0.90786, at green's lightness 0.5.
  expectColour(glue({1.0f, 0.5f, 0.5f, 1}, green, 58), {0.09779f, 0.95393f, 0.04607f, 1}, tol,
               "frontal, light material");
}

TEST(GlueWholeColour, SinisterAnteriorAndPosteriorOnGreys) {
  constexpr float tol = 1.0f / 255.0f;
  // Greys are perceived at their lightness. Sinister of mid grey over white: the source's
  // brightness 255/256 stands above 0.5, so 1 − 0.5 / (2 × 255/256).
  expectColour(glue(grey(0.5f), grey(1.0f), 64), grey(1.0f - 0.25f * 256.0f / 255.0f), tol,
               "sinister");
  // Anterior and posterior of 0.5 over 0.5: A = 0.25, K = 1.75 × 0.25.
  expectColour(glue(grey(0.5f), grey(0.5f), 65), grey(0.4375f), tol, "anterior");
  expectColour(glue(grey(0.5f), grey(0.5f), 66), grey(0.4375f), tol, "posterior");
  // White material over mid grey: A = 0.5, K = 0.75; anterior pulls it to the material's 1.
  expectColour(glue(grey(1.0f), grey(0.5f), 65), grey(1.0f), tol, "anterior near white");
  expectColour(glue(grey(1.0f), grey(0.5f), 66), grey(0.75f), tol, "posterior near white");
}

TEST(GlueStarbright, BrightestChannelBecomesTheAlpha) {
  expectColour(glue({0.5f, 0.25f, 0.0f, 1.0f}, grey(0.3f), 68), {1.0f, 0.5f, 0.0f, 0.5f}, 0,
               "half");
  expectColour(glue({0.0f, 0.0f, 0.0f, 1.0f}, grey(0.3f), 68), {0, 0, 0, 0}, 0, "black");
  expectColour(glue({2.0f, 1.0f, 0.5f, 0.2f}, grey(0.3f), 68), {2.0f, 1.0f, 0.5f, 1.0f}, 0,
               "above white the alpha is limited to 1");
}

TEST(LabSpace, PrimariesLandOnTheirPoints) {
  constexpr int64_t one = 32768;
  struct Anchor {
    int64_t r, g, b;
    double lightness, redGreen, yellowBlue;
  };
  const Anchor anchors[] = {{0, 0, 0, 0, 128, 128},
                            {one, one, one, 255, 128, 128},
                            {one, 0, 0, 144, 208, 208},
                            {0, one, 0, 214, 51, 207},
                            {0, 0, one, 104, 158, 33}};
  for (const Anchor& a : anchors) {
    const detail::Fixed3 lab = detail::labOf({a.r, a.g, a.b});
    EXPECT_NEAR(double(lab.red) * 255.0 / one, a.lightness, 2.0) << a.r << a.g << a.b;
    EXPECT_NEAR(double(lab.green) * 255.0 / one, a.redGreen, 2.0);
    EXPECT_NEAR(double(lab.blue) * 255.0 / one, a.yellowBlue, 2.0);
  }
  // Every grey is neutral, lightness rising with it.
  int64_t previous = -1;
  for (int64_t v = 0; v <= one; v += one / 64) {
    const detail::Fixed3 lab = detail::labOf({v, v, v});
    EXPECT_NEAR(double(lab.green) * 255.0 / one, 128.0, 0.5) << v;
    EXPECT_NEAR(double(lab.blue) * 255.0 / one, 128.0, 0.5) << v;
    EXPECT_GT(lab.red, previous);
    previous = lab.red;
  }
}

TEST(LabSpace, ModesThatShouldGiveTheSourceBackDoSoClosely) {
  // Multiplying by white lightness, screening with black and pinning a colour with itself
  // leave the source; what remains is the round trip through the two 16-point grids. Near
  // the gamut's edges (strong greens) grid corners fall outside RGB and are clipped, so the
  // check runs over moderate colours with three thresholds: typical, most, and worst error.
  struct Case {
    int mode;
    bool sourceAsMaterial;
    float material;
  };
  const Case cases[] = {{59, false, 1.0f}, {60, false, 0.0f}, {61, true, 0}, {62, true, 0}};
  for (const Case& c : cases) {
    std::vector<float> errors;
    for (int r = 0; r <= 8; ++r)
      for (int g = 0; g <= 8; ++g)
        for (int b = 0; b <= 8; ++b) {
          const Rgba s{0.25f + r / 16.0f, 0.25f + g / 16.0f, 0.25f + b / 16.0f, 1.0f};
          const Rgba out = glue(c.sourceAsMaterial ? s : grey(c.material), s, c.mode);
          errors.push_back(std::max({std::abs(out.red - s.red), std::abs(out.green - s.green),
                                     std::abs(out.blue - s.blue)}) *
                           255.0f);
        }
    std::sort(errors.begin(), errors.end());
    EXPECT_LE(errors[errors.size() / 2], 2.0f) << modeName(c.mode);
    EXPECT_LE(errors[errors.size() * 9 / 10], 6.0f) << modeName(c.mode);
    EXPECT_LE(errors.back(), 24.0f) << modeName(c.mode);
  }
}

TEST(GlueExtremes, BrightMaterialAndChannelEndsGiveFiniteResults) {
  const std::vector<float> materials = {0.0f,  1.0f,    1.0f + kStep, 1.5f,   2.0f,
                                        17.0f, 255.99f, 256.0f,       1.0e6f, FLT_MAX};
  for (int mode = 1; mode <= 74; ++mode) {
    for (float m : materials) {
      for (float s : {0.0f, 0.5f, 1.0f}) {
        const Rgba out = glue({m, 0.5f * m, 0.0f, 1.0f}, {s, 1.0f - s, s, 1.0f}, mode);
        ASSERT_TRUE(std::isfinite(out.red) && std::isfinite(out.green) && std::isfinite(out.blue) &&
                    std::isfinite(out.alpha))
            << modeName(mode) << " m " << m << " s " << s;
      }
    }
  }
}

TEST(GlueExtremes, MaterialAboveWhiteKeepsItsMeaning) {
  // Products of bright material with the source must not wrap.
  for (float m : {1.5f, 100.0f, 256.0f}) {
    EXPECT_EQ(glue(grey(m), grey(1.0f), 9).red, m) << "multiply by white";
    EXPECT_EQ(glue(grey(m), grey(0.0f), 10).red, m) << "screen over black";
    EXPECT_EQ(glue(grey(m), grey(0.5f), 5).red, m) << "lighten";
  }
  // Dodge saturates beyond white instead of dividing by a negative number.
  for (float m : {1.0f + kStep, 1.5f, 40.0f})
    EXPECT_EQ(glue(grey(m), grey(0.3f), 35).red, 1.0f) << m;
  // Vivid a reads a material above white as white rather than wrapping its bits round.
  for (float m : {1.25f, 2.0f, 3.0f})
    EXPECT_TRUE(sameBits(glue(grey(m), grey(0.3f), 25), glue(grey(1.0f), grey(0.3f), 25))) << m;
  // The hue-based modes see a bright red as red, not as a broken saturation.
  const Rgba bright{2.0f, 0.0f, 0.0f, 1.0f};
  expectColour(glue(bright, grey(0.28f), 20), {1.0f, 0.0f, 0.0f, 1.0f}, 3.0f / 255.0f, "color");
}

TEST(GlueRowKernels, EqualTheSinglePixelPathAndHandBackTheLuminousModes) {
  std::vector<Rgba> materials, sources;
  const std::vector<Rgba> samples = colourSamples();
  for (const Rgba& m : samples)
    for (const Rgba& s : samples) {
      materials.push_back(m);
      sources.push_back(
          {std::min(s.red, 1.0f), std::min(s.green, 1.0f), std::min(s.blue, 1.0f), 1});
    }
  const auto n = static_cast<int32_t>(materials.size());
  for (int mode = 0; mode <= 75; ++mode) {
    std::vector<Rgba> material = materials, out(materials.size());
    glueRowKernel(mode)(material.data(), sources.data(), out.data(), n);
    const bool handsBack = mode >= 69 && mode <= 72;
    for (size_t i = 0; i < out.size(); ++i) {
      ASSERT_TRUE(sameBits(out[i], glue(materials[i], sources[i], mode)))
          << "mode " << mode << " at " << i;
      const Rgba want = handsBack ? Rgba{out[i].red, out[i].green, out[i].blue, materials[i].alpha}
                                  : materials[i];
      ASSERT_TRUE(sameBits(material[i], want)) << "material of mode " << mode << " at " << i;
    }
  }
}

}  // namespace
}  // namespace orichalcumite
