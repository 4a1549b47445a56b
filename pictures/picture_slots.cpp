#include "pictures/picture_slots.h"

#include <algorithm>
#include <cmath>

namespace orichalcumite {
namespace {

constexpr std::uint8_t kDefaultEnvironment[] = {
#include "pictures/detail/default_environment_rgb.inc"
};
static_assert(sizeof(kDefaultEnvironment) ==
              std::size_t{kDefaultEnvironmentSide} * kDefaultEnvironmentSide * 3);

// Stand-in when the built-in picture cannot be made.
constexpr int kFallbackEnvironmentSide = 128;

std::unique_ptr<Picture> pictureFromRgb24(const std::uint8_t* rgb, int side) {
  std::unique_ptr<Picture> picture = createPicture(side, side, PictureKind::rgba8, WrapMode::clamp);
  if (!picture) return nullptr;
  for (int y = 0; y < side; ++y) {
    const std::uint8_t* row = rgb + std::size_t{3} * static_cast<std::size_t>(side * y);
    for (int x = 0; x < side; ++x) {
      picture->setPixel(x, y, 0, row[3 * x], row[3 * x + 1], row[3 * x + 2], 255);
    }
  }
  picture->buildPyramid();
  return picture;
}

}  // namespace

PictureSize clampedPictureSize(int width, int height, int maxSide) {
  return {std::clamp(width, 1, maxSide), std::clamp(height, 1, maxSide)};
}

std::unique_ptr<Picture> pictureFromRgba8(const Rgba8ImageView& image, int maxSide,
                                          WrapMode wrapMode, const PictureRectRunner& runner) {
  if (image.pixels == nullptr || image.width < 1 || image.height < 1 ||
      image.rowBytes < std::ptrdiff_t{4} * image.width) {
    return nullptr;
  }
  const PictureSize size = clampedPictureSize(image.width, image.height, maxSide);
  std::unique_ptr<Picture> picture =
      createPicture(size.width, size.height, PictureKind::rgba8, wrapMode);
  if (!picture) return nullptr;
  for (int y = 0; y < size.height; ++y) {
    const std::uint8_t* row = image.pixels + image.rowBytes * y;
    for (int x = 0; x < size.width; ++x) {
      const std::uint8_t* p = row + 4 * x;
      picture->setPixel(x, y, 0, p[0], p[1], p[2], 255);
    }
  }
  picture->buildPyramid(runner);
  return picture;
}

std::unique_ptr<Picture> environmentPictureFromRgba8(const Rgba8ImageView& image,
                                                     const PictureRectRunner& runner) {
  return pictureFromRgba8(image, kEnvironmentMaxSide, WrapMode::clamp, runner);
}

std::unique_ptr<Picture> texturePictureFromRgba8(const Rgba8ImageView& image,
                                                 const PictureRectRunner& runner) {
  return pictureFromRgba8(image, kTextureMaxSide, WrapMode::wrapBoth, runner);
}

const std::uint8_t* defaultEnvironmentRgb() { return kDefaultEnvironment; }

std::unique_ptr<Picture> defaultEnvironmentPicture() {
  if (std::unique_ptr<Picture> picture =
          pictureFromRgb24(kDefaultEnvironment, kDefaultEnvironmentSide)) {
    return picture;
  }
  std::unique_ptr<Picture> black = createPicture(kFallbackEnvironmentSide, kFallbackEnvironmentSide,
                                                 PictureKind::rgba8, WrapMode::clamp);
  if (!black) return nullptr;
  black->fill(0, 0, 0, 255);
  black->buildPyramid();
  return black;
}

int normalizedEnvironmentSpin(int spin) { return ((spin % 4) + 4) % 4; }

int nextEnvironmentSpin(int spin) {
  return normalizedEnvironmentSpin(normalizedEnvironmentSpin(spin) + 1);
}

EnvironmentRotation environmentRotation(int spin) {
  constexpr double kQuarterTurn = -1.5707963267948966;
  const double theta = normalizedEnvironmentSpin(spin) * kQuarterTurn;
  return {std::cos(theta), std::sin(theta)};
}

}  // namespace orichalcumite
