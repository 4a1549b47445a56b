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
  FinalPassWork(RenderSource& target, ShadeBand shade, const void* context)
      : target_(target),
        shade_(shade),
        context_(context),
        region_(target.region()),
        finish_(makeFinishPlan(target.finishContext())) {}

  int16_t result() const { return result_; }

  void prepareUnit(WorkUnit& unit) override {
    const Rect32 rect = absolute(unit);
    auto* band = new (std::nothrow) BandBuffer;
    if (band && !band->allocate(rect)) {
      delete band;
      band = nullptr;
    }
    unit.band = band;
    if (!band || result_ != 0) return;
    if (const int16_t r = target_.fetch(rect); r != 0) {
      result_ = r;
      return;
    }
    target_.readSource(rect, &band->interior()->red, band->stride() * 4);
  }

  void runUnit(WorkUnit& unit) noexcept override {
    auto* band = static_cast<BandBuffer*>(unit.band);
    if (band) shade_(context_, *band, region_);
  }

  void completeUnit(WorkUnit& unit, bool aborted) override {
    auto* band = static_cast<BandBuffer*>(unit.band);
    unit.band = nullptr;
    if (!aborted && result_ == 0) writeUnit(unit, band);
    delete band;
  }

  bool shouldAbort() override {
    if (result_ == 0 && target_.cancelled()) result_ = -128;
    return result_ != 0;
  }

  void reportProgress(int32_t completed, int32_t total) override {
    target_.progress(completed, total);
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
    if (const int16_t r = target_.fetch(rect); r != 0) {
      result_ = r;
      return;
    }
    const int32_t w = rect.width();
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(rect.height());
    source_.resize(count);
    mask_.resize(count);
    out_.resize(count);
    target_.readSource(rect, &source_[0].red, w * 4);
    target_.readMask(rect, mask_.data(), w);
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      const size_t rowStart = static_cast<size_t>(y - rect.top) * static_cast<size_t>(w);
      Rgba* material;
      if (band) {
        material = band->pixel(rect.left, y);
      } else {
        blank_.assign(static_cast<size_t>(w), Rgba{});  // finishRow works in the row
        material = blank_.data();
      }
      finishRow(finish_, material, &source_[rowStart], &mask_[rowStart], &out_[rowStart],
                rect.left, y, w);
    }
    target_.write(rect, &out_[0].red, w * 4);
  }

  RenderSource& target_;
  ShadeBand shade_;
  const void* context_;
  Rect32 region_;
  FinishPlan finish_;  // the glue mode's row kernel, chosen once for the pass
  int16_t result_ = 0;
  std::vector<Rgba> source_, out_, blank_;
  std::vector<uint8_t> mask_;
};

}  // namespace

int16_t runFinalPass(RenderSource& target, ShadeBand shade, const void* shadeContext,
                     int processors) {
  const Rect32 region = target.region();
  if (region.isEmpty()) return 0;
  FinalPassWork work(target, shade, shadeContext);
  const Tiling tiling = makeTiling({0, 0, region.height(), region.width()}, TilingMode::finalBands);
  runPass(PassKind::finalPass, tiling, work, processors);
  return work.result();
}

}  // namespace orichalcumite
