// Blur helpers for tests: the obvious box pass that the fast kernels are checked against, and a
// runner that cuts every pass into bands of `band` rows or columns and deals them out to
// `threads` threads, each with scratch of its own.
#pragma once

#include <algorithm>
#include <thread>
#include <vector>

#include "render/box_blur.h"
#include "render/float_image.h"

namespace orichalcumite {

// The obvious box pass over `area`: every output the mean of its window in double, positions
// beyond the area's row or column taking the nearest pixel inside it.
inline void naivePass(FloatImage& img, const Rect32& area, const BlurPass& pass) {
  std::vector<double> copy;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) copy.push_back(static_cast<double>(img.at(x, y)));
  const bool rows = pass.axis == BlurAxis::horizontal;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      double sum = 0;
      for (int k = -pass.before; k <= pass.after; ++k) {
        const int sx = rows ? std::clamp(x + k, area.left, area.right - 1) : x;
        const int sy = rows ? y : std::clamp(y + k, area.top, area.bottom - 1);
        sum += copy[static_cast<size_t>(sy * img.width() + sx)];
      }
      img.at(x, y) = static_cast<float>(sum / (pass.before + pass.after + 1));
    }
}

class ThreadedBlurRunner final : public BlurRunner {
 public:
  ThreadedBlurRunner(int threads, int band) : threads_(threads), band_(band) {}
  void runPass(FloatImage& image, const Rect32& area, const BlurPass& pass) override {
    const bool rows = pass.axis == BlurAxis::horizontal;
    const int first = rows ? area.top : area.left, end = rows ? area.bottom : area.right;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads_; ++t)
      workers.emplace_back([&, t] {
        BlurScratch scratch;
        for (int b = first + t * band_; b < end; b += threads_ * band_)
          blurBand(image, area, pass, b, std::min(b + band_, end), scratch);
      });
    for (std::thread& w : workers) w.join();
  }

 private:
  int threads_, band_;
};

}  // namespace orichalcumite
