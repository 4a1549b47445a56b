// Fixed-point arithmetic of the glue modes: 15-bit fixed point (32768 = 1.0), conversions
// from and to float channels, and the building blocks several modes share.
//
// Values travel as int64_t. Channels are at most kMaxMaterialFixed (material) or kOne
// (source), so every product of two values, and the squares the superlay mode takes of
// such products, stay far inside 64 bits.
#pragma once

#include <algorithm>
#include <cstdint>

#include "pictures/rgba.h"

namespace orichalcumite::detail {

constexpr int64_t kOne = 32768;
constexpr int64_t kHalf = 16384;

// Material may exceed 1 (bright highlights); above 256 every mode's answer has long since
// stopped depending on it in any visible way, and the limit keeps the superlay mode's
// fourth powers inside 64 bits.
constexpr float kMaxMaterial = 256.0f;
constexpr int64_t kMaxMaterialFixed = int64_t(kMaxMaterial) * kOne;

// The whole part of v × 32768, for v in 0..limit; negative values and NaN give 0, larger
// values the limit (a NaN fails the first test). The limits × 32768 fit in 32 bits.
inline int64_t fixedOf(float v, float limit) {
  v = v > 0.0f ? v : 0.0f;
  v = v < limit ? v : limit;
  return int32_t(v * 32768.0f);  // exact scaling by a power of two, then truncation
}

// A material channel, limited to kMaxMaterial.
inline int64_t materialFixed(float v) { return fixedOf(v, kMaxMaterial); }
// A source channel. Sources are colours of the image in 0..1.
inline int64_t sourceFixed(float v) { return fixedOf(v, 1.0f); }

inline float floatOf(int64_t q) { return float(q) / 32768.0f; }

inline int64_t clampOne(int64_t v) { return std::clamp<int64_t>(v, 0, kOne); }

// Three fixed-point colour channels.
struct Fixed3 {
  int64_t red, green, blue;
};

inline Fixed3 materialFixed(const Rgba& c) {
  return {materialFixed(c.red), materialFixed(c.green), materialFixed(c.blue)};
}
inline Fixed3 sourceFixed(const Rgba& c) {
  return {sourceFixed(c.red), sourceFixed(c.green), sourceFixed(c.blue)};
}
inline Rgba rgbaOf(const Fixed3& c, float alpha) {
  return {floatOf(c.red), floatOf(c.green), floatOf(c.blue), alpha};
}

// Twice the product and twice the screen: the two halves of overlay and hard light.
inline int64_t mul2(int64_t m, int64_t s) { return (m * s) >> 14; }
inline int64_t scr2(int64_t m, int64_t s) { return kOne - (((kOne - s) * (kOne - m)) >> 14); }

// Overlay: the source decides which half applies. Hard light: the material decides.
inline int64_t overlay(int64_t s, int64_t m) { return s >= kHalf ? scr2(m, s) : mul2(m, s); }
inline int64_t hardLight(int64_t s, int64_t m) { return m < kHalf ? mul2(m, s) : scr2(m, s); }

// Pin light of light `l` over base `b`.
inline int64_t pin(int64_t b, int64_t l) {
  return l >= kHalf ? std::max(b, 2 * l - kOne) : std::min(b, 2 * l);
}

// Weighted brightness with the low eight bits cleared, for whole-colour comparisons.
inline int64_t luma8(const Fixed3& c) {
  return (77 * c.red + 150 * c.green + 28 * c.blue) & ~int64_t{255};
}

// a + (b − a) × w in fixed point, w a fixed-point weight.
inline int64_t lerpFixed(int64_t a, int64_t b, int64_t w) { return (b * w + (kOne - w) * a) >> 15; }

}  // namespace orichalcumite::detail
