#include "render/distance_field.h"

#include <cstddef>

namespace orichalcumite {
namespace {

// Rows advanced together in one sweep. Each update depends on the one before it in the
// same row (a chain of about thirty cycles through the square root); with eight rows in
// flight the processor overlaps eight independent chains.
constexpr int kSweepLanes = 8;

inline void updatePixel(float* p, std::ptrdiff_t stride) {
  *p = sweptDistance(p[0], p[-1], p[1], p[-stride], p[stride]);
}

// One step of a staggered group: lanes jLo..jHi each update their pixel of step t. Lane j
// (row j of the group in sweep order) is at position t - j of its row, so within a step no
// lane reads a pixel that another lane writes: lane j's upper neighbour was finished by lane
// j - 1 one step earlier, its lower neighbour is reached by lane j + 1 one step later.
inline void partialStep(float* first, std::ptrdiff_t laneStep, std::ptrdiff_t stride, int dx, int t,
                        int jLo, int jHi) {
  for (int j = jLo; j <= jHi; ++j) updatePixel(first + j * laneStep + (t - j) * dx, stride);
}

// Sweeps `lanes` consecutive rows (in sweep order) of `count` pixels. `first` is the first
// pixel of the first row in sweep order, `laneStep` the offset from one row of the group to
// the next, `dx` the direction along the rows.
template <int Lanes>
void sweepGroup(float* first, std::ptrdiff_t laneStep, std::ptrdiff_t stride, int dx, int count,
                int lanes) {
  const int steps = count + lanes - 1;
  auto partialSteps = [&](int from, int to) {
    for (int t = from; t < to; ++t)
      partialStep(first, laneStep, stride, dx, t, std::max(0, t - count + 1),
                  std::min(lanes - 1, t));
  };
  if (lanes != Lanes || count < Lanes) {
    partialSteps(0, steps);
    return;
  }
  // Steps Lanes - 1 .. count - 1 have every lane inside its row.
  partialSteps(0, Lanes - 1);
  const std::ptrdiff_t diagonal = laneStep - dx;
  float* p = first + static_cast<std::ptrdiff_t>(Lanes - 1) * dx;
  for (int t = Lanes - 1; t < count; ++t, p += dx)
    for (int j = 0; j < Lanes; ++j) updatePixel(p + j * diagonal, stride);
  partialSteps(count, steps);
}

void sweep(FloatImage& field, const Rect32& area, int dx, int dy) {
  const std::ptrdiff_t stride = field.stride();
  const int count = area.width();
  const int xStart = dx > 0 ? area.left : area.right - 1;
  const std::ptrdiff_t laneStep = dy * stride;
  const int height = area.height();
  for (int done = 0; done < height; done += kSweepLanes) {
    const int lanes = std::min(kSweepLanes, height - done);
    const int y = dy > 0 ? area.top + done : area.bottom - 1 - done;
    sweepGroup<kSweepLanes>(field.row(y) + xStart, laneStep, stride, dx, count, lanes);
  }
}

}  // namespace

void seedDistanceRow(float* row, const uint8_t* mask, int32_t count) {
  if (!mask) {
    std::fill_n(row, count, kUnknownDistance);
    return;
  }
  for (int32_t x = 0; x < count; ++x) {
    const int m = mask[x];
    row[x] = m < 255 ? static_cast<float>(m) / 255.0f : kUnknownDistance;
  }
}

void sweepDistances(FloatImage& field, const Rect32& area) {
  if (area.isEmpty()) return;
  sweep(field, area, +1, +1);
  sweep(field, area, -1, +1);
  sweep(field, area, -1, -1);
  sweep(field, area, +1, -1);
}

void closenessFromDistance(FloatImage& field, const Rect32& area, int radiusPx) {
  // Divided rather than multiplied by a reciprocal, so that a distance of exactly r + 1
  // lands exactly on 0.
  const auto span = static_cast<float>(radiusPx + 1);
  for (int32_t y = area.top; y < area.bottom; ++y) {
    float* row = field.row(y);
    for (int32_t x = area.left; x < area.right; ++x)
      row[x] = std::clamp(kMaxCloseness - row[x] * kMaxCloseness / span, 0.0f, kMaxCloseness);
  }
}

}  // namespace orichalcumite
