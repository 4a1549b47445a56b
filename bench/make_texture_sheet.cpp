// Writes the twelve built-in texture tiles side by side into one PNG, four to a row, for
// looking at them. Each tile is shown `repeat` x `repeat` times, so seams show up.
//
//   orichalcumite_make_texture_sheet OUT.png [REPEAT] [RANDOM_SEED]
#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/random_generator.h"
#include "pictures/texture_tile.h"

int main(int argc, char** argv) {
  using namespace orichalcumite;
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: %s OUT.png [REPEAT] [RANDOM_SEED]\n", argv[0]);
    return 2;
  }
  const int repeat = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  RandomGenerator rng(argc > 3 ? static_cast<uint32_t>(std::atoll(argv[3])) : 1u);
  constexpr int kChoices = 12;
  constexpr int kColumns = 4;
  constexpr int kGap = 8;
  const int cell = kTextureTileSide * repeat;
  const int width = kColumns * cell + (kColumns + 1) * kGap;
  const int rows = (kChoices + kColumns - 1) / kColumns;
  const int height = rows * cell + (rows + 1) * kGap;
  std::vector<unsigned char> sheet(static_cast<std::size_t>(width) * height * 3, 40);
  for (int choice = 1; choice <= kChoices; ++choice) {
    const auto tile = buildTextureTile(choice, rng);
    if (!tile) {
      std::fprintf(stderr, "no tile for choice %d\n", choice);
      return 1;
    }
    const int left = kGap + ((choice - 1) % kColumns) * (cell + kGap);
    const int top = kGap + ((choice - 1) / kColumns) * (cell + kGap);
    for (int y = 0; y < cell; ++y) {
      for (int x = 0; x < cell; ++x) {
        // The picture's own edge handling repeats it (a walk tile is 240 rows high).
        const Rgba p = tile->readPicturePixel(x, y % tile->height(), 0);
        unsigned char* out = &sheet[(static_cast<std::size_t>(top + y) * width + left + x) * 3];
        out[0] = static_cast<unsigned char>(p.red * 255.0f + 0.5f);
        out[1] = static_cast<unsigned char>(p.green * 255.0f + 0.5f);
        out[2] = static_cast<unsigned char>(p.blue * 255.0f + 0.5f);
      }
    }
  }
  auto output = OIIO::ImageOutput::create(argv[1]);
  const OIIO::ImageSpec spec(width, height, 3, OIIO::TypeDesc::UINT8);
  if (!output || !output->open(argv[1], spec) ||
      !output->write_image(OIIO::TypeDesc::UINT8, sheet.data()) || !output->close()) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
