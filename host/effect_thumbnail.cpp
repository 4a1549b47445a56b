#include "host/effect_thumbnail.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "pictures/effect_pictures.h"
#include "render/render_driver.h"
#include "render/render_inputs.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

// Mid grey: dark and light glue modes both have something to work on.
constexpr float kNeutralGrey = 0.5f;

// The internal-picture target with a selection of its own: the plain picture target selects
// everything, which would leave the bevel only at the picture's border.
class ThumbnailTarget final : public RenderSource {
 public:
  ThumbnailTarget(Picture& output, const Picture* source) : output_(output), source_(source) {
    context_.target = RenderTarget::internalPicture;
  }

  Rect32 region() const override { return {0, 0, output_.height(), output_.width()}; }
  bool fetch(const Rect32&) override { return true; }
  void readSource(const Rect32& rect, float* rgba, int32_t stride) const override {
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      float* out = rgba + static_cast<ptrdiff_t>(y - rect.top) * stride;
      for (int32_t x = rect.left; x < rect.right; ++x, out += 4) {
        if (source_) {
          const Rgba p = source_->readPicturePixel(x, y, 0);
          out[0] = p.red;
          out[1] = p.green;
          out[2] = p.blue;
        } else {
          out[0] = out[1] = out[2] = kNeutralGrey;
        }
        out[3] = 1.0f;
      }
    }
  }
  void readMask(const Rect32& rect, uint8_t* mask, int32_t stride) const override {
    for (int32_t y = rect.top; y < rect.bottom; ++y)
      for (int32_t x = rect.left; x < rect.right; ++x)
        mask[(y - rect.top) * stride + (x - rect.left)] =
            effectPictureSelection(x, y, output_.width(), output_.height());
  }
  void write(const Rect32& rect, const float* rgba, int32_t stride) override {
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      const float* in = rgba + static_cast<ptrdiff_t>(y - rect.top) * stride;
      for (int32_t x = rect.left; x < rect.right; ++x, in += 4)
        output_.writeFloat(x, y, 0, {in[0], in[1], in[2], 1.0f});
    }
  }
  bool cancelled() override { return false; }
  void progress(double) override {}
  FinishContext finishContext() const override { return context_; }

 private:
  Picture& output_;
  const Picture* source_;  // null: neutral grey
  FinishContext context_;
};

}  // namespace

uint8_t thumbnailSelection(int x, int y, int side) {
  return effectPictureSelection(x, y, side, side);
}

uint8_t effectPictureSelection(int x, int y, int width, int height) {
  const float shorter = static_cast<float>(std::min(width, height));
  const float inset = shorter / 8.0f;
  const float corner = shorter / 5.0f;
  const float halfWidth = static_cast<float>(width) / 2.0f;
  const float halfHeight = static_cast<float>(height) / 2.0f;
  // Signed distance from the pixel centre to the rounded rectangle (negative inside).
  const float halfInnerX = halfWidth - inset - corner;
  const float halfInnerY = halfHeight - inset - corner;
  const float dx = std::max(std::fabs(static_cast<float>(x) + 0.5f - halfWidth) - halfInnerX, 0.0f);
  const float dy =
      std::max(std::fabs(static_cast<float>(y) + 0.5f - halfHeight) - halfInnerY, 0.0f);
  const float distance = std::sqrt(dx * dx + dy * dy) - corner;
  const float coverage = std::clamp(0.5f - distance, 0.0f, 1.0f);
  return static_cast<uint8_t>(std::lround(coverage * 255.0f));
}

std::unique_ptr<Picture> renderEffectThumbnail(const EffectSettings& settings,
                                               const EffectPictures& pictures,
                                               RandomGenerator& random, int side,
                                               const Picture* source) {
  return renderEffectPicture(settings, pictures, random, side, side, source);
}

std::unique_ptr<Picture> renderEffectPicture(const EffectSettings& settings,
                                             const EffectPictures& pictures,
                                             RandomGenerator& random, int width, int height,
                                             const Picture* source) {
  if (width <= 0 || height <= 0) return nullptr;
  if (source && (source->width() < width || source->height() < height)) return nullptr;
  std::unique_ptr<Picture> output =
      createPicture(width, height, PictureKind::rgba8, WrapMode::noPyramid);
  if (!output) return nullptr;
  const std::unique_ptr<RenderInputs> inputs = makeRenderInputs(settings, pictures, random);
  if (!inputs) return nullptr;
  ThumbnailTarget target(*output, source);
  if (renderEffect(*inputs, target) != RenderStatus::done) return nullptr;
  return output;
}

}  // namespace orichalcumite
