#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "render/bevel_radius.h"
#include "render/profile_table.h"

namespace orichalcumite {
namespace {

float secondDifference(const ProfileTable& t, int k) {
  return t.values[k - 1] - 2.0f * t.values[k] + t.values[k + 1];
}

ProfileTable randomTable(unsigned seed, float lo, float hi) {
  ProfileTable t;
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(lo, hi);
  for (float& v : t.values) v = value(rng);
  return t;
}

TEST(ProfileTable, RampClimbsInWholeStepsToTenThousand) {
  const ProfileTable ramp = unscaledProfile(1);
  // The integer quotient of 10000 k / 3000.
  EXPECT_EQ(ramp.values[1], 3.0f);
  EXPECT_EQ(ramp.values[3], 10.0f);
  EXPECT_EQ(ramp.values[1500], 5000.0f);
  EXPECT_EQ(ramp.values[2999], 9996.0f);
  EXPECT_EQ(ramp.values[3000], 10000.0f);
  EXPECT_EQ(unscaledProfile(16).values, ramp.values);  // unknown shapes build the ramp
}

TEST(ProfileTable, EveryShapeStaysFiniteWithinTheDepthRange) {
  for (int shape = 1; shape <= 13; ++shape) {
    const ProfileTable t = unscaledProfile(shape);
    for (int k = 0; k <= kProfileLast; ++k) {
      ASSERT_TRUE(std::isfinite(t.values[k])) << shape << " " << k;
      EXPECT_GE(t.values[k], 0.0f) << shape << " " << k;
      EXPECT_LE(t.values[k], 10000.0f) << shape << " " << k;
    }
  }
}

TEST(ProfileTable, ReversalMirrorsAndTruncatesTheUpperHalfTowardZero) {
  ProfileTable t = randomTable(3, -50.0f, 50.0f);
  const ProfileTable original = t;
  reverseProfile(t);
  for (int k = 0; k <= kProfileLast; ++k) {
    const float mirrored = original.values[kProfileLast - k];
    // -2.7 becomes -2 and 2.7 becomes 2; the lower half keeps its fractions.
    const float expected = k < 1500       ? mirrored
                           : mirrored < 0 ? std::ceil(mirrored)
                                          : std::floor(mirrored);
    EXPECT_EQ(t.values[k], expected) << k;
  }
}

TEST(ProfileTable, KinkRoundingTouchesOnlyTheTwentyOneEntriesAroundIt) {
  struct Case {
    int c, lo, hi;
  };
  // Near the ends the window is cut to 1..2998.
  for (const Case& cs : {Case{1500, 1490, 1510}, Case{4, 1, 14}, Case{2995, 2985, 2998}}) {
    ProfileTable t = randomTable(static_cast<unsigned>(cs.c), 0.0f, 10000.0f);
    const ProfileTable original = t;
    smoothProfileKink(t, cs.c);
    for (int k = 0; k <= kProfileLast; ++k) {
      if (k < cs.lo || k > cs.hi)
        EXPECT_EQ(t.values[k], original.values[k]) << cs.c << " " << k;
      else
        EXPECT_NE(t.values[k], original.values[k]) << cs.c << " " << k;
    }
  }
}

TEST(ProfileTable, MixedCraterKeepsItsKinkAtTheMiddle) {
  // Shape 9 rounds only around 500 (2500 after the reversal). Unrounded, its slope jumps
  // from 10000/3000 per entry to 5000 x (89.9 deg in radians) / 1500 per entry at 1500.
  const float jump = 10000.0f / 3000.0f + 5000.0f * (89.9f / 57.2958f) / 1500.0f;
  EXPECT_GT(std::fabs(secondDifference(unscaledProfile(9), 1500)), 0.8f * jump);
  // The crater (shape 2) rounds its middle, so no second difference near it comes close to
  // its jump of 2 x 10000/3000. (Checked below 1500: the truncated upper half adds steps.)
  const ProfileTable crater = unscaledProfile(2);
  for (int k = 1491; k <= 1498; ++k)
    EXPECT_LT(std::fabs(secondDifference(crater, k)), 0.5f * (20000.0f / 3000.0f)) << k;
}

TEST(ProfileTable, ScaledByRadiusTimesHeightAndInterpolatedWithoutTheLastEntry) {
  const ProfileTable base = unscaledProfile(8);
  const ProfileTable scaled = scaledProfile(8, 1000, -100);
  for (int k : {0, 777, 3000}) {
    const double expected = double(base.values[k]) * 1000 * -100 / 5000;
    EXPECT_NEAR(scaled.values[k], expected, 1e-5 * std::fabs(expected)) << k;
  }

  ProfileTable t = randomTable(11, -100.0f, 100.0f);
  t.values[3000] = 1.0e30f;  // must never show
  auto reference = [&](double k) {
    k = std::min(std::max(k, 0.0), 2999.0);
    const int i = static_cast<int>(std::floor(k));
    const int j = std::min(i + 1, 2999);
    return double(t.values[i]) * (1.0 - (k - i)) + double(t.values[j]) * (k - i);
  };
  for (double k : {-5.0, 0.5, 1234.75, 2998.5, 2999.9, 3000.0, 1e9})
    EXPECT_NEAR(profileValue(t, static_cast<float>(k)), reference(k), 1e-3) << k;
  EXPECT_EQ(profileValue(t, std::numeric_limits<float>::quiet_NaN()), t.values[0]);
}

TEST(BevelRadius, FollowsTheSettingTo40ThenGrowsToAThousandAndNeverReachesZero) {
  EXPECT_EQ(bevelRadiusPx(40, 1), 40);
  EXPECT_EQ(bevelRadiusPx(41, 1), 42);   // 3^2 x 960 / 3844 = 2
  EXPECT_EQ(bevelRadiusPx(69, 1), 280);  // 31^2 x 960 / 3844 = 240
  EXPECT_EQ(bevelRadiusPx(100, 1), 1000);
  EXPECT_EQ(bevelRadiusPx(2, 4), 1);
  EXPECT_EQ(bevelRadiusPx(100, 3), 333);
  EXPECT_EQ(bevelRadiusPx(35, 0), 35);  // a scale below 1 counts as 1
  // Damaged settings stay within 1..1000 pixels.
  EXPECT_EQ(bevelRadiusPx(-50, 1), 1);
  EXPECT_EQ(bevelRadiusPx(std::numeric_limits<int>::max(), 1), kMaxBevelRadiusPx);
}

}  // namespace
}  // namespace orichalcumite
