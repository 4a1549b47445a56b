// A blur runner for tests: cuts every pass into bands of `band` rows or columns and deals
// them out to `threads` threads, each with scratch of its own.
#pragma once

#include <algorithm>
#include <thread>
#include <vector>

#include "render/box_blur.h"

namespace orichalcumite {

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
