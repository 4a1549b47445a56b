#include "app/host_memory.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace ps {
// A buffer handed to a filter is the address of its entry's vector; the type stays opaque.
struct PSBuffer {};
}  // namespace ps

namespace orichalcumite {
namespace {

std::atomic<HostMemory*> gActive{nullptr};

constexpr int64_t kMaxHandleSize = std::numeric_limits<int32_t>::max();

// ---- Handle procedures

ps::Handle newHandleProc(int32_t size) noexcept {
  HostMemory* m = HostMemory::active();
  return m ? m->newHandle(size) : nullptr;
}
void disposeHandleProc(ps::Handle h) noexcept {
  if (HostMemory* m = HostMemory::active()) m->dispose(h);
}
int32_t getHandleSizeProc(ps::Handle h) noexcept {
  HostMemory* m = HostMemory::active();
  const int64_t size = m ? m->size(h) : -1;
  return size < 0 ? 0 : static_cast<int32_t>(size);
}
ps::OSErr setHandleSizeProc(ps::Handle h, int32_t newSize) noexcept {
  HostMemory* m = HostMemory::active();
  return m ? m->resize(h, newSize) : ps::nilHandleErr;
}
ps::Ptr lockHandleProc(ps::Handle h, ps::Boolean) noexcept {
  HostMemory* m = HostMemory::active();
  return m ? m->lock(h) : nullptr;
}
void unlockHandleProc(ps::Handle h) noexcept {
  if (HostMemory* m = HostMemory::active()) m->unlock(h);
}
void recoverSpaceProc(int32_t) noexcept {}

// ---- Buffer procedures

ps::OSErr allocateBufferProc(int32_t size, ps::BufferID* id) noexcept {
  HostMemory* m = HostMemory::active();
  return m ? m->allocateBuffer(size, id) : ps::memFullErr;
}
ps::OSErr allocateBuffer64Proc(int64_t size, ps::BufferID* id) noexcept {
  HostMemory* m = HostMemory::active();
  return m ? m->allocateBuffer(size, id) : ps::memFullErr;
}
ps::Ptr lockBufferProc(ps::BufferID id, ps::Boolean) noexcept {
  HostMemory* m = HostMemory::active();
  return m ? m->lockBuffer(id) : nullptr;
}
void unlockBufferProc(ps::BufferID) noexcept {}
void freeBufferProc(ps::BufferID id) noexcept {
  if (HostMemory* m = HostMemory::active()) m->freeBuffer(id);
}
int64_t space64Proc() noexcept {
  HostMemory* m = HostMemory::active();
  return m ? m->spaceBytes() : 0;
}
int32_t spaceProc() noexcept {
  return static_cast<int32_t>(
      std::min<int64_t>(space64Proc(), std::numeric_limits<int32_t>::max()));
}
ps::OSErr reserveProc(int32_t) noexcept { return ps::noErr; }

// ---- Basic suite

constexpr const char* kBasicSuiteName = "SP Basic Suite";
constexpr int32_t kBasicSuiteVersion = 4;

ps::SPErr acquireSuiteProc(const char* name, int32_t version, const void** suite) noexcept {
  if (!name || !suite) return ps::kSPBadParameterError;
  // The basic suite is the only one this host offers; every other asks for a suite we do not
  // have, and the filter is told so.
  if (std::strcmp(name, kBasicSuiteName) == 0 && version <= kBasicSuiteVersion) {
    *suite = HostMemory::basicSuite();
    return ps::kSPNoError;
  }
  *suite = nullptr;
  return ps::kSPSuiteNotFoundError;
}
ps::SPErr releaseSuiteProc(const char* name, int32_t version) noexcept {
  if (!name) return ps::kSPBadParameterError;
  if (std::strcmp(name, kBasicSuiteName) == 0 && version <= kBasicSuiteVersion)
    return ps::kSPNoError;
  return ps::kSPSuiteNotFoundError;
}
ps::SPBoolean isEqualProc(const char* a, const char* b) noexcept {
  if (!a || !b) return a == b;
  return std::strcmp(a, b) == 0;
}
ps::SPErr allocateBlockProc(size_t size, void** block) noexcept {
  HostMemory* m = HostMemory::active();
  return m ? m->allocateBlock(size, block) : ps::kSPOutOfMemoryError;
}
ps::SPErr freeBlockProc(void* block) noexcept {
  HostMemory* m = HostMemory::active();
  return m ? m->freeBlock(block) : ps::kSPBadParameterError;
}
ps::SPErr reallocateBlockProc(void* block, size_t newSize, void** newBlock) noexcept {
  HostMemory* m = HostMemory::active();
  return m ? m->reallocateBlock(block, newSize, newBlock) : ps::kSPOutOfMemoryError;
}
ps::SPErr undefinedProc() noexcept { return ps::kSPUnimplementedError; }

ps::HandleProcs gHandleProcs = {
    ps::kCurrentHandleProcsVersion,
    ps::kCurrentHandleProcsCount,
    newHandleProc,
    disposeHandleProc,
    getHandleSizeProc,
    setHandleSizeProc,
    lockHandleProc,
    unlockHandleProc,
    recoverSpaceProc,
    disposeHandleProc,  // a "regular" handle is one of ours too
};

ps::BufferProcs gBufferProcs = {
    ps::kCurrentBufferProcsVersion,
    8,
    allocateBufferProc,
    lockBufferProc,
    unlockBufferProc,
    freeBufferProc,
    spaceProc,
    reserveProc,
    allocateBuffer64Proc,
    space64Proc,
};

ps::SPBasicSuite gBasicSuite = {
    acquireSuiteProc, releaseSuiteProc,    isEqualProc,   allocateBlockProc,
    freeBlockProc,    reallocateBlockProc, undefinedProc,
};

}  // namespace

HostMemory::HostMemory(int64_t spaceBytes) : spaceBytes_(std::max<int64_t>(spaceBytes, 0)) {}

HostMemory::~HostMemory() {
  deactivate();
  for (auto& cell : cells_) std::free(cell->master);
  for (auto& [block, size] : blocks_) std::free(block);
}

void HostMemory::activate() { gActive.store(this); }

void HostMemory::deactivate() {
  HostMemory* self = this;
  gActive.compare_exchange_strong(self, nullptr);
}

HostMemory* HostMemory::active() { return gActive.load(); }

HostMemory::Cell* HostMemory::liveCell(ps::Handle h) const {
  if (!h) return nullptr;
  auto it = cellsByHandle_.find(h);
  return it != cellsByHandle_.end() && it->second->live ? it->second : nullptr;
}

ps::Handle HostMemory::newHandle(int64_t size) {
  if (size < 0 || size > kMaxHandleSize) return nullptr;
  // Even an empty handle gets a byte, so that its master pointer is never null.
  char* data = static_cast<char*>(std::calloc(size_t(std::max<int64_t>(size, 1)), 1));
  if (!data) return nullptr;
  try {
    std::lock_guard lock(mutex_);
    auto cell = std::make_unique<Cell>();
    cell->master = data;
    cell->size = size_t(size);
    cell->live = true;
    auto handle = reinterpret_cast<ps::Handle>(&cell->master);
    cellsByHandle_.emplace(handle, cell.get());
    cells_.push_back(std::move(cell));
    return handle;
  } catch (const std::bad_alloc&) {
    std::free(data);
    return nullptr;
  }
}

ps::Handle HostMemory::newHandle(std::span<const uint8_t> contents) {
  ps::Handle h = newHandle(static_cast<int64_t>(contents.size()));
  if (h && !contents.empty()) std::memcpy(*h, contents.data(), contents.size());
  return h;
}

bool HostMemory::isLive(ps::Handle h) const {
  std::lock_guard lock(mutex_);
  return liveCell(h) != nullptr;
}

void HostMemory::dispose(ps::Handle h) {
  std::lock_guard lock(mutex_);
  Cell* cell = liveCell(h);
  if (!cell) return;
  std::free(cell->master);
  cell->master = nullptr;
  cell->size = 0;
  cell->live = false;
}

int64_t HostMemory::size(ps::Handle h) const {
  std::lock_guard lock(mutex_);
  const Cell* cell = liveCell(h);
  return cell ? static_cast<int64_t>(cell->size) : -1;
}

ps::OSErr HostMemory::resize(ps::Handle h, int64_t newSize) {
  std::lock_guard lock(mutex_);
  Cell* cell = liveCell(h);
  if (!cell) return ps::nilHandleErr;
  if (newSize < 0 || newSize > kMaxHandleSize) return ps::paramErr;
  const size_t bytes = size_t(std::max<int64_t>(newSize, 1));
  char* data = static_cast<char*>(std::realloc(cell->master, bytes));
  if (!data) return ps::memFullErr;
  if (size_t(newSize) > cell->size) std::memset(data + cell->size, 0, size_t(newSize) - cell->size);
  cell->master = data;
  cell->size = size_t(newSize);
  return ps::noErr;
}

std::optional<std::vector<uint8_t>> HostMemory::contents(ps::Handle h) const {
  std::lock_guard lock(mutex_);
  const Cell* cell = liveCell(h);
  if (!cell) return std::nullopt;
  const auto* begin = reinterpret_cast<const uint8_t*>(cell->master);
  return std::vector<uint8_t>(begin, begin + cell->size);
}

ps::Ptr HostMemory::lock(ps::Handle h) {
  std::lock_guard lock(mutex_);
  Cell* cell = liveCell(h);
  if (!cell) return nullptr;
  ++cell->locks;
  return cell->master;
}

void HostMemory::unlock(ps::Handle h) {
  std::lock_guard lock(mutex_);
  if (Cell* cell = liveCell(h); cell && cell->locks > 0) --cell->locks;
}

size_t HostMemory::liveHandleCount() const {
  std::lock_guard lock(mutex_);
  return size_t(std::count_if(cells_.begin(), cells_.end(), [](const auto& c) { return c->live; }));
}

ps::OSErr HostMemory::allocateBuffer(int64_t size, ps::BufferID* id) {
  if (!id) return ps::paramErr;
  *id = nullptr;
  if (size < 0 || size > spaceBytes_) return ps::memFullErr;
  try {
    std::vector<uint8_t> bytes(size_t(std::max<int64_t>(size, 1)));
    std::lock_guard lock(mutex_);
    // The vector's heap block is unique while it lives, so its address names the buffer.
    auto key = reinterpret_cast<ps::BufferID>(bytes.data());
    buffers_.emplace(key, std::move(bytes));
    *id = key;
    return ps::noErr;
  } catch (const std::bad_alloc&) {
    return ps::memFullErr;
  }
}

ps::Ptr HostMemory::lockBuffer(ps::BufferID id) {
  std::lock_guard lock(mutex_);
  auto it = buffers_.find(id);
  return it == buffers_.end() ? nullptr : reinterpret_cast<ps::Ptr>(it->second.data());
}

void HostMemory::freeBuffer(ps::BufferID id) {
  std::lock_guard lock(mutex_);
  buffers_.erase(id);
}

ps::SPErr HostMemory::allocateBlock(size_t size, void** block) {
  if (!block) return ps::kSPBadParameterError;
  *block = nullptr;
  void* p = std::malloc(std::max<size_t>(size, 1));
  if (!p) return ps::kSPOutOfMemoryError;
  try {
    std::lock_guard lock(mutex_);
    blocks_.emplace(p, size);
  } catch (const std::bad_alloc&) {
    std::free(p);
    return ps::kSPOutOfMemoryError;
  }
  *block = p;
  return ps::kSPNoError;
}

ps::SPErr HostMemory::freeBlock(void* block) {
  if (!block) return ps::kSPNoError;
  std::lock_guard lock(mutex_);
  auto it = blocks_.find(block);
  if (it == blocks_.end()) return ps::kSPBadParameterError;
  std::free(block);
  blocks_.erase(it);
  return ps::kSPNoError;
}

ps::SPErr HostMemory::reallocateBlock(void* block, size_t newSize, void** newBlock) {
  if (!newBlock) return ps::kSPBadParameterError;
  if (!block) return allocateBlock(newSize, newBlock);
  std::lock_guard lock(mutex_);
  auto it = blocks_.find(block);
  if (it == blocks_.end()) return ps::kSPBadParameterError;
  void* p = std::realloc(block, std::max<size_t>(newSize, 1));
  if (!p) return ps::kSPOutOfMemoryError;
  blocks_.erase(it);
  try {
    blocks_.emplace(p, newSize);
  } catch (const std::bad_alloc&) {
    std::free(p);
    *newBlock = nullptr;
    return ps::kSPOutOfMemoryError;
  }
  *newBlock = p;
  return ps::kSPNoError;
}

ps::HandleProcs* HostMemory::handleProcs() { return &gHandleProcs; }
ps::BufferProcs* HostMemory::bufferProcs() { return &gBufferProcs; }
ps::SPBasicSuite* HostMemory::basicSuite() { return &gBasicSuite; }

int64_t defaultSpaceBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return int64_t(1) << 30;
  return int64_t(pages) * int64_t(pageSize) / 2;
}

}  // namespace orichalcumite
