#include <algorithm>
#include <cstdint>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    {0, 1, 4, 4, 1, 0},       {1, 16, 64, 64, 16, 1}, {4, 64, 256, 256, 64, 4},
    {4, 64, 256, 256, 64, 4}, {1, 16, 64, 64, 16, 1}, {0, 1, 4, 4, 1, 0},
};
constexpr int kGridTotal = 1640;
constexpr float kGridNormal = 0.0006097561f;  // 1 / 1640

int nextLevelSide(int side) {
  int half = (side + 1) / 2;
  // An odd side above 2 is made even so that the level after it halves exactly.
  if (half > 2 && (half & 1) != 0) ++half;
  return half;
}

// Where one grid offset of one destination column (or row) reads the source: two
// neighbouring source pixels and the fraction between them.
struct AxisTap {
  int low;
  int high;
  float fraction;
};

AxisTap axisTap(int destination, float offset, float inverseDestinationSize, float sourceSize,
                int sourceMax) {
  const float u =
      std::clamp((static_cast<float>(destination) + offset) * inverseDestinationSize, 0.0f, 1.0f);
  const float p = u * sourceSize - 0.5f;
  const int low = detail::floorToInt(p);
  return {std::clamp(low, 0, sourceMax), std::clamp(low + 1, 0, sourceMax),
          p - static_cast<float>(low)};
}

// The grid weights factor as (c x c minus the four corners) / 16 with c = 1, 16, 64, 64,
// 16, 1: the general reduction relies on this to filter rows and columns separately.
constexpr int kGridColumnWeights[kGrid] = {1, 16, 64, 64, 16, 1};
constexpr int kSeparableTotal = 16 * kGridTotal;  // 162 x 162 - 4

constexpr bool gridFactorsAsColumnWeights() {
  for (int l = 0; l < kGrid; ++l) {
    for (int k = 0; k < kGrid; ++k) {
      const bool corner = (l == 0 || l == kGrid - 1) && (k == 0 || k == kGrid - 1);
      if (16 * kGridWeights[l][k] !=
          kGridColumnWeights[l] * kGridColumnWeights[k] - (corner ? 1 : 0)) {
        return false;
      }
    }
  }
  return true;
}
static_assert(gridFactorsAsColumnWeights());

