#include <algorithm>
#include <cstdint>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pictures/detail/picture_access.h"
#include "pictures/detail/picture_sampler.h"
#include "pictures/detail/texel_formats.h"
#include "pictures/picture.h"
#include "pictures/sampler_weights.h"

namespace orichalcumite {
namespace {

using detail::LevelView;
using detail::PictureAccess;

// Beyond 2^24 a float no longer resolves sub-positions; holding coordinates there keeps the
// integer conversions defined for any input, NaN included.
constexpr float kCoordinateLimit = 16777216.0f;

float limitedCoordinate(float v) {
  if (v >= -kCoordinateLimit && v <= kCoordinateLimit) return v;
  return v > 0.0f ? kCoordinateLimit : -kCoordinateLimit;
}

// The nearest pixel to a coordinate and the sub-position (0..511) of the coordinate within
// the pixel-wide span that starts half a pixel before that pixel's centre.
struct TapOrigin {
  int pixel;
  int subPosition;
};

TapOrigin tapOrigin(float p) {
  const float shifted = limitedCoordinate(p) + 0.5f;
  const int pixel = detail::floorToInt(shifted);
  // The difference is below 1 in exact arithmetic but can round up to 1 for tiny negative
  // coordinates, hence the upper clamp.
  const int sub = static_cast<int>((shifted - static_cast<float>(pixel)) * kSamplerSubPositions);
  return {pixel, std::min(sub, kSamplerSubPositions - 1)};
}

template <class Format> const auto& weightRow(const SamplerWeights& w, int subPosition) {
  if constexpr (Format::kWeightBits == 8) {
    return w.fixed8[static_cast<std::size_t>(subPosition)];
  } else if constexpr (Format::kWeightBits == 16) {
    return w.fixed16[static_cast<std::size_t>(subPosition)];
  } else {
    return w.real[static_cast<std::size_t>(subPosition)];
  }
}

#if defined(__SSE2__)
// Low 32 bits of each lane times w. The low half of a product is the same for signed and
// unsigned operands, so the unsigned 32 x 32 -> 64 multiply serves; sums stay in range.
__m128i multiplyLanes(__m128i lanes, std::int32_t w) {
  const __m128i factor = _mm_set1_epi32(w);
  const __m128i even = _mm_mul_epu32(lanes, factor);
  const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(lanes, 32), factor);
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

// The 8-bit colour sum with all four channels in one register. Bytes of a packed word lie
// in memory as alpha, blue, green, red; channels of two neighbouring columns are paired so
// that one multiply-add of 16-bit lanes applies two column weights at once. The arithmetic
// is the same integer arithmetic as the scalar sum, so both give identical results.
template <int kStride>
Rgba weightedSumRgba8(const std::uint32_t* block, const std::int32_t* wx, const std::int32_t* wy) {
  auto pair = [](std::int32_t low, std::int32_t high) {
    return _mm_set1_epi32(static_cast<std::int32_t>((static_cast<std::uint32_t>(high) << 16) |
                                                    (static_cast<std::uint32_t>(low) & 0xffff)));
  };
  const __m128i zero = _mm_setzero_si128();
  const __m128i w01 = pair(wx[0], wx[1]);
  const __m128i w23 = pair(wx[2], wx[3]);
  const __m128i w4 = pair(wx[4], 0);
  __m128i total = zero;
  for (int r = 0; r < kSamplerTaps; ++r) {
    const std::uint32_t* line = block + r * kStride;
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line));
    const __m128i x01 = _mm_unpacklo_epi8(words, zero);  // a0 b0 g0 r0 a1 b1 g1 r1
    const __m128i x23 = _mm_unpackhi_epi8(words, zero);
    const __m128i x4 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(line[4])), zero);
    const __m128i p01 = _mm_unpacklo_epi16(x01, _mm_srli_si128(x01, 8));  // a0 a1 b0 b1 ...
    const __m128i p23 = _mm_unpacklo_epi16(x23, _mm_srli_si128(x23, 8));
    const __m128i p4 = _mm_unpacklo_epi16(x4, zero);  // a4 0 b4 0 ...
    const __m128i row = _mm_add_epi32(
        _mm_add_epi32(_mm_madd_epi16(p01, w01), _mm_madd_epi16(p23, w23)), _mm_madd_epi16(p4, w4));
    total = _mm_add_epi32(total, multiplyLanes(row, wy[r]));
  }
  alignas(16) float out[4];  // alpha, blue, green, red
  _mm_store_ps(out,
               _mm_mul_ps(_mm_cvtepi32_ps(total), _mm_set1_ps(detail::Rgba8Format::kSampleScale)));
  return {out[3], out[2], out[1], out[0]};
}
#endif

