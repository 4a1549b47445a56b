// The height field of a render and the stage machine that builds it.
//
// The HeightField holds one depth per pixel (0 is the top plateau, larger values lie deeper)
// for the render region plus a margin of kHeightFieldMargin pixels on every side: region
// pixel (x, y) is stored at (x + 150, y + 150). The margin starts at 0 and reads as outside
// the mask. The builder is stepped by the render driver: row steps take one row of mask or
// source colours, whole-field steps take nothing; blurs go through the driver's BlurRunner.
#pragma once

#include <cstdint>
#include <vector>

#include "base/random_generator.h"
#include "base/rect.h"
#include "render/box_blur.h"
#include "render/float_image.h"
#include "render/profile_table.h"
#include "render/texture_pass.h"

namespace orichalcumite {

inline constexpr int kHeightFieldMargin = 150;

// How far around a region pixel the shading reads the field: its 7 × 7 curvature window
// reaches 3 pixels, the moss's smoothed height of a neighbour 4. Every field pixel within
// this distance of the region holds a finished depth.
inline constexpr int kShadingReachPx = 4;

// The glue mode that shows the height field directly and needs its extremes.
inline constexpr int kHeightGlueMode = 14;

// The stages of the machine, by their numbers.
enum class HeightStage : int {
  seed = -1,           // rows: distance seeds from the mask; then sweeps and closeness
  smooth = 70,         // whole field: blur by the smoothness
  profile = 2,         // whole field: profile lookup, then two small blurs
  grain = 4,           // rows: grit, then texture
  edgelessDepth = 81,  // rows: depth from the mask (edgeless shape)
  edgelessBlur = 82,   // whole field: blur by the bevel radius
  edgelessGrain = 84,  // rows: grit, then texture
  emboss = 85,         // rows: embossing of the source brightness
  done = 5,
};

// The plain values a height field is built from.
struct HeightFieldParams {
  int shape = 1;  // BevelShape 1..14 (15 counts as 14; other numbers as 1)
  int radius = 35;
  int height = 60;
  int smoothness = 30;
  int grit = 0;
  int embossing = 0;
  int glue = 1;  // GlueMode; kHeightGlueMode records the extremes
  TextureParams texture;
  int32_t regionWidth = 0;
  int32_t regionHeight = 0;
  int previewScale = 1;  // 1 for full renders
  // Source of the grit bytes: the render's generator. Null draws from a generator of the
  // builder's own, seeded 1, so that a field never reaches for shared state.
  RandomGenerator* random = nullptr;
};

// What the next step works on. A row step (row >= 0) is region row `row`; the driver fetches
// the row's mask and/or source colours when the flags ask for them. A whole-field step
// (row -1) reads nothing.
struct HeightStep {
  HeightStage stage = HeightStage::done;
  int32_t row = -1;
  bool needsMask = false;
  bool needsColour = false;
};

// One region row of input, as the step asks for it.
struct HeightRowInput {
  const uint8_t* mask = nullptr;  // regionWidth bytes 0..255; null means 255 everywhere
  const float* rgba = nullptr;    // regionWidth pixels of four floats red, green, blue, alpha
};

// Largest and smallest depth over the region, each rounded toward zero. Recorded when the
// glue mode is kHeightGlueMode; otherwise they keep their start values.
struct HeightExtremes {
  int32_t maximum = -32767;
  int32_t minimum = 32767;
};

// The extremes over `area` of `field`, starting from the values above.
HeightExtremes heightExtremes(const FloatImage& field, const Rect32& area);

// Builds the height field of one render. Not thread-safe: the driver's dispatcher steps it;
// only the blur passes run elsewhere, through the BlurRunner.
class HeightFieldBuilder {
 public:
  // `blurRunner` runs the blur passes (the driver's worker pool); null runs them serially on
  // the calling thread. The runner must outlive the builder.
  explicit HeightFieldBuilder(BlurRunner* blurRunner = nullptr);

  // Derives everything the stages need (bevel radius, profile table, blur plans, texture
  // plan), clears the field and sets the first stage. Returns false, leaving the machine
  // done, when the region is empty or too large, or memory runs out.
  bool prepare(const HeightFieldParams& params);

  HeightStep nextStep() const;
  bool isDone() const { return stage_ == HeightStage::done; }
  // Performs the next step with the row the step asked for. Does nothing once done.
  void step(const HeightRowInput& input = {});
  // When the next step is a grain row (which takes no input), performs every remaining row
  // of the grain stage at once and returns true: the grit row by row, in order, since it
  // draws from the generator, then the texture, which reads nothing but its own row, in bands
  // of rows through the runner. The field is the one stepping row by row gives. Returns false,
  // doing nothing, for any other step.
  bool runGrainRows();
  // When the next step is an edgeless depth row, performs it and the `count` - 1 rows after
  // it (fewer at the region's end) at once, from `mask`: count rows of regionWidth bytes, the
  // first for the next step's row. The rows depend on nothing but their mask, so they run in
  // bands through the runner. Returns false, doing nothing, for any other step.
  bool runEdgelessDepthRows(int32_t count, const uint8_t* mask);

  // The field: (regionWidth + 300) x (regionHeight + 300).
  const FloatImage& field() const { return field_; }
  // The region's place in the field.
  Rect32 region() const { return region_; }
  // Depth of region pixel (x, y).
  float depth(int32_t x, int32_t y) const {
    return field_.at(x + kHeightFieldMargin, y + kHeightFieldMargin);
  }
  int bevelRadiusPx() const { return radiusPx_; }
  const ProfileTable& profile() const { return profile_; }
  const HeightExtremes& extremes() const { return extremes_; }
  // The rectangle of the field that the distance, smoothing and profile stages (or the
  // edgeless blur) work on: the region plus as much margin as their blurs can reach.
  Rect32 workArea() const { return workArea_; }

 private:
  void rowStep(const HeightRowInput& input);
  void wholeFieldStep();
  void finishRowStage();
  void enterDone();
  float* regionRow(int32_t y) { return field_.row(region_.top + y) + region_.left; }

  BlurRunner* runner_;
  SerialBlurRunner serialRunner_;
  FloatImage field_;
  ProfileTable profile_;
  HeightFieldParams params_;
  Rect32 region_;
  Rect32 workArea_;
  BlurPlan smoothingPlan_;
  BlurPlan finishingPlan_;
  BlurPlan edgelessPlan_;
  TexturePlan texturePlan_;
  std::vector<float> textureScratch_;  // 2 x regionWidth floats per row slot of the runner
  RandomGenerator* random_ = nullptr;
  RandomGenerator ownRandom_{1};
  HeightExtremes extremes_;
  HeightStage stage_ = HeightStage::done;
  int32_t row_ = 0;
  int radiusPx_ = 1;
};

}  // namespace orichalcumite
