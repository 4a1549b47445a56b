#include "render/worker_pool.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

namespace orichalcumite {

Tiling makeTiling(const Rect32& pass, TilingMode mode) {
  Tiling t;
  t.pass = pass;
  t.width = std::max(pass.width(), 0);
  t.height = std::max(pass.height(), 0);
  t.mode = mode;
  t.tileSize = kTileSize;
  if (t.width == 0 || t.height == 0) return t;
  switch (mode) {
    case TilingMode::tiles:
      t.unitsAcross = (t.width + kTileSize - 1) / kTileSize;
      t.totalUnits = t.unitsAcross * ((t.height + kTileSize - 1) / kTileSize);
      break;
    case TilingMode::rows:
    case TilingMode::rowsAlt:
      t.unitsAcross = 1;
      t.totalUnits = t.height;
      break;
    case TilingMode::columns:
      t.unitsAcross = t.width;
      t.totalUnits = t.width;
      break;
    case TilingMode::rowBands:
    case TilingMode::finalBands:
      t.unitsAcross = 1;
      t.totalUnits = (t.height + kBandSize - 1) / kBandSize;
      break;
    case TilingMode::columnBands:
      t.unitsAcross = (t.width + kBandSize - 1) / kBandSize;
      t.totalUnits = t.unitsAcross;
      break;
  }
  return t;
}

Rect32 unitRect(const Tiling& t, int32_t index) {
  switch (t.mode) {
    case TilingMode::tiles: {
      const int32_t left = (index % t.unitsAcross) * kTileSize;
      const int32_t top = (index / t.unitsAcross) * kTileSize;
      return {top, left, std::min(top + kTileSize, t.height), std::min(left + kTileSize, t.width)};
    }
    case TilingMode::rows:
    case TilingMode::rowsAlt: return {index, 0, index + 1, t.width};
    case TilingMode::columns: return {0, index, t.height, index + 1};
    case TilingMode::rowBands:
    case TilingMode::finalBands: {
      const int32_t top = index * kBandSize;
      return {top, 0, std::min(top + kBandSize, t.height), t.width};
    }
    case TilingMode::columnBands: {
      const int32_t left = index * kBandSize;
      return {0, left, t.height, std::min(left + kBandSize, t.width)};
    }
  }
  return {};
}

int slotCount(int processors, int32_t totalUnits, TilingMode mode) {
  if (mode == TilingMode::rows || mode == TilingMode::finalBands || static_cast<int>(mode) == 2)
    return totalUnits > 0 ? 1 : 0;
  int slots = std::max(processors, 1);
  slots = std::min<int32_t>(slots, totalUnits);
  return std::min(slots, kMaxSlots);
}

int processorCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

void EventSet::set(int index) {
  {
    std::lock_guard lock(mutex_);
    signalled_[static_cast<size_t>(index)] = true;
  }
  changed_.notify_all();
}

void EventSet::reset(int index) {
  std::lock_guard lock(mutex_);
  signalled_[static_cast<size_t>(index)] = false;
}

void EventSet::wait(int index) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return signalled_[static_cast<size_t>(index)]; });
  signalled_[static_cast<size_t>(index)] = false;
}

int EventSet::waitAny(int first, int count) {
  std::unique_lock lock(mutex_);
  int found = -1;
  changed_.wait(lock, [&] {
    for (int i = first; i < first + count; ++i) {
      if (signalled_[static_cast<size_t>(i)]) {
        found = i;
        return true;
      }
    }
    return false;
  });
  signalled_[static_cast<size_t>(found)] = false;
  return found;
}

namespace {

using Clock = std::chrono::steady_clock;

// The dispatcher of one pass. Slot i uses start event i and done event slots + i. Each slot
// keeps one worker thread for the whole pass: it waits for its start event, runs the unit the
// dispatcher put in the slot, raises the done event and waits again, so a pass of many small
// units starts a thread per slot rather than one per unit.
class Dispatcher {
 public:
  Dispatcher(PassKind kind, const Tiling& tiling, PassWork& work, int slots)
      : kind_(kind),
        tiling_(tiling),
        work_(work),
        slots_(slots),
        events_(2 * slots),
        threads_(static_cast<size_t>(slots)),
        units_(static_cast<size_t>(slots)) {}