// Any size ratio: every grid sample is a bilinear read of the source. Bilinear reads
// separate into a horizontal and a vertical step, so each source row is read once per
// destination column: its horizontal reads at the six grid columns are combined with c
// (plus the first and last read alone, for the corners) and kept in a small ring of rows
// that the following destination rows reuse. Columns go in chunks so the ring stays small
// enough for a worker's stack.
template <class Format>
void reduceGeneral(const LevelView<const typename Format::Texel>& source,
                   const LevelView<typename Format::Texel>& destination, const PictureLevel& target,
                   const Rect32& rect) {
  constexpr int kChannels = Format::kChannels;
  constexpr int kChunk = 64;
  // A destination row reads at most 7 consecutive source rows (its grid spans 2.5 rows of
  // a level at most twice as large, plus the bilinear neighbours).
  constexpr int kRing = 8;
  struct FilteredRow {
    int sourceRow;
    float sum[kChunk][kChannels];
    float first[kChunk][kChannels];
    float last[kChunk][kChannels];
  };
  FilteredRow ring[kRing];
  AxisTap columnTaps[kChunk][kGrid];
  const float sourceWidth = static_cast<float>(source.width);
  const float sourceHeight = static_cast<float>(source.height);
  constexpr float kNormal = kGridNormal / 16.0f;  // 1 / 26240
  static_assert(kSeparableTotal == 26240);

  for (int chunkLeft = rect.left; chunkLeft < rect.right; chunkLeft += kChunk) {
    const int columns = std::min(rect.right - chunkLeft, kChunk);
    for (int jj = 0; jj < columns; ++jj) {
      for (int k = 0; k < kGrid; ++k) {
        columnTaps[jj][k] = axisTap(chunkLeft + jj, kGridOffsets[k], target.inverseWidth,
                                    sourceWidth, source.width - 1);
      }
    }
    for (FilteredRow& row : ring) row.sourceRow = -1;

    auto filtered = [&](int y) -> const FilteredRow& {
      FilteredRow& row = ring[y % kRing];
      if (row.sourceRow == y) return row;
      row.sourceRow = y;
      for (int jj = 0; jj < columns; ++jj) {
        float sum[kChannels] = {};
        for (int k = 0; k < kGrid; ++k) {
          const AxisTap& tap = columnTaps[jj][k];
          typename Format::Value a[kChannels], b[kChannels];
          Format::unpack(source.at(tap.low, y), a);
          Format::unpack(source.at(tap.high, y), b);
          for (int ch = 0; ch < kChannels; ++ch) {
            const float read =
                static_cast<float>(a[ch]) + static_cast<float>(b[ch] - a[ch]) * tap.fraction;
            sum[ch] += static_cast<float>(kGridColumnWeights[k]) * read;
            if (k == 0) row.first[jj][ch] = read;
            if (k == kGrid - 1) row.last[jj][ch] = read;
          }
        }
        for (int ch = 0; ch < kChannels; ++ch) row.sum[jj][ch] = sum[ch];
      }
      return row;
    };

    for (int i = rect.top; i < rect.bottom; ++i) {
      AxisTap rowTaps[kGrid];
      for (int l = 0; l < kGrid; ++l) {
        rowTaps[l] =
            axisTap(i, kGridOffsets[l], target.inverseHeight, sourceHeight, source.height - 1);
      }
      const FilteredRow* low[kGrid];
      const FilteredRow* high[kGrid];
      for (int l = 0; l < kGrid; ++l) {
        low[l] = &filtered(rowTaps[l].low);
        high[l] = &filtered(rowTaps[l].high);
      }
      for (int jj = 0; jj < columns; ++jj) {
        float total[kChannels] = {};
        for (int l = 0; l < kGrid; ++l) {
          const float f = rowTaps[l].fraction;
          const float c = static_cast<float>(kGridColumnWeights[l]);
          for (int ch = 0; ch < kChannels; ++ch) {
            const float a = low[l]->sum[jj][ch];
            total[ch] += c * (a + (high[l]->sum[jj][ch] - a) * f);
          }
        }
        for (int l : {0, kGrid - 1}) {
          const float f = rowTaps[l].fraction;
          for (int ch = 0; ch < kChannels; ++ch) {
            const float a = low[l]->first[jj][ch];
            const float b = low[l]->last[jj][ch];
            total[ch] -= a + (high[l]->first[jj][ch] - a) * f;
            total[ch] -= b + (high[l]->last[jj][ch] - b) * f;
          }
        }
        typename Format::Value v[kChannels];
        for (int ch = 0; ch < kChannels; ++ch) {
          const float value = total[ch] * kNormal;
          if constexpr (Format::kIsFloat) {
            v[ch] = value;
          } else {
            v[ch] = std::clamp(static_cast<int>(value + 0.5f), 0, Format::kMax);
          }
        }
        destination.at(chunkLeft + jj, i) = Format::pack(v);
      }
    }
  }
}

// Weighted sum of a 6 x 6 block (rows kStride texels apart) with the grid weights, per
// channel; integer layouts sum exactly in 32 bits (1640 x 65535 < 2^31).
template <class Format> using BlockSum = std::conditional_t<Format::kIsFloat, float, std::int32_t>;

template <class Format, int kStride>
void sumBlock(const typename Format::Texel* block, BlockSum<Format>* sums) {
  constexpr int kChannels = Format::kChannels;
  for (int ch = 0; ch < kChannels; ++ch) sums[ch] = 0;
  for (int l = 0; l < kGrid; ++l) {
    for (int k = 0; k < kGrid; ++k) {
      const int weight = kGridWeights[l][k];
      if (weight == 0) continue;
      typename Format::Value v[kChannels];
      Format::unpack(block[l * kStride + k], v);
      for (int ch = 0; ch < kChannels; ++ch)
        sums[ch] += static_cast<BlockSum<Format>>(weight) * v[ch];
    }
  }
}

