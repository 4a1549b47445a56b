// The separable box blur that smooths the height field: six one-dimensional box passes that
// together approximate a Gaussian.
//
// The plan (which windows, in which order) is separate from the kernels (one pass over a
// band of rows or columns) and from the schedule (the BlurRunner the render driver supplies,
// which cuts each pass into bands and runs them on its workers).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/rect.h"
#include "render/float_image.h"

namespace orichalcumite {

enum class BlurAxis { horizontal, vertical };

// One box pass: each pixel becomes the mean of `before` pixels to its left (or above), itself
// and `after` pixels to its right (or below).
struct BlurPass {
  BlurAxis axis = BlurAxis::horizontal;
  int before = 0;
  int after = 0;
  friend bool operator==(const BlurPass&, const BlurPass&) = default;
};

struct BlurPlan {
  int count = 0;
  std::array<BlurPass, 6> passes{};
};

// The passes of a blur with `radius` (0 or more): with a = radius x 13 / 30, lo = floor(a)
// and hi = floor(a + 0.5): horizontal (lo, hi), vertical (lo, hi), horizontal (hi, lo),
// vertical (hi, lo), then horizontal (hi - 1, hi) and vertical (hi - 1, hi) when hi >= 1.
// Passes with an empty window (0 before, 0 after) are left out.
BlurPlan blurPlan(int radius);

// The farthest, in pixels along either axis, that the plan can carry a value. Pixels farther
// than this from anything that differs from a constant keep that constant.
int blurReach(const BlurPlan& plan);

// Working memory of the kernels, one per thread. reserve() sizes it for every pass of a plan
// over `area` (the only allocation); the kernels grow it themselves if it was not reserved.
class BlurScratch {
 public:
  // Returns false when memory runs out.
  bool reserve(const Rect32& area, const BlurPlan& plan) noexcept;
  bool reserve(const Rect32& area, const BlurPass& pass) noexcept;

  std::vector<float> values;
  std::vector<double> sums;
};

// Horizontal pass over rows firstRow..endRow - 1 (image rows, inside `area`), each only over
// the columns of `area`. Positions beyond the ends of the area's row repeat its end pixels.
// Sums are kept in double and divided exactly by the window length, so a constant row stays
// constant. Calls on disjoint row ranges may run at the same time.
void blurRows(FloatImage& image, const Rect32& area, int firstRow, int endRow, int before,
              int after, BlurScratch& scratch);

// Vertical pass over columns firstColumn..endColumn - 1 (image columns, inside `area`), each
// only over the rows of `area`, with the same edge rule and arithmetic. Calls on disjoint
// column ranges may run at the same time.
void blurColumns(FloatImage& image, const Rect32& area, int firstColumn, int endColumn, int before,
                 int after, BlurScratch& scratch);

// Runs `pass` over the band first..end - 1 of `area`: rows for a horizontal pass, columns
// for a vertical one.
void blurBand(FloatImage& image, const Rect32& area, const BlurPass& pass, int first, int end,
              BlurScratch& scratch);

// Work on rows first..end - 1 of a field, on thread slot `slot` (0 .. rowSlots() - 1). Must
// not throw; calls on disjoint rows may run at the same time.
using RowBandTask = void (*)(const void* context, int32_t first, int32_t end, int slot);

// Runs one pass of a blur. The render driver supplies one that cuts the pass into bands
// (rows for horizontal, columns for vertical passes) and runs blurBand on its workers.
class BlurRunner {
 public:
  virtual ~BlurRunner() = default;
  // Must run blurBand over bands that together cover `area` exactly once, each with scratch
  // of its own thread, and return only when every band has finished.
  virtual void runPass(FloatImage& image, const Rect32& area, const BlurPass& pass) = 0;

  // The most slots runRows hands out; a caller keeps scratch for each.
  virtual int rowSlots() const { return 1; }
  // Runs `task` over bands that together cover rows first..end - 1 exactly once and returns
  // when all have finished. This one runs them as one band on the calling thread.
  virtual void runRows(int32_t first, int32_t end, RowBandTask task, const void* context) {
    if (first < end) task(context, first, end, 0);
  }
};

// Runs every pass as one band on the calling thread.
class SerialBlurRunner final : public BlurRunner {
 public:
  void runPass(FloatImage& image, const Rect32& area, const BlurPass& pass) override;

 private:
  BlurScratch scratch_;
};

// All passes of `plan` over `area`, in order, each through `runner`.
void runBlur(BlurRunner& runner, FloatImage& image, const Rect32& area, const BlurPlan& plan);

}  // namespace orichalcumite
