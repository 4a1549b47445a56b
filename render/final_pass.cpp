#include "render/final_pass.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "render/render_host.h"

namespace orichalcumite {

bool BandBuffer::allocate(const Rect32& unit) {
  const size_t width = static_cast<size_t>(unit.width()) + 2;
  const size_t height = static_cast<size_t>(unit.height()) + 2;
  if (!pixels_.resize(width * height)) {
    unit_ = {};
    return false;
  }
  unit_ = unit;
  // Nothing reads the ring today; it is kept clear so that a buffer reused from a larger band
  // never shows old colours beside the unit.
  Rgba* p = pixels_.data();
  std::fill_n(p, width, Rgba{});
  std::fill_n(p + (height - 1) * width, width, Rgba{});
  for (size_t y = 1; y + 1 < height; ++y) {
    p[y * width] = Rgba{};
    p[y * width + width - 1] = Rgba{};
  }
  return true;
}

namespace {

// What one slot (one band in flight) works in, made on the slot's first band and kept for the
// pass: the band buffer, and the band's colours and mask, each width × band rows, row-major.
// The colours are the source until a row is finished, then the finished row.
struct SlotBuffers {
  BandBuffer band;
  bool hasBand = false;  // false: the band buffer could not be had, the material is blank
  LargeArray<Rgba> colours;
  LargeArray<uint8_t> mask;
  LargeArray<Rgba> finished;  // one row: finishRow's output must not overlap its inputs
  LargeArray<Rgba> blank;     // one row of transparent black material
  bool ready = false;         // the unit's source and mask were read
};

class FinalPassWork final : public PassWork {
 public:
  FinalPassWork(RenderSource& target, const FinishContext& finish, ShadeBand shade,
                const void* context, const ProgressSpan& progress, int slots)
      : target_(target),
        shade_(shade),
        context_(context),
        region_(target.region()),
        finish_(makeFinishPlan(finish)),
        progress_(progress),
        slots_(static_cast<size_t>(std::max(slots, 1))) {}

  RenderStatus result() const { return result_; }

  // Reads the unit's source and mask into its slot. Only the dispatcher talks to the target.
  void prepareUnit(WorkUnit& unit) override {
    SlotBuffers& slot = slots_[static_cast<size_t>(unit.slot)];
    slot.ready = false;
    if (result_ != RenderStatus::done) return;
    const Rect32 rect = absolute(unit);
    if (!sizeSlot(slot, rect)) {
      result_ = RenderStatus::outOfMemory;
      return;
    }
    // The output is fetched again to be written, after the workers are done with the band.
    if (!target_.fetchParts(rect, {true, finish_.context.maskIsSelection, false})) {
      result_ = fetchFailure();
      return;
    }
    const int32_t w = rect.width();
    target_.readSource(rect, &slot.colours[0].red, w * 4);
    // A mask that stands for the layer's coverage shaped the bevel; the blend is full (the
    // worker fills it).
    if (finish_.context.maskIsSelection) target_.readMask(rect, slot.mask.data(), w);
    slot.ready = true;
  }

  // Shades the band and finishes it into the slot's output, on the unit's worker thread.
  void runUnit(WorkUnit& unit) noexcept override {
    SlotBuffers& slot = slots_[static_cast<size_t>(unit.slot)];
    if (!slot.ready) return;
    const Rect32 rect = absolute(unit);
    const int32_t w = rect.width();
    const auto rowPixels = static_cast<size_t>(w);
    if (!finish_.context.maskIsSelection) std::fill_n(slot.mask.data(), slot.mask.size(), 255);
    if (slot.hasBand) {
      BandBuffer& band = slot.band;
      for (int32_t y = rect.top; y < rect.bottom; ++y)
        std::memcpy(band.pixel(rect.left, y),
                    &slot.colours[static_cast<size_t>(y - rect.top) * rowPixels],
                    rowPixels * sizeof(Rgba));
      shade_(context_, band, region_, unit.slot);
    }
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      const size_t rowStart = static_cast<size_t>(y - rect.top) * rowPixels;
      Rgba* material;
      if (slot.hasBand) {
        material = slot.band.pixel(rect.left, y);
      } else {
        // A unit without a band buffer finishes transparent black material; finishRow works
        // in the row, so it is cleared for each.
        slot.blank.clear();
        material = slot.blank.data();
      }
      finishRow(finish_, material, &slot.colours[rowStart], &slot.mask[rowStart],
                slot.finished.data(), rect.left, y, w);
      std::memcpy(&slot.colours[rowStart], slot.finished.data(), rowPixels * sizeof(Rgba));
    }
  }

