// The pass machinery: cuts a pass rectangle into work units and runs them on one worker thread
// per slot, kept for the pass, with a start and a done event per slot. The thread that calls
// runPass is the dispatcher: it alone prepares and completes units (and so alone talks to the
// host).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "base/rect.h"

namespace orichalcumite {

// How a pass rectangle is cut into units.
enum class TilingMode : int {
  tiles = 0,        // 128 × 128 tiles, row-major, the last ones cut to what remains
  rows = 1,         // one full-width row per unit
  rowsAlt = 3,      // as rows
  columns = 4,      // one full-height column per unit
  rowBands = 5,     // bands of 64 full-width rows
  columnBands = 6,  // bands of 64 full-height columns
  finalBands = 7,   // as rowBands; the final pass
};

// What a worker runs on its unit.
enum class PassKind : int {
  finalPass = 2,
  reduceInteger = -1000,  // one 2:1 pyramid step of an 8- or 16-bit picture
  reduceFloat = -1001,    // the same for a float picture
  blurRows = -1002,       // a horizontal box-blur pass over each row of the unit
  blurColumns = -1003,    // a vertical box-blur pass over each column of the unit
};

constexpr int kTileSize = 128;
constexpr int kBandSize = 64;
constexpr int kMaxSlots = 100;

// The cutting of one pass. The unit rectangle is relative to the pass rectangle (0-based).
struct Tiling {
  Rect32 pass;
  int32_t width = 0, height = 0;
  TilingMode mode = TilingMode::tiles;
  int32_t tileSize = kTileSize;
  int32_t unitsAcross = 0;
  int32_t totalUnits = 0;
  int32_t unitIndex = 0;
  Rect32 unit;
};

Tiling makeTiling(const Rect32& pass, TilingMode mode);
// The rectangle of unit `index`, relative to the pass rectangle.
Rect32 unitRect(const Tiling& tiling, int32_t index);
// Threads to use: the processor count (at least 1), at most the units and at most 100; row
// passes and the final pass run one unit at a time.
int slotCount(int processors, int32_t totalUnits, TilingMode mode);
// The processor count the system reports.
int processorCount();

// A set of auto-reset events that share one lock, so the dispatcher can wait for any of them.
class EventSet {
 public:
  explicit EventSet(int count) : signalled_(static_cast<size_t>(count), false) {}
  void set(int index);
  void reset(int index);
  // Waits until event `index` is set, then clears it.
  void wait(int index);
  // Waits until any event of [first, first + count) is set, clears it and returns its index.
  int waitAny(int first, int count);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<bool> signalled_;
};

// One running unit, owned by the dispatcher from start to completion.
struct WorkUnit {
  PassKind kind = PassKind::finalPass;
  int status = -1;       // -1 being set up, 0 started, -2 the start signal could not be raised
  Tiling tiling;         // with this unit's index and rectangle
  void* band = nullptr;  // the unit's buffer, when its pass uses one
  int slot = 0;
};

// What a pass does with its units. prepareUnit and completeUnit run on the dispatcher;
// runUnit runs on the unit's worker thread and must not throw.
class PassWork {
 public:
  virtual ~PassWork() = default;
  // Called before the unit's thread starts (fill a band buffer, ask the host for data).
  virtual void prepareUnit(WorkUnit& unit) = 0;
  virtual void runUnit(WorkUnit& unit) noexcept = 0;
  // Called after the unit's done event, then the unit is freed. `aborted` says whether a cancel
  // is pending.
  virtual void completeUnit(WorkUnit& unit, bool aborted) = 0;
  // Asked after each completed unit; true ends the pass once running units have finished.
  virtual bool shouldAbort() { return false; }
  // Progress, at most every half second: units completed of the pass's total.
  virtual void reportProgress(int32_t /*completed*/, int32_t /*total*/) {}
};

struct PassResult {
  int slots = 0;
  int32_t unitsCompleted = 0;
  bool aborted = false;
};

// Runs one pass to completion over `tiling` with up to `processors` worker threads.
PassResult runPass(PassKind kind, const Tiling& tiling, PassWork& work, int processors);

}  // namespace orichalcumite