// Weighted sum of a 5 x 5 block whose rows lie kStride texels apart: each row is summed
// with the column weights, then the row sums with the row weights.
template <class Format, int kStride, class Weight>
Rgba weightedSum(const typename Format::Texel* block, const Weight* wx, const Weight* wy) {
#if defined(__SSE2__)
  if constexpr (std::is_same_v<Format, detail::Rgba8Format>) {
    return weightedSumRgba8<kStride>(block, wx, wy);
  }
#endif
  using RowSum = typename Format::RowSum;
  using TotalSum = typename Format::TotalSum;
  constexpr int kChannels = Format::kChannels;
  TotalSum total[kChannels] = {};
  for (int r = 0; r < kSamplerTaps; ++r) {
    const typename Format::Texel* line = block + r * kStride;
    RowSum row[kChannels] = {};
    for (int c = 0; c < kSamplerTaps; ++c) {
      typename Format::Value v[kChannels];
      Format::unpack(line[c], v);
      for (int k = 0; k < kChannels; ++k) row[k] += static_cast<RowSum>(wx[c]) * v[k];
    }
    for (int k = 0; k < kChannels; ++k) total[k] += static_cast<TotalSum>(wy[r]) * row[k];
  }
  float out[kChannels];
  for (int k = 0; k < kChannels; ++k) out[k] = static_cast<float>(total[k]) * Format::kSampleScale;
  return detail::channelsToRgba<Format>(out);
}

int positiveModulo(int value, int size) {
  const int m = value % size;
  return m < 0 ? m + size : m;
}

template <class Format>
Rgba sampleGeneral(const Picture& picture, int level, TapOrigin ox, TapOrigin oy) {
  using Texel = typename Format::Texel;
  const LevelView<const Texel> view = PictureAccess::read<Texel>(picture, level);
  const bool wrapX = detail::wrapsColumns(picture.wrapMode());
  const bool wrapY = detail::wrapsRows(picture.wrapMode());
  int columns[kSamplerTaps];
  int rows[kSamplerTaps];
  for (int t = 0; t < kSamplerTaps; ++t) {
    const int x = ox.pixel - 2 + t;
    const int y = oy.pixel - 2 + t;
    columns[t] = wrapX ? positiveModulo(x, view.width) : detail::clampedCoordinate(x, view.width);
    rows[t] = wrapY ? positiveModulo(y, view.height) : detail::clampedCoordinate(y, view.height);
  }
  Texel block[kSamplerTaps * kSamplerTaps];
  for (int r = 0; r < kSamplerTaps; ++r) {
    for (int c = 0; c < kSamplerTaps; ++c)
      block[r * kSamplerTaps + c] = view.at(columns[c], rows[r]);
  }
  const SamplerWeights& w = samplerWeights();
  return weightedSum<Format, kSamplerTaps>(block, weightRow<Format>(w, ox.subPosition).data(),
                                           weightRow<Format>(w, oy.subPosition).data());
}

template <class Format> Rgba samplePointAs(const Picture& picture, int level, float px, float py) {
  using Texel = typename Format::Texel;
  const TapOrigin ox = tapOrigin(px);
  const TapOrigin oy = tapOrigin(py);
  const LevelView<const Texel> view = PictureAccess::read<Texel>(picture, level);
  const int left = ox.pixel - 2;
  const int top = oy.pixel - 2;
  // Fast path: the whole footprint inside the level and inside one tile, read straight from
  // the tile with its fixed row stride.
  constexpr int kLastStart = kPictureTileSide - kSamplerTaps;  // 507
  if (left >= 0 && top >= 0 && left + kSamplerTaps <= view.width &&
      top + kSamplerTaps <= view.height && (left & detail::kTileMask) <= kLastStart &&
      (top & detail::kTileMask) <= kLastStart) {
    const SamplerWeights& w = samplerWeights();
    return weightedSum<Format, kPictureTileSide>(view.tileRow(left, top),
                                                 weightRow<Format>(w, ox.subPosition).data(),
                                                 weightRow<Format>(w, oy.subPosition).data());
  }
  return sampleGeneral<Format>(picture, level, ox, oy);
}

}  // namespace

Rgba Picture::samplePoint(int level, float px, float py) const {
  level = std::clamp(level, 0, levelCount_ - 1);
  return detail::withTexelFormat(
      kind_, [&](auto format) { return samplePointAs<decltype(format)>(*this, level, px, py); });
}

