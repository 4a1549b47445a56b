#include "pictures/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

#include "pictures/detail/picture_access.h"
#include "pictures/detail/texel_formats.h"

namespace orichalcumite {
namespace {

using detail::PictureAccess;

// Pictures beyond 2^31 pixels are refused: nothing the program makes comes near, and it
// keeps every pixel count within a signed 32-bit range for callers.
constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 31;

struct Layout {
  int channels;
  int bytesPerPixel;
  float valueScale;
  float writeMultiplier;
};

bool layoutOf(PictureKind kind, Layout& layout) {
  switch (kind) {
    case PictureKind::grey8: layout = {1, 1, 1.0f / 255.0f, 255.0f}; return true;
    case PictureKind::grey16: layout = {1, 2, 1.0f / 32768.0f, 32768.0f}; return true;
    case PictureKind::rgba8: layout = {4, 4, 1.0f / 255.0f, 255.0f}; return true;
    case PictureKind::rgba16: layout = {4, 8, 1.0f / 32768.0f, 32768.0f}; return true;
    case PictureKind::greyFloat: layout = {1, 4, 1.0f, 1.0f}; return true;
    case PictureKind::rgbaFloat: layout = {4, 16, 1.0f, 1.0f}; return true;
  }
  return false;  // the reserved three-channel layout and unknown codes
}

bool isKnownWrapMode(WrapMode mode) {
  return mode == WrapMode::noPyramid || mode == WrapMode::clamp || mode == WrapMode::wrapBoth ||
         mode == WrapMode::wrapHorizontal;
}

int tileCount(int side) { return (side + kPictureTileSide - 1) / kPictureTileSide; }

// Float -> int truncation that is defined for every input: NaN becomes 0 and values beyond
// +-2^30 are held there before the cast (their low bits are meaningless anyway).
int truncatedChannel(float value) {
  constexpr float kLimit = 1073741824.0f;
  if (!(value == value)) return 0;
  return static_cast<int>(std::fmin(std::fmax(value, -kLimit), kLimit));
}

template <class Format>
void storePixel(Picture& picture, int level, int x, int y, const typename Format::Value* channels) {
  using Texel = typename Format::Texel;
  PictureAccess::write<Texel>(picture, level).at(x, y) = Format::pack(channels);
}

template <class Format>
void storeIntegers(Picture& picture, int level, int x, int y, int r, int g, int b, int a) {
  using Value = typename Format::Value;
  const Value channels[4] = {static_cast<Value>(r), static_cast<Value>(g), static_cast<Value>(b),
                             static_cast<Value>(a)};
  storePixel<Format>(picture, level, x, y, channels);
}

template <class Format> Rgba loadPixel(const Picture& picture, int level, int x, int y) {
  using Texel = typename Format::Texel;
  typename Format::Value v[Format::kChannels];
  Format::unpack(PictureAccess::read<Texel>(picture, level).at(x, y), v);
  float f[Format::kChannels];
  for (int c = 0; c < Format::kChannels; ++c)
    f[c] = static_cast<float>(v[c]) * picture.valueScale();
  Rgba pixel = detail::channelsToRgba<Format>(f);
  if constexpr (Format::kChannels == 1) pixel.alpha = 1.0f;
  return pixel;
}

}  // namespace

Picture::~Picture() = default;

std::unique_ptr<Picture> createPicture(int width, int height, PictureKind kind, WrapMode wrapMode) {
  Layout layout{};
  if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide)
    return nullptr;
  if (std::int64_t{width} * height > kMaxPicturePixels) return nullptr;
  if (!layoutOf(kind, layout) || !isKnownWrapMode(wrapMode)) return nullptr;

