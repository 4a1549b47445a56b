#include <algorithm>

#include "pictures/detail/picture_access.h"
#include "pictures/detail/texel_formats.h"
#include "pictures/picture.h"

namespace orichalcumite {
namespace {

using detail::LevelView;
using detail::PictureAccess;

// The reduction filter: a 6 x 6 grid of samples at these offsets (in pixels of the smaller
// level) around each pixel's top-left corner, so the grid is centred on the pixel. The
// weights are a binomial-like bell without its four corners; they total 1640.
constexpr int kGrid = 6;
constexpr float kGridOffsets[kGrid] = {-0.75f, -0.25f, 0.25f, 0.75f, 1.25f, 1.75f};
constexpr int kGridWeights[kGrid][kGrid] = {
    {0, 1, 4, 4, 1, 0},         {1, 16, 64, 64, 16, 1}, {4, 64, 256, 256, 64, 4},
    {4, 64, 256, 256, 64, 4},   {1, 16, 64, 64, 16, 1}, {0, 1, 4, 4, 1, 0},
};
constexpr int kGridTotal = 1640;
constexpr float kGridNormal = 0.0006097561f;  // 1 / 1640

int nextLevelSide(int side)
{
  int half = (side + 1) / 2;
  // An odd side above 2 would leave the next reduction off-centre; make it even.
  if (half > 2 && (half & 1) != 0) ++half;
  return half;
}

int floorToInt(float v)
{
  const int i = static_cast<int>(v);
  return v < static_cast<float>(i) ? i - 1 : i;
}

// Where one grid offset of one destination column (or row) reads the source: two
// neighbouring source pixels and the fraction between them.
struct AxisTap {
  int low;
  int high;
  float fraction;
};

AxisTap axisTap(int destination, float offset, float inverseDestinationSize, float sourceSize,
                int sourceMax)
{
  const float u = std::clamp((static_cast<float>(destination) + offset) * inverseDestinationSize,
                             0.0f, 1.0f);
  const float p = u * sourceSize - 0.5f;
  const int low = floorToInt(p);
  return {std::clamp(low, 0, sourceMax), std::clamp(low + 1, 0, sourceMax),
          p - static_cast<float>(low)};
}

template <class Format>
void storeReduced(const LevelView<typename Format::Texel>& destination, int x, int y,
                  const float* sums)
{
  typename Format::Value v[Format::kChannels];
  for (int c = 0; c < Format::kChannels; ++c) {
    const float value = sums[c] * kGridNormal;
    if constexpr (Format::kIsFloat) {
      v[c] = value;
    } else {
      v[c] = std::clamp(static_cast<int>(value + 0.5f), 0, Format::kMax);
    }
  }
  destination.at(x, y) = Format::pack(v);
}

// Any size ratio: every grid sample is a bilinear read of the source.
template <class Format>
void reduceGeneral(const LevelView<const typename Format::Texel>& source,
                   const LevelView<typename Format::Texel>& destination, const PictureLevel& target,
                   const PictureRect& rect)
{
  constexpr int kChannels = Format::kChannels;
  constexpr int kChunk = 128;
  const float sourceWidth = static_cast<float>(source.width);
  const float sourceHeight = static_cast<float>(source.height);
  AxisTap columnTaps[kChunk][kGrid];

  for (int chunkLeft = rect.left; chunkLeft < rect.right; chunkLeft += kChunk) {
    const int chunkRight = std::min(rect.right, chunkLeft + kChunk);
    for (int j = chunkLeft; j < chunkRight; ++j) {
      for (int k = 0; k < kGrid; ++k) {
        columnTaps[j - chunkLeft][k] =
            axisTap(j, kGridOffsets[k], target.inverseWidth, sourceWidth, source.width - 1);
      }
    }
    for (int i = rect.top; i < rect.bottom; ++i) {
      AxisTap rowTaps[kGrid];
      for (int l = 0; l < kGrid; ++l) {
        rowTaps[l] = axisTap(i, kGridOffsets[l], target.inverseHeight, sourceHeight, source.height - 1);
      }
      for (int j = chunkLeft; j < chunkRight; ++j) {
        const AxisTap* cols = columnTaps[j - chunkLeft];
        float sums[kChannels] = {};
        for (int l = 0; l < kGrid; ++l) {
          const AxisTap& row = rowTaps[l];
          for (int k = 0; k < kGrid; ++k) {
            const int weight = kGridWeights[l][k];
            if (weight == 0) continue;
            const AxisTap& col = cols[k];
            typename Format::Value a[kChannels], b[kChannels], c[kChannels], d[kChannels];
            Format::unpack(source.at(col.low, row.low), a);
            Format::unpack(source.at(col.high, row.low), b);
            Format::unpack(source.at(col.low, row.high), c);
            Format::unpack(source.at(col.high, row.high), d);
            for (int ch = 0; ch < kChannels; ++ch) {
              const float upper = static_cast<float>(a[ch]) +
                                  static_cast<float>(b[ch] - a[ch]) * col.fraction;
              const float lower = static_cast<float>(c[ch]) +
                                  static_cast<float>(d[ch] - c[ch]) * col.fraction;
              sums[ch] += static_cast<float>(weight) * (upper + (lower - upper) * row.fraction);
            }
          }
        }
        storeReduced<Format>(destination, j, i, sums);
      }
    }
  }
}

// The common case of a source exactly twice the destination's size: every grid sample
// falls on a source pixel centre (source pixel 2j - 2 + k), so the bilinear reads become
// single reads and integer layouts can sum exactly.
template <class Format>
void reduceHalving(const LevelView<const typename Format::Texel>& source,
                   const LevelView<typename Format::Texel>& destination, const PictureRect& rect)
{
  constexpr int kChannels = Format::kChannels;
  using Sum = std::conditional_t<Format::kIsFloat, float, std::int32_t>;  // 1640 x 65535 < 2^31
  for (int i = rect.top; i < rect.bottom; ++i) {
    int rows[kGrid];
    for (int l = 0; l < kGrid; ++l) rows[l] = std::clamp(2 * i - 2 + l, 0, source.height - 1);
    for (int j = rect.left; j < rect.right; ++j) {
      int cols[kGrid];
      for (int k = 0; k < kGrid; ++k) cols[k] = std::clamp(2 * j - 2 + k, 0, source.width - 1);
      Sum sums[kChannels] = {};
      for (int l = 0; l < kGrid; ++l) {
        for (int k = 0; k < kGrid; ++k) {
          const int weight = kGridWeights[l][k];
          if (weight == 0) continue;
          typename Format::Value v[kChannels];
          Format::unpack(source.at(cols[k], rows[l]), v);
          for (int ch = 0; ch < kChannels; ++ch) sums[ch] += static_cast<Sum>(weight) * v[ch];
        }
      }
      typename Format::Value out[kChannels];
      for (int ch = 0; ch < kChannels; ++ch) {
        if constexpr (Format::kIsFloat) {
          out[ch] = sums[ch] * kGridNormal;
        } else {
          out[ch] = (sums[ch] + kGridTotal / 2) / kGridTotal;  // rounded; sums are >= 0
        }
      }
      destination.at(j, i) = Format::pack(out);
    }
  }
}

}  // namespace

PictureLevelSizes pictureLevelSizes(int width, int height)
{
  PictureLevelSizes result;
  if (width < 1 || height < 1) return result;
  result.sizes[0] = {width, height};
  result.count = 1;
  while (result.count < kMaxPictureLevels && (width > 1 || height > 1)) {
    width = nextLevelSide(width);
    height = nextLevelSide(height);
    result.sizes[static_cast<std::size_t>(result.count++)] = {width, height};
  }
  return result;
}

void Picture::reducePyramidRect(int targetLevel, const PictureRect& rect)
{
  if (targetLevel < 1 || targetLevel >= levelCount_) return;
  const PictureLevel& target = levels_[targetLevel];
  const PictureLevel& sourceLevel = levels_[targetLevel - 1];
  const PictureRect clipped{std::max(rect.left, 0), std::max(rect.top, 0),
                            std::min(rect.right, target.width), std::min(rect.bottom, target.height)};
  if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return;

  detail::withTexelFormat(kind_, [&](auto format) {
    using Format = decltype(format);
    using Texel = typename Format::Texel;
    const auto source = PictureAccess::read<Texel>(*this, targetLevel - 1);
    const auto destination = PictureAccess::write<Texel>(*this, targetLevel);
    if (sourceLevel.width == 2 * target.width && sourceLevel.height == 2 * target.height) {
      reduceHalving<Format>(source, destination, clipped);
    } else {
      reduceGeneral<Format>(source, destination, target, clipped);
    }
  });
}

void Picture::buildPyramid(const PictureRectRunner& runner)
{
  if (wrapMode_ == WrapMode::noPyramid) return;
  // Levels depend on each other, so they run one after another; within a level every pixel
  // reads only the level above it.
  for (int level = 1; level < levelCount_; ++level) {
    const PictureRect area{0, 0, levels_[level].width, levels_[level].height};
    const PictureRectKernel kernel = [this, level](const PictureRect& rect) {
      reducePyramidRect(level, rect);
    };
    if (runner) {
      runner(area, kernel);
    } else {
      kernel(area);
    }
  }
  pyramidState_ = PyramidState::built;
}

}  // namespace orichalcumite
