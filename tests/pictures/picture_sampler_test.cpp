#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "pictures/detail/picture_sampler.h"
#include "pictures/picture.h"
#include "pictures/sampler_weights.h"
#include "tests/pictures/picture_test_support.h"

namespace orichalcumite {
namespace {

// The sampler kernel written out from its definition: a Lanczos-2 window (pi taken as
// 3.141592653) averaged over twenty shifts j / 21, normalised, taps -2..+2.
std::array<double, 5> referenceWeights(int subPosition) {
  const double pi = 3.141592653;
  auto window = [pi](double t) {
    if (t == 0.0) return 1.0;
    if (std::fabs(t) >= 2.0) return 0.0;
    return std::sin(pi * t) / (pi * t) * std::sin(pi * t / 2) / (pi * t / 2);
  };
  const double s = subPosition / 512.0;
  std::array<double, 5> w{};
  double total = 0.0;
  for (int t = -2; t <= 2; ++t) {
    for (int j = 0; j < 20; ++j) w[t + 2] += window(s - j / 21.0 - t);
    total += w[t + 2];
  }
  for (double& v : w) v /= total;
  return w;
}

// Integer row as defined: taps +2..-1 truncated, tap -2 takes the rest.
std::array<int, 5> referenceFixedRow(int subPosition, int one) {
  const std::array<double, 5> w = referenceWeights(subPosition);
  std::array<int, 5> row{};
  for (int t = 1; t < 5; ++t) row[t] = static_cast<int>(w[t] * one);
  row[0] = one - row[1] - row[2] - row[3] - row[4];
  return row;
}

TEST(PictureSamplerWeights, matchTheKernelAndIntegerRowsSumExactly) {
  const SamplerWeights& tables = samplerWeights();
  for (int i = 0; i < kSamplerSubPositions; ++i) {
    const std::array<double, 5> w = referenceWeights(i);
    const std::array<int, 5> row8 = referenceFixedRow(i, 2048);
    const std::array<int, 5> row16 = referenceFixedRow(i, 32768);
    int sum8 = 0;
    int sum16 = 0;
    for (int t = 0; t < 5; ++t) {
      EXPECT_NEAR(tables.real[i][t], w[t], 1e-6) << i;
      EXPECT_NEAR(tables.fixed8[i][t], row8[t], 1) << i;
      EXPECT_NEAR(tables.fixed16[i][t], row16[t], 1) << i;
      sum8 += tables.fixed8[i][t];
      sum16 += tables.fixed16[i][t];
    }
    EXPECT_EQ(sum8, 2048) << i;
    EXPECT_EQ(sum16, 32768) << i;
  }
  // Half a pixel from the centre, the kernel leans towards the following pixel.
  EXPECT_GT(tables.real[511][3], tables.real[0][3]);
}

TEST(PictureSamplerWeights, eightBitSumsCannotOverflow32Bits) {
  // The 8-bit sampler sums in 32 bits: the worst row-by-column sum of absolute weights
  // times 255 must stay below 2^31.
  std::int64_t worst = 0;
  for (const auto& row : samplerWeights().fixed8) {
    std::int64_t sum = 0;
    for (std::int32_t w : row) sum += std::abs(w);
    worst = std::max(worst, sum);
  }
  EXPECT_LT(worst * worst * 255, std::int64_t{1} << 31);
}

// 5 x 5 sum with the reference integer rows over pixels read through the edge handling,
// in storage units.
Rgba referenceSample(const Picture& picture, double px, double py) {
  const int x = static_cast<int>(std::floor(px + 0.5));
  const int y = static_cast<int>(std::floor(py + 0.5));
  const int one = picture.writeMultiplier() == 255.0f ? 2048 : 32768;
  const std::array<int, 5> wx = referenceFixedRow(static_cast<int>((px + 0.5 - x) * 512), one);
  const std::array<int, 5> wy = referenceFixedRow(static_cast<int>((py + 0.5 - y) * 512), one);
  double sum[4] = {};
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) {
      const Rgba p = testing::storedPixel(picture, x - 2 + c, y - 2 + r);
      const double w = static_cast<double>(wx[c]) * wy[r];
      sum[0] += w * static_cast<double>(p.red);
      sum[1] += w * static_cast<double>(p.green);
      sum[2] += w * static_cast<double>(p.blue);
      sum[3] += w * static_cast<double>(p.alpha);
    }
  }
  const double scale = 1.0 / (static_cast<double>(one) * one);
  return {static_cast<float>(sum[0] * scale), static_cast<float>(sum[1] * scale),
          static_cast<float>(sum[2] * scale), static_cast<float>(sum[3] * scale)};
}

