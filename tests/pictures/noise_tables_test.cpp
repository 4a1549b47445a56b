#include "pictures/noise_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>

namespace orichalcumite {
namespace {

// Tables are 40 KB: keep them off the test's stack.
std::unique_ptr<NoiseTables> tablesFor(int32_t seed) {
  return std::make_unique<NoiseTables>(makeNoiseTables(seed));
}

template <class T, std::size_t N>
bool sameBits(const std::array<T, N>& a, const std::array<T, N>& b) {
  return std::memcmp(a.data(), b.data(), sizeof(T) * N) == 0;
}

void expectSameTables(const NoiseTables& a, const NoiseTables& b) {
  EXPECT_EQ(a.byteNoise, b.byteNoise);
  EXPECT_EQ(a.rawNoise, b.rawNoise);
  EXPECT_TRUE(sameBits(a.unitNoise, b.unitNoise));
  EXPECT_EQ(a.permutation, b.permutation);
  EXPECT_TRUE(sameBits(a.gradient1, b.gradient1));
  EXPECT_TRUE(sameBits(a.gradient2, b.gradient2));
  EXPECT_TRUE(sameBits(a.gradient3, b.gradient3));
  EXPECT_EQ(a.improvedPermutation, b.improvedPermutation);
}

TEST(BaseNoiseTable, fixedEntriesAndRepeatStructure) {
  const int16_t first[32] = {1317, 807,  1939, 1586, 314,  127,  1935, 1264, 1847, 969, 1075,
                             1400, 1616, 1864, 282,  1750, 630,  1379, 571,  1756, 26,  946,
                             936,  616,  1636, 1025, 1321, 1656, 2040, 978,  544,  2012};
  const int16_t last[8] = {846, 557, 4, 1845, 955, 26, 391, 1023};
  const auto table = baseNoiseTable();
  ASSERT_EQ(table.size(), 2048u);
  for (int k = 0; k < 32; ++k) EXPECT_EQ(table[k], first[k]) << k;
  for (int k = 0; k < 8; ++k) EXPECT_EQ(table[2040 + k], last[k]) << k;

  std::map<int, int> counts;
  for (const int16_t v : table) {
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 2047);
    ++counts[v];
  }
  EXPECT_EQ(counts.size(), 1345u);
  auto repeated = [](const auto& c) { return c.second > 1; };
  EXPECT_EQ(std::count_if(counts.begin(), counts.end(), repeated), 549);
}

TEST(SeededNoise, seedsThatDifferByMultiplesOf2048GiveIdenticalTables) {
  for (const int32_t seed : {0, 1, 777, 2047, -5}) {
    const auto reference = tablesFor(seed);
    for (const int32_t k : {1, -1, 3, 1000, -1000}) {
      SCOPED_TRACE(::testing::Message() << "seed " << seed << " + " << k << " x 2048");
      expectSameTables(*reference, *tablesFor(seed + k * 2048));
    }
  }
  expectSameTables(*tablesFor(INT32_MIN), *tablesFor(0));
  expectSameTables(*tablesFor(INT32_MAX), *tablesFor(2047));

  const auto t = tablesFor(-77);
  for (int k = 0; k < kNoiseTableSize; ++k) {
    ASSERT_GE(t->byteNoise[k], 0);
    ASSERT_LE(t->byteNoise[k], 255);
    ASSERT_NEAR(t->unitNoise[k], t->byteNoise[k] / 255.0, 1e-6);
  }
}

TEST(SeededNoise, seedMovesTheExchangePartnersOnly) {
  const auto seed0 = tablesFor(0);
  const auto seed1 = tablesFor(1);
  EXPECT_NE(seed0->byteNoise, seed1->byteNoise);
  EXPECT_EQ(seed0->rawNoise, seed1->rawNoise);
  for (int k = 0; k < kNoiseTableSize; ++k) ASSERT_EQ(seed0->rawNoise[k], baseNoiseTable()[k]);

  // Worked out by hand from the exchange rule on the base table. With seed 0 every partner j
  // receives the byte of a base entry equal to j, so low positions read j itself.
  const int32_t seed0First[8] = {0, 1, 2, 3, 250, 127, 143, 7};
  const int32_t seed1First[8] = {170, 165, 140, 168, 45, 127, 143, 164};
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(seed0->byteNoise[k], seed0First[k]) << k;
    EXPECT_EQ(seed1->byteNoise[k], seed1First[k]) << k;
  }
  // The last step puts the last base byte (1023 & 255) back; with seed 1 it sends position
  // 2047's old value to base[0] = 1317.
  EXPECT_EQ(seed0->byteNoise[2047], 255);
  EXPECT_EQ(seed1->byteNoise[2047], 255);
  EXPECT_EQ(seed1->byteNoise[1317], 125);
  ByteNoiseTable alone{};
  buildByteNoise(alone, 1);
  EXPECT_EQ(alone, seed1->byteNoise);
}

