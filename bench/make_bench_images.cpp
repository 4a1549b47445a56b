// Writes the whole-program benchmark's input: a photograph-like RGB picture (smooth colour
// gradients with some texture) and an ellipse selection with a soft edge, both W × H
// (4000 × 3000 unless told). The extension of each name picks the file format.
//
//   orichalcumite_make_bench_images [--size WxH] OUT_IMAGE OUT_SELECTION [WIDTH HEIGHT]
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/image.h"
#include "app/image_files.h"

namespace {

// One side of the picture: a whole decimal number from 1 to 65535, nothing after it.
bool parseSide(std::string_view text, int* side) {
  int value = 0;
  const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (failed != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535)
    return false;
  *side = value;
  return true;
}

// "WxH", e.g. "8000x6000".
bool parseSize(std::string_view text, int* width, int* height) {
  const size_t x = text.find('x');
  return x != std::string_view::npos && parseSide(text.substr(0, x), width) &&
         parseSide(text.substr(x + 1), height);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orichalcumite;
  std::vector<std::string_view> names;
  int width = 4000, height = 3000;
  bool sized = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--size" && i + 1 < argc)
      sized = parseSize(argv[++i], &width, &height) && sized;
    else if (arg.starts_with("--size="))
      sized = parseSize(arg.substr(7), &width, &height) && sized;
    else
      names.push_back(arg);
  }
  if (names.size() == 4) {  // the older spelling: the size after the two names
    sized = parseSide(names[2], &width) && parseSide(names[3], &height) && sized;
    names.resize(2);
  }
  if (names.size() != 2 || !sized) {
    std::fprintf(stderr, "usage: %s [--size WxH] OUT_IMAGE OUT_SELECTION [WIDTH HEIGHT]\n",
                 argv[0]);
    return 2;
  }
  const std::string imagePath(names[0]), selectionPath(names[1]);
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
  if (!writeImageFile(imagePath, *image, &error) || !writeImageFile(selectionPath, *mask, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
