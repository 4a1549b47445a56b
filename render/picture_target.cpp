#include "render/picture_target.h"

#include "render/worker_pool.h"

namespace orichalcumite {

PictureRenderTarget::PictureRenderTarget(const Picture* source, Picture& output)
    : source_(source), output_(output) {
  context_.target = RenderTarget::internalPicture;
  context_.hdr = output.kind() == PictureKind::greyFloat || output.kind() == PictureKind::rgbaFloat;
}

void PictureRenderTarget::readSource(const Rect32& rect, float* rgba, int32_t stride) const {
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    float* out = rgba + static_cast<ptrdiff_t>(y - rect.top) * stride;
    for (int32_t x = rect.left; x < rect.right; ++x, out += 4) {
      const Rgba c = source_ ? source_->readPicturePixel(x, y, 0) : Rgba{};
      out[0] = c.red;
      out[1] = c.green;
      out[2] = c.blue;
      out[3] = c.alpha;
    }
  }
}

void PictureRenderTarget::readMask(const Rect32& rect, uint8_t* mask, int32_t stride) const {
  for (int32_t y = rect.top; y < rect.bottom; ++y)
    for (int32_t x = 0; x < rect.width(); ++x) mask[(y - rect.top) * stride + x] = 255;
}

void PictureRenderTarget::write(const Rect32& rect, const float* rgba, int32_t stride) {
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    const float* in = rgba + static_cast<ptrdiff_t>(y - rect.top) * stride;
    for (int32_t x = rect.left; x < rect.right; ++x, in += 4)
      output_.writeFloat(x, y, 0, {in[0], in[1], in[2], in[3]});
  }
}

namespace {

class PictureTileWork final : public PassWork {
 public:
  PictureTileWork(const Rect32& area, const PictureRectKernel& kernel)
      : area_(area), kernel_(kernel) {}
  void prepareUnit(WorkUnit&) override {}
  void runUnit(WorkUnit& unit) noexcept override {
    const Rect32& u = unit.tiling.unit;
    kernel_({area_.top + u.top, area_.left + u.left, area_.top + u.bottom, area_.left + u.right});
  }
  void completeUnit(WorkUnit&, bool) override {}

 private:
  Rect32 area_;
  const PictureRectKernel& kernel_;
};

}  // namespace

PictureRectRunner poolPictureRunner(int processors) {
  return [processors](const Rect32& area, const PictureRectKernel& kernel) {
    PictureTileWork work(area, kernel);
    const Tiling tiling = makeTiling(area, TilingMode::tiles);
    // Both reduction kinds share the tile schedule; the picture's kernel picks its storage.
    runPass(PassKind::reduceInteger, tiling, work, processors);
  };
}

}  // namespace orichalcumite
