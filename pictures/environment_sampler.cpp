#include "pictures/environment_sampler.h"

#include <cstdint>
#include <new>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

#include "pictures/sampler_weights.h"

namespace orichalcumite {
namespace {

// The nearest pixel to coordinate p and the sub-position (0..511) of p within the
// pixel-wide span that starts half a pixel before that pixel's centre, as the picture's
// sampler takes them; p + 0.5 is never negative here.
struct Tap {
  int pixel;
  int sub;
};
Tap tapOf(float p) {
  const float shifted = p + 0.5f;
  const int pixel = static_cast<int>(shifted);
  const int sub = static_cast<int>((shifted - static_cast<float>(pixel)) * kSamplerSubPositions);
  return {pixel, std::min(sub, kSamplerSubPositions - 1)};
}

bool isPrepared(const PictureLevel& l) {
  return l.width <= EnvironmentSampler::kPreparedLevelSide &&
         l.height <= EnvironmentSampler::kPreparedLevelSide;
}

}  // namespace

int EnvironmentSampler::refinementOf(int side) {
  int f = 1;
  while (f < kMaxRefinement && side * f < kRefinedSide) f *= 2;
  return f;
}

EnvironmentSampler::EnvironmentSampler(const Picture& picture, float footprintParameter)
    : picture_(&picture),
      texelsU_(static_cast<float>(picture.width()) * footprintParameter),
      texelsV_(static_cast<float>(picture.height()) * footprintParameter),
      topLevel_(picture.pyramidState() == PyramidState::built ? picture.levelCount() - 1 : 0) {
  // Each grid has a border of one point all round, so that the interpolation never clamps.
  size_t gridTotal = 0;
  size_t workMost = 0;
  for (int i = 0; i <= topLevel_; ++i) {
    const PictureLevel& l = picture.level(i);
    if (!isPrepared(l)) continue;
    const size_t gridWidth = static_cast<size_t>(l.width * refinementOf(l.width));
    const size_t gridHeight = static_cast<size_t>(l.height * refinementOf(l.height));
    gridTotal += (gridWidth + 2) * (gridHeight + 2);
    workMost = std::max(workMost, (static_cast<size_t>(l.width) + 4 + gridWidth) *
                                      (static_cast<size_t>(l.height) + 4));
  }
  std::vector<Texel> work;
  try {
    grids_.resize(gridTotal);
    work.resize(workMost);
  } catch (const std::bad_alloc&) {
    grids_.clear();
    return;  // every level is then read through the picture itself
  }
  Texel* next = grids_.data();
  for (int i = 0; i <= topLevel_; ++i) {
    const PictureLevel& l = picture.level(i);
    if (!isPrepared(l)) continue;
    const int fx = refinementOf(l.width);
    const int fy = refinementOf(l.height);
    PreparedLevel& p = prepared_[i];
    p.stride = l.width * fx + 2;
    p.origin = next + p.stride + 1;
    p.factorX = fx;
    p.factorY = fy;
    p.widthF = static_cast<float>(l.width * fx);
    p.heightF = static_cast<float>(l.height * fy);
    prepareLevel(i, next, work);
    next += p.stride * (l.height * fy + 2);
  }
}

// Fills the grid of one level: the level with a two-pixel border of the picture's own edge
// handling, then the 5 x 5 filter at every grid point, taken apart into a horizontal pass over
// the picture's rows and a vertical pass over the result, then the grid's border.
void EnvironmentSampler::prepareLevel(int level, Texel* grid, std::vector<Texel>& work) {
  const PictureLevel& l = picture_->level(level);
  const PreparedLevel& p = prepared_[level];
  const int fx = p.factorX;
  const int fy = p.factorY;
  const int gridWidth = l.width * fx;
  const int gridHeight = l.height * fy;
  const SamplerWeights& weights = samplerWeights();

  const int sourceStride = l.width + 4;
  Texel* source = work.data();
  for (int y = -2; y < l.height + 2; ++y)
    for (int x = -2; x < l.width + 2; ++x) {
      const Rgba c = picture_->readPicturePixel(x, y, level);
      source[(y + 2) * sourceStride + (x + 2)] = {{c.red, c.green, c.blue, c.alpha}};
    }

  // Horizontal: grid columns across every picture row (border rows included).
  Texel* across = source + static_cast<std::ptrdiff_t>(sourceStride) * (l.height + 4);
  for (int j = 0; j < gridWidth; ++j) {
    const Tap t = tapOf((static_cast<float>(j) + 0.5f) / static_cast<float>(fx) - 0.5f);
    const auto& w = weights.real[static_cast<size_t>(t.sub)];
    for (int y = 0; y < l.height + 4; ++y) {
      const Texel* s = source + y * sourceStride + t.pixel;  // taps pixel - 2 .. pixel + 2
      Texel& out = across[y * gridWidth + j];
      for (int k = 0; k < 4; ++k) {
        float sum = 0.0f;
        for (int c = 0; c < kSamplerTaps; ++c) sum += w[static_cast<size_t>(c)] * s[c].channel[k];
        out.channel[k] = sum;
      }
    }
  }
  // Vertical: grid rows from the horizontal result.
  Texel* origin = grid + p.stride + 1;
  for (int i = 0; i < gridHeight; ++i) {
    const Tap t = tapOf((static_cast<float>(i) + 0.5f) / static_cast<float>(fy) - 0.5f);
    const auto& w = weights.real[static_cast<size_t>(t.sub)];
    Texel* row = origin + i * p.stride;
    for (int j = 0; j < gridWidth; ++j) {
      for (int k = 0; k < 4; ++k) {
        float sum = 0.0f;
        for (int r = 0; r < kSamplerTaps; ++r)
          sum += w[static_cast<size_t>(r)] * across[(t.pixel + r) * gridWidth + j].channel[k];
        row[j].channel[k] = sum;
      }
    }
    row[-1] = row[0];
    row[gridWidth] = row[gridWidth - 1];
  }
  std::copy_n(origin - 1, gridWidth + 2, origin - 1 - p.stride);
  std::copy_n(origin - 1 + (gridHeight - 1) * p.stride, gridWidth + 2,
              origin - 1 + gridHeight * p.stride);
}

Rgba EnvironmentSampler::sampleAt(float u, float v, int level, float levelFraction) const {
  u = detail::unitClamped(u);
  v = detail::unitClamped(v);
  level = std::clamp(level, 0, topLevel_);
  Rgba result = sampleLevel(level, u, v);
  const float fraction = levelFraction > 0.0f ? std::min(levelFraction, 1.0f) : 0.0f;
  if (fraction > 0.0f && level < topLevel_) {
    const Rgba next = sampleLevel(level + 1, u, v);
    result.red += (next.red - result.red) * fraction;
    result.green += (next.green - result.green) * fraction;
    result.blue += (next.blue - result.blue) * fraction;
    result.alpha += (next.alpha - result.alpha) * fraction;
  }
  return result;
}

// One level at (u, v) in 0..1, channels 0..1.
// Bilinear between the four grid points around (u, v) of a prepared level. Kept inline, so
// that the footprint loop holds it in its own body.
inline __attribute__((always_inline)) Rgba EnvironmentSampler::samplePrepared(
    const PreparedLevel& p, float u, float v) {
  // Grid coordinates run -0.5 .. size - 0.5; the border covers the point before and after.
  const float gx = u * p.widthF - 0.5f;
  const float gy = v * p.heightF - 0.5f;
  const int ix = static_cast<int>(gx + 1.0f) - 1;
  const int iy = static_cast<int>(gy + 1.0f) - 1;
  const float tx = gx - static_cast<float>(ix);
  const float ty = gy - static_cast<float>(iy);
  const Texel* a = p.origin + iy * p.stride + ix;
  const Texel* b = a + p.stride;
#if defined(__SSE2__)
  const __m128 wx = _mm_set1_ps(tx);
  const __m128 a0 = _mm_load_ps(a[0].channel), a1 = _mm_load_ps(a[1].channel);
  const __m128 b0 = _mm_load_ps(b[0].channel), b1 = _mm_load_ps(b[1].channel);
  const __m128 top = _mm_add_ps(a0, _mm_mul_ps(_mm_sub_ps(a1, a0), wx));
  const __m128 bottom = _mm_add_ps(b0, _mm_mul_ps(_mm_sub_ps(b1, b0), wx));
  alignas(16) float out[4];
  _mm_store_ps(out, _mm_add_ps(top, _mm_mul_ps(_mm_sub_ps(bottom, top), _mm_set1_ps(ty))));
  return {out[0], out[1], out[2], out[3]};
#else
  float out[4];
  for (int k = 0; k < 4; ++k) {
    const float top = a[0].channel[k] + (a[1].channel[k] - a[0].channel[k]) * tx;
    const float bottom = b[0].channel[k] + (b[1].channel[k] - b[0].channel[k]) * tx;
    out[k] = top + (bottom - top) * ty;
  }
  return {out[0], out[1], out[2], out[3]};
#endif
}

Rgba EnvironmentSampler::sampleLevel(int level, float u, float v) const {
  const PreparedLevel& p = prepared_[level];
  if (!p.origin) {
    const PictureLevel& l = picture_->level(level);
    const Rgba s = picture_->samplePoint(level, u * l.widthF - 0.5f, v * l.heightF - 0.5f);
    const float k = picture_->valueScale();
    return {s.red * k, s.green * k, s.blue * k, s.alpha * k};
  }
  return samplePrepared(p, u, v);
}

void EnvironmentSampler::sampleFootprints(const float* u, const float* v,
                                          const float* levelOfDetail, int n, float* red,
                                          float* green, float* blue) const {
  for (int i = 0; i < n; ++i) {
    // footprints() keeps the level of detail in 0..topLevel_.
    const int level = static_cast<int>(levelOfDetail[i]);
    const float fraction = levelOfDetail[i] - static_cast<float>(level);
    const PreparedLevel& p = prepared_[level];
    Rgba c = p.origin ? samplePrepared(p, u[i], v[i]) : sampleLevel(level, u[i], v[i]);
    if (fraction > 0.0f) {
      const PreparedLevel& q = prepared_[level + 1];
      const Rgba next = q.origin ? samplePrepared(q, u[i], v[i]) : sampleLevel(level + 1, u[i], v[i]);
      c.red += (next.red - c.red) * fraction;
      c.green += (next.green - c.green) * fraction;
      c.blue += (next.blue - c.blue) * fraction;
    }
    red[i] = c.red;
    green[i] = c.green;
    blue[i] = c.blue;
  }
}

}  // namespace orichalcumite
