#include "pictures/sampler_weights.h"

#include <cmath>

namespace orichalcumite {
namespace {

// The kernel's own value of pi; it keeps the tables identical wherever they are built.
constexpr double kKernelPi = 3.141592653;

// Lanczos window of radius 2: sinc(t) x sinc(t / 2).
double lanczos2(double t) {
  if (t == 0.0) return 1.0;
  if (std::fabs(t) >= 2.0) return 0.0;
  const double a = kKernelPi * t;
  const double b = a / 2.0;
  return std::sin(a) / a * (std::sin(b) / b);
}

// Each tap integrates the kernel over a box of twenty shifts 0, 1/21, ..., 19/21 of a
// pixel, which softens the kernel's ringing while keeping it interpolating-like.
constexpr int kBoxShifts = 20;
constexpr double kBoxStep = 1.0 / 21.0;

SamplerWeights::FixedRow fixedRow(const std::array<double, kSamplerTaps>& w, std::int32_t one) {
  // Taps +2..-1 are truncated; tap -2 takes what remains, so the row sums to `one` exactly.
  SamplerWeights::FixedRow row{};
  std::int32_t sum = 0;
  for (int tap = kSamplerTaps - 1; tap >= 1; --tap) {
    row[tap] = static_cast<std::int32_t>(w[tap] * one);
    sum += row[tap];
  }
  row[0] = one - sum;
  return row;
}

}  // namespace

SamplerWeights makeSamplerWeights() {
  SamplerWeights tables{};
  for (int i = 0; i < kSamplerSubPositions; ++i) {
    const double s = i / static_cast<double>(kSamplerSubPositions);
    std::array<double, kSamplerTaps> raw{};
    double total = 0.0;
    for (int tap = 0; tap < kSamplerTaps; ++tap) {
      const int t = tap - 2;
      for (int j = 0; j < kBoxShifts; ++j) raw[tap] += lanczos2(s - j * kBoxStep - t);
      total += raw[tap];
    }
    std::array<double, kSamplerTaps> w{};
    double others = 0.0;
    for (int tap = kSamplerTaps - 1; tap >= 1; --tap) {
      w[tap] = raw[tap] / total;
      others += w[tap];
    }
    w[0] = 1.0 - others;
    for (int tap = 0; tap < kSamplerTaps; ++tap) tables.real[i][tap] = static_cast<float>(w[tap]);
    tables.fixed8[i] = fixedRow(w, kSamplerOne8Bit);
    tables.fixed16[i] = fixedRow(w, kSamplerOne16Bit);
  }
  return tables;
}

const SamplerWeights& samplerWeights() {
  static const SamplerWeights tables = makeSamplerWeights();
  return tables;
}

}  // namespace orichalcumite