void expectSame(const Rgba& a, const Rgba& b, float tolerance) {
  EXPECT_NEAR(a.red, b.red, tolerance);
  EXPECT_NEAR(a.green, b.green, tolerance);
  EXPECT_NEAR(a.blue, b.blue, tolerance);
  EXPECT_NEAR(a.alpha, b.alpha, tolerance);
}

TEST(PictureSampler, wholeCoordinatesSampleThePixelCentre) {
  // A single bright pixel: sampling whole coordinates around it returns the centre row of
  // weights (sub-position 256) tap by tap.
  const auto picture = createPicture(16, 16, PictureKind::rgba8, WrapMode::clamp);
  ASSERT_TRUE(picture);
  picture->setPixel(8, 8, 0, 255, 0, 0, 0);
  const std::array<int, 5> centre = referenceFixedRow(256, 2048);
  for (int offset = -2; offset <= 2; ++offset) {
    const Rgba s = picture->samplePoint(0, static_cast<float>(8 - offset), 8.0f);
    EXPECT_FLOAT_EQ(s.red, 255.0f * centre[offset + 2] * centre[2] / (2048.0f * 2048.0f));
  }
}

TEST(PictureSampler, flatAreasSampleToExactlyTheirValue) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> position(-3.0f, 40.0f);
  const struct {
    PictureKind kind;
    int value;
  } cases[] = {{PictureKind::grey8, 201},
               {PictureKind::grey16, 54321},
               {PictureKind::rgba8, 77},
               {PictureKind::rgba16, 65535}};
  for (const auto& c : cases) {
    const auto picture = createPicture(37, 29, c.kind, WrapMode::clamp);
    ASSERT_TRUE(picture);
    picture->fill(c.value, c.value, c.value, c.value);
    for (int i = 0; i < 200; ++i) {
      const Rgba s = picture->samplePoint(0, position(random), position(random));
      ASSERT_EQ(s.red, static_cast<float>(c.value));
      ASSERT_EQ(s.blue, static_cast<float>(c.value));
    }
  }
  const auto real = createPicture(37, 29, PictureKind::rgbaFloat, WrapMode::wrapBoth);
  ASSERT_TRUE(real);
  real->fill(3, 3, 3, 1);
  EXPECT_NEAR(real->samplePoint(0, 11.3f, 0.2f).green, 3.0f, 1e-5f);
}

TEST(PictureSampler, fastPathEqualsGeneralPathInside) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> position(2.0f, 60.0f);
  for (PictureKind kind : {PictureKind::grey8, PictureKind::grey16, PictureKind::rgba8,
                           PictureKind::rgba16, PictureKind::greyFloat, PictureKind::rgbaFloat}) {
    const auto picture = createPicture(64, 64, kind, WrapMode::clamp);
    ASSERT_TRUE(picture);
    testing::fillWithNoise(*picture, 3);
    for (int i = 0; i < 300; ++i) {
      const float px = position(random);
      const float py = position(random);
      const Rgba fast = picture->samplePoint(0, px, py);
      const Rgba general = detail::samplePointGeneral(*picture, 0, px, py);
      ASSERT_EQ(fast.red, general.red) << static_cast<int>(kind) << " " << px << "," << py;
      ASSERT_EQ(fast.green, general.green);
      ASSERT_EQ(fast.blue, general.blue);
      ASSERT_EQ(fast.alpha, general.alpha);
    }
  }
}

