// The bevel profile: depth as a function of closeness to the mask edge, for the thirteen
// table-driven bevel shapes.
//
// Closeness runs 0..3000: 3000 at the mask edge, 0 at the bevel radius or farther inside.
// The table has 3001 entries so that every whole closeness has its own entry; the lookup
// interpolates between entries 0..2999 only.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace orichalcumite {

inline constexpr int kProfileLast = 3000;
inline constexpr int kProfileEntries = kProfileLast + 1;

// BevelShape numbers that are not table shapes.
inline constexpr int kEdgelessShape = 14;
// 15 is an older number for the edgeless shape.
inline constexpr int kEdgelessShapeAlias = 15;

struct ProfileTable {
  std::array<float, kProfileEntries> values{};
};

// True for the shapes built without a profile table (14 and 15).
inline bool isEdgelessShape(int shape) {
  return shape == kEdgelessShape || shape == kEdgelessShapeAlias;
}

// The table of `shape` before scaling, values in depth units 0..10000 (reversed shapes end
// up with whole numbers in entries 1500..3000). Shapes 1..13; any other number gives the
// ramp (1).
ProfileTable unscaledProfile(int shape);

// The scaled table of a render: unscaledProfile(shape) times radiusPx x height / 5000.
ProfileTable scaledProfile(int shape, int radiusPx, int height);

// Rounds the kink at entry `c`: seven rounds, each replacing entries lo..hi by the mean of
// their neighbours in place, first upwards then downwards, with lo = max(1, c - 10) and
// hi = min(c + 10, 2998). Entries outside lo..hi do not change.
void smoothProfileKink(ProfileTable& table, int c);

// Mirrors the table end for end (entry k swaps with 3000 - k); the values that land in the
// upper half (entries 1500..3000) are truncated toward zero to whole numbers.
void reverseProfile(ProfileTable& table);

// Depth at closeness k (any float): k is clamped to 0..2999 and the two surrounding entries
// are interpolated linearly, so entry 3000 is never read.
inline float profileValue(const ProfileTable& table, float closeness) {
  // Written so that a NaN closeness lands on entry 0 rather than in an undefined cast.
  const float t =
      closeness > 0.0f ? std::min(closeness, static_cast<float>(kProfileLast - 1)) : 0.0f;
  const int i = static_cast<int>(t);
  const int next = std::min(i + 1, kProfileLast - 1);
  const float low = table.values[static_cast<size_t>(i)];
  return low + (table.values[static_cast<size_t>(next)] - low) * (t - static_cast<float>(i));
}

// Replaces each of `count` closeness values by its depth.
void applyProfileRow(float* values, int32_t count, const ProfileTable& table);

// Limits each of `count` closeness values to 0..3000 (kProfileLast).
void limitClosenessRow(float* values, int32_t count);

}  // namespace orichalcumite
