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
    if (overR) spreadFromOne(c.green, c.blue);
    else if (overG) spreadFromOne(c.red, c.blue);
    else spreadFromOne(c.red, c.green);
    return;
  }
  if (!overB) c.blue += e;
  else if (!overG) c.green += e;
  else c.red += e;
}

void compositeOver(const Rgba& src, Rgba& dst) {
  if (src.alpha <= 0.0f) return;
  const float k = src.alpha / (dst.alpha + src.alpha - dst.alpha * src.alpha);
  dst.red += (src.red - dst.red) * k;
  dst.green += (src.green - dst.green) * k;
  dst.blue += (src.blue - dst.blue) * k;
  dst.alpha = dst.alpha + src.alpha * (1.0f - dst.alpha);
}

Rgba glue(const Rgba& material, const Rgba& /*source*/, int /*mode*/) { return material; }

Rgba finishPixel(Rgba m, const Rgba& source, float mask, int32_t x, int32_t y,
                 const FinishContext& ctx) {
  if (!ctx.hdr) m.alpha *= 1.007f;
  m.alpha = std::clamp(m.alpha, 0.0f, 1.0f);
  m.red = std::max(m.red, 0.0f);
  m.green = std::max(m.green, 0.0f);
  m.blue = std::max(m.blue, 0.0f);
  if (!ctx.hdr) spreadOverflow(m);
  if (ctx.greyscale) {
    const float grey = 0.3f * m.red + 0.59f * m.green + 0.11f * m.blue;
    m.red = m.green = m.blue = grey;
  }

  Rgba result;
  if (ctx.hdr) {
    result = m;
    result.red = std::min(result.red, 65535.0f);
    result.green = std::min(result.green, 65535.0f);
    result.blue = std::min(result.blue, 65535.0f);
  } else {
    result = glue(m, source, ctx.glue);
    if (result.alpha < 1.0f && ctx.target == RenderTarget::hostImage && !ctx.editableTransparency) {
      Rgba under = source;
      compositeOver(result, under);
      result = under;
    }
    result.red = std::min(result.red, 1.0f);
    result.green = std::min(result.green, 1.0f);
    result.blue = std::min(result.blue, 1.0f);
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
    result.red = background.red + (result.red - background.red) * mask;
    result.green = background.green + (result.green - background.green) * mask;
    result.blue = background.blue + (result.blue - background.blue) * mask;
    result.alpha = background.alpha + (result.alpha - background.alpha) * mask;
  }
  return result;
}

}  // namespace orichalcumite
