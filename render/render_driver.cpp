#include "render/render_driver.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "base/large_block.h"
#include "base/random_generator.h"
#include "pictures/noise_tables.h"
#include "render/box_blur.h"
#include "render/final_pass.h"
#include "render/height_field.h"
#include "render/shading_plan.h"
#include "render/surface_shader.h"
#include "render/weathering_carry.h"
#include "render/worker_pool.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

// Runs each blur pass on the worker pool: horizontal passes in 64-row bands, vertical passes
// in 64-column bands, every slot with scratch of its own.
class PoolBlurRunner final : public BlurRunner {
 public:
  // `passes` is how many passes the field will run; together they report progress over
  // `progress`.
  PoolBlurRunner(int processors, const ProgressSpan& progress, int passes)
      : processors_(processors), progress_(progress), passes_(std::max(passes, 1)) {}

  void runPass(FloatImage& image, const Rect32& area, const BlurPass& pass) override {
    const bool rows = pass.axis == BlurAxis::horizontal;
    const Tiling tiling = makeTiling(area, rows ? TilingMode::rowBands : TilingMode::columnBands);
    const int slots = slotCount(processors_, tiling.totalUnits, tiling.mode);
    if (scratch_.size() < static_cast<size_t>(slots)) scratch_.resize(static_cast<size_t>(slots));
    // Sized here so that no worker allocates.
    for (int i = 0; i < slots; ++i) scratch_[static_cast<size_t>(i)].reserve(area, pass);
    // This pass's share of the field's progress.
    const double share = (progress_.end - progress_.begin) / passes_;
    const double begin = progress_.begin + share * std::min(passesRun_, passes_ - 1);
    BandWork work(image, area, pass, scratch_, {progress_.target, begin, begin + share});
    orichalcumite::runPass(rows ? PassKind::blurRows : PassKind::blurColumns, tiling, work,
                           processors_);
    ++passesRun_;
  }

  int rowSlots() const override { return std::clamp(processors_, 1, kMaxSlots); }

  // Row work of the field in 64-row bands on the pool; it reports no progress of its own.
  void runRows(int32_t first, int32_t end, RowBandTask task, const void* context) override {
    if (first >= end) return;
    RowWork work(first, task, context);
    orichalcumite::runPass(PassKind::blurRows, makeTiling({first, 0, end, 1}, TilingMode::rowBands),
                           work, rowSlots());
  }

 private:
  class RowWork final : public PassWork {
   public:
    RowWork(int32_t first, RowBandTask task, const void* context)
        : first_(first), task_(task), context_(context) {}
    void prepareUnit(WorkUnit&) override {}
    void runUnit(WorkUnit& unit) noexcept override {
      const Rect32& u = unit.tiling.unit;
      task_(context_, first_ + u.top, first_ + u.bottom, unit.slot);
    }
    void completeUnit(WorkUnit&, bool) override {}

   private:
    int32_t first_;
    RowBandTask task_;
    const void* context_;
  };

  class BandWork final : public PassWork {
   public:
    BandWork(FloatImage& image, const Rect32& area, const BlurPass& pass,
             std::vector<BlurScratch>& scratch, const ProgressSpan& progress)
        : image_(image), area_(area), pass_(pass), scratch_(scratch), progress_(progress) {}
    void prepareUnit(WorkUnit&) override {}
    void runUnit(WorkUnit& unit) noexcept override {
      const Rect32& u = unit.tiling.unit;
      const bool rows = pass_.axis == BlurAxis::horizontal;
      const int first = rows ? area_.top + u.top : area_.left + u.left;
      const int end = rows ? area_.top + u.bottom : area_.left + u.right;
      blurBand(image_, area_, pass_, first, end, scratch_[static_cast<size_t>(unit.slot)]);
    }
    void completeUnit(WorkUnit&, bool) override {}
    void reportProgress(int32_t completed, int32_t total) override {
      progress_.report(completed, total);
    }

   private:
    FloatImage& image_;
    Rect32 area_;
    BlurPass pass_;
    std::vector<BlurScratch>& scratch_;
    ProgressSpan progress_;
  };

  int processors_;
  ProgressSpan progress_;
  int passes_;
  int passesRun_ = 0;
  std::vector<BlurScratch> scratch_;
};

