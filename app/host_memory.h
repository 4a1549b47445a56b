// Memory the host lends a filter: handles (the parameters block, the data block, descriptor
// handles), buffers and the basic suite's blocks, with the procedure tables a FilterRecord
// points at.
//
// A handle is a pointer to a master-pointer cell whose first word points at the data, so a
// filter that dereferences a handle without locking it still finds its bytes. Resizing moves
// the data and updates the cell. A disposed cell is kept (pointing at nothing) until the
// HostMemory goes away, so a stale handle never aliases a newer one and disposing twice is
// harmless. Unknown handles, buffers and blocks are refused, never dereferenced.
//
// The procedure tables carry no context, so they reach the HostMemory made active with
// activate(); one filter run is active at a time. Every procedure is noexcept and safe to call
// from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "protocol/filter_protocol.h"

namespace orichalcumite {

class HostMemory {
 public:
  // `spaceBytes` is what spaceProc and the FilterRecord's maxSpace report.
  explicit HostMemory(int64_t spaceBytes);
  ~HostMemory();
  HostMemory(const HostMemory&) = delete;
  HostMemory& operator=(const HostMemory&) = delete;

  // Makes this the memory behind the procedure tables; deactivate() (or destruction) undoes it.
  void activate();
  void deactivate();
  static HostMemory* active();

  // ---- Handles. Sizes are 0..INT32_MAX bytes; new memory is zeroed.
  ps::Handle newHandle(int64_t size);
  ps::Handle newHandle(std::span<const uint8_t> contents);
  bool isLive(ps::Handle h) const;
  void dispose(ps::Handle h);
  // Size in bytes, or -1 for a handle that is not live.
  int64_t size(ps::Handle h) const;
  ps::OSErr resize(ps::Handle h, int64_t newSize);
  // A copy of the bytes of a live handle.
  std::optional<std::vector<uint8_t>> contents(ps::Handle h) const;
  ps::Ptr lock(ps::Handle h);
  void unlock(ps::Handle h);
  size_t liveHandleCount() const;

  // ---- Buffers.
  ps::OSErr allocateBuffer(int64_t size, ps::BufferID* id);
  ps::Ptr lockBuffer(ps::BufferID id);
  void freeBuffer(ps::BufferID id);

  // ---- Basic-suite blocks.
  ps::SPErr allocateBlock(size_t size, void** block);
  ps::SPErr freeBlock(void* block);
  ps::SPErr reallocateBlock(void* block, size_t newSize, void** newBlock);

  int64_t spaceBytes() const { return spaceBytes_; }

  // Procedure tables for a FilterRecord; they act on the active HostMemory.
  static ps::HandleProcs* handleProcs();
  static ps::BufferProcs* bufferProcs();
  static ps::SPBasicSuite* basicSuite();

 private:
  struct Cell {
    char* master = nullptr;  // must stay the first member: the handle points here
    size_t size = 0;
    int locks = 0;
    bool live = false;
  };

  Cell* liveCell(ps::Handle h) const;

  const int64_t spaceBytes_;
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<Cell>> cells_;
  std::unordered_map<ps::Handle, Cell*> cellsByHandle_;
  std::unordered_map<ps::BufferID, std::vector<uint8_t>> buffers_;
  std::unordered_map<void*, size_t> blocks_;
};

// Bytes the machine can lend a filter: half the physical memory.
int64_t defaultSpaceBytes();

}  // namespace orichalcumite
