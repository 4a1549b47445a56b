#include "render/profile_table.h"

#include <cmath>
#include <cstddef>
#include <utility>

namespace orichalcumite {
namespace {

constexpr double kPi = 3.14159265359;
constexpr double kDegreesPerRadian = 57.295779524;
constexpr int kHalf = kProfileLast / 2;

double sinDeg(double degrees) { return std::sin(degrees / kDegreesPerRadian); }

// The straight ramp 0..10000 over 0..3000 in whole steps; the quotient is taken as an
// integer before any other arithmetic.
double w(int k) { return static_cast<double>(10000 * k / kProfileLast); }

double craterRampValue(int k) {
  if (k <= 750) return 10000.0 - w(k);
  if (k <= kHalf) return 5000.0 + w(k);
  return 15000.0 - w(k);
}

double donutHumpValue(int k) {
  if (k <= kHalf) return 10000.0 - 2500.0 * sinDeg(w(k) * 179.9 / 5000.0);
  return 10000.0 - 5000.0 * sinDeg(w(k - kHalf) * 89.9 / 5000.0);
}

template <typename F> void fillTable(ProfileTable& table, F value) {
  for (int k = 0; k <= kProfileLast; ++k)
    table.values[static_cast<size_t>(k)] = static_cast<float>(value(k));
}

// Entries 0..1500 from `value`, then the same 1500 steps repeated once more.
template <typename F> void fillRepeatedHalf(ProfileTable& table, F value) {
  for (int k = 0; k <= kHalf; ++k)
    table.values[static_cast<size_t>(k)] = static_cast<float>(value(k));
  for (int k = kHalf + 1; k <= kProfileLast; ++k)
    table.values[static_cast<size_t>(k)] = table.values[static_cast<size_t>(k - kHalf)];
}

}  // namespace

void smoothProfileKink(ProfileTable& table, int c) {
  const int lo = std::max(1, c - 10);
  const int hi = std::min(c + 10, kProfileLast - 2);
  auto& t = table.values;
  for (int round = 0; round < 7; ++round) {
    // In place: each entry already sees its freshly rounded lower (then upper) neighbour.
    for (int i = lo; i <= hi; ++i) {
      const auto u = static_cast<size_t>(i);
      t[u] = (t[u - 1] + t[u + 1]) / 2.0f;
    }
    for (int i = hi; i >= lo; --i) {
      const auto u = static_cast<size_t>(i);
      t[u] = (t[u - 1] + t[u + 1]) / 2.0f;
    }
  }
}

void reverseProfile(ProfileTable& table) {
  std::reverse(table.values.begin(), table.values.end());
  for (int k = kHalf; k <= kProfileLast; ++k) {
    float& v = table.values[static_cast<size_t>(k)];
    v = std::trunc(v);
  }
}

ProfileTable unscaledProfile(int shape) {
  ProfileTable table;
  bool reversed = false;
  switch (shape) {
    case 2:  // crater
      fillTable(table, [](int k) { return k <= kHalf ? 10000.0 - w(k) : w(k); });
      smoothProfileKink(table, kHalf);
      reversed = true;
      break;
    case 3:  // donut
      fillTable(table, [](int k) {
        return 5000.0 - 4999.9 * std::sin(kPi * k / static_cast<double>(kProfileLast));
      });
      reversed = true;
      break;
    case 4:  // hump; 89.99 rather than 90 degrees keeps the top from going perfectly flat
      fillTable(table, [](int k) {
        return 10000.0 - 9999.5 * sinDeg(89.99 * (kProfileLast - k) / kProfileLast);
      });
      break;
    case 5:  // anti-hump
      fillTable(table, [](int k) { return 9999.5 * sinDeg(89.99 * k / kProfileLast); });
      break;
    case 6:  // double ramp: a ramp, a ledge at 3330, a second ramp
      fillTable(table, [](int k) {
        if (k < 1000) return w(k);
        if (k < 2000) return 3330.0;
        return w(k) - 3330.0;
      });
      smoothProfileKink(table, 1000);
      smoothProfileKink(table, 2000);
      break;
    case 7:  // crater + ramp
      fillTable(table, craterRampValue);
      smoothProfileKink(table, 750);
      smoothProfileKink(table, kHalf);
      reversed = true;
      break;
    case 8:  // donut + hump
      fillTable(table, donutHumpValue);
      for (int i = 0; i < 3; ++i) smoothProfileKink(table, kHalf);
      reversed = true;
      break;
    case 9:  // mixed crater; only the entries around 500 are rounded, 1500 keeps its kink
      fillTable(table, [](int k) {
        if (k <= kHalf) return 10000.0 - w(k);
        return 5000.0 + 5000.0 * sinDeg(w(k - kHalf) * 89.9 / 5000.0);
      });
      smoothProfileKink(table, 500);
      reversed = true;
      break;
    case 10:  // double crater: the unrounded crater + ramp of 0..1500, twice
      fillRepeatedHalf(table, craterRampValue);
      smoothProfileKink(table, 750);
      smoothProfileKink(table, kHalf);
      smoothProfileKink(table, 2250);
      break;
    case 11:  // double donut: the unrounded donut + hump of 0..1500, twice
      fillRepeatedHalf(table, donutHumpValue);
      for (int i = 0; i < 3; ++i) smoothProfileKink(table, kHalf);
      break;
    case 12:  // mixed donut
      fillTable(table, [](int k) {
        const double s = sinDeg(359.9 * k / kProfileLast);
        return 5000.0 - 2500.0 * s * s * s;
      });
      reversed = true;
      break;
    case 13:  // sigmoid
      fillTable(table, [](int k) { return 5000.0 - 2500.0 * sinDeg(359.9 * k / kProfileLast); });
      reversed = true;
      break;
    default:  // 1, ramp, and any number that is not a table shape
      fillTable(table, w);
      break;
  }
  if (reversed) reverseProfile(table);
  return table;
}

void applyProfileRow(float* values, int32_t count, const ProfileTable& table) {
  for (int32_t x = 0; x < count; ++x) values[x] = profileValue(table, values[x]);
}

void limitClosenessRow(float* values, int32_t count) {
  constexpr auto kLast = static_cast<float>(kProfileLast);
  for (int32_t x = 0; x < count; ++x) values[x] = std::clamp(values[x], 0.0f, kLast);
}

ProfileTable scaledProfile(int shape, int radiusPx, int height) {
  ProfileTable table = unscaledProfile(shape);
  const auto factor = static_cast<float>(static_cast<double>(radiusPx) * height / 5000.0);
  for (float& v : table.values) v *= factor;
  return table;
}

}  // namespace orichalcumite
