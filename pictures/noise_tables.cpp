#include "pictures/noise_tables.h"

#include <cmath>
#include <utility>

namespace orichalcumite {
namespace {

constexpr int16_t kBaseNoiseTable[kNoiseTableSize] = {
#include "pictures/detail/base_noise_table.inc"
};

constexpr uint8_t kImprovedReferencePermutation[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,  103,
    30,  69,  142, 8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,  0,   26,
    197, 62,  94,  252, 219, 203, 117, 35,  11,  32,  57,  177, 33,  88,  237, 149, 56,  87,  174,
    20,  125, 136, 171, 168, 68,  175, 74,  165, 71,  134, 139, 48,  27,  166, 77,  146, 158, 231,
    83,  111, 229, 122, 60,  211, 133, 230, 220, 105, 92,  41,  55,  46,  245, 40,  244, 102, 143,
    54,  65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187, 208, 89,  18,  169, 200, 196,
    135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186, 3,   64,  52,  217, 226, 250, 124,
    123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212, 207, 206, 59,  227, 47,  16,  58,  17,
    182, 189, 28,  42,  223, 183, 170, 213, 119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101,
    155, 167, 43,  172, 9,   129, 22,  39,  253, 19,  98,  108, 110, 79,  113, 224, 232, 178, 185,
    112, 104, 218, 246, 97,  228, 251, 34,  242, 193, 238, 210, 144, 12,  191, 179, 162, 241, 81,
    51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,  181, 199, 106, 157, 184, 84,  204, 176,
    115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,  222, 114, 67,  29,  24,  72,  243,
    141, 128, 195, 78,  66,  215, 61,  156, 180};

// 1 / 255 as the tables have always used it (a hair above the exact value).
constexpr double kByteToUnit = 0.003921568627451;

// The classic tables read ByteNoise from this position on.
constexpr int kGradientReadStart = 39;

// A byte as a signed gradient component: x / 256 for odd x, (x - 256) / 256 for even x, so
// the component is never 0 and both signs occur.
double gradientComponent(int32_t byte) { return (((byte | (byte << 8)) & 511) - 256) / 256.0; }

Gradient2 unitGradient(double x, double y) {
  // Neither component is 0, so the length is never 0.
  const double length = std::sqrt(x * x + y * y);
  return {static_cast<float>(x / length), static_cast<float>(y / length)};
}

Gradient3 unitGradient(double x, double y, double z) {
  const double length = std::sqrt(x * x + y * y + z * z);
  return {static_cast<float>(x / length), static_cast<float>(y / length),
          static_cast<float>(z / length)};
}

// The 16 improved-noise directions: the 12 edge midpoints of a cube projected on the plane,
// with four repeated so that a 4-bit hash picks them evenly.
std::array<Gradient2, kImprovedGradientCount> improvedGradientDirections() {
  std::array<Gradient2, kImprovedGradientCount> gradients{};
  for (int h = 0; h < kImprovedGradientCount; ++h) {
    const bool takesX = h < 8 || h == 12 || h == 13;
    const bool takesY = h < 4 || h == 12 || h == 13;
    const int a = takesX ? 1 : 0;
    const int b = takesY ? 1 : 0;
    const int x = (h & 1) ? -a : a;
    const int y = ((h & 2) ? -b : b) + ((h & 1) ? -(1 - a) : (1 - a));
    gradients[h] = {static_cast<float>(x), static_cast<float>(y)};
  }
  return gradients;
}

}  // namespace

std::span<const int16_t, kNoiseTableSize> baseNoiseTable() {
  return std::span<const int16_t, kNoiseTableSize>(kBaseNoiseTable);
}

std::span<const uint8_t, 256> improvedNoiseReferencePermutation() {
  return std::span<const uint8_t, 256>(kImprovedReferencePermutation);
}

void buildByteNoise(ByteNoiseTable& byteNoise, int32_t seed) {
  // Unsigned so that any seed, negative or near the limits, wraps instead of overflowing;
  // only its low 11 bits reach the index.
  const auto s = static_cast<uint32_t>(seed);
  for (int k = 0; k < kNoiseTableSize; ++k) byteNoise[k] = kBaseNoiseTable[k] & 255;
  // Each step hands position k's current value to position j and puts k's own base byte
  // back, so only the exchange partners depend on the seed.
  for (int k = 0; k < kNoiseTableSize; ++k) {
    const int j = kBaseNoiseTable[(s + static_cast<uint32_t>(k)) & kNoiseTableMask];
    std::swap(byteNoise[k], byteNoise[j]);
    byteNoise[k] = kBaseNoiseTable[k] & 255;
  }
}

void buildNoiseTables(NoiseTables& tables, int32_t seed) {
  buildByteNoise(tables.byteNoise, seed);
  for (int k = 0; k < kNoiseTableSize; ++k) {
    tables.rawNoise[k] = kBaseNoiseTable[k];
    tables.unitNoise[k] = static_cast<float>(tables.byteNoise[k] * kByteToUnit);
  }
}

void buildGradientTables(NoiseTables& tables, int32_t randomSeed) {
  const ByteNoiseTable& bytes = tables.byteNoise;
  int a = kGradientReadStart;
  auto byteAt = [&](int offset) { return bytes[(a + offset) & kNoiseTableMask]; };
  for (int i = 0; i < 256; ++i) {
    tables.permutation[i] = i;
    tables.gradient1[i] = static_cast<float>(gradientComponent(byteAt(0)));
    tables.gradient2[i] = unitGradient(gradientComponent(byteAt(2)), gradientComponent(byteAt(4)));
    tables.gradient3[i] = unitGradient(gradientComponent(byteAt(6)), gradientComponent(byteAt(8)),
                                       gradientComponent(byteAt(10)));
    a += 12;
  }
  // Shuffle the permutation; the partner k may lie above j, which still leaves a permutation.
  for (int j = 255; j >= 1; --j) {
    std::swap(tables.permutation[j], tables.permutation[byteAt(0)]);
    a += 2;
  }
  // Entries 256..513 repeat 0..257 (in order, so 512 and 513 repeat the copies of 0 and 1).
  for (int i = 0; i < 258; ++i) {
    tables.permutation[256 + i] = tables.permutation[i];
    tables.gradient1[256 + i] = tables.gradient1[i];
    tables.gradient2[256 + i] = tables.gradient2[i];
    tables.gradient3[256 + i] = tables.gradient3[i];
  }

  const auto turn = static_cast<uint32_t>(randomSeed);
  for (int i = 0; i < 256; ++i) {
    const int32_t value = kImprovedReferencePermutation[(static_cast<uint32_t>(i) + turn) & 255];
    tables.improvedPermutation[i] = value;
    tables.improvedPermutation[i + 256] = value;
  }
  tables.improvedGradients = improvedGradientDirections();
}

NoiseTables makeNoiseTables(int32_t randomSeed) {
  NoiseTables tables;
  buildNoiseTables(tables, randomSeed);
  buildGradientTables(tables, randomSeed);
  return tables;
}

BlotchNoiseConstants derivedNoiseConstants(const NoiseTables& tables, int32_t blotchSize) {
  BlotchNoiseConstants c;
  c.c0 = static_cast<float>(tables.byteNoise[59] * 2.0 / 255.0 + 1.5);
  c.c1 = c.c0 * 2.0f;
  c.c2 = static_cast<float>(tables.byteNoise[60] * 0.7 / 255.0 + 0.3);
  c.c3 = c.c2 * c.c2;
  // Each step of the size setting lowers the frequency smoothly: six octaves over 0..100.
  c.c4 = static_cast<float>(std::exp2(3.0 - blotchSize * 6.0 / 100.0) * 0.01);
  return c;
}

}  // namespace orichalcumite