  ~Dispatcher() {
    // Every unit has completed, so each worker is waiting for its start event; a start with
    // no unit in the slot ends it.
    for (int slot = 0; slot < slots_; ++slot) {
      auto& t = threads_[static_cast<size_t>(slot)];
      if (!t.joinable()) continue;
      units_[static_cast<size_t>(slot)].reset();
      events_.set(slot);
      t.join();
    }
  }

  PassResult run() {
    lastProgress_ = Clock::now() - std::chrono::milliseconds(500);
    for (int slot = 0; slot < slots_; ++slot) startNextUnit(slot);
    while (unitsCompleted_ < unitsStarted_) {
      const int slot = events_.waitAny(slots_, slots_) - slots_;
      completeUnit(slot);
    }
    return {slots_, unitsCompleted_, aborted_};
  }

 private:
  // Starts the next unit of the pass on `slot`, if any is left and no cancel is pending. A unit
  // record that cannot be allocated is skipped (counted as started and completed).
  void startNextUnit(int slot) {
    while (unitsStarted_ < tiling_.totalUnits && !aborted_) {
      const int32_t index = unitsStarted_++;
      std::unique_ptr<WorkUnit> unit(new (std::nothrow) WorkUnit);
      if (!unit) {
        ++unitsCompleted_;
        continue;
      }
      unit->kind = kind_;
      unit->tiling = tiling_;
      unit->tiling.unitIndex = index;
      unit->tiling.unit = unitRect(tiling_, index);
      unit->slot = slot;
      work_.prepareUnit(*unit);
      launch(slot, std::move(unit));
      return;
    }
  }

  // The body of a slot's worker. The slot's unit is set by the dispatcher before it raises the
  // start event and taken back only after the done event, and the event lock orders both.
  void serve(int slot) {
    for (;;) {
      events_.wait(slot);
      WorkUnit* unit = units_[static_cast<size_t>(slot)].get();
      if (!unit) return;
      work_.runUnit(*unit);
      events_.set(slots_ + slot);
    }
  }

  void launch(int slot, std::unique_ptr<WorkUnit> unit) {
    const auto s = static_cast<size_t>(slot);
    events_.reset(slots_ + slot);
    WorkUnit* raw = unit.get();
    units_[s] = std::move(unit);
    raw->status = 0;
    if (!threads_[s].joinable()) {
      try {
        threads_[s] = std::thread([this, slot] { serve(slot); });
      } catch (const std::system_error&) {
        // No thread for the slot: run the unit here so the pass still completes (a later
        // unit of the slot tries again).
        raw->status = -2;
        work_.runUnit(*raw);
        events_.set(slots_ + slot);
        return;
      }
    }
    events_.set(slot);
  }

  void completeUnit(int slot) {
    std::unique_ptr<WorkUnit> unit = std::move(units_[static_cast<size_t>(slot)]);
    if (!aborted_ && work_.shouldAbort()) aborted_ = true;
    if (unit) work_.completeUnit(*unit, aborted_);
    unit.reset();
    ++unitsCompleted_;
    startNextUnit(slot);
    const auto now = Clock::now();
    if (now - lastProgress_ >= std::chrono::milliseconds(500)) {
      work_.reportProgress(unitsCompleted_, tiling_.totalUnits);
      lastProgress_ = now;
    }
  }

  PassKind kind_;
  const Tiling& tiling_;
  PassWork& work_;
  int slots_;
  EventSet events_;
  std::vector<std::thread> threads_;
  std::vector<std::unique_ptr<WorkUnit>> units_;
  int32_t unitsStarted_ = 0;
  int32_t unitsCompleted_ = 0;
  bool aborted_ = false;
  Clock::time_point lastProgress_;
};

}  // namespace

PassResult runPass(PassKind kind, const Tiling& tiling, PassWork& work, int processors) {
  const int slots = slotCount(processors, tiling.totalUnits, tiling.mode);
  if (slots == 0) return {};
  Dispatcher dispatcher(kind, tiling, work, slots);
  return dispatcher.run();
}

}  // namespace orichalcumite
