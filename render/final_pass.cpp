#include "render/final_pass.h"

#include <algorithm>
#include <new>

#include "render/render_host.h"

namespace orichalcumite {

bool BandBuffer::allocate(const Rect32& unit) {
  unit_ = unit;
  try {
    pixels_.assign(static_cast<size_t>(unit.width() + 2) * static_cast<size_t>(unit.height() + 2),
                   Rgba{});
  } catch (const std::bad_alloc&) {
    pixels_.clear();
    unit_ = {};
    return false;
  }
  return true;
}

namespace {

class FinalPassWork final : public PassWork {
 public:
  FinalPassWork(RenderSource& target, const FinishContext& finish, ShadeBand shade,
                const void* context, const ProgressSpan& progress)
      : target_(target),
        shade_(shade),
        context_(context),
        region_(target.region()),
        finish_(makeFinishPlan(finish)),
        progress_(progress) {}

  RenderStatus result() const { return result_; }

  void prepareUnit(WorkUnit& unit) override {
    const Rect32 rect = absolute(unit);
    auto* band = new (std::nothrow) BandBuffer;
    if (band && !band->allocate(rect)) {
      delete band;
      band = nullptr;
    }
    unit.band = band;
    if (!band || result_ != RenderStatus::done) return;
    if (!target_.fetch(rect)) {
      result_ = fetchFailure();
      return;
    }
    target_.readSource(rect, &band->interior()->red, band->stride() * 4);
  }

  void runUnit(WorkUnit& unit) noexcept override {
    auto* band = static_cast<BandBuffer*>(unit.band);
    if (band) shade_(context_, *band, region_, unit.slot);
  }

  void completeUnit(WorkUnit& unit, bool aborted) override {
    auto* band = static_cast<BandBuffer*>(unit.band);
    unit.band = nullptr;
    if (!aborted && result_ == RenderStatus::done) writeUnit(unit, band);
    delete band;
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

  // Finishes and writes the unit row by row. A unit without a buffer finishes transparent
  // black material. The band buffer is the finish's scratch space; it is freed afterwards.
  void writeUnit(const WorkUnit& unit, BandBuffer* band) {
    const Rect32 rect = absolute(unit);
    if (!target_.fetch(rect)) {
      result_ = fetchFailure();
      return;
    }
    const int32_t w = rect.width();
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(rect.height());
    source_.resize(count);
    mask_.resize(count);
    out_.resize(count);
    target_.readSource(rect, &source_[0].red, w * 4);
    // A mask that stands for the layer's coverage shaped the bevel; the blend is full.
    if (finish_.context.maskIsSelection) {
      target_.readMask(rect, mask_.data(), w);
    } else {
      std::fill(mask_.begin(), mask_.end(), uint8_t{255});
    }
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      const size_t rowStart = static_cast<size_t>(y - rect.top) * static_cast<size_t>(w);
      Rgba* material;
      if (band) {
        material = band->pixel(rect.left, y);
      } else {
        blank_.assign(static_cast<size_t>(w), Rgba{});  // finishRow works in the row
        material = blank_.data();
      }
      finishRow(finish_, material, &source_[rowStart], &mask_[rowStart], &out_[rowStart], rect.left,
                y, w);
    }
    target_.write(rect, &out_[0].red, w * 4);
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
  std::vector<Rgba> source_, out_, blank_;
  std::vector<uint8_t> mask_;
};

}  // namespace

RenderStatus runFinalPass(RenderSource& target, const FinishContext& finish, ShadeBand shade,
                          const void* shadeContext, int processors, int bandsAtOnce,
                          const ProgressSpan& progress) {
  const Rect32 region = target.region();
  if (region.isEmpty()) return RenderStatus::done;
  FinalPassWork work(target, finish, shade, shadeContext, progress);
  // Bands of the same 64 rows either way; only how many run at once differs.
  const bool oneAtATime = bandsAtOnce <= 1;
  const Tiling tiling = makeTiling({0, 0, region.height(), region.width()},
                                   oneAtATime ? TilingMode::finalBands : TilingMode::rowBands);
  runPass(PassKind::finalPass, tiling, work, oneAtATime ? 1 : std::min(processors, bandsAtOnce));
  return work.result();
}

}  // namespace orichalcumite