TEST(PictureSampler, matchesReferenceInsideAcrossTilesAndAtEdges) {
  for (PictureKind kind : {PictureKind::rgba8, PictureKind::rgba16}) {
    const auto picture = createPicture(600, 530, kind, WrapMode::clamp);
    ASSERT_TRUE(picture);
    testing::fillWithNoise(*picture, 5);
    const float points[][2] = {{100.25f, 200.75f}, {509.6f, 40.1f},  {512.0f, 511.5f},
                               {3.0f, 505.9f},     {598.7f, 527.2f}, {-1.3f, 0.4f},
                               {610.0f, -7.0f},    {300.5f, 300.5f}};
    for (const auto& p : points) {
      const float tolerance = kind == PictureKind::rgba8 ? 1e-3f : 0.05f;
      expectSame(picture->samplePoint(0, p[0], p[1]),
                 referenceSample(*picture, static_cast<double>(p[0]), static_cast<double>(p[1])),
                 tolerance);
    }
  }
}

TEST(PictureSampler, edgesClampOrWrapByMode) {
  // Column 0 is red, row 0 green; everything else black.
  auto make = [](WrapMode mode) {
    auto picture = createPicture(16, 8, PictureKind::rgba8, mode);
    for (int y = 0; y < 8; ++y) picture->setPixel(0, y, 0, 255, 0, 0, 255);
    for (int x = 0; x < 16; ++x) picture->setPixel(x, 0, 0, x == 0 ? 255 : 0, 255, 0, 255);
    return picture;
  };
  // At the centre of the last column (row 4) the tap at +1 falls one past the edge.
  const std::array<int, 5> centre = referenceFixedRow(256, 2048);
  const float wrappedIn = 255.0f * centre[3] / 2048.0f;

  const auto clamp = make(WrapMode::clamp);
  EXPECT_FLOAT_EQ(clamp->samplePoint(0, 15.0f, 4.0f).red, 0.0f);
  EXPECT_FLOAT_EQ(clamp->samplePoint(0, 5.0f, 7.0f).green, 0.0f);

  const auto both = make(WrapMode::wrapBoth);
  EXPECT_FLOAT_EQ(both->samplePoint(0, 15.0f, 4.0f).red, wrappedIn);
  EXPECT_FLOAT_EQ(both->samplePoint(0, 5.0f, 7.0f).green, wrappedIn);
  // Far outside, wrapping keeps its period.
  EXPECT_FLOAT_EQ(both->samplePoint(0, 15.0f + 16 * 40, 4.0f).red, wrappedIn);

  const auto horizontal = make(WrapMode::wrapHorizontal);
  EXPECT_FLOAT_EQ(horizontal->samplePoint(0, 15.0f, 4.0f).red, wrappedIn);
  EXPECT_FLOAT_EQ(horizontal->samplePoint(0, 5.0f, 7.0f).green, 0.0f);
}

TEST(PictureSampler, survivesAnyCoordinate) {
  const auto picture = createPicture(8, 8, PictureKind::rgba8, WrapMode::wrapBoth);
  ASSERT_TRUE(picture);
  picture->fill(10, 20, 30, 255);
  const float extremes[] = {std::nanf(""), 1e30f, -1e30f, std::numeric_limits<float>::infinity(),
                            -1e-9f,        -0.5f};
  for (float v : extremes) {
    const Rgba s = picture->sample(0, 0.0f, v, v);
    EXPECT_NEAR(s.green, 20.0f / 255.0f, 1e-6f) << v;
  }
}

