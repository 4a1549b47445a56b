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

TEST(ProfileTable, RampClimbsInWholeStepsToTenThousand) {
  const ProfileTable ramp = unscaledProfile(1);
  // The integer quotient of 10000 k / 3000 at a few places.
  EXPECT_EQ(ramp.values[0], 0.0f);
  EXPECT_EQ(ramp.values[1], 3.0f);
  EXPECT_EQ(ramp.values[3], 10.0f);
  EXPECT_EQ(ramp.values[1500], 5000.0f);
  EXPECT_EQ(ramp.values[2999], 9996.0f);
  EXPECT_EQ(ramp.values[3000], 10000.0f);
  for (int k = 0; k < kProfileLast; ++k) {
    const float step = ramp.values[k + 1] - ramp.values[k];
    EXPECT_TRUE(step == 3.0f || step == 4.0f) << k;
  }
}

TEST(ProfileTable, UnknownShapeNumbersBuildTheRamp) {
  const ProfileTable ramp = unscaledProfile(1);
  for (int shape : {0, -4, 16, 1000}) EXPECT_EQ(unscaledProfile(shape).values, ramp.values);
}

TEST(ProfileTable, EveryShapeStaysFiniteAndInsideTheDepthRange) {
  for (int shape = 1; shape <= 13; ++shape) {
    const ProfileTable t = unscaledProfile(shape);
    for (int k = 0; k <= kProfileLast; ++k) {
      ASSERT_TRUE(std::isfinite(t.values[k])) << shape << " " << k;
      EXPECT_GE(t.values[k], 0.0f) << shape << " " << k;
      EXPECT_LE(t.values[k], 10000.0f) << shape << " " << k;
    }
  }
}

TEST(ProfileTable, ReversedShapesHoldWholeNumbersInTheUpperHalf) {
  for (int shape : {2, 3, 7, 8, 9, 12, 13}) {
    const ProfileTable t = unscaledProfile(shape);
    for (int k = 1500; k <= kProfileLast; ++k)
      EXPECT_EQ(t.values[k], std::trunc(t.values[k])) << shape << " " << k;
  }
  // The donut's lower half keeps its fractions: 5000 - 4999.9 sin(...) is rarely whole.
  const ProfileTable donut = unscaledProfile(3);
  int fractional = 0;
  for (int k = 0; k < 1500; ++k) fractional += donut.values[k] != std::trunc(donut.values[k]);
  EXPECT_GT(fractional, 1000);
}

TEST(ProfileTable, ReversalMirrorsAndTruncatesTowardZero) {
  ProfileTable t;
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> value(-50.0f, 50.0f);
  for (float& v : t.values) v = value(rng);
  const ProfileTable original = t;
  reverseProfile(t);
  for (int k = 0; k <= kProfileLast; ++k) {
    const float mirrored = original.values[kProfileLast - k];
    if (k < 1500) {
      EXPECT_EQ(t.values[k], mirrored) << k;
    } else {
      // Toward zero: -2.7 becomes -2, 2.7 becomes 2.
      const float expected = mirrored < 0 ? std::ceil(mirrored) : std::floor(mirrored);
      EXPECT_EQ(t.values[k], expected) << k;
    }
  }
}

