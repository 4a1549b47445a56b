#pragma once

// The two pictures the settings record keeps for a render: the environment the surface
// reflects and the texture tile. This header holds their size limits, the conversion of a
// decoded image into either, the built-in environment and the environment rotation.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "pictures/picture.h"

namespace orichalcumite {

inline constexpr int kEnvironmentMaxSide = 2048;
inline constexpr int kTextureMaxSide = 256;

// A decoded 8-bit RGBA image, rows top to bottom, `rowBytes` apart (the decoder's own
// buffer; not owned).
struct Rgba8ImageView {
  const std::uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t rowBytes = 0;
};

// Each side clamped to 1..maxSide.
PictureSize clampedPictureSize(int width, int height, int maxSide);

// A new 8-bit colour picture of the image's size clamped to 1..maxSide, holding the image's
// top-left part (red, green and blue from the image, alpha 255), pyramid built through
// `runner` (serially when empty). Returns none for an empty or absent image or when memory
// runs out.
std::unique_ptr<Picture> pictureFromRgba8(const Rgba8ImageView& image, int maxSide,
                                          WrapMode wrapMode, const PictureRectRunner& runner = {});

// The environment slot's picture: clamp edges, at most 2048 x 2048.
std::unique_ptr<Picture> environmentPictureFromRgba8(const Rgba8ImageView& image,
                                                     const PictureRectRunner& runner = {});

// The texture slot's picture: wrapping edges, at most 256 x 256. Its width() and height()
// are the texture width and height the settings record keeps.
std::unique_ptr<Picture> texturePictureFromRgba8(const Rgba8ImageView& image,
                                                 const PictureRectRunner& runner = {});

// The built-in 64 x 64 studio environment (bright sky with two soft light panels, a horizon
// band, a darker warm floor), pyramid built. Should that picture not be made, a 128 x 128
// opaque black one; none only when memory runs out.
std::unique_ptr<Picture> defaultEnvironmentPicture();

// The built-in environment's pixels: 64 x 64, three bytes red, green, blue per pixel, rows
// top to bottom.
inline constexpr int kDefaultEnvironmentSide = 64;
const std::uint8_t* defaultEnvironmentRgb();

// The reflection lookup turns environment points about the picture centre by
// environmentSpin quarter turns: theta = spin x (-pi / 2).
struct EnvironmentRotation {
  double cosTheta = 1.0;
  double sinTheta = 0.0;
};

// Any count of quarter turns brought into 0..3.
int normalizedEnvironmentSpin(int spin);
// One more quarter turn, kept in 0..3 (the dialog's spin control).
int nextEnvironmentSpin(int spin);
EnvironmentRotation environmentRotation(int spin);

}  // namespace orichalcumite