TEST(PictureSampler, normalisedSamplerScalesAndBlendsLevels) {
  const auto picture = createPicture(64, 32, PictureKind::rgba8, WrapMode::clamp);
  ASSERT_TRUE(picture);
  testing::fillWithNoise(*picture, 9);

  // u, v span the level: pixel x's centre is at (x + 0.5) / width.
  const Rgba s = picture->sample(0, 0.0f, 10.5f / 64.0f, 3.5f / 32.0f);
  const Rgba p = picture->samplePoint(0, 10.0f, 3.0f);
  EXPECT_NEAR(s.red, p.red / 255.0f, 1e-6f);

  // Before the pyramid exists only level 0 is sampled.
  expectSame(picture->sample(3, 0.0f, 0.3f, 0.6f), picture->sample(0, 0.0f, 0.3f, 0.6f), 0.0f);

  picture->buildPyramid();
  const Rgba level1 = picture->sample(1, 0.0f, 0.3f, 0.6f);
  const Rgba level2 = picture->sample(2, 0.0f, 0.3f, 0.6f);
  const Rgba blend = picture->sample(1, 0.25f, 0.3f, 0.6f);
  EXPECT_NEAR(blend.green, level1.green + (level2.green - level1.green) * 0.25f, 1e-5f);
  // Past the last level, the last level.
  expectSame(picture->sample(40, 0.5f, 0.3f, 0.6f),
             picture->sample(picture->levelCount() - 1, 0.0f, 0.3f, 0.6f), 1e-6f);

  // Grey layouts report grey in all three colours, opaque.
  const auto grey = createPicture(4, 4, PictureKind::grey16, WrapMode::clamp);
  ASSERT_TRUE(grey);
  grey->fill(16384, 0, 0, 0);
  const Rgba g = grey->sample(0, 0.0f, 0.5f, 0.5f);
  EXPECT_FLOAT_EQ(g.blue, 0.5f);
  EXPECT_FLOAT_EQ(g.alpha, 1.0f);
}

}  // namespace
}  // namespace orichalcumite

namespace orichalcumite {
namespace {

// The texture pass's row lookup must give exactly what the normalised sampler gives, on the
// separable path (8-bit colour, wrapping) and on the fallback.
TEST(SampleGreenRow, EqualsTheNormalisedSamplerExactly) {
  for (const WrapMode wrap : {WrapMode::wrapBoth, WrapMode::clamp}) {
    auto picture = createPicture(256, 240, PictureKind::rgba8, wrap);
    ASSERT_TRUE(picture);
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 256; ++x)
        picture->setPixel(x, y, 0, x ^ y, (x * 7 + y * 13) & 255, y, 255);
    std::vector<float> u(300), green(300);
    for (int row = 0; row < 40; ++row) {
      const float v = static_cast<float>(row) / 39.0f;
      for (size_t i = 0; i < u.size(); ++i)
        u[i] = static_cast<float>((i * 0.61803398875) - std::floor(i * 0.61803398875));
      u[0] = 0.0f;
      u[1] = 1.0f;
      // Coordinates off the tile wrap the long way round.
      u[2] = -0.3f;
      u[3] = 1.7f;
      u[4] = -3.01f;
      picture->sampleGreenRow(u.data(), v, static_cast<int>(u.size()), green.data());
      for (size_t i = 0; i < u.size(); ++i)
        ASSERT_EQ(green[i], picture->sample(0, 0.0f, u[i], v).green) << u[i] << "," << v;
    }
  }
  // A tile narrower than the taps wraps them round it more than once.
  auto narrow = createPicture(2, 3, PictureKind::rgba8, WrapMode::wrapBoth);
  ASSERT_TRUE(narrow);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) narrow->setPixel(x, y, 0, 0, 100 * x + 20 * y, 0, 255);
  const std::vector<float> u = {0.0f, 0.2f, 0.5f, 0.9f, 1.0f, -0.4f};
  std::vector<float> green(u.size());
  narrow->sampleGreenRow(u.data(), 0.4f, static_cast<int>(u.size()), green.data());
  for (size_t i = 0; i < u.size(); ++i)
    EXPECT_EQ(green[i], narrow->sample(0, 0.0f, u[i], 0.4f).green) << u[i];
}

}  // namespace
}  // namespace orichalcumite
