#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>

#include "base/large_block.h"

namespace orichalcumite {
namespace {

bool allZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

TEST(LargeBlock, FreshBlocksOfEverySizeAreZeroAlignedAndWritableToTheEnd) {
  // Heap-sized, small-page mapped, one huge page, and a huge page plus a partial one.
  for (size_t bytes :
       {size_t{1}, size_t{1000}, size_t{300} << 10, kHugePageBytes, kHugePageBytes * 3 + 12345}) {
    auto* p = static_cast<uint8_t*>(allocateLargeBlock(bytes));
    ASSERT_NE(p, nullptr) << bytes;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 64, 0u) << bytes;
    if (bytes >= kHugePageBytes) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % kHugePageBytes, 0u);
    }
    EXPECT_TRUE(allZero(p, bytes)) << bytes;
    p[0] = 1;
    p[bytes - 1] = 2;
    releaseLargeBlock(p, bytes);
  }
}

// Released blocks of up to a few megabytes are kept and handed out again for the same length:
// they must come back cleared, and as aligned as a fresh one.
TEST(LargeBlock, AReleasedBlockGivesNoOldContentsToTheNext) {
  for (const size_t bytes :
       {size_t{300} << 10, kHugePageBytes + 4096, size_t{8} << 20, (size_t{8} << 20) + 1}) {
    for (int round = 0; round < 3; ++round) {
      auto* p = static_cast<uint8_t*>(allocateLargeBlock(bytes));
      ASSERT_NE(p, nullptr);
      ASSERT_TRUE(allZero(p, bytes)) << bytes << " round " << round;
      EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % (bytes >= kHugePageBytes ? kHugePageBytes : 64),
                0u);
      std::fill_n(p, bytes, uint8_t{0xAB});
      releaseLargeBlock(p, bytes);
    }
  }
}

TEST(LargeArray, ShrinkingAndRegrowingWithinTheBlockKeepsItsContents) {
  LargeArray<float> a;
  ASSERT_TRUE(a.resize(1000));
  std::iota(a.data(), a.data() + a.size(), 1.0f);
  const float* block = a.data();
  ASSERT_TRUE(a.resize(10));
  ASSERT_TRUE(a.resize(1000));
  EXPECT_EQ(a.data(), block);  // no new block, so no new fill
  EXPECT_EQ(a[999], 1000.0f);
  a.clear();
  for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(a[i], 0.0f);
  // Growing past the block takes a new, zero-filled one.
  ASSERT_TRUE(a.resize(1 << 20));
  for (size_t i = 0; i < a.size(); i += 4097) ASSERT_EQ(a[i], 0.0f);
}

TEST(LargeArray, MovesHandOverTheBlockAndRefusesImpossibleSizes) {
  LargeArray<double> a;
  ASSERT_TRUE(a.resize(5));
  a[4] = 2.5;
  LargeArray<double> b(std::move(a));
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(b[4], 2.5);
  a = std::move(b);
  EXPECT_EQ(a[4], 2.5);
  EXPECT_FALSE(a.resize(SIZE_MAX / 4));
  EXPECT_TRUE(a.empty());
}

}  // namespace
}  // namespace orichalcumite
