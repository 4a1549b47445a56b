#include "render/shading_maths.h"

#include "render/final_pass.h"

namespace orichalcumite {

const ReflectionCoordinateTable& reflectionCoordinateTable() {
  static const ReflectionCoordinateTable table = [] {
    using T = ReflectionCoordinateTable;
    T t;
    for (int i = 0; i <= T::kIntervals; ++i) {
      const double dh = -static_cast<double>(T::kReach) + i / static_cast<double>(T::kStepsPerUnit);
      const double u = 0.5 + 0.5 * std::atan(0.010782459 * dh);
      t.values[static_cast<size_t>(i)] = static_cast<float>(std::clamp(u, 0.0, 1.0));
    }
    t.values[T::kIntervals + 1] = t.values[T::kIntervals];
    return t;
  }();
  return table;
}

void curvatureRow(const HeightView& heights, int32_t y, int32_t x0, int32_t count,
                  float* columnSums, float* out) {
  // exp(-0.3 d^2) for d = 0..3, and the sum of the whole 7 x 7 window of them, which the centre
  // takes away again (its own weight 1 included).
  constexpr float g0 = 1.0f, g1 = 0.7408182206817179f, g2 = 0.30119421191220214f,
                  g3 = 0.06720551273974976f;
  constexpr float kLine = g0 + 2.0f * (g1 + g2 + g3);
  constexpr float kWindow = kLine * kLine;
  if (count < 1) return;
  const std::ptrdiff_t s = heights.stride;
  const float* row = heights.origin + static_cast<std::ptrdiff_t>(y) * s;
  // Depths relative to one of the row's own makes the sums cancel exactly on flat ground and
  // keeps their precision on deep fields.
  const float reference = row[x0];
  for (int32_t i = 0; i < count + 6; ++i) {
    const float* p = row + x0 - 3 + i;
    columnSums[i] = g0 * (p[0] - reference) + g1 * ((p[-s] - reference) + (p[s] - reference)) +
                    g2 * ((p[-2 * s] - reference) + (p[2 * s] - reference)) +
                    g3 * ((p[-3 * s] - reference) + (p[3 * s] - reference));
  }
  for (int32_t i = 0; i < count; ++i) {
    const float* c = columnSums + i + 3;
    out[i] = g0 * c[0] + g1 * (c[-1] + c[1]) + g2 * (c[-2] + c[2]) + g3 * (c[-3] + c[3]) -
             kWindow * (row[x0 + i] - reference);
  }
}

}  // namespace orichalcumite