// A byte as a gradient component: odd bytes x / 256, even bytes (x - 256) / 256.
double gradientOfByte(int32_t x) { return (x % 2 == 1 ? x : x - 256) / 256.0; }

TEST(GradientTables, shuffledPermutationAndUnitGradientsFromByteNoise) {
  const auto t = tablesFor(321);
  std::set<int32_t> values(t->permutation.begin(), t->permutation.begin() + 256);
  EXPECT_EQ(values.size(), 256u);
  EXPECT_EQ(*values.rbegin(), 255);
  for (int i = 0; i < 258; ++i) {
    ASSERT_EQ(t->permutation[256 + i], t->permutation[i]) << i;
    ASSERT_EQ(t->gradient1[256 + i], t->gradient1[i]) << i;
    ASSERT_EQ(t->gradient3[256 + i].z, t->gradient3[i].z) << i;
  }
  // Gradients read byte noise from position 39 on, twelve bytes per entry.
  const auto& b = t->byteNoise;
  for (int i = 0; i < 256; ++i) {
    auto g = [&](int offset) { return gradientOfByte(b[(39 + 12 * i + offset) & 2047]); };
    ASSERT_EQ(t->gradient1[i], static_cast<float>(g(0))) << i;
    const double l2 = std::hypot(g(2), g(4));
    ASSERT_NEAR(t->gradient2[i].x, g(2) / l2, 1e-6) << i;
    ASSERT_NEAR(t->gradient2[i].y, g(4) / l2, 1e-6) << i;
    const double l3 = std::sqrt(g(6) * g(6) + g(8) * g(8) + g(10) * g(10));
    ASSERT_NEAR(t->gradient3[i].x, g(6) / l3, 1e-6) << i;
    ASSERT_NEAR(t->gradient3[i].y, g(8) / l3, 1e-6) << i;
    ASSERT_NEAR(t->gradient3[i].z, g(10) / l3, 1e-6) << i;
  }
  // Hand values for seed 0: bytes 252, 51 at positions 39 and 51; the shuffled permutation.
  const auto t0 = tablesFor(0);
  EXPECT_EQ(t0->gradient1[0], -0.015625f);
  EXPECT_EQ(t0->gradient1[1], 0.19921875f);
  const int32_t seed0First[8] = {0, 179, 195, 119, 121, 11, 35, 133};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(t0->permutation[i], seed0First[i]) << i;
}

TEST(ImprovedNoiseTables, referencePermutationTurnedBySeedAndSixteenGradients) {
  const int32_t reference[12] = {151, 160, 137, 91, 90, 15, 131, 13, 201, 95, 96, 53};
  const auto t0 = tablesFor(0);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(t0->improvedPermutation[i], reference[i]) << i;
  EXPECT_EQ(t0->improvedPermutation[255], 180);
  const auto& p = t0->improvedPermutation;
  for (int i = 0; i < 256; ++i) ASSERT_EQ(p[256 + i], p[i]);
  EXPECT_EQ(std::set<int32_t>(p.begin(), p.end()).size(), 256u);

  const auto t2 = tablesFor(2);
  EXPECT_EQ(t2->improvedPermutation[0], 137);
  EXPECT_EQ(t2->improvedPermutation[254], 151);
  EXPECT_EQ(tablesFor(2 + 256)->improvedPermutation, t2->improvedPermutation);
  EXPECT_EQ(tablesFor(-1)->improvedPermutation[0], 180);

  const float expected[16][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}, {1, 0}, {-1, 0},
                                 {1, 0}, {-1, 0}, {0, 1},  {0, -1},  {0, 1}, {0, -1},
                                 {1, 1}, {-1, 1}, {0, 1},  {0, -1}};
  for (int h = 0; h < 16; ++h) {
    EXPECT_EQ(t2->improvedGradients[h].x, expected[h][0]) << h;
    EXPECT_EQ(t2->improvedGradients[h].y, expected[h][1]) << h;
  }
}

