// Renders into pictures: the internal-picture target (thumbnails, export pictures) and the
// runner that builds picture pyramids on the worker pool.
#pragma once

#include "pictures/picture.h"
#include "render/render_host.h"

namespace orichalcumite {

// The render target "internal picture": the region is the output picture's rectangle, the
// source is an optional picture of the same size (transparent black without one), the
// selection is full, and finished pixels go to the output picture. Float outputs (kinds 5
// and 9) are high dynamic range. Only an abort flag set by the caller cancels it.
class PictureRenderTarget final : public RenderSource {
 public:
  PictureRenderTarget(const Picture* source, Picture& output);

  Rect32 region() const override { return {0, 0, output_.height(), output_.width()}; }
  bool fetch(const Rect32&) override { return true; }
  void readSource(const Rect32& rect, float* rgba, int32_t stride) const override;
  void readMask(const Rect32& rect, uint8_t* mask, int32_t stride) const override;
  void write(const Rect32& rect, const float* rgba, int32_t stride) override;
  bool cancelled() override { return abort_; }
  void progress(double) override {}
  FinishContext finishContext() const override { return context_; }

  void requestAbort() { abort_ = true; }

 private:
  const Picture* source_;
  Picture& output_;
  FinishContext context_;
  bool abort_ = false;
};

// A pyramid runner that cuts each reduction pass into 128 × 128 tiles on the worker pool.
PictureRectRunner poolPictureRunner(int processors);

}  // namespace orichalcumite