Rgba Picture::sample(int level, float levelFraction, float u, float v) const {
  const int topLevel = pyramidState_ == PyramidState::built ? levelCount_ - 1 : 0;
  level = std::clamp(level, 0, topLevel);
  const PictureLevel& l = levels_[level];
  Rgba result = samplePoint(level, u * l.widthF - 0.5f, v * l.heightF - 0.5f);

  // A NaN fraction counts as 0; the blend never extrapolates past the next level.
  const float fraction = levelFraction > 0.0f ? std::min(levelFraction, 1.0f) : 0.0f;
  if (fraction > 0.0f) {
    const int next = std::min(level + 1, topLevel);
    const PictureLevel& n = levels_[next];
    const Rgba b = samplePoint(next, u * n.widthF - 0.5f, v * n.heightF - 0.5f);
    result.red += (b.red - result.red) * fraction;
    result.green += (b.green - result.green) * fraction;
    result.blue += (b.blue - result.blue) * fraction;
    result.alpha += (b.alpha - result.alpha) * fraction;
  }
  result.red *= valueScale_;
  result.green *= valueScale_;
  result.blue *= valueScale_;
  result.alpha *= valueScale_;
  return result;
}

void Picture::sampleGreenRow(const float* u, float v, int count, float* green) const {
  const PictureLevel& l = levels_[0];
  if (kind_ != PictureKind::rgba8 || wrapMode_ != WrapMode::wrapBoth || l.width > 4096) {
    for (int i = 0; i < count; ++i) green[i] = sample(0, 0.0f, u[i], v).green;
    return;
  }
  using Texel = detail::Rgba8Format::Texel;
  const LevelView<const Texel> view = PictureAccess::read<Texel>(*this, 0);
  const SamplerWeights& w = samplerWeights();
  const TapOrigin oy = tapOrigin(v * l.heightF - 0.5f);
  const auto& wy = w.fixed8[static_cast<std::size_t>(oy.subPosition)];
  int rows[kSamplerTaps];
  for (int t = 0; t < kSamplerTaps; ++t) rows[t] = positiveModulo(oy.pixel - 2 + t, view.height);
  // Every column of the level filtered vertically once; green is bits 16..23 of a texel. The
  // columns are stored kWrapPad from the start, with the level's wrapped columns repeated on
  // both sides, so that the taps of a pixel near either edge need no modulo.
  constexpr int kWrapPad = 4;
  int32_t padded[4096 + 2 * kWrapPad];
  int32_t* columns = padded + kWrapPad;
  for (int x = 0; x < view.width; ++x) {
    int32_t sum = 0;
    for (int t = 0; t < kSamplerTaps; ++t)
      sum += wy[static_cast<std::size_t>(t)] *
             static_cast<int32_t>((view.at(x, rows[t]) >> 16) & 0xFF);
    columns[x] = sum;
  }
  for (int k = -kWrapPad; k < 0; ++k) columns[k] = columns[positiveModulo(k, view.width)];
  for (int k = view.width; k < view.width + kWrapPad; ++k)
    columns[k] = columns[positiveModulo(k, view.width)];
  for (int i = 0; i < count; ++i) {
    const TapOrigin ox = tapOrigin(u[i] * l.widthF - 0.5f);
    const auto& wx = w.fixed8[static_cast<std::size_t>(ox.subPosition)];
    // Coordinates within the tile reach the padding at most; others wrap the long way.
    const int first = ox.pixel - 2;
    const bool inPadding = first >= -kWrapPad && first + kSamplerTaps <= view.width + kWrapPad;
    int64_t total = 0;
    if (inPadding) {
      for (int t = 0; t < kSamplerTaps; ++t)
        total += int64_t{wx[static_cast<std::size_t>(t)]} * columns[first + t];
    } else {
      for (int t = 0; t < kSamplerTaps; ++t)
        total += int64_t{wx[static_cast<std::size_t>(t)]} *
                 columns[positiveModulo(first + t, view.width)];
    }
    green[i] = static_cast<float>(total) * detail::Rgba8Format::kSampleScale * valueScale_;
  }
}

namespace detail {

Rgba samplePointGeneral(const Picture& picture, int level, float px, float py) {
  level = std::clamp(level, 0, picture.levelCount() - 1);
  return withTexelFormat(picture.kind(), [&](auto format) {
    return sampleGeneral<decltype(format)>(picture, level, tapOrigin(px), tapOrigin(py));
  });
}

}  // namespace detail
}  // namespace orichalcumite
