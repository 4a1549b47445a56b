// What the weathering layers of the lit materials carry from row to row, and so from band to
// band: the water that runs down the surface (rain) and the render's generator (the rain's
// wander and the dust colours draw from it). Everything else the layers read follows from the
// row alone. Stepping the carried state over a row costs a small part of shading it, so one
// thread walks the whole region, in order, recording the state at the top of every band, while
// the bands shade at once, each from its own record as soon as the walk has made it.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "base/random_generator.h"
#include "render/weathering.h"

namespace orichalcumite {

struct ShadingPlan;

// Whether the plan's band kernel carries state from row to row: the lit and unlit materials
// with rain (or leakiness) or dust.
bool carriesWeatheringState(const ShadingPlan& plan);

// Steps the carried state over region row y without shading it: the rain at row 0, the flow,
// the water the lichen soaks up and the moss lets seep, and one draw per dust-covered pixel,
// exactly as the band kernel does them. `scratch` holds the water as row y finds it and the
// blotch and moss rows (it must have been prepared for the region's width).
void carryWeatheringRow(const ShadingPlan& plan, int32_t y, RandomGenerator& random,
                        WeatheringScratch& scratch);

// The carried state as the top rows of a region's bands find it: record k holds it for region
// row k x rowsApart.
class WeatheringCarry {
 public:
  // Sizes the records for rows 0 .. regionHeight - 1 of the plan's region, starting from
  // `random` (the generator as row 0 finds it). The plan must outlive the walk. False when
  // memory runs out.
  bool prepare(const ShadingPlan& plan, const RandomGenerator& random, int32_t regionHeight,
               int32_t rowsApart);
  // Walks the rows once, in order, publishing each record as soon as it is made. Runs on one
  // thread, once per prepare; restore may meanwhile run on others.
  void walk() noexcept;
  // prepare, then walk on the calling thread.
  bool record(const ShadingPlan& plan, const RandomGenerator& random, int32_t regionHeight,
              int32_t rowsApart);

  // Puts the state as region row y finds it into `random` and `scratch`'s water: the nearest
  // record at or above y, stepped over the rows in between (none when y is a record's row).
  // Waits until the walk has published that record. Safe to call from several threads at
  // once, each with its own generator and scratch.
  void restore(int32_t y, RandomGenerator& random, WeatheringScratch& scratch) const;

  int32_t records() const { return static_cast<int32_t>(random_.size()); }

 private:
  const ShadingPlan* plan_ = nullptr;
  int32_t regionHeight_ = 0;
  int32_t rowsApart_ = 1;
  WeatheringScratch walking_;  // the walk's own water and shared rows
  RandomGenerator start_;
  size_t waterSize_ = 0;  // entries per record: the region's width + 2
  std::vector<RandomGenerator> random_;
  std::vector<int32_t> water_;  // record k's water at [k waterSize_, (k + 1) waterSize_)
  // Records 0 .. published_ - 1 are made; they are not written again.
  std::atomic<int32_t> published_{0};
};

}  // namespace orichalcumite
