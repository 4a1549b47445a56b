#include "render/finish_pixel.h"

#include <algorithm>

namespace orichalcumite {

void spreadOverflow(Rgba& c) {
  const bool overR = c.r > 1.0f, overG = c.g > 1.0f, overB = c.b > 1.0f;
  const int over = int(overR) + int(overG) + int(overB);
  if (over == 0 || over == 3) return;
  const float excess = (overR ? c.r - 1.0f : 0.0f) + (overG ? c.g - 1.0f : 0.0f) +
                       (overB ? c.b - 1.0f : 0.0f);
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
    if (overR) spreadFromOne(c.g, c.b);
    else if (overG) spreadFromOne(c.r, c.b);
    else spreadFromOne(c.r, c.g);
    return;
  }
  if (!overB) c.b += e;
  else if (!overG) c.g += e;
  else c.r += e;
}

void compositeOver(const Rgba& src, Rgba& dst) {
  if (src.a <= 0.0f) return;
  const float k = src.a / (dst.a + src.a - dst.a * src.a);
  dst.r += (src.r - dst.r) * k;
  dst.g += (src.g - dst.g) * k;
  dst.b += (src.b - dst.b) * k;
  dst.a = dst.a + src.a * (1.0f - dst.a);
}

Rgba glue(const Rgba& material, const Rgba& /*source*/, int /*mode*/) { return material; }

Rgba finishPixel(Rgba m, const Rgba& source, float mask, int32_t x, int32_t y,
                 const FinishContext& ctx) {
  if (!ctx.hdr) m.a *= 1.007f;
  m.a = std::clamp(m.a, 0.0f, 1.0f);
  m.r = std::max(m.r, 0.0f);
  m.g = std::max(m.g, 0.0f);
  m.b = std::max(m.b, 0.0f);
  if (!ctx.hdr) spreadOverflow(m);
  if (ctx.greyscale) {
    const float grey = 0.3f * m.r + 0.59f * m.g + 0.11f * m.b;
    m.r = m.g = m.b = grey;
  }

  Rgba result;
  if (ctx.hdr) {
    result = m;
    result.r = std::min(result.r, 65535.0f);
    result.g = std::min(result.g, 65535.0f);
    result.b = std::min(result.b, 65535.0f);
  } else {
    result = glue(m, source, ctx.glue);
    if (result.a < 1.0f && ctx.target == RenderTarget::hostImage && !ctx.editableTransparency) {
      Rgba under = source;
      compositeOver(result, under);
      result = under;
    }
    result.r = std::min(result.r, 1.0f);
    result.g = std::min(result.g, 1.0f);
    result.b = std::min(result.b, 1.0f);
  }

  Rgba background = source;
  if (ctx.target == RenderTarget::dialogPreview) {
    const float grey = checkerboardGrey(x, y);
    background = {grey, grey, grey, 1.0f};
    Rgba over = background;
    compositeOver(result, over);
    result = over;
  }
  if (mask < 1.0f) {
    result.r = background.r + (result.r - background.r) * mask;
    result.g = background.g + (result.g - background.g) * mask;
    result.b = background.b + (result.b - background.b) * mask;
    result.a = background.a + (result.a - background.a) * mask;
  }
  return result;
}

}  // namespace orichalcumite