TEST(ValueNoise, handWorkedValuesFoldingAndPeriods) {
  ByteNoiseTable ramp{};
  for (int k = 0; k < kNoiseTableSize; ++k) ramp[k] = k & 255;
  // x = 64: half way from entry 0 to entry 29 on lattice row 0.
  // top = (0 x 63 + 64 x 29) >> 3 = 232; (232 x 127) >> 5 = 920.
  EXPECT_EQ(valueNoise(ramp, 64, 0, 4096, 4096), 920 - 16256);
  EXPECT_EQ(valueNoise(ramp, 4096 - 64, 0, 4096, 4096), 920 - 16256);  // mirrored about 2048
  // y = 288 blends rows 2 and 3 (entries 74 and 111) by 32: top = 1174, bottom = 1762,
  // (1174 x 95 + 32 x 1762) >> 5 = 5247.
  EXPECT_EQ(valueNoise(ramp, 0, 288, 4096, 4096), 5247 - 16256);
  ByteNoiseTable full{};
  full.fill(255);
  EXPECT_EQ(valueNoise(full, 1000, 77, 256, 256), -191);
  EXPECT_EQ(valueNoise(ByteNoiseTable{}, 1000, 77, 256, 256), -16256);

  // Keep the tables alive while the loops read them.
  const auto tables = tablesFor(7);
  const ByteNoiseTable& n = tables->byteNoise;
  // A period of 512 units (four cells) repeats inside the unfolded range; everything repeats
  // after 4096.
  for (int32_t x = 0; x + 512 <= 2047; ++x)
    ASSERT_EQ(valueNoise(n, x, 300, 512, 4096), valueNoise(n, x + 512, 300, 512, 4096)) << x;
  for (int32_t x = -3000; x < 3000; x += 7) {
    ASSERT_EQ(valueNoise(n, x, 50, 4096, 4096), valueNoise(n, x + 4096, 50, 4096, 4096)) << x;
    ASSERT_EQ(valueNoise(n, 50, x, 4096, 4096), valueNoise(n, 50, x - 4096, 4096, 4096)) << x;
  }
}

TEST(ValueNoise, staysInRangeAndChangesByAtMost128PerStep) {
  const auto t = tablesFor(99);
  int lowest = 0;
  int highest = -100000;
  for (const int32_t period : {128, 256, 1024, 32768}) {
    for (int32_t y = -4200; y <= 4200; y += 173) {
      int previous = valueNoise(t->byteNoise, -5000, y, period, period);
      for (int32_t x = -4999; x <= 5000; ++x) {
        const int v = valueNoise(t->byteNoise, x, y, period, period);
        ASSERT_LE(std::abs(v - previous), 128) << x << "," << y << " period " << period;
        const int below = valueNoise(t->byteNoise, x, y + 1, period, period);
        ASSERT_LE(std::abs(v - below), 128) << x << "," << y;
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
        previous = v;
      }
    }
  }
  EXPECT_GE(lowest, -16256);
  EXPECT_LE(highest, -191);
  EXPECT_LT(lowest, -14000);  // a real table spreads over most of the range
  EXPECT_GT(highest, -2500);
}

// Slow reference: the four corner gradients dotted with the offsets, blended with the
// quintic fade, all in double.
double referenceImprovedNoise(const NoiseTables& t, double x, double y) {
  const double fx = x - std::floor(x);
  const double fy = y - std::floor(y);
  const int cx = static_cast<int>(std::floor(x)) & 255;
  const int cy = static_cast<int>(std::floor(y)) & 255;
  const auto& p = t.improvedPermutation;
  auto fade = [](double s) { return s * s * s * (s * (s * 6 - 15) + 10); };
  double corner[2][2];
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      const Gradient2 g = t.improvedGradients[p[p[p[cx + i] + cy + j]] & 15];
      corner[i][j] = (fx - i) * static_cast<double>(g.x) + (fy - j) * static_cast<double>(g.y);
    }
  }
  const double u = fade(fx);
  const double top = corner[0][0] * (1 - u) + corner[1][0] * u;
  const double bottom = corner[0][1] * (1 - u) + corner[1][1] * u;
  return top + (bottom - top) * fade(fy);
}

