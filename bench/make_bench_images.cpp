// Writes the whole-program benchmark's input: a photograph-like RGB picture (smooth colour
// gradients with some texture) and an ellipse selection with a soft edge, both W × H.
//
//   orichalcumite_make_bench_images OUT_IMAGE OUT_SELECTION [WIDTH HEIGHT]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/image.h"
#include "app/image_files.h"

int main(int argc, char** argv) {
  using namespace orichalcumite;
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "usage: %s OUT_IMAGE OUT_SELECTION [WIDTH HEIGHT]\n", argv[0]);
    return 2;
  }
  const int width = argc == 5 ? std::atoi(argv[3]) : 4000;
  const int height = argc == 5 ? std::atoi(argv[4]) : 3000;
  std::string error;
  auto image = Image::make(width, height, 3, false, SampleType::uint8, &error);
  auto mask = Image::make(width, height, 1, false, SampleType::uint8, &error);
  if (!image || !mask) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const double cx = width / 2.0, cy = height / 2.0, rx = width * 0.4, ry = height * 0.4;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double u = double(x) / width, v = double(y) / height;
      const double ripple = 18.0 * std::sin(x * 0.031) * std::cos(y * 0.027);
      image->setSample(x, y, 0, 60 + 150 * u + ripple);
      image->setSample(x, y, 1, 90 + 110 * v - ripple);
      image->setSample(x, y, 2, 200 - 120 * u * v + 0.5 * ripple);
      // Distance outside the ellipse in pixels, roughly; a 1.5-pixel soft edge.
      const double d =
          (std::hypot((x + 0.5 - cx) / rx, (y + 0.5 - cy) / ry) - 1.0) * std::min(rx, ry);
      mask->setSample(x, y, 0, 255.0 * std::clamp(0.5 - d / 1.5, 0.0, 1.0));
    }
  }
  if (!writeImageFile(argv[1], *image, &error) || !writeImageFile(argv[2], *mask, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
