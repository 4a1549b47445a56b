#include "render/box_blur.h"

#include <algorithm>
#include <cstddef>
#include <new>

namespace orichalcumite {
namespace {

// A vertical pass keeps one running sum per column; it walks a band's columns in chunks of
// this many so that its working memory does not depend on how wide a band the caller hands
// it, and so that the rows it touches stay in the cache.
constexpr int kColumnChunk = 64;

size_t rowScratchFloats(const Rect32& area, const BlurPass& pass) {
  return static_cast<size_t>(area.width()) + static_cast<size_t>(pass.before) +
         static_cast<size_t>(pass.after) + 1;
}

// Rows of original values a vertical pass must keep: a row is overwritten `before` steps
// before the window leaves it. More rows than the area has are never read back.
int ringRows(const Rect32& area, int before) { return std::min(before + 1, area.height()); }

size_t columnScratchFloats(const Rect32& area, const BlurPass& pass) {
  return static_cast<size_t>(ringRows(area, pass.before) + 1) * kColumnChunk;
}

void addPlan(BlurPlan& plan, BlurAxis axis, int before, int after) {
  if (before == 0 && after == 0) return;
  plan.passes[static_cast<size_t>(plan.count++)] = BlurPass{axis, before, after};
}

// A vertical pass reads each row a whole image row after the one before; hardware
// prefetchers do not follow such strides across pages, so rows this far ahead are requested
// early.
constexpr int kPrefetchRows = 8;

inline void prefetchRow(const float* p, int count) {
#if defined(__GNUC__)
  for (int j = 0; j < count; j += 16) __builtin_prefetch(p + j);
#else
  (void)p;
  (void)count;
#endif
}

// Rows are summed as this many stretches side by side (see blurRows).
constexpr int kRowSegments = 4;

// The window sum of pixel `x` of a padded row (see blurRows), which is also written out.
double startSum(const float* padded, int x, int window, double inverse, float* row) {
  double sum = 0.0;
  for (int k = x + 1; k <= x + window; ++k) sum += static_cast<double>(padded[k]);
  row[x] = static_cast<float>(sum * inverse);
  return sum;
}

// Pixels first..end - 1 of a row with one running sum.
void runRowSegment(const float* padded, float* row, int first, int end, int window,
                   double inverse) {
  double sum = startSum(padded, first, window, inverse, row);
  for (int x = first + 1; x < end; ++x) {
    sum += static_cast<double>(padded[x + window]) - static_cast<double>(padded[x]);
    row[x] = static_cast<float>(sum * inverse);
  }
}

}  // namespace

BlurPlan blurPlan(int radius) {
  BlurPlan plan;
  radius = std::max(radius, 0);
  // a = radius x 13 / 30 in whole numbers: floor(a) and floor(a + 0.5).
  const int lo = radius * 13 / 30;
  const int hi = (radius * 13 + 15) / 30;
  addPlan(plan, BlurAxis::horizontal, lo, hi);
  addPlan(plan, BlurAxis::vertical, lo, hi);
  addPlan(plan, BlurAxis::horizontal, hi, lo);
  addPlan(plan, BlurAxis::vertical, hi, lo);
  if (hi - 1 >= 0) {
    addPlan(plan, BlurAxis::horizontal, hi - 1, hi);
    addPlan(plan, BlurAxis::vertical, hi - 1, hi);
  }
  return plan;
}

int blurReach(const BlurPlan& plan) {
  int horizontal = 0, vertical = 0;
  for (int i = 0; i < plan.count; ++i) {
    const BlurPass& p = plan.passes[static_cast<size_t>(i)];
    (p.axis == BlurAxis::horizontal ? horizontal : vertical) += std::max(p.before, p.after);
  }
  return std::max(horizontal, vertical);
}

bool BlurScratch::reserve(const Rect32& area, const BlurPass& pass) noexcept {
  try {
    if (pass.axis == BlurAxis::horizontal) {
      const size_t need = rowScratchFloats(area, pass);
      if (values.size() < need) values.resize(need);
    } else {
      const size_t need = columnScratchFloats(area, pass);
      if (values.size() < need) values.resize(need);
      if (sums.size() < static_cast<size_t>(kColumnChunk)) sums.resize(kColumnChunk);
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool BlurScratch::reserve(const Rect32& area, const BlurPlan& plan) noexcept {
  for (int i = 0; i < plan.count; ++i)
    if (!reserve(area, plan.passes[static_cast<size_t>(i)])) return false;
  return true;
}

void blurRows(FloatImage& image, const Rect32& area, int firstRow, int endRow, int before,
              int after, BlurScratch& scratch) {
  const int width = area.width();
  if (width <= 0 || firstRow >= endRow) return;
  const size_t paddedLength = rowScratchFloats(area, BlurPass{BlurAxis::horizontal, before, after});
  if (scratch.values.size() < paddedLength) scratch.values.resize(paddedLength);
  float* padded = scratch.values.data();
  const int window = before + after + 1;
  const double inverse = 1.0 / window;

  for (int y = firstRow; y < endRow; ++y) {
    float* row = image.row(y) + area.left;
    // padded[k] = row[clamp(k - before - 1)], so that the running sum below never tests an
    // index: the window of pixel i is padded[i + 1 .. i + window].
    std::fill_n(padded, before + 1, row[0]);
    std::copy_n(row, width, padded + before + 1);
    std::fill_n(padded + before + 1 + width, after, row[width - 1]);

    if (width < kRowSegments * 16) {
      runRowSegment(padded, row, 0, width, window, inverse);
      continue;
    }
    // Four stretches of the row advance together, each with a running sum of its own, so
    // that the additions of one stretch overlap with those of the others.
    const int length = width / kRowSegments;
    double sums[kRowSegments];
    for (int s = 0; s < kRowSegments; ++s)
      sums[s] = startSum(padded, s * length, window, inverse, row);
    for (int i = 1; i < length; ++i)
      for (int s = 0; s < kRowSegments; ++s) {
        const int x = s * length + i;
        sums[s] += static_cast<double>(padded[x + window]) - static_cast<double>(padded[x]);
        row[x] = static_cast<float>(sums[s] * inverse);
      }
    // The last stretch takes the pixels left over by the division.
    double sum = sums[kRowSegments - 1];
    for (int x = kRowSegments * length; x < width; ++x) {
      sum += static_cast<double>(padded[x + window]) - static_cast<double>(padded[x]);
      row[x] = static_cast<float>(sum * inverse);
    }
  }
}

void blurColumns(FloatImage& image, const Rect32& area, int firstColumn, int endColumn, int before,
                 int after, BlurScratch& scratch) {
  const int height = area.height();
  if (height <= 0 || firstColumn >= endColumn) return;
  const size_t need = columnScratchFloats(area, BlurPass{BlurAxis::vertical, before, after});
  if (scratch.values.size() < need) scratch.values.resize(need);
  if (scratch.sums.size() < static_cast<size_t>(kColumnChunk)) scratch.sums.resize(kColumnChunk);
  const int ring = ringRows(area, before);
  const int window = before + after + 1;
  const double inverse = 1.0 / window;
  const int top = area.top;
  const int last = area.bottom - 1;

  for (int c0 = firstColumn; c0 < endColumn; c0 += kColumnChunk) {
    const int count = std::min(kColumnChunk, endColumn - c0);
    double* sum = scratch.sums.data();
    // The top row's original values (everything above the area repeats them), then a ring
    // of the last `ring` original rows, which the pass overwrites before the window
    // leaves them.
    float* topCopy = scratch.values.data();
    float* ringRowsData = topCopy + kColumnChunk;
    std::copy_n(image.row(top) + c0, count, topCopy);

    // The window of the first row: `before` copies of the top row, then rows top..top+after
    // with positions past the bottom repeating the last row.
    for (int j = 0; j < count; ++j) sum[j] = before * static_cast<double>(topCopy[j]);
    for (int k = 0; k <= after; ++k) {
      const float* in = image.row(std::min(top + k, last)) + c0;
      for (int j = 0; j < count; ++j) sum[j] += static_cast<double>(in[j]);
    }

    for (int y = top; y <= last; ++y) {
      float* out = image.row(y) + c0;
      std::copy_n(out, count,
                  ringRowsData + static_cast<std::ptrdiff_t>((y - top) % ring) * kColumnChunk);
      for (int j = 0; j < count; ++j) out[j] = static_cast<float>(sum[j] * inverse);
      if (y == last) break;
      // Slide the window down one row: the row entering has not been written yet (it lies
      // below y, or is the repeated last row, which is written last of all).
      const float* entering = image.row(std::min(y + after + 1, last)) + c0;
      prefetchRow(image.row(std::min(y + after + 1 + kPrefetchRows, last)) + c0, count);
      const int leavingRow = y - before;
      const float* leaving =
          leavingRow < top ? topCopy
                           : ringRowsData + static_cast<std::ptrdiff_t>((leavingRow - top) % ring) *
                                                kColumnChunk;
      for (int j = 0; j < count; ++j)
        sum[j] += static_cast<double>(entering[j]) - static_cast<double>(leaving[j]);
    }
  }
}

void blurBand(FloatImage& image, const Rect32& area, const BlurPass& pass, int first, int end,
              BlurScratch& scratch) {
  if (pass.axis == BlurAxis::horizontal)
    blurRows(image, area, first, end, pass.before, pass.after, scratch);
  else
    blurColumns(image, area, first, end, pass.before, pass.after, scratch);
}

void SerialBlurRunner::runPass(FloatImage& image, const Rect32& area, const BlurPass& pass) {
  if (pass.axis == BlurAxis::horizontal)
    blurBand(image, area, pass, area.top, area.bottom, scratch_);
  else
    blurBand(image, area, pass, area.left, area.right, scratch_);
}

void runBlur(BlurRunner& runner, FloatImage& image, const Rect32& area, const BlurPlan& plan) {
  if (area.isEmpty()) return;
  for (int i = 0; i < plan.count; ++i)
    runner.runPass(image, area, plan.passes[static_cast<size_t>(i)]);
}

}  // namespace orichalcumite
