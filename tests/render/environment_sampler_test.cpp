#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "pictures/environment_sampler.h"
#include "pictures/picture.h"

namespace orichalcumite {
namespace {

std::unique_ptr<Picture> noisePicture(int width, int height, WrapMode wrap, uint32_t seed) {
  auto p = createPicture(width, height, PictureKind::rgba8, wrap);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      p->setPixel(x, y, 0, byte(random), byte(random), byte(random), 255);
  p->buildPyramid();
  return p;
}

void expectNear(const Rgba& a, const Rgba& b, float tolerance) {
  EXPECT_NEAR(a.red, b.red, tolerance);
  EXPECT_NEAR(a.green, b.green, tolerance);
  EXPECT_NEAR(a.blue, b.blue, tolerance);
}

TEST(EnvironmentSampler, FlatPictureSamplesToItsValueEverywhere) {
  auto p = createPicture(40, 24, PictureKind::rgba8, WrapMode::clamp);
  p->fill(200, 100, 50, 255);
  p->buildPyramid();
  const EnvironmentSampler s(*p);
  for (int level = 0; level < p->levelCount(); ++level)
    for (float u : {-1.0f, 0.0f, 0.31f, 1.0f, 2.0f})
      for (float fraction : {0.0f, 0.5f}) {
        const Rgba c = s.sampleAt(u, 0.77f, level, fraction);
        EXPECT_NEAR(c.red, 200.0f / 255.0f, 1e-5f);
        EXPECT_NEAR(c.blue, 50.0f / 255.0f, 1e-5f);
        EXPECT_NEAR(c.alpha, 1.0f, 1e-5f);
      }
}

TEST(EnvironmentSampler, GridPointsCarryThePicturesOwnFilter) {
  for (WrapMode wrap : {WrapMode::clamp, WrapMode::wrapBoth}) {
    auto p = noisePicture(24, 20, wrap, 3);
    const EnvironmentSampler s(*p);
    for (int level = 0; level < 3; ++level) {
      const PictureLevel& l = p->level(level);
      const int fx = EnvironmentSampler::refinementOf(l.width);
      const int fy = EnvironmentSampler::refinementOf(l.height);
      for (int j = 0; j < l.width * fx; j += 3)
        for (int i = 0; i < l.height * fy; i += 5) {
          const float u = (static_cast<float>(j) + 0.5f) / static_cast<float>(l.width * fx);
          const float v = (static_cast<float>(i) + 0.5f) / static_cast<float>(l.height * fy);
          expectNear(s.sampleAt(u, v, level, 0.0f), p->sample(level, 0.0f, u, v), 2e-3f);
        }
    }
  }
}

TEST(EnvironmentSampler, BetweenGridPointsFollowsTheFilterClosely) {
  // A smooth picture: a gradient with a soft blob, as environments are.
  auto p = createPicture(32, 32, PictureKind::rgba8, WrapMode::clamp);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const double blob = std::exp(-((x - 20) * (x - 20) + (y - 9) * (y - 9)) / 30.0);
      p->setPixel(x, y, 0, x * 8, static_cast<int>(255 * blob), 255 - y * 8, 255);
    }
  p->buildPyramid();
  const EnvironmentSampler s(*p);
  std::mt19937 random(1);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int k = 0; k < 500; ++k) {
    const float u = unit(random), v = unit(random);
    expectNear(s.sampleAt(u, v, 0, 0.0f), p->sample(0, 0.0f, u, v), 0.01f);
    expectNear(s.sampleAt(u, v, 1, 0.4f), p->sample(1, 0.4f, u, v), 0.01f);
  }
}

