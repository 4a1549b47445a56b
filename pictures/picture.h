#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/rect.h"
#include "pictures/rgba.h"

namespace orichalcumite {

namespace detail {
struct PictureAccess;
}

// How a picture stores its pixels. The numbers are the layout codes the rest of the program
// uses (the internal-picture render target tests for 5 and 9). Code 7 (three 16-bit channels)
// is reserved and not supported: createPicture refuses it.
enum class PictureKind : int {
  grey8 = 0,      // 1 byte: masks; value scale 1/255
  grey16 = 1,     // 16 bits unsigned; value scale 1/32768
  rgba8 = 3,      // one 32-bit word, red in bits 24..31 down to alpha in bits 0..7; 1/255
  rgba16 = 4,     // four 16-bit values red, green, blue, alpha; 1/32768
  greyFloat = 5,  // one float (the height field); scale 1
  rgbaFloat = 9,  // four floats red, green, blue, alpha; scale 1
};

// Edge handling of integer pixel access and of the sampler.
enum class WrapMode : int {
  noPyramid = -1,      // clamps like `clamp`; the picture has level 0 only
  clamp = 0,           // clamp both axes
  wrapBoth = 1,        // wrap both axes (tiling textures)
  wrapHorizontal = 2,  // wrap columns, clamp rows
};

enum class PyramidState : int { notBuilt = 0, built = 2 };

inline constexpr int kPictureTileSide = 512;
inline constexpr int kMaxPictureLevels = 20;
// Larger sides are refused rather than risking overflow in tile arithmetic.
inline constexpr int kMaxPictureSide = 1 << 20;

struct PictureSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// Sizes of the pyramid levels of a width x height picture: each level halves the one
// before, rounding up, and an odd result above 2 is made even (5 -> 4 -> 2 -> 1); the
// levels stop at 1 x 1 and never number more than kMaxPictureLevels.
struct PictureLevelSizes {
  int count = 0;
  std::array<PictureSize, kMaxPictureLevels> sizes{};
};
PictureLevelSizes pictureLevelSizes(int width, int height);

// One pyramid level: its size, its largest column and row, where its tiles start in the
// tile array, and the float sizes the normalised sampler uses.
struct PictureLevel {
  int width = 0;
  int height = 0;
  int maxX = 0;
  int maxY = 0;
  int firstTile = 0;
  int tilesPerRow = 0;
  float widthF = 0.0f;
  float heightF = 0.0f;
  float inverseWidth = 0.0f;
  float inverseHeight = 0.0f;
};

// Proportions of level 0 for lookups that must keep a picture's shape: horizontal is
// width / height for a wide picture (else 1), vertical height / width for a tall one.
struct PictureAspect {
  float horizontal = 1.0f;
  float vertical = 1.0f;
  float halfTexelU = 0.0f;  // 0.5 / width
  float halfTexelV = 0.0f;  // 0.5 / height
  float widthOverHeight = 1.0f;
  float heightOverWidth = 1.0f;
};

// The kernel a pyramid pass runs: fills the given rectangle of one level. Calls on disjoint
// rectangles may run at the same time.
using PictureRectKernel = std::function<void(const Rect32&)>;

// Schedules a pyramid pass: must call `kernel` on rectangles that together cover `area`
// exactly once, on any threads and in any order, and return only when every call has
// finished. The render driver supplies one that runs 128 x 128 tiles on its worker pool.
using PictureRectRunner = std::function<void(const Rect32& area, const PictureRectKernel& kernel)>;

// A tiled image with a pyramid of reduced levels. Created empty (all channels 0) by
// createPicture, filled with setPixel / writeFloat / fill, then buildPyramid fills the
// reduced levels. Reading (readPicturePixel, samplePoint, sample) is const and safe from any
// number of threads while nobody writes; writes to distinct pixels may run concurrently.
class Picture {
 public:
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture();

  int width() const { return levels_[0].width; }
  int height() const { return levels_[0].height; }
  PictureKind kind() const { return kind_; }
  WrapMode wrapMode() const { return wrapMode_; }
  int channels() const { return channels_; }
  int bytesPerPixel() const { return bytesPerPixel_; }
  // Storage value -> 0..1 (1/255, 1/32768 or 1).
  float valueScale() const { return valueScale_; }
  // 0..1 -> storage value (255, 32768 or 1).
  float writeMultiplier() const { return writeMultiplier_; }
  int levelCount() const { return levelCount_; }
  // `index` must be in 0..levelCount() - 1.
  const PictureLevel& level(int index) const { return levels_[index]; }
  const PictureAspect& aspect() const { return aspect_; }
  PyramidState pyramidState() const { return pyramidState_; }
  // The pass kind the render driver reports for this picture's pyramid passes: -1000 for
  // integer layouts, -1001 for float layouts.
  int pyramidPassKind() const;