TEST(ProfileTable, KinkRoundingTouchesOnlyTheTwentyOneEntriesAroundIt) {
  struct Case {
    int c, lo, hi;
  };
  // Near the ends the window is cut to 1..2998.
  for (const Case& cs : {Case{100, 90, 110}, Case{1500, 1490, 1510}, Case{4, 1, 14},
                         Case{2995, 2985, 2998}}) {
    ProfileTable t;
    std::mt19937 rng(static_cast<unsigned>(cs.c));
    std::uniform_real_distribution<float> value(0.0f, 10000.0f);
    for (float& v : t.values) v = value(rng);
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

TEST(ProfileTable, KinkRoundingSoftensACorner) {
  // A V with slopes -1 and +1 has a second difference of 2 at its corner.
  ProfileTable t;
  for (int k = 0; k <= kProfileLast; ++k) t.values[k] = static_cast<float>(std::abs(k - 1500));
  smoothProfileKink(t, 1500);
  for (int k = 1489; k <= 1511; ++k) EXPECT_LT(secondDifference(t, k), 0.5f) << k;
  // Far from the corner the lines are untouched.
  EXPECT_EQ(t.values[1000], 500.0f);
}

TEST(ProfileTable, MixedCraterKeepsItsKinkAtTheMiddle) {
  // Shape 9 rounds only around 500 (2500 after the reversal). Unrounded, its slope jumps
  // from 10000/3000 per entry to 5000 x (89.9 deg in radians) / 1500 per entry at 1500.
  const float jump = 10000.0f / 3000.0f + 5000.0f * (89.9f / 57.2958f) / 1500.0f;
  const ProfileTable mixed = unscaledProfile(9);
  EXPECT_GT(std::fabs(secondDifference(mixed, 1500)), 0.8f * jump);
  // The crater (shape 2) rounds its middle: no second difference near it comes close to
  // its unrounded jump of 2 x 10000/3000. (Checked below 1500: the reversal truncates the
  // upper half to whole numbers, which adds steps of its own.)
  const ProfileTable crater = unscaledProfile(2);
  for (int k = 1491; k <= 1498; ++k)
    EXPECT_LT(std::fabs(secondDifference(crater, k)), 0.5f * (20000.0f / 3000.0f)) << k;
}

TEST(ProfileTable, ScalingMultipliesByRadiusTimesHeightOver5000) {
  for (int shape : {1, 4, 8, 13}) {
    const ProfileTable base = unscaledProfile(shape);
    for (auto [radius, height] : {std::pair{35, 60}, std::pair{1000, -100}, std::pair{1, 0}}) {
      const ProfileTable scaled = scaledProfile(shape, radius, height);
      const double factor = radius * static_cast<double>(height) / 5000.0;
      for (int k : {0, 1, 777, 1500, 2999, 3000}) {
        const double expected = double(base.values[k]) * factor;
        EXPECT_NEAR(scaled.values[k], expected, 1e-5 * std::fabs(expected) + 1e-6)
            << shape << " " << k;
      }
    }
  }
}

TEST(ProfileTable, LookupInterpolatesBetweenEntriesAndNeverReadsTheLast) {
  ProfileTable t;
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> value(-100.0f, 100.0f);
  for (float& v : t.values) v = value(rng);
  t.values[3000] = 1.0e30f;  // must never show
  auto reference = [&](double k) {
    k = std::min(std::max(k, 0.0), 2999.0);
    const int i = static_cast<int>(std::floor(k));
    const int j = std::min(i + 1, 2999);
    return double(t.values[i]) * (1.0 - (k - i)) + double(t.values[j]) * (k - i);
  };
  for (double k : {0.0, 0.5, 17.25, 1234.75, 2998.5, 2999.0, 2999.9, 3000.0}) {
    EXPECT_NEAR(profileValue(t, static_cast<float>(k)), reference(k), 1e-3) << k;
  }
  EXPECT_EQ(profileValue(t, -5.0f), t.values[0]);
  EXPECT_EQ(profileValue(t, 1.0e9f), t.values[2999]);
  EXPECT_EQ(profileValue(t, std::numeric_limits<float>::quiet_NaN()), t.values[0]);
}

TEST(BevelRadius, FollowsTheSettingUpTo40ThenGrowsToAThousand) {
  EXPECT_EQ(bevelRadiusPx(2, 1), 2);
  EXPECT_EQ(bevelRadiusPx(40, 1), 40);
  EXPECT_EQ(bevelRadiusPx(41, 1), 42);  // 3^2 x 960 / 3844 = 2
  EXPECT_EQ(bevelRadiusPx(69, 1), 280);  // 31^2 x 960 / 3844 = 240
  EXPECT_EQ(bevelRadiusPx(100, 1), 1000);
}

TEST(BevelRadius, PreviewScaleDividesButNeverReachesZero) {
  EXPECT_EQ(bevelRadiusPx(2, 4), 1);
  EXPECT_EQ(bevelRadiusPx(35, 4), 8);
  EXPECT_EQ(bevelRadiusPx(100, 3), 333);
  EXPECT_EQ(bevelRadiusPx(35, 0), 35);  // a scale below 1 counts as 1
}

TEST(BevelRadius, OutOfRangeSettingsStayWithinOneToAThousandPixels) {
  EXPECT_EQ(bevelRadiusPx(0, 1), 1);
  EXPECT_EQ(bevelRadiusPx(-50, 1), 1);
  EXPECT_EQ(bevelRadiusPx(101, 1), kMaxBevelRadiusPx);
  EXPECT_EQ(bevelRadiusPx(std::numeric_limits<int>::max(), 1), kMaxBevelRadiusPx);
}

}  // namespace
}  // namespace orichalcumite