// The height field's passes take this share of a render's progress; the final pass, which
// does most of the work, the rest.
constexpr double kHeightFieldProgress = 0.2;
// A field runs at most three blurs (smoothing, then the finishing blur twice) of at most
// BlurPlan's six passes each; fewer passes leave the bar short of the share, never past it.
constexpr int kHeightFieldBlurPasses = 3 * static_cast<int>(BlurPlan{}.passes.size());

HeightFieldParams heightParams(const RenderInputs& inputs, const Rect32& region,
                               const RenderOptions& options) {
  const EffectSettings& s = inputs.settings;
  HeightFieldParams p;
  p.shape = s.shape;
  p.radius = s.radius;
  p.height = s.height;
  p.smoothness = s.smoothness;
  p.grit = s.grit;
  p.embossing = s.embossing;
  p.glue = s.glue;
  p.texture.choice = s.textureChoice;
  p.texture.strength = s.textureStrength;
  p.texture.zoom = s.textureZoom;
  p.texture.panX = s.texturePanX;
  p.texture.panY = s.texturePanY;
  p.texture.tile = pictureTextureTile(inputs.textureTile);
  p.texture.previewLeft = options.previewLeft;
  p.texture.previewTop = options.previewTop;
  p.regionWidth = region.width();
  p.regionHeight = region.height();
  p.previewScale = options.previewScale;
  p.random = inputs.random;
  return p;
}

// How many bands of edgeless depth rows are read and run at once.
constexpr int kDepthBands = 4;

// Steps the height field to the end. The rows whose steps take the target's mask or colours
// are read kBandSize at a time, which spares the host a request for every row.
RenderStatus buildHeightField(HeightFieldBuilder& builder, RenderSource& target,
                              const Rect32& region) {
  const auto width = static_cast<size_t>(region.width());
  LargeArray<uint8_t> mask;
  LargeArray<float> colour;
  // Region rows [bandTop, bandEnd) are read, with the parts the flags say.
  int32_t bandTop = 0;
  int32_t bandEnd = 0;
  bool bandMask = false;
  bool bandColour = false;
  while (!builder.isDone()) {
    // Rows that take nothing from the target run together, on the pool.
    if (builder.runGrainRows()) continue;
    const HeightStep step = builder.nextStep();
    HeightRowInput input;
    if (step.row >= 0 && (step.needsMask || step.needsColour)) {
      const bool read = step.row >= bandTop && step.row < bandEnd &&
                        (bandMask || !step.needsMask) && (bandColour || !step.needsColour);
      // The edgeless depth rows take nothing but their mask: a few bands of them are read
      // at once and run together on the pool.
      const bool depthRows = step.stage == HeightStage::edgelessDepth;
      if (!read) {
        bandTop = step.row;
        bandEnd = std::min(step.row + (depthRows ? kDepthBands : 1) * kBandSize, region.height());
        bandMask = step.needsMask;
        bandColour = step.needsColour;
        const Rect32 rows{region.top + bandTop, region.left, region.top + bandEnd, region.right};
        const size_t count = width * static_cast<size_t>(bandEnd - bandTop);
        if ((bandMask && !mask.resize(count)) || (bandColour && !colour.resize(4 * count)))
          return RenderStatus::outOfMemory;
        if (!target.fetchParts(rows, {bandColour, bandMask, false}))
          return target.cancelled() ? RenderStatus::cancelled : RenderStatus::sourceFailed;
        if (bandMask) target.readMask(rows, mask.data(), region.width());
        if (bandColour) target.readSource(rows, colour.data(), region.width() * 4);
      }
      const size_t offset = static_cast<size_t>(step.row - bandTop) * width;
      if (depthRows && builder.runEdgelessDepthRows(bandEnd - step.row, mask.data() + offset))
        continue;
      if (step.needsMask) input.mask = mask.data() + offset;
      if (step.needsColour) input.rgba = colour.data() + 4 * offset;
    }
    builder.step(input);
  }
  return RenderStatus::done;
}

// What the final pass's workers shade with: the plan and one scratch per band that may run at
// once, so that no scratch is used by two bands at the same time.
struct ShadingRun {
  const ShadingPlan* plan;
  ShadingScratch* scratches;
};

void shadeWithPlan(const void* context, BandBuffer& band, const Rect32& region, int slot) {
  const auto* run = static_cast<const ShadingRun*>(context);
  shadeBand(*run->plan, band, region, run->scratches[slot]);
}

}  // namespace