#if defined(__SSE2__)
// 8-bit colour: all four channels in one register, two columns per 16-bit multiply-add
// (bytes of a packed word lie in memory as alpha, blue, green, red). Same integer sums as
// the scalar loop.
template <int kStride> void sumBlockRgba8(const std::uint32_t* block, std::int32_t* sums) {
  const __m128i zero = _mm_setzero_si128();
  __m128i total = zero;
  for (int l = 0; l < kGrid; ++l) {
    const std::uint32_t* line = block + l * kStride;
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line));
    const __m128i x01 = _mm_unpacklo_epi8(words, zero);  // a0 b0 g0 r0 a1 b1 g1 r1
    const __m128i x23 = _mm_unpackhi_epi8(words, zero);
    const __m128i x45 =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + 4)), zero);
    const int* w = kGridWeights[l];
    auto pair = [](int low, int high) { return _mm_set1_epi32(low | (high << 16)); };
    total = _mm_add_epi32(
        total, _mm_madd_epi16(_mm_unpacklo_epi16(x01, _mm_srli_si128(x01, 8)), pair(w[0], w[1])));
    total = _mm_add_epi32(
        total, _mm_madd_epi16(_mm_unpacklo_epi16(x23, _mm_srli_si128(x23, 8)), pair(w[2], w[3])));
    total = _mm_add_epi32(
        total, _mm_madd_epi16(_mm_unpacklo_epi16(x45, _mm_srli_si128(x45, 8)), pair(w[4], w[5])));
  }
  alignas(16) std::int32_t lanes[4];  // alpha, blue, green, red
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), total);
  sums[0] = lanes[3];
  sums[1] = lanes[2];
  sums[2] = lanes[1];
  sums[3] = lanes[0];
}
#endif

template <class Format, int kStride>
void sumGrid(const typename Format::Texel* block, BlockSum<Format>* sums) {
#if defined(__SSE2__)
  if constexpr (std::is_same_v<Format, detail::Rgba8Format>) {
    sumBlockRgba8<kStride>(block, sums);
    return;
  }
#endif
  sumBlock<Format, kStride>(block, sums);
}

// The common case of a source exactly twice the destination's size: every grid sample
// falls on a source pixel centre (source pixel 2j - 2 + k), so the bilinear reads become
// single reads and integer layouts can sum exactly. Blocks inside one source tile are read
// in place; blocks at the picture's edges or across tile borders are gathered first.
template <class Format>
void reduceHalving(const LevelView<const typename Format::Texel>& source,
                   const LevelView<typename Format::Texel>& destination, const Rect32& rect) {
  using Texel = typename Format::Texel;
  constexpr int kChannels = Format::kChannels;
  constexpr int kLastStart = kPictureTileSide - kGrid;
  for (int i = rect.top; i < rect.bottom; ++i) {
    const int top = 2 * i - 2;
    const bool rowsInside =
        top >= 0 && top + kGrid <= source.height && (top & detail::kTileMask) <= kLastStart;
    int rows[kGrid];
    for (int l = 0; l < kGrid; ++l) rows[l] = std::clamp(top + l, 0, source.height - 1);
    for (int j = rect.left; j < rect.right; ++j) {
      const int left = 2 * j - 2;
      BlockSum<Format> sums[kChannels];
      if (rowsInside && left >= 0 && left + kGrid <= source.width &&
          (left & detail::kTileMask) <= kLastStart) {
        sumGrid<Format, kPictureTileSide>(source.tileRow(left, top), sums);
      } else {
        Texel block[kGrid * kGrid];
        for (int l = 0; l < kGrid; ++l) {
          for (int k = 0; k < kGrid; ++k) {
            block[l * kGrid + k] = source.at(std::clamp(left + k, 0, source.width - 1), rows[l]);
          }
        }
        sumGrid<Format, kGrid>(block, sums);
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

PictureLevelSizes pictureLevelSizes(int width, int height) {
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

void Picture::reducePyramidRect(int targetLevel, const Rect32& rect) {
  if (targetLevel < 1 || targetLevel >= levelCount_) return;
  const PictureLevel& target = levels_[targetLevel];
  const PictureLevel& sourceLevel = levels_[targetLevel - 1];
  const Rect32 clipped{std::max(rect.top, 0), std::max(rect.left, 0),
                       std::min(rect.bottom, target.height), std::min(rect.right, target.width)};
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

void Picture::buildPyramid(const PictureRectRunner& runner) {
  if (wrapMode_ == WrapMode::noPyramid) return;
  // Levels depend on each other, so they run one after another; within a level every pixel
  // reads only the level above it.
  for (int level = 1; level < levelCount_; ++level) {
    const Rect32 area{0, 0, levels_[level].height, levels_[level].width};
    const PictureRectKernel kernel = [this, level](const Rect32& rect) {
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