  // Writes one pixel in storage units (0..255 for 8-bit layouts, 0..65535 for 16-bit ones);
  // integer layouts keep only the low 8 or 16 bits of each value, grey layouts take red.
  // Positions outside the level, or a level that does not exist, are ignored.
  void setPixel(int x, int y, int level, int red, int green, int blue, int alpha);
  // Writes one pixel given in 0..1: integer layouts multiply by writeMultiplier(), truncate
  // and store as setPixel does; float layouts store the values unchanged (grey: red).
  void writeFloat(int x, int y, int level, const Rgba& rgba);
  // Sets every pixel of level 0 as setPixel would.
  void fill(int red, int green, int blue, int alpha);

  // The pixel nearest (x, y) after the edge handling of the wrap mode, in 0..1 units. Grey
  // layouts return the grey value in red, green and blue and alpha 1. A level outside
  // 0..levelCount() - 1 is clamped into it.
  Rgba readPicturePixel(int x, int y, int level) const;

  // The 5 x 5 interpolating sampler at continuous pixel coordinates of `level`: whole
  // numbers are pixel centres. Results are in storage units and may overshoot the stored
  // range slightly near sharp edges (the kernel has small negative lobes). Grey layouts
  // return grey in red, green, blue and an opaque alpha (255, 32768 or 1). A level outside
  // 0..levelCount() - 1 is clamped into it.
  Rgba samplePoint(int level, float px, float py) const;

  // The normalised sampler: u and v run 0..1 across the level. A non-zero levelFraction
  // (0..1) blends towards the next smaller level. Results are in 0..1 units. Coordinates
  // outside 0..1 reach the edge handling of the wrap mode; callers that want the clamped
  // address mode clamp u and v first. Levels whose pyramid was never built are not sampled:
  // the level is then clamped to 0.
  Rgba sample(int level, float levelFraction, float u, float v) const;

  // The green channel of sample(0, 0, u[i], v) for `count` points of one row (the texture
  // pass's lookup). Colour pictures of 8 bits that wrap both ways take a separable path that
  // filters each tap column of the row once: the integer sums are the same, so the results
  // are identical. `u` and `v` must lie in 0..1.
  void sampleGreenRow(const float* u, float v, int count, float* green) const;

  // Pyramid kernel: fills `rect` of `targetLevel` (1..levelCount() - 1) from the level above
  // it. Each pixel is a weighted sum of 32 bilinear reads of the larger level. `rect` is
  // clipped to the level. Cannot fail.
  void reducePyramidRect(int targetLevel, const Rect32& rect);

  // Fills levels 1..levelCount() - 1 from level 0, one level after another, each level's
  // rectangles run through `runner` (serially on this thread when empty). Does nothing for
  // WrapMode::noPyramid. Call after level 0 has been filled and before sampling any other
  // level.
  void buildPyramid(const PictureRectRunner& runner = {});

 private:
  friend struct detail::PictureAccess;
  friend std::unique_ptr<Picture> createPicture(int width, int height, PictureKind kind,
                                                WrapMode wrapMode);
  Picture() = default;

  PictureKind kind_ = PictureKind::rgba8;
  WrapMode wrapMode_ = WrapMode::clamp;
  int channels_ = 0;
  int bytesPerPixel_ = 0;
  float valueScale_ = 1.0f;
  float writeMultiplier_ = 1.0f;
  int levelCount_ = 0;
  std::array<PictureLevel, kMaxPictureLevels> levels_{};
  PictureAspect aspect_{};
  PyramidState pyramidState_ = PyramidState::notBuilt;
  // Tiles of all levels, level after level, row-major within a level. A tile holds 512
  // rows of 512 pixels, except in a level's last tile row, which allocates only the rows
  // the level uses (pixel (x, y) sits at (y & 511) * 512 + (x & 511) either way).
  std::vector<std::unique_ptr<unsigned char[]>> tiles_;
};

// Creates a picture of width x height pixels (all channels 0) with every pyramid level
// allocated (level 0 only for WrapMode::noPyramid). Returns none when a side is below 1 or
// above kMaxPictureSide, the layout is not supported, or memory runs out; callers treat a
// missing picture as nothing to sample.
std::unique_ptr<Picture> createPicture(int width, int height, PictureKind kind, WrapMode wrapMode);

}  // namespace orichalcumite