  void completeUnit(WorkUnit& unit, bool aborted) override {
    SlotBuffers& slot = slots_[static_cast<size_t>(unit.slot)];
    if (aborted || !slot.ready || result_ != RenderStatus::done) return;
    const Rect32 rect = absolute(unit);
    if (!target_.fetchParts(rect, {false, false, true})) {
      result_ = fetchFailure();
      return;
    }
    target_.write(rect, &slot.colours[0].red, rect.width() * 4);
  }

  bool shouldAbort() override {
    if (result_ == RenderStatus::done && target_.cancelled()) result_ = RenderStatus::cancelled;
    return result_ != RenderStatus::done;
  }

  void reportProgress(int32_t completed, int32_t total) override {
    progress_.report(completed, total);
  }

 private:
  Rect32 absolute(const WorkUnit& unit) const {
    const Rect32& u = unit.tiling.unit;
    return {region_.top + u.top, region_.left + u.left, region_.top + u.bottom,
            region_.left + u.right};
  }

  // Sizes the slot's buffers for `rect`; they only grow, so after the slot's first band this
  // allocates nothing. A band buffer that cannot be had leaves blank material, as a render
  // short of memory always has; the buffers the finish needs are a failure.
  static bool sizeSlot(SlotBuffers& slot, const Rect32& rect) {
    const size_t count = static_cast<size_t>(rect.width()) * static_cast<size_t>(rect.height());
    slot.hasBand = slot.band.allocate(rect);
    if (!slot.hasBand && !slot.blank.resize(static_cast<size_t>(rect.width()))) return false;
    return slot.colours.resize(count) && slot.mask.resize(count) &&
           slot.finished.resize(static_cast<size_t>(rect.width()));
  }

  // A target that could not hand over its pixels may have been cancelled meanwhile.
  RenderStatus fetchFailure() {
    return target_.cancelled() ? RenderStatus::cancelled : RenderStatus::sourceFailed;
  }

  RenderSource& target_;
  ShadeBand shade_;
  const void* context_;
  Rect32 region_;
  FinishPlan finish_;  // the glue mode's row kernel, chosen once for the pass
  ProgressSpan progress_;
  RenderStatus result_ = RenderStatus::done;
  std::vector<SlotBuffers> slots_;
};

}  // namespace

RenderStatus runFinalPass(RenderSource& target, const FinishContext& finish, ShadeBand shade,
                          const void* shadeContext, int processors, int bandsAtOnce,
                          const ProgressSpan& progress) {
  const Rect32 region = target.region();
  if (region.isEmpty()) return RenderStatus::done;
  // Bands of the same 64 rows either way; only how many run at once differs.
  const bool oneAtATime = bandsAtOnce <= 1;
  const Tiling tiling = makeTiling({0, 0, region.height(), region.width()},
                                   oneAtATime ? TilingMode::finalBands : TilingMode::rowBands);
  const int processorsUsed = oneAtATime ? 1 : std::min(processors, bandsAtOnce);
  FinalPassWork work(target, finish, shade, shadeContext, progress,
                     slotCount(processorsUsed, tiling.totalUnits, tiling.mode));
  runPass(PassKind::finalPass, tiling, work, processorsUsed);
  return work.result();
}

}  // namespace orichalcumite
