#include "render/height_field.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "render/bevel_radius.h"
#include "render/distance_field.h"
#include "render/height_rows.h"

namespace orichalcumite {
namespace {

// The smoothing stage blurs with this radius per smoothness step.
int smoothingRadius(int smoothness) { return smoothness * 17 / 100 + 3; }

// After the profile lookup the field is blurred twice more with this radius, which rounds
// off the seams between table entries.
constexpr int kFinishingBlurRadius = 2;

// The shading reads each pixel's right-hand neighbours, so embossing also covers the first
// column right of the region, where it repeats the rightmost source column.
constexpr int kEmbossOverhangPx = 1;

// Region sides above this are refused: the field adds two margins to each side and must
// still fit a 32-bit coordinate.
constexpr int32_t kMaxRegionSide = std::numeric_limits<int32_t>::max() / 2;

Rect32 grown(const Rect32& r, int by, const Rect32& within) {
  return Rect32{std::max(r.top - by, within.top), std::max(r.left - by, within.left),
                std::min(r.bottom + by, within.bottom), std::min(r.right + by, within.right)};
}

// The work area of a stage group whose blurs reach `reach` pixels. Beyond the region the
// field is constant (outside the mask), and a blur whose clamped edges sit farther out than
// it can carry a value gives exactly what an endless constant surround would, so this is the
// smallest rectangle that is still exact. The shading's reach must be covered as well; past
// the margin, the whole field is the best there is.
//
// The left edge is then moved out to a multiple of 16 columns: the driver cuts vertical
// passes into 64-column bands from that edge, and on cache-line boundaries two threads
// never write the same line.
Rect32 workAreaFor(const Rect32& region, int reach, const Rect32& field) {
  const int margin = std::min(std::max(reach + 1, kShadingReachPx), kHeightFieldMargin);
  Rect32 area = grown(region, margin, field);
  area.left -= area.left % kRowAlignFloats;
  return area;
}

}  // namespace

HeightExtremes heightExtremes(const FloatImage& field, const Rect32& area) {
  HeightExtremes e;
  float highest = -std::numeric_limits<float>::infinity();
  float lowest = std::numeric_limits<float>::infinity();
  for (int32_t y = area.top; y < area.bottom; ++y) {
    const float* row = field.row(y);
    for (int32_t x = area.left; x < area.right; ++x) {
      highest = std::max(highest, row[x]);
      lowest = std::min(lowest, row[x]);
    }
  }
  // Rounded toward zero, and held in the 32-bit range before the conversion.
  constexpr float kLimit = 2.0e9f;
  if (highest > static_cast<float>(e.maximum))
    e.maximum = static_cast<int32_t>(std::trunc(std::min(highest, kLimit)));
  if (lowest < static_cast<float>(e.minimum))
    e.minimum = static_cast<int32_t>(std::trunc(std::max(lowest, -kLimit)));
  return e;
}

HeightFieldBuilder::HeightFieldBuilder(BlurRunner* blurRunner)
    : runner_(blurRunner ? blurRunner : &serialRunner_) {}

bool HeightFieldBuilder::prepare(const HeightFieldParams& params) {
  stage_ = HeightStage::done;
  row_ = 0;
  extremes_ = HeightExtremes{};
  params_ = params;
  const int32_t width = params.regionWidth;
  const int32_t height = params.regionHeight;
  if (width < 1 || height < 1 || width > kMaxRegionSide || height > kMaxRegionSide) return false;
  if (!field_.reset(width + 2 * kHeightFieldMargin, height + 2 * kHeightFieldMargin)) return false;
  try {
    textureScratch_.resize(2 * static_cast<size_t>(width));
  } catch (const std::bad_alloc&) {
    return false;
  }

  region_ = Rect32{kHeightFieldMargin, kHeightFieldMargin, kHeightFieldMargin + height,
                   kHeightFieldMargin + width};
  radiusPx_ = orichalcumite::bevelRadiusPx(params.radius, params.previewScale);
  random_ = params.random ? params.random : &ownRandom_;
  texturePlan_ = texturePlan(params.texture, params.previewScale);

  if (isEdgelessShape(params.shape)) {
    profile_ = ProfileTable{};
    edgelessPlan_ = blurPlan(radiusPx_);
    workArea_ = workAreaFor(region_, blurReach(edgelessPlan_), field_.bounds());
    stage_ = HeightStage::edgelessDepth;
  } else {
    profile_ = scaledProfile(params.shape, radiusPx_, params.height);
    smoothingPlan_ = blurPlan(smoothingRadius(params.smoothness));
    finishingPlan_ = blurPlan(kFinishingBlurRadius);
    workArea_ = workAreaFor(region_, blurReach(smoothingPlan_) + 2 * blurReach(finishingPlan_),
                            field_.bounds());
    stage_ = HeightStage::seed;
  }
  return true;
}

HeightStep HeightFieldBuilder::nextStep() const {
  HeightStep s;
  s.stage = stage_;
  switch (stage_) {
    case HeightStage::seed:
    case HeightStage::edgelessDepth:
      if (row_ < params_.regionHeight) {
        s.row = row_;
        s.needsMask = true;
      }
      break;
    case HeightStage::grain:
    case HeightStage::edgelessGrain: s.row = row_; break;
    case HeightStage::emboss:
      s.row = row_;
      s.needsColour = true;
      break;
    case HeightStage::smooth:
    case HeightStage::profile:
    case HeightStage::edgelessBlur:
    case HeightStage::done: break;
  }
  return s;
}

void HeightFieldBuilder::step(const HeightRowInput& input) {
  if (stage_ == HeightStage::done) return;
  if (nextStep().row >= 0)
    rowStep(input);
  else
    wholeFieldStep();
}

void HeightFieldBuilder::rowStep(const HeightRowInput& input) {
  const int32_t width = params_.regionWidth;
  float* depths = regionRow(row_);
  switch (stage_) {
    case HeightStage::seed: seedDistanceRow(depths, input.mask, width); break;
    case HeightStage::edgelessDepth:
      edgelessDepthRow(depths, input.mask, width, radiusPx_, params_.height);
      break;
    case HeightStage::grain:
    case HeightStage::edgelessGrain:
      applyGritRow(depths, width, params_.grit, *random_);
      applyTextureRow(depths, width, row_, texturePlan_, textureScratch_.data());
      break;
    case HeightStage::emboss:
      embossRow(depths, width + kEmbossOverhangPx, input.rgba, width, params_.embossing);
      break;
    default: return;
  }
  ++row_;
  // The seeding stage ends with a whole-field step of its own (the sweeps); the other row
  // stages move on right after their last row.
  if (row_ >= params_.regionHeight && stage_ != HeightStage::seed) finishRowStage();
}

bool HeightFieldBuilder::runGrainRows() {
  if (stage_ != HeightStage::grain && stage_ != HeightStage::edgelessGrain) return false;
  const int32_t width = params_.regionWidth;
  const int32_t first = row_;
  const int32_t end = params_.regionHeight;
  for (int32_t y = first; y < end; ++y) applyGritRow(regionRow(y), width, params_.grit, *random_);
  if (texturePlan_.active) {
    // Scratch for every slot of the runner, or the one the builder has: then the rows run
    // as one band here.
    const size_t perSlot = 2 * static_cast<size_t>(width);
    BlurRunner* runner = runner_;
    try {
      textureScratch_.resize(perSlot * static_cast<size_t>(std::max(runner->rowSlots(), 1)));
    } catch (const std::bad_alloc&) {
      runner = &serialRunner_;
    }
    // Every row samples the tile at the same u: worked out once, in the first slot's scratch
    // (the rows then use the second half of their slot's scratch alone).
    textureColumnCoordinates(texturePlan_, width, textureScratch_.data());
    struct TextureRows {
      HeightFieldBuilder* builder;
      size_t perSlot;
    } rows{this, perSlot};
    runner->runRows(
        first, end,
        [](const void* context, int32_t from, int32_t to, int slot) {
          const auto& r = *static_cast<const TextureRows*>(context);
          HeightFieldBuilder& b = *r.builder;
          const float* u = b.textureScratch_.data();
          float* green = b.textureScratch_.data() + r.perSlot * static_cast<size_t>(slot) +
                         static_cast<size_t>(b.params_.regionWidth);
          for (int32_t y = from; y < to; ++y)
            applyTextureRowAt(b.regionRow(y), b.params_.regionWidth, y, b.texturePlan_, u, green);
        },
        &rows);
  }
  row_ = end;
  finishRowStage();
  return true;
}

bool HeightFieldBuilder::runEdgelessDepthRows(int32_t count, const uint8_t* mask) {
  if (stage_ != HeightStage::edgelessDepth || !mask || count < 1) return false;
  const int32_t first = row_;
  const int32_t end = std::min(params_.regionHeight, first + count);
  struct DepthRows {
    HeightFieldBuilder* builder;
    const uint8_t* mask;
    int32_t first;
  } rows{this, mask, first};
  runner_->runRows(
      first, end,
      [](const void* context, int32_t from, int32_t to, int) {
        const auto& r = *static_cast<const DepthRows*>(context);
        HeightFieldBuilder& b = *r.builder;
        const auto width = static_cast<size_t>(b.params_.regionWidth);
        for (int32_t y = from; y < to; ++y)
          edgelessDepthRow(b.regionRow(y), r.mask + static_cast<size_t>(y - r.first) * width,
                           b.params_.regionWidth, b.radiusPx_, b.params_.height);
      },
      &rows);
  row_ = end;
  if (row_ >= params_.regionHeight) finishRowStage();
  return true;
}

void HeightFieldBuilder::finishRowStage() {
  row_ = 0;
  switch (stage_) {
    case HeightStage::edgelessDepth: stage_ = HeightStage::edgelessBlur; break;
    case HeightStage::grain:
    case HeightStage::edgelessGrain:
      if (params_.embossing != 0)
        stage_ = HeightStage::emboss;
      else
        enterDone();
      break;
    default: enterDone(); break;
  }
}

void HeightFieldBuilder::wholeFieldStep() {
  switch (stage_) {
    case HeightStage::seed:
      sweepDistances(field_, region_);
      // The margin inside the work area is still 0, a distance of 0: outside the mask.
      closenessFromDistance(field_, workArea_, radiusPx_);
      stage_ = HeightStage::smooth;
      break;
    case HeightStage::smooth:
      runBlur(*runner_, field_, workArea_, smoothingPlan_);
      stage_ = HeightStage::profile;
      break;
    case HeightStage::profile:
      // Only the region becomes depth. The margin keeps its closeness, limited like the
      // region's: the finishing blurs read it along the region's edges, so where the
      // selection reaches the edge the surface there meets closeness, not a profiled depth.
      for (int32_t y = workArea_.top; y < workArea_.bottom; ++y)
        limitClosenessRow(field_.row(y) + workArea_.left, workArea_.width());
      for (int32_t y = 0; y < params_.regionHeight; ++y)
        applyProfileRow(regionRow(y), params_.regionWidth, profile_);
      runBlur(*runner_, field_, workArea_, finishingPlan_);
      runBlur(*runner_, field_, workArea_, finishingPlan_);
      stage_ = HeightStage::grain;
      row_ = 0;
      break;
    case HeightStage::edgelessBlur:
      runBlur(*runner_, field_, workArea_, edgelessPlan_);
      stage_ = HeightStage::edgelessGrain;
      row_ = 0;
      break;
    default: break;
  }
}

void HeightFieldBuilder::enterDone() {
  stage_ = HeightStage::done;
  if (params_.glue == kHeightGlueMode) extremes_ = heightExtremes(field_, region_);
}

}  // namespace orichalcumite
