// The run's pseudo-random generator, with the contract of the C runtime's rand(): results in
// 0..32767. Randomize and some texture generators draw from it. It is seeded from the clock
// when a run starts, or from ORICHALCUMITE_RAND_SEED when that is set, so a run can be
// reproduced.
#pragma once

#include <cstdint>

namespace orichalcumite {

class RandomGenerator {
 public:
  static constexpr int kMax = 32767;

  explicit RandomGenerator(uint32_t seed = 1) : state_(seed) {}

  void seed(uint32_t seed) { state_ = seed; }
  // Seeds from ORICHALCUMITE_RAND_SEED when it holds a number, otherwise from the clock.
  // Returns the seed used.
  uint32_t seedForRun();

  // Next value in 0..32767 (a linear congruential step, high bits taken).
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFF);
  }

 private:
  uint32_t state_;
};

// The process's generator: one per run, used only on the host's thread.
RandomGenerator& runRandom();

// A random integer between a and b inclusive (swapped when b < a). Draws rand() / 16 masked
// to the smallest 2^k - 1 that covers the range and retries until the value fits, so ranges
// wider than 2047 are never fully covered.
int randomIn(RandomGenerator& rng, int a, int b);

}  // namespace orichalcumite