TEST(EnvironmentSampler, LevelsTooLargeToPrepareAreReadThroughThePicture) {
  auto p = noisePicture(EnvironmentSampler::kPreparedLevelSide + 88, 6, WrapMode::clamp, 8);
  const EnvironmentSampler s(*p);
  for (float u : {0.0f, 0.123f, 0.5f, 0.999f}) {
    const Rgba a = s.sampleAt(u, 0.4f, 0, 0.0f), b = p->sample(0, 0.0f, u, 0.4f);
    EXPECT_FLOAT_EQ(a.red, b.red);
    EXPECT_FLOAT_EQ(a.green, b.green);
  }
}

TEST(EnvironmentFootprint, SpreadChoosesTheLevel) {
  auto p = noisePicture(64, 64, WrapMode::clamp, 4);  // levels 64 .. 1: seven
  const EnvironmentSampler s(*p);
  const EnvironmentPoint a{0.25f, 0.75f};
  EnvironmentFootprint f = s.footprint(a, a, a);
  EXPECT_EQ(f.level, 0);
  EXPECT_EQ(f.levelFraction, 0.0f);
  EXPECT_EQ(f.u, 0.25f);
  EXPECT_EQ(f.v, 0.75f);
  // Points d texels apart count as 0.3 d: 2^k / 0.3 texels reads level k.
  for (int k = 1; k <= 4; ++k) {
    const float d = std::ldexp(1.0f, k) / 0.3f / 64.0f;
    f = s.footprint(a, {a.u + d, a.v}, a);
    EXPECT_NEAR(static_cast<float>(f.level) + f.levelFraction, static_cast<float>(k), 0.01f) << k;
    EXPECT_NEAR(f.u, a.u + d / 3.0f, 1e-6f);
  }
  f = s.footprint(a, {a.u + 0.9f / 0.3f / 64.0f, a.v}, a);  // under one texel
  EXPECT_EQ(f.level, 0);
  EXPECT_EQ(f.levelFraction, 0.0f);
  f = s.footprint({0.0f, 0.0f}, {1e20f, 0.0f}, {0.0f, 1e20f});
  EXPECT_EQ(f.level, 6);
  EXPECT_EQ(f.levelFraction, 0.0f);
  EXPECT_EQ(f.u, 1.0f);
  const float nan = std::nanf("");
  f = s.footprint({nan, nan}, a, a);
  EXPECT_EQ(f.level, 0);
  EXPECT_TRUE(std::isfinite(f.u) && std::isfinite(f.v));
}

TEST(EnvironmentFootprint, RowsOfFootprintsAgreeWithSingleOnes) {
  auto p = noisePicture(48, 32, WrapMode::clamp, 6);
  const EnvironmentSampler s(*p);
  constexpr int n = 40;
  float pts[6][n], u[n], v[n], lod[n], red[n], green[n], blue[n];
  std::mt19937 random(2);
  std::uniform_real_distribution<float> unit(-0.1f, 1.1f);
  for (auto& row : pts)
    for (float& x : row) x = unit(random);
  s.footprints(pts[0], pts[1], pts[2], pts[3], pts[4], pts[5], n, u, v, lod);
  s.sampleFootprints(u, v, lod, n, red, green, blue);
  for (int i = 0; i < n; ++i) {
    const EnvironmentFootprint f =
        s.footprint({pts[0][i], pts[1][i]}, {pts[2][i], pts[3][i]}, {pts[4][i], pts[5][i]});
    EXPECT_EQ(f.u, u[i]);
    EXPECT_FLOAT_EQ(static_cast<float>(f.level) + f.levelFraction, lod[i]);
    const Rgba c = s.sample(f);
    EXPECT_NEAR(c.red, red[i], 1e-6f);
    EXPECT_NEAR(c.blue, blue[i], 1e-6f);
  }
}

TEST(EnvironmentFootprint, LogarithmIsCloseEnoughToChooseLevels) {
  for (float x = 1.0f; x < 1e7f; x *= 1.37f)
    EXPECT_NEAR(detail::approximateLog2(x), std::log2(x), 0.01f) << x;
}

}  // namespace
}  // namespace orichalcumite
