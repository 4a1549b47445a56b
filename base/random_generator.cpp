#include "base/random_generator.h"

#include <chrono>
#include <cstdlib>
#include <utility>

namespace orichalcumite {

uint32_t RandomGenerator::seedForRun() {
  const char* fixed = std::getenv("ORICHALCUMITE_RAND_SEED");
  char* end = nullptr;
  if (fixed && *fixed) {
    const unsigned long parsed = std::strtoul(fixed, &end, 10);
    if (end && *end == '\0') {
      seed(static_cast<uint32_t>(parsed));
      return static_cast<uint32_t>(parsed);
    }
  }
  const auto value = static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch() /
                                           std::chrono::seconds(1));
  seed(value);
  return value;
}

RandomGenerator& runRandom() {
  static RandomGenerator generator;
  return generator;
}

int randomIn(RandomGenerator& rng, int a, int b) {
  if (b < a) std::swap(a, b);
  const unsigned span = static_cast<unsigned>(b) - static_cast<unsigned>(a);
  unsigned mask = 1;
  while (mask < span) mask = (mask << 1) | 1;
  // rand() / 16 has 11 bits: for ranges wider than 2047 every draw fits at once.
  for (;;) {
    const int r = a + static_cast<int>(mask & static_cast<unsigned>(rng.next() / 16));
    if (r <= b) return r;
  }
}

}  // namespace orichalcumite
