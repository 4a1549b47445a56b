#include "render/weathering.h"

#include <new>
#include <utility>

#include "base/random_generator.h"
#include "render/final_pass.h"

namespace orichalcumite {
namespace {

// Beyond this a float coordinate has no fraction left; improvedNoise gives 0 there.
constexpr float kNoiseLimit = 1073741824.0f;

inline float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

// The noise cell table of a row: for lattice column e (0..256; 256 is 0 again) the pair
// (alpha, beta) such that the corner blend along y, seen from a point fx across the cell
// starting there, is fx alpha + beta.
void fillNoiseCell(const NoiseTables& tables, int32_t e, int32_t cellY, float fy, float fadeY,
                   float* cells) {
  const auto& p = tables.improvedPermutation;
  const auto& g = tables.improvedGradients;
  auto hash = [&](int32_t a) { return p[static_cast<size_t>(a)]; };
  const Gradient2& top = g[static_cast<size_t>(hash(hash(hash(e) + cellY)) & 15)];
  const Gradient2& bottom = g[static_cast<size_t>(hash(hash(hash(e) + cellY + 1)) & 15)];
  cells[2 * e] = (1.0f - fadeY) * top.x + fadeY * bottom.x;
  cells[2 * e + 1] = (1.0f - fadeY) * fy * top.y + fadeY * (fy - 1.0f) * bottom.y;
}

// Cells at least this many pixels wide are blended run by run.
constexpr float kLongNoiseRun = 12.0f;

// The noise blend over a run of pixels in one cell: the corner blends left and right of
// each pixel, mixed by the fade of its place across the cell.
void blendNoise(const float* __restrict fraction, float alphaLeft, float betaLeft, float alphaRight,
                float betaRight, int32_t count, float* __restrict out) {
  for (int32_t i = 0; i < count; ++i) {
    const float fx = fraction[i];
    const float left = fx * alphaLeft + betaLeft;
    const float right = (fx - 1.0f) * alphaRight + betaRight;
    out[i] = left + (right - left) * fade(fx);
  }
}

// Height plus jitter of region row y, columns -2..width + 3, into `out` (index column + 2).
void mossInputRow(const WeatheringPlan& plan, const HeightView& heights, int32_t y, int32_t width,
                  float* out) {
  const float* row = heights.origin + static_cast<std::ptrdiff_t>(y) * heights.stride;
  for (int32_t c = -2; c <= width + 3; ++c)
    out[c + 2] = row[c] + static_cast<float>(jitterAt(plan.jitter, c, y));
}

// One row step of the moss rows: takes in row r + 2 of height plus jitter, smooths row r and
// works out its rise against row r - 1.
void mossStep(const WeatheringPlan& plan, const HeightView& heights, int32_t r,
              WeatheringScratch& s) {
  const int32_t width = s.width;
  mossInputRow(plan, heights, r + 2, width, s.mossRing[static_cast<size_t>(s.mossRingNext)].data());
  s.mossRingNext = (s.mossRingNext + 1) % 5;
  // The ring's oldest row (r - 2) is the one the next row will replace.
  const float* __restrict g[5];
  for (int k = 0; k < 5; ++k)
    g[k] = s.mossRing[static_cast<size_t>((s.mossRingNext + k) % 5)].data();

  // The 5 x 5 weights are symmetric: each column of them is one of three columns of weights
  // over dy, so P is five column sums of three kinds.
  float* __restrict outer = s.mossSums[0].data();   // 6 19 28 19 6
  float* __restrict inner = s.mossSums[1].data();   // 19 59 87 59 19
  float* __restrict centre = s.mossSums[2].data();  // 28 87 127 87 28
  const int32_t columns = width + 6;
  for (int32_t i = 0; i < columns; ++i) {
    const float far = g[0][i] + g[4][i];
    const float near = g[1][i] + g[3][i];
    const float mid = g[2][i];
    outer[i] = 6.0f * far + 19.0f * near + 28.0f * mid;
    inner[i] = 19.0f * far + 59.0f * near + 87.0f * mid;
    centre[i] = 28.0f * far + 87.0f * near + 127.0f * mid;
  }
  std::swap(s.smoothAbove, s.smoothHere);
  float* __restrict smooth = s.smoothHere.data();
  // Column x of P sits at index x + 2 of the sums. Depth is the negated height, so P is the
  // smoothed height.
  constexpr float kNorm = -1.0f / 999.0f;
  for (int32_t x = 0; x <= width + 1; ++x) {
    const int32_t i = x + 2;
    smooth[x] = (outer[i - 2] + inner[i - 1] + centre[i] + inner[i + 1] + outer[i + 2]) * kNorm;
  }
  std::swap(s.riseAbove, s.riseHere);
  const float* __restrict above = s.smoothAbove.data();
  float* __restrict rise = s.riseHere.data();
  for (int32_t x = 0; x <= width; ++x)
    rise[x] = smooth[x + 1] + smooth[x] - above[x] - above[x + 1];
}

// Blotch values of region row y, columns 0..width, and (when `index` is set) their lichen
// ramp indices.
void blotchRow(const WeatheringPlan& plan, int32_t y, WeatheringScratch& s, float* out,
               uint8_t* index) {
  const int32_t count = s.width + 1;
  const int32_t v = y * plan.scale + plan.offsetY;
  for (int k = 0; k < kBlotchOctaves; ++k)
    improvedNoiseRow(*plan.noise, plan.octaveFrequency[static_cast<size_t>(k)], plan.offsetX,
                     plan.scale, v, count, s.noise, s.octaves[static_cast<size_t>(k)].data());
  // The jitter's half, whole, per pixel first: a table look-up the loop below cannot vector.
  float* __restrict jitter = s.blotchJitter.data();
  for (int32_t x = 0; x < count; ++x)
    jitter[x] = static_cast<float>(jitterAt(plan.jitter, x, y) >> 1);
  const float* __restrict n0 = s.octaves[0].data();
  const float* __restrict n1 = s.octaves[1].data();
  const float* __restrict n2 = s.octaves[2].data();
  const float* __restrict n3 = s.octaves[3].data();
  float* __restrict blotch = out;
  for (int32_t x = 0; x < count; ++x)
    blotch[x] = blotchValue(plan, n0[x], plan.octaveWeight2 * n1[x], plan.octaveWeight3 * n2[x],
                            n3[x], jitter[x]);
  if (index) {
    for (int32_t x = 0; x < count; ++x)
      index[x] = static_cast<uint8_t>(
          lichenIndex(n0[x], plan.octaveWeight2 * n1[x], plan.octaveWeight3 * n2[x]));
  }
}

// The water's wrap-round neighbours: entry 0 is the last column, entry width + 1 the first.
inline void wrapEnds(int32_t* w, int32_t width) {
  w[0] = w[width];
  w[width + 1] = w[1];
}

}  // namespace

void improvedNoiseRow(const NoiseTables& tables, float frequency, int32_t uStart, int32_t uStep,
                      int32_t v, int32_t count, NoiseRowScratch& scratch, float* out) {
  if (count <= 0) return;
  const float y = frequency * static_cast<float>(v);
  const int64_t uLast = static_cast<int64_t>(uStart) + static_cast<int64_t>(count - 1) * uStep;
  const float xFirst = frequency * static_cast<float>(uStart);
  const float xLast = frequency * static_cast<float>(uLast);
  if (!(std::fabs(y) < kNoiseLimit) || !(std::fabs(xFirst) < kNoiseLimit) ||
      !(std::fabs(xLast) < kNoiseLimit) || !(frequency > 0.0f) || uStep < 1 || uLast > INT32_MAX) {
    // Out where no fraction is left, or running backwards: the plain function serves.
    for (int32_t i = 0; i < count; ++i)
      out[i] = improvedNoise(tables,
                             frequency * static_cast<float>(static_cast<int64_t>(uStart) +
                                                            static_cast<int64_t>(i) * uStep),
                             y);
    return;
  }
  const float floorY = std::floor(y);
  const int32_t cellY = static_cast<int32_t>(floorY) & 255;
  const float fy = y - floorY;
  const float fadeY = fade(fy);

  // Fill the cells the row crosses (all of them when it crosses the whole lattice period).
  float* cells = scratch.cells.data();
  const auto firstCell = static_cast<int32_t>(std::floor(xFirst));
  const auto lastCell = static_cast<int32_t>(std::floor(xLast));
  if (lastCell - firstCell >= 255) {
    for (int32_t e = 0; e <= 256; ++e) fillNoiseCell(tables, e, cellY, fy, fadeY, cells);
  } else {
    for (int32_t k = firstCell; k <= lastCell; ++k) {
      const int32_t e = k & 255;
      fillNoiseCell(tables, e, cellY, fy, fadeY, cells);
      fillNoiseCell(tables, e + 1, cellY, fy, fadeY, cells);
    }
  }

  // Each pixel's cell and its place across it.
  int32_t* __restrict cell = scratch.cell.data();
  float* __restrict fraction = scratch.fraction.data();
  for (int32_t i = 0; i < count; ++i) {
    const float x = frequency * static_cast<float>(uStart + i * uStep);
    const auto whole = static_cast<int32_t>(x);
    const int32_t below = x < static_cast<float>(whole) ? 1 : 0;  // floor of a negative x
    cell[i] = whole - below;
    fraction[i] = x - static_cast<float>(whole - below);
  }
  // Long runs of pixels share a cell: the blend is then the same few operations per pixel
  // with the cell's values held, which run as vector code. Where cells are only a few pixels
  // wide, each pixel's values are fetched first and blended in a second pass instead.
  const float pixelsPerCell = 1.0f / (frequency * static_cast<float>(uStep));
  if (pixelsPerCell >= kLongNoiseRun) {
    for (int32_t i = 0; i < count;) {
      const int32_t c = cell[i];
      int32_t end = i + 1;
      while (end < count && cell[end] == c) ++end;
      const float* k = cells + 2 * (c & 255);
      blendNoise(fraction + i, k[0], k[1], k[2], k[3], end - i, out + i);
      i = end;
    }
    return;
  }
  float* __restrict alphaLeft = scratch.alphaLeft.data();
  float* __restrict betaLeft = scratch.betaLeft.data();
  float* __restrict alphaRight = scratch.alphaRight.data();
  float* __restrict betaRight = scratch.betaRight.data();
  for (int32_t i = 0; i < count; ++i) {
    const float* k = cells + 2 * (cell[i] & 255);
    alphaLeft[i] = k[0];
    betaLeft[i] = k[1];
    alphaRight[i] = k[2];
    betaRight[i] = k[3];
  }
  float* __restrict o = out;
  for (int32_t i = 0; i < count; ++i) {
    const float fx = fraction[i];
    const float left = fx * alphaLeft[i] + betaLeft[i];
    const float right = (fx - 1.0f) * alphaRight[i] + betaRight[i];
    o[i] = left + (right - left) * fade(fx);
  }
}

bool WeatheringScratch::prepare(int32_t regionWidth) {
  try {
    width = std::max(regionWidth, 0);
    const auto w = static_cast<size_t>(width);
    water.assign(w + 2, 0);
    moved.assign(w + 2, 0);
    keep.assign(w, 0);
    toLeft.assign(w, 0);
    toRight.assign(w, 0);
    wanderStand.assign(w, 0.0f);
    wanderAdded.assign(w, 0.0f);
    blotchAbove.assign(w + 1, 0.0f);
    blotchHere.assign(w + 1, 0.0f);
    lichenIndex.assign(w + 1, 0);
    for (auto& o : octaves) o.assign(w + 1, 0.0f);
    noise.cell.assign(w + 1, 0);
    noise.fraction.assign(w + 1, 0.0f);
    for (auto* v : {&noise.alphaLeft, &noise.betaLeft, &noise.alphaRight, &noise.betaRight})
      v->assign(w + 1, 0.0f);
    blotchJitter.assign(w + 1, 0.0f);
    for (auto& r : mossRing) r.assign(w + 6, 0.0f);
    for (auto& r : mossSums) r.assign(w + 6, 0.0f);
    smoothAbove.assign(w + 2, 0.0f);
    smoothHere.assign(w + 2, 0.0f);
    riseAbove.assign(w + 1, 0.0f);
    riseHere.assign(w + 1, 0.0f);
  } catch (const std::bad_alloc&) {
    return false;
  }
  blotchRow = -1;
  mossRow = -1;
  mossRingNext = 0;
  return true;
}

void startRain(const WeatheringPlan& plan, RandomGenerator& random, WeatheringScratch& scratch) {
  int32_t* water = scratch.water.data();
  for (int32_t i = 1; i <= scratch.width; ++i) water[i] = plan.rainStart + (random.next() & 1);
  wrapEnds(water, scratch.width);
}

void flowWater(const WeatheringPlan& plan, const float* __restrict row, RandomGenerator& random,
               WeatheringScratch& scratch) {
  const int32_t width = scratch.width;
  if (width < 1) return;
  const float inverseScale = plan.inverseScale;
  const float wander = plan.wanderGain;
  const int32_t side = plan.diffusionSide;
  const int32_t centre = plan.diffusionCentre;
  for (int step = 0; step < plan.scale; ++step) {
    // Two fresh bytes per column: the wander that stands in for a slope of at most 9 (drawn
    // whether or not it is needed, so that the flow below has no branches) and the one that
    // is always added.
    float* __restrict stand = scratch.wanderStand.data();
    float* __restrict added = scratch.wanderAdded.data();
    for (int32_t i = 0; i < width; ++i) {
      stand[i] = static_cast<float>((random.next() & 255) - 127) * wander;
      added[i] = static_cast<float>((random.next() & 255) - 127) * wander;
    }
    const int32_t* __restrict water = scratch.water.data() + 1;
    int32_t* __restrict keep = scratch.keep.data();
    int32_t* __restrict toLeft = scratch.toLeft.data();
    int32_t* __restrict toRight = scratch.toRight.data();
    for (int32_t i = 0; i < width; ++i) {
      // A third difference along the row; a NaN depth counts as level.
      const float slope =
          (3.0f * row[i + 2] + 9.0f * row[i] - 3.0f * row[i - 1] - 9.0f * row[i + 1]) *
          inverseScale;
      const float standIn = stand[i];
      const float o = (std::fabs(slope) > 9.0f ? slope : standIn) + added[i];
      // Water runs more readily to the left than to the right. (Written with masks rather
      // than branches so that the loop runs as vector code.)
      const float limit = o < 0.0f ? 255.0f : 200.0f;
      const float amount = std::fabs(o);
      const float share = amount < limit ? amount : limit;
      const int32_t w = water[i];
      const auto v = static_cast<int32_t>(static_cast<float>(w) * share * (1.0f / 256.0f));
      const int32_t leftMask = o < 0.0f ? -1 : 0;
      keep[i] = w - v;
      toLeft[i] = v & leftMask;
      toRight[i] = v & ~leftMask;
    }
    // What each column holds after the move, the ends wrapping round.
    int32_t* moved = scratch.moved.data() + 1;
    moved[0] = keep[0] + toRight[width - 1] + toLeft[width > 1 ? 1 : 0];
    for (int32_t i = 1; i < width - 1; ++i) moved[i] = keep[i] + toRight[i - 1] + toLeft[i + 1];
    if (width > 1) moved[width - 1] = keep[width - 1] + toRight[width - 2] + toLeft[0];

    // Two passes spread each column's water over its neighbours by the diffusion.
    int32_t* m = scratch.moved.data();
    int32_t* w = scratch.water.data();
    wrapEnds(m, width);
    for (int32_t i = 1; i <= width; ++i)
      w[i] = std::max(0, (m[i] * centre + side * (m[i - 1] + m[i + 1])) >> 8);
    wrapEnds(w, width);
    for (int32_t i = 1; i <= width; ++i)
      m[i] = std::min(kMaxWater, std::max(0, (w[i] * centre + side * (w[i - 1] + w[i + 1])) >> 8));
    wrapEnds(m, width);
    std::swap(scratch.water, scratch.moved);
  }
}

void advanceBlotchRows(const WeatheringPlan& plan, int32_t y, WeatheringScratch& scratch) {
  if (scratch.blotchRow == y) return;
  if (scratch.blotchRow == y - 1 && scratch.blotchRow >= 0) {
    std::swap(scratch.blotchAbove, scratch.blotchHere);
  } else {
    blotchRow(plan, y - 1, scratch, scratch.blotchAbove.data(), nullptr);
  }
  blotchRow(plan, y, scratch, scratch.blotchHere.data(), scratch.lichenIndex.data());
  scratch.blotchRow = y;
}

void advanceMossRows(const WeatheringPlan& plan, const HeightView& heights, int32_t y,
                     WeatheringScratch& scratch) {
  if (scratch.mossRow == y) return;
  if (scratch.mossRow != y - 1 || scratch.mossRow < 0) {
    // Start afresh: rows y - 4 .. y - 1 into the ring, then two steps to have the smoothed
    // rows y - 2 and y - 1 and the rise of row y - 1.
    scratch.mossRingNext = 0;
    for (int32_t r = y - 4; r < y; ++r) {
      mossInputRow(plan, heights, r, scratch.width,
                   scratch.mossRing[static_cast<size_t>(scratch.mossRingNext)].data());
      scratch.mossRingNext = (scratch.mossRingNext + 1) % 5;
    }
    mossStep(plan, heights, y - 2, scratch);
    mossStep(plan, heights, y - 1, scratch);
  }
  mossStep(plan, heights, y, scratch);
  scratch.mossRow = y;
}

}  // namespace orichalcumite
