#include "render/finish_pixel.h"

#include <algorithm>

namespace orichalcumite {

void spreadOverflow(Rgba& c) {
  const bool overR = c.red > 1.0f, overG = c.green > 1.0f, overB = c.blue > 1.0f;
  const int over = int(overR) + int(overG) + int(overB);
  if (over == 0 || over == 3) return;
  const float excess = (overR ? c.red - 1.0f : 0.0f) + (overG ? c.green - 1.0f : 0.0f) +
                       (overB ? c.blue - 1.0f : 0.0f);
  const float e = excess * 60.0f / 256.0f;
  // With one channel over, the other two share the excess; whatever then overflows one of
  // them passes on to the last.
  auto spreadFromOne = [e](float& first, float& second) {
    first += e / 2;
    second += e / 2;
    if (first > 1.0f) second += first - 1.0f;
    if (second > 1.0f) first += second - 1.0f;
  };
  if (over == 1) {
    if (overR)
      spreadFromOne(c.green, c.blue);
    else if (overG)
      spreadFromOne(c.red, c.blue);
    else
      spreadFromOne(c.red, c.green);
    return;
  }
  if (!overB)
    c.blue += e;
  else if (!overG)
    c.green += e;
  else
    c.red += e;
}

void compositeOver(const Rgba& src, Rgba& dst) {
  if (src.alpha <= 0.0f) return;
  const float k = src.alpha / (dst.alpha + src.alpha - dst.alpha * src.alpha);
  dst.red += (src.red - dst.red) * k;
  dst.green += (src.green - dst.green) * k;
  dst.blue += (src.blue - dst.blue) * k;
  dst.alpha = dst.alpha + src.alpha * (1.0f - dst.alpha);
}

namespace {

// The steps of the finish, shared by the pixel and the row paths so that both compute the
// same thing in the same order.

// Alpha boost and clamping, overflow spreading (both skipped for HDR), greyscale.
template <bool Hdr, bool Greyscale> inline void prepareMaterial(Rgba& m) {
  if constexpr (!Hdr) m.alpha *= 1.007f;
  m.alpha = std::clamp(m.alpha, 0.0f, 1.0f);
  m.red = std::max(m.red, 0.0f);
  m.green = std::max(m.green, 0.0f);
  m.blue = std::max(m.blue, 0.0f);
  if constexpr (!Hdr) spreadOverflow(m);
  if constexpr (Greyscale) {
    const float grey = 0.3f * m.red + 0.59f * m.green + 0.11f * m.blue;
    m.red = m.green = m.blue = grey;
  }
}

template <bool Hdr, bool Greyscale> void prepareRow(Rgba* m, int32_t count) {
  for (int32_t i = 0; i < count; ++i) prepareMaterial<Hdr, Greyscale>(m[i]);
}

using PrepareRow = void (*)(Rgba*, int32_t);

PrepareRow prepareRowFor(const FinishContext& ctx) {
  if (ctx.hdr) return ctx.greyscale ? &prepareRow<true, true> : &prepareRow<true, false>;
  return ctx.greyscale ? &prepareRow<false, true> : &prepareRow<false, false>;
}

inline Rgba hdrResult(const Rgba& m) {
  return {std::min(m.red, 65535.0f), std::min(m.green, 65535.0f), std::min(m.blue, 65535.0f),
          m.alpha};
}

// A target that cannot keep a translucent result gets it over the source.
inline bool goesOverSource(const FinishContext& ctx) {
  return ctx.target == RenderTarget::hostImage && !ctx.editableTransparency;
}

// After the glue: the over operator where wanted, then colours limited to 0..1 (several
// modes leave that range, and every non-HDR output stores values of 0..1).
template <bool OverSource> inline void settle(Rgba& result, const Rgba& source) {
  if (OverSource && result.alpha < 1.0f) {
    Rgba under = source;
    compositeOver(result, under);
    result = under;
  }
  result.red = std::clamp(result.red, 0.0f, 1.0f);
  result.green = std::clamp(result.green, 0.0f, 1.0f);
  result.blue = std::clamp(result.blue, 0.0f, 1.0f);
}

inline Rgba checkerboard(int32_t x, int32_t y) {
  const float grey = checkerboardGrey(x, y);
  return {grey, grey, grey, 1.0f};
}

// The preview shows the result over its opaque checkerboard.
inline void overCheckerboard(Rgba& result, const Rgba& background) {
  Rgba over = background;
  compositeOver(result, over);
  result = over;
}

inline void blendSelection(Rgba& result, const Rgba& background, float mask) {
  if (mask < 1.0f) {
    result.red = background.red + (result.red - background.red) * mask;
    result.green = background.green + (result.green - background.green) * mask;
    result.blue = background.blue + (result.blue - background.blue) * mask;
    result.alpha = background.alpha + (result.alpha - background.alpha) * mask;
  }
}

inline float maskValue(uint8_t m) { return m / 255.0f; }

}  // namespace

Rgba finishPixel(Rgba m, const Rgba& source, float mask, int32_t x, int32_t y,
                 const FinishContext& ctx) {
  prepareRowFor(ctx)(&m, 1);
  Rgba result;
  if (ctx.hdr) {
    result = hdrResult(m);
  } else {
    result = glue(m, source, ctx.glue);
    if (goesOverSource(ctx))
      settle<true>(result, source);
    else
      settle<false>(result, source);
  }
  Rgba background = source;
  if (ctx.target == RenderTarget::dialogPreview) {
    background = checkerboard(x, y);
    overCheckerboard(result, background);
  }
  blendSelection(result, background, mask);
  return result;
}

FinishPlan makeFinishPlan(const FinishContext& context) {
  return {context, glueRowKernel(context.glue)};
}

void finishRow(const FinishPlan& plan, Rgba* material, const Rgba* source, const uint8_t* mask,
               Rgba* out, int32_t x, int32_t y, int32_t count) {
  const FinishContext& ctx = plan.context;
  prepareRowFor(ctx)(material, count);
  if (ctx.hdr) {
    for (int32_t i = 0; i < count; ++i) out[i] = hdrResult(material[i]);
  } else {
    plan.glueRow(material, source, out, count);
    if (goesOverSource(ctx)) {
      for (int32_t i = 0; i < count; ++i) settle<true>(out[i], source[i]);
    } else {
      for (int32_t i = 0; i < count; ++i) settle<false>(out[i], source[i]);
    }
  }
  if (ctx.target == RenderTarget::dialogPreview) {
    for (int32_t i = 0; i < count; ++i) {
      const Rgba background = checkerboard(x + i, y);
      overCheckerboard(out[i], background);
      blendSelection(out[i], background, maskValue(mask[i]));
    }
  } else {
    for (int32_t i = 0; i < count; ++i) blendSelection(out[i], source[i], maskValue(mask[i]));
  }
}

}  // namespace orichalcumite