RenderStatus renderEffect(const RenderInputs& inputs, RenderSource& target,
                          const RenderOptions& options) {
  const EffectSettings& settings = inputs.settings;
  const Rect32 region = target.region();
  if (region.isEmpty()) return RenderStatus::done;
  const int processors = options.processors > 0 ? options.processors : processorCount();
  // The seeded noise tables of this render; workers only read them.
  const auto noise = std::make_unique<NoiseTables>(makeNoiseTables(settings.randomSeed));

  PoolBlurRunner blurRunner(processors, {&target, 0.0, kHeightFieldProgress},
                            kHeightFieldBlurPasses);
  HeightFieldBuilder builder(&blurRunner);
  if (!builder.prepare(heightParams(inputs, region, options))) return RenderStatus::outOfMemory;
  if (const RenderStatus status = buildHeightField(builder, target, region);
      status != RenderStatus::done)
    return status;

  HeightView heights;
  heights.origin = builder.field().row(kHeightFieldMargin) + kHeightFieldMargin;
  heights.stride = builder.field().stride();
  // The builder records the extremes only for the "height" material, the one that reads them.
  heights.minimum = static_cast<float>(builder.extremes().minimum);
  heights.maximum = static_cast<float>(builder.extremes().maximum);

  ShadingInputs shading;
  shading.settings = &settings;
  shading.heights = heights;
  shading.profile = &builder.profile();
  shading.environment = inputs.environment;
  shading.regionWidth = region.width();
  shading.regionHeight = region.height();
  shading.previewScale = options.previewScale;
  shading.offsetX = options.previewLeft;
  shading.offsetY = options.previewTop;
  shading.imageWidth = options.imageWidth;
  shading.imageHeight = options.imageHeight;
  shading.noise = noise.get();
  // The render's own generator, seeded from the run's so that a run can be replayed. Drawn
  // from only when weathering needs it, so that renders without weathering leave the run's
  // sequence (which grit draws from) as it was.
  const bool weathered = hasWeathering(weatheringSettings(settings));
  std::vector<ShadingScratch> scratches(static_cast<size_t>(std::max(processors, 1)));
  if (weathered && inputs.random) {
    RandomGenerator& run = *inputs.random;
    const auto high = static_cast<uint32_t>(run.next());
    scratches[0].random.seed(high << 15 | static_cast<uint32_t>(run.next()));
  }
  shading.random = &scratches[0].random;
  const std::unique_ptr<ShadingPlan> plan = makeShadingPlan(shading);
  if (!plan) return RenderStatus::outOfMemory;
  // The lit materials' weathering carries its water and its random sequence from row to row
  // and band to band. Walking the region for that state alone is cheap beside shading it, so
  // a thread of its own walks it and records the state at the top of every band, while the
  // bands shade at once, each from its record (the walk keeps well ahead of them). In turn,
  // one band after another carries the state straight on. Every other band depends on nothing
  // but the field.
  WeatheringCarry carry;
  bool walks = false;
  size_t bandsAtOnce = scratches.size();
  if (weathered && carriesWeatheringState(*plan)) {
    if (bandsAtOnce == 1 || options.weatheringInTurn) {
      bandsAtOnce = 1;
    } else {
      if (!carry.prepare(*plan, scratches[0].random, region.height(), kBandSize))
        return RenderStatus::outOfMemory;
      for (ShadingScratch& scratch : scratches) scratch.carry = &carry;
      walks = true;
    }
  }
  for (size_t i = 0; i < bandsAtOnce; ++i)
    if (!scratches[i].prepare(region.width())) return RenderStatus::outOfMemory;
  // Joined before the carry it fills goes: a cancelled pass waits for the rest of the walk.
  std::jthread walker;
  if (walks) {
    try {
      walker = std::jthread([&carry] { carry.walk(); });
    } catch (const std::system_error&) {
      carry.walk();  // no thread to be had: walk first, then shade
    }
  }
  const ShadingRun run{plan.get(), scratches.data()};
  FinishContext finish = target.finishContext();
  finish.glue = settings.glue;
  return runFinalPass(target, finish, &shadeWithPlan, &run, processors,
                      static_cast<int>(bandsAtOnce), {&target, kHeightFieldProgress, 1.0});
}

}  // namespace orichalcumite