  try {
    std::unique_ptr<Picture> picture(new Picture());
    Picture& p = *picture;
    p.kind_ = kind;
    p.wrapMode_ = wrapMode;
    p.channels_ = layout.channels;
    p.bytesPerPixel_ = layout.bytesPerPixel;
    p.valueScale_ = layout.valueScale;
    p.writeMultiplier_ = layout.writeMultiplier;

    // A picture that never builds its pyramid does not pay for the levels.
    PictureLevelSizes sizes = pictureLevelSizes(width, height);
    if (wrapMode == WrapMode::noPyramid) sizes.count = 1;
    p.levelCount_ = sizes.count;

    int firstTile = 0;
    for (int i = 0; i < sizes.count; ++i) {
      PictureLevel& level = p.levels_[i];
      level.width = sizes.sizes[i].width;
      level.height = sizes.sizes[i].height;
      level.maxX = level.width - 1;
      level.maxY = level.height - 1;
      level.firstTile = firstTile;
      level.tilesPerRow = tileCount(level.width);
      level.widthF = static_cast<float>(level.width);
      level.heightF = static_cast<float>(level.height);
      level.inverseWidth = 1.0f / level.widthF;
      level.inverseHeight = 1.0f / level.heightF;
      firstTile += level.tilesPerRow * tileCount(level.height);
    }

    p.tiles_.reserve(static_cast<std::size_t>(firstTile));
    for (int i = 0; i < sizes.count; ++i) {
      const PictureLevel& level = p.levels_[i];
      for (int tileRow = 0; tileRow < tileCount(level.height); ++tileRow) {
        const int rowsUsed = std::min(kPictureTileSide, level.height - tileRow * kPictureTileSide);
        const std::size_t bytes = static_cast<std::size_t>(rowsUsed) * kPictureTileSide *
                                  static_cast<std::size_t>(layout.bytesPerPixel);
        for (int tileColumn = 0; tileColumn < level.tilesPerRow; ++tileColumn) {
          p.tiles_.push_back(std::make_unique<unsigned char[]>(bytes));  // zeroed
        }
      }
    }

    const float w = p.levels_[0].widthF;
    const float h = p.levels_[0].heightF;
    p.aspect_.horizontal = width > height ? w / h : 1.0f;
    p.aspect_.vertical = height > width ? h / w : 1.0f;
    p.aspect_.halfTexelU = 0.5f / w;
    p.aspect_.halfTexelV = 0.5f / h;
    p.aspect_.widthOverHeight = w / h;
    p.aspect_.heightOverWidth = h / w;
    return picture;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int Picture::pyramidPassKind() const {
  return (kind_ == PictureKind::greyFloat || kind_ == PictureKind::rgbaFloat) ? -1001 : -1000;
}

void Picture::setPixel(int x, int y, int level, int red, int green, int blue, int alpha) {
  if (level < 0 || level >= levelCount_) return;
  const PictureLevel& l = levels_[level];
  if (x < 0 || x > l.maxX || y < 0 || y > l.maxY) return;
  detail::withTexelFormat(kind_, [&](auto format) {
    storeIntegers<decltype(format)>(*this, level, x, y, red, green, blue, alpha);
  });
}

void Picture::writeFloat(int x, int y, int level, const Rgba& rgba) {
  if (level < 0 || level >= levelCount_) return;
  const PictureLevel& l = levels_[level];
  if (x < 0 || x > l.maxX || y < 0 || y > l.maxY) return;
  detail::withTexelFormat(kind_, [&](auto format) {
    using Format = decltype(format);
    if constexpr (Format::kIsFloat) {
      const float channels[4] = {rgba.red, rgba.green, rgba.blue, rgba.alpha};
      storePixel<Format>(*this, level, x, y, channels);
    } else {
      const float m = writeMultiplier_;
      storeIntegers<Format>(*this, level, x, y, truncatedChannel(rgba.red * m),
                            truncatedChannel(rgba.green * m), truncatedChannel(rgba.blue * m),
                            truncatedChannel(rgba.alpha * m));
    }
  });
}

void Picture::fill(int red, int green, int blue, int alpha) {
  detail::withTexelFormat(kind_, [&](auto format) {
    using Format = decltype(format);
    using Texel = typename Format::Texel;
    using Value = typename Format::Value;
    const Value channels[4] = {static_cast<Value>(red), static_cast<Value>(green),
                               static_cast<Value>(blue), static_cast<Value>(alpha)};
    const Texel texel = Format::pack(channels);
    // Level 0's tiles come first; the unused columns of partial tiles are filled too.
    const PictureLevel& level = levels_[0];
    const int tiles = level.tilesPerRow * tileCount(level.height);
    for (int t = 0; t < tiles; ++t) {
      const int tileRow = t / level.tilesPerRow;
      const int rowsUsed = std::min(kPictureTileSide, level.height - tileRow * kPictureTileSide);
      Texel* pixels = reinterpret_cast<Texel*>(tiles_[static_cast<std::size_t>(t)].get());
      std::fill(pixels, pixels + rowsUsed * kPictureTileSide, texel);
    }
  });
}

Rgba Picture::readPicturePixel(int x, int y, int level) const {
  level = std::clamp(level, 0, levelCount_ - 1);
  const PictureLevel& l = levels_[level];
  x = detail::wrapsColumns(wrapMode_) ? detail::wrappedCoordinate(x, l.width)
                                      : detail::clampedCoordinate(x, l.width);
  y = detail::wrapsRows(wrapMode_) ? detail::wrappedCoordinate(y, l.height)
                                   : detail::clampedCoordinate(y, l.height);
  return detail::withTexelFormat(
      kind_, [&](auto format) { return loadPixel<decltype(format)>(*this, level, x, y); });
}

}  // namespace orichalcumite
