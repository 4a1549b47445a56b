#include "base/large_block.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

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

// Mapped blocks up to this length are kept when released, up to kKeptBytes in all, and handed
// out again (cleared) for the same length. The dialog's preview makes its field and band
// buffers of the same few hundred kilobytes for every render; a fresh mapping each time
// faulted in every page again, which cost the preview half its time again.
constexpr size_t kKeptUpTo = size_t{8} << 20;
constexpr size_t kKeptBytes = size_t{32} << 20;

// Set when the kept blocks are gone at the end of the process (or when the library holding
// them is unloaded); blocks released after that are unmapped at once.
bool gKeptBlocksGone = false;

struct KeptBlocks {
  std::mutex mutex;
  std::vector<std::pair<size_t, void*>> blocks;  // mapped length, start
  size_t bytes = 0;

  ~KeptBlocks() {
    for (const auto& [length, block] : blocks) munmap(block, length);
    gKeptBlocksGone = true;
  }
};

KeptBlocks& keptBlocks() {
  static KeptBlocks kept;
  return kept;
}

// A kept block of exactly `length`, cleared; null when there is none.
void* takeKeptBlock(size_t length) noexcept {
  if (length > kKeptUpTo || gKeptBlocksGone) return nullptr;
  KeptBlocks& kept = keptBlocks();
  void* block = nullptr;
  {
    std::lock_guard lock(kept.mutex);
    for (size_t i = 0; i < kept.blocks.size(); ++i) {
      if (kept.blocks[i].first != length) continue;
      block = kept.blocks[i].second;
      kept.blocks[i] = kept.blocks.back();
      kept.blocks.pop_back();
      kept.bytes -= length;
      break;
    }
  }
  if (block) std::memset(block, 0, length);
  return block;
}

// Keeps a released block for the next of its length; false when it is too large or the kept
// blocks would take too much memory.
bool keepBlock(void* block, size_t length) noexcept {
  if (length > kKeptUpTo || gKeptBlocksGone) return false;
  KeptBlocks& kept = keptBlocks();
  std::lock_guard lock(kept.mutex);
  if (kept.bytes + length > kKeptBytes) return false;
  try {
    kept.blocks.emplace_back(length, block);
  } catch (const std::bad_alloc&) {
    return false;
  }
  kept.bytes += length;
  return true;
}

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
  if (void* block = takeKeptBlock(length)) return block;
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
  const size_t length = mappedLength(bytes);
  if (!keepBlock(block, length)) munmap(block, length);
}

}  // namespace orichalcumite