TEST(ImprovedNoise, matchesASlowReference) {
  for (const int32_t seed : {0, 1, 200}) {
    const auto t = tablesFor(seed);
    std::mt19937 random(seed + 1);
    std::uniform_real_distribution<float> coordinate(-600.0f, 600.0f);
    for (int i = 0; i < 20000; ++i) {
      const float x = coordinate(random);
      const float y = coordinate(random);
      ASSERT_NEAR(improvedNoise(*t, x, y),
                  referenceImprovedNoise(*t, static_cast<double>(x), static_cast<double>(y)), 2e-6)
          << x << "," << y;
    }
  }
}

TEST(ImprovedNoise, zeroOnTheLatticeBoundedPeriodicAndContinuous) {
  const auto t = tablesFor(3);
  for (int x = -300; x <= 300; x += 7)
    for (int y = -300; y <= 300; y += 11)
      ASSERT_EQ(improvedNoise(*t, static_cast<float>(x), static_cast<float>(y)), 0.0f);

  float lowest = 0.0f;
  float highest = 0.0f;
  for (int i = 0; i < 512; ++i) {
    for (int j = 0; j < 512; ++j) {
      // Exact sixteenths, so shifted points land on the same cell positions.
      const float x = static_cast<float>(i) * 0.125f + 0.0625f;
      const float y = static_cast<float>(j) * 0.125f + 0.0625f;
      const float v = improvedNoise(*t, x, y);
      ASSERT_LE(std::fabs(v), 1.000001f);
      lowest = std::min(lowest, v);
      highest = std::max(highest, v);
      ASSERT_EQ(v, improvedNoise(*t, x + 256.0f, y)) << x << "," << y;
      ASSERT_EQ(v, improvedNoise(*t, x, y - 512.0f)) << x << "," << y;
    }
  }
  EXPECT_LT(lowest, -0.5f);
  EXPECT_GT(highest, 0.5f);

  // Along an axis each corner term has slope at most 1, corner terms differ by at most 4 and
  // the fade's slope is at most 1.875, so a step of h moves the result by at most 8.5 h.
  constexpr float h = 1.0f / 1024.0f;
  for (int i = 0; i < 4096; ++i) {
    const float x = -20.0f + static_cast<float>(i) * (40.0f / 4096.0f);
    for (const float y : {-7.3f, 0.0f, 0.5f, 3.9f, 100.01f}) {
      const float v = improvedNoise(*t, x, y);
      ASSERT_LE(std::fabs(improvedNoise(*t, x + h, y) - v), 9.0f * h) << x << "," << y;
      ASSERT_LE(std::fabs(improvedNoise(*t, x, y + h) - v), 9.0f * h) << x << "," << y;
    }
  }

  // No fractional part left, or no number at all: 0 rather than an undefined conversion.
  EXPECT_EQ(improvedNoise(*t, 3e9f, 0.5f), 0.0f);
  EXPECT_EQ(improvedNoise(*t, 0.5f, -3e9f), 0.0f);
  EXPECT_EQ(improvedNoise(*t, std::nanf(""), 0.5f), 0.0f);
  EXPECT_EQ(improvedNoise(*t, 0.5f, INFINITY), 0.0f);
}

TEST(BlotchNoiseConstants, followTheTablesAndTheBlotchSize) {
  for (const int32_t seed : {1, 900}) {
    const auto t = tablesFor(seed);
    const BlotchNoiseConstants c = derivedNoiseConstants(*t, 50);
    EXPECT_NEAR(c.c0, 1.5 + 2.0 * t->byteNoise[59] / 255.0, 1e-6);
    EXPECT_NEAR(c.c1, 2.0f * c.c0, 1e-6);
    EXPECT_NEAR(c.c2, 0.3 + 0.7 * t->byteNoise[60] / 255.0, 1e-6);
    EXPECT_NEAR(c.c3, c.c2 * c.c2, 1e-6);
  }
  // Seed 0 holds 59 at position 59 and 228 at 60; c4 is 2^3, 2^0 and 2^-3 hundredths.
  const auto t = tablesFor(0);
  EXPECT_NEAR(derivedNoiseConstants(*t, 0).c0, 1.5 + 118.0 / 255.0, 1e-6);
  EXPECT_NEAR(derivedNoiseConstants(*t, 0).c2, 0.3 + 0.7 * 228.0 / 255.0, 1e-6);
  EXPECT_FLOAT_EQ(derivedNoiseConstants(*t, 0).c4, 0.08f);
  EXPECT_FLOAT_EQ(derivedNoiseConstants(*t, 50).c4, 0.01f);
  EXPECT_FLOAT_EQ(derivedNoiseConstants(*t, 100).c4, 0.00125f);
}

}  // namespace
}  // namespace orichalcumite
