#include "render/weathering_carry.h"

#include <algorithm>
#include <new>

#include "render/final_pass.h"
#include "render/shading_maths.h"
#include "render/shading_plan.h"

namespace orichalcumite {
namespace {

// Pixels of region row y that the dust covers: each draws one colour as it is shaded.
int32_t dustDraws(const WeatheringPlan& layers, const HeightView& heights, int32_t y,
                  int32_t width) {
  const float* row = heights.origin + static_cast<std::ptrdiff_t>(y) * heights.stride;
  const float* below = row + heights.stride;
  int32_t draws = 0;
  for (int32_t x = 0; x < width; ++x) {
    const float e = dustRise(row, below, x, layers.dustGain);
    // The slope matters only where the ground rises; the cover is 0 elsewhere.
    if (!(e > 0.0f)) continue;
    const float slope = surfaceSlope({row[x], row[x + 1], below[x], below[x + 1]});
    if (dustCover(slope, e) > 0.0f) ++draws;
  }
  return draws;
}

}  // namespace

bool carriesWeatheringState(const ShadingPlan& plan) {
  const bool lit = plan.material == ShadingMaterial::lit || plan.material == ShadingMaterial::unlit;
  const WeatheringPlan& w = plan.weathering;
  return lit && w.active && (w.rain || w.dust);
}

void carryWeatheringRow(const ShadingPlan& plan, int32_t y, RandomGenerator& random,
                        WeatheringScratch& scratch) {
  const WeatheringPlan& layers = plan.weathering;
  const int32_t width = scratch.width;
  // The same order as the band kernel: the flow's draws as the row begins, the dust's as its
  // pixels are shaded; the lichen takes its water before the moss adds to it.
  if (layers.rain) {
    if (y == 0) startRain(layers, random, scratch);
    flowWater(layers, plan.heights.origin + static_cast<std::ptrdiff_t>(y) * plan.heights.stride,
              random, scratch);
  }
  if (layers.dust) {
    for (int32_t k = dustDraws(layers, plan.heights, y, width); k > 0; --k) random.next();
  }
  // Without leakiness the lichen takes nothing and the moss's seep stays below one unit, so
  // their rows need not be made here.
  if (!layers.rain || layers.leakiness == 0) return;
  int32_t* water = scratch.water.data() + 1;
  if (layers.blotches) {
    advanceBlotchRows(layers, y, scratch);
    const int64_t leak = static_cast<int64_t>(layers.scale) * layers.leakiness;
    const float* blotch = scratch.blotchHere.data();
    for (int32_t x = 0; x < width; ++x)
      if (blotch[x] >= 1.0f) water[x] = std::max(0, water[x] - lichenWaterLoss(leak, blotch[x]));
  }
  if (layers.moss) {
    advanceMossRows(layers, plan.heights, y, scratch);
    const float leak = static_cast<float>(layers.leakiness * layers.scale);
    const float* rise = scratch.riseHere.data();
    for (int32_t x = 0; x < width; ++x) {
      const float n = rise[x] - layers.mossThreshold;
      if (n > 0.0f)
        water[x] = std::min(kMaxWater, water[x] + mossWaterGain(leak, mossCoverage(n), y));
    }
  }
}

bool WeatheringCarry::prepare(const ShadingPlan& plan, const RandomGenerator& random,
                              int32_t regionHeight, int32_t rowsApart) {
  plan_ = &plan;
  start_ = random;
  regionHeight_ = std::max(regionHeight, 0);
  rowsApart_ = std::max(rowsApart, 1);
  published_.store(0, std::memory_order_relaxed);
  if (!walking_.prepare(plan.regionWidth)) return false;
  waterSize_ = walking_.water.size();
  const int32_t count = std::max<int32_t>((regionHeight_ + rowsApart_ - 1) / rowsApart_, 1);
  try {
    random_.assign(static_cast<size_t>(count), random);
    water_.assign(static_cast<size_t>(count) * waterSize_, 0);
  } catch (const std::bad_alloc&) {
    random_.clear();
    water_.clear();
    return false;
  }
  return true;
}

void WeatheringCarry::walk() noexcept {
  RandomGenerator generator = start_;
  for (int32_t y = 0; y < regionHeight_; ++y) {
    if (y % rowsApart_ == 0) {
      const int32_t k = y / rowsApart_;
      random_[static_cast<size_t>(k)] = generator;
      std::copy(walking_.water.begin(), walking_.water.end(),
                water_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(k) * waterSize_));
      published_.store(k + 1, std::memory_order_release);
      published_.notify_all();
    }
    carryWeatheringRow(*plan_, y, generator, walking_);
  }
  // An empty region still has its one record.
  published_.store(records(), std::memory_order_release);
  published_.notify_all();
}

bool WeatheringCarry::record(const ShadingPlan& plan, const RandomGenerator& random,
                             int32_t regionHeight, int32_t rowsApart) {
  if (!prepare(plan, random, regionHeight, rowsApart)) return false;
  walk();
  return true;
}

void WeatheringCarry::restore(int32_t y, RandomGenerator& random,
                              WeatheringScratch& scratch) const {
  if (random_.empty() || y < 0) return;
  const auto k = std::min(y / rowsApart_, records() - 1);
  for (int32_t made = published_.load(std::memory_order_acquire); made <= k;
       made = published_.load(std::memory_order_acquire))
    published_.wait(made, std::memory_order_acquire);
  random = random_[static_cast<size_t>(k)];
  const auto first =
      water_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(k) * waterSize_);
  std::copy(first, first + static_cast<std::ptrdiff_t>(waterSize_), scratch.water.begin());
  for (int32_t r = k * rowsApart_; r < y; ++r) carryWeatheringRow(*plan_, r, random, scratch);
}

}  // namespace orichalcumite
