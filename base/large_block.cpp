#include "base/large_block.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace orichalcumite {
namespace {

// Below this a block comes from the ordinary heap: a system mapping per small buffer would
// cost more than it saves.
constexpr size_t kMappedFrom = size_t{256} << 10;
constexpr size_t kAlignment = 64;

constexpr size_t kPageBytes = 4096;

// Whole pages. A block's last, partial huge page stays in small pages: the system backs only
// whole huge-page ranges of a mapping with huge pages, so nothing is rounded up to one.
size_t mappedLength(size_t bytes) { return (bytes + kPageBytes - 1) / kPageBytes * kPageBytes; }

}  // namespace

void* allocateLargeBlock(size_t bytes) noexcept {
  if (bytes == 0) bytes = 1;
  if (bytes < kMappedFrom) {
    // The heap's zeroing allocator; its blocks are aligned to 16 bytes, so the block is
    // over-allocated and the aligned start remembered just before it.
    const size_t total = bytes + kAlignment + sizeof(void*);
    void* raw = std::calloc(1, total);
    if (!raw) return nullptr;
    auto start = reinterpret_cast<uintptr_t>(raw) + sizeof(void*);
    start = (start + kAlignment - 1) / kAlignment * kAlignment;
    reinterpret_cast<void**>(start)[-1] = raw;
    return reinterpret_cast<void*>(start);
  }
  if (bytes > SIZE_MAX - 2 * kHugePageBytes) return nullptr;
  const size_t length = mappedLength(bytes);
  if (bytes < kHugePageBytes) {
    void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
  }
  // Mapped one huge page longer than needed, then trimmed, so that the block starts on a
  // huge-page boundary and every page of it can be a huge page.
  const size_t padded = length + kHugePageBytes;
  void* raw = mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto base = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t start = (base + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  if (start > base) munmap(raw, start - base);
  const uintptr_t tail = start + length;
  if (base + padded > tail) munmap(reinterpret_cast<void*>(tail), base + padded - tail);
  // Only advice: without huge pages the block works the same, with more faults.
  madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(start);
}

void releaseLargeBlock(void* block, size_t bytes) noexcept {
  if (!block) return;
  if (bytes == 0) bytes = 1;
  if (bytes < kMappedFrom) {
    std::free(static_cast<void**>(block)[-1]);
    return;
  }
  munmap(block, mappedLength(bytes));
}

}  // namespace orichalcumite
