#include "app/image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace orichalcumite {
namespace {

// Larger images are refused rather than half-allocated: 16 GiB of samples.
constexpr uint64_t kMaxImageBytes = uint64_t(16) << 30;

}  // namespace

size_t sampleSize(SampleType type) {
  switch (type) {
    case SampleType::uint8: return 1;
    case SampleType::uint16: return 2;
    case SampleType::float32: return 4;
  }
  return 1;
}

const char* sampleTypeName(SampleType type) {
  switch (type) {
    case SampleType::uint8: return "8-bit";
    case SampleType::uint16: return "16-bit";
    case SampleType::float32: return "32-bit float";
  }
  return "?";
}

std::optional<Image> Image::make(int width, int height, int channels, bool hasAlpha,
                                 SampleType type, std::string* error) {
  auto fail = [&](std::string message) -> std::optional<Image> {
    if (error) *error = std::move(message);
    return std::nullopt;
  };
  if (width <= 0 || height <= 0) return fail("the image has no pixels");
  if (channels < 1 || channels > 4)
    return fail("the image has " + std::to_string(channels) + " channels; 1 to 4 are supported");
  if (hasAlpha && channels < 2) return fail("an alpha channel needs a colour channel beside it");
  const uint64_t bytes = uint64_t(width) * uint64_t(height) * uint64_t(channels) * sampleSize(type);
  if (bytes > kMaxImageBytes) return fail("the image is too large to hold in memory");
  Image image;
  image.width_ = width;
  image.height_ = height;
  image.channels_ = channels;
  image.hasAlpha_ = hasAlpha;
  image.type_ = type;
  try {
    image.bytes_.resize(size_t(bytes));  // zero: a fresh block
  } catch (const std::bad_alloc&) {
    return fail("not enough memory for the image");
  }
  return image;
}

double Image::sample(int x, int y, int c) const {
  const size_t index = (size_t(y) * size_t(width_) + size_t(x)) * size_t(channels_) + size_t(c);
  switch (type_) {
    case SampleType::uint8: return bytes_[index];
    case SampleType::uint16: {
      uint16_t v;
      std::memcpy(&v, bytes_.data() + index * 2, 2);
      return v;
    }
    case SampleType::float32: {
      float v;
      std::memcpy(&v, bytes_.data() + index * 4, 4);
      return static_cast<double>(v);
    }
  }
  return 0;
}

void Image::setSample(int x, int y, int c, double value) {
  const size_t index = (size_t(y) * size_t(width_) + size_t(x)) * size_t(channels_) + size_t(c);
  switch (type_) {
    case SampleType::uint8:
      bytes_[index] = static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
      break;
    case SampleType::uint16: {
      const auto v = static_cast<uint16_t>(std::clamp(std::lround(value), 0L, 65535L));
      std::memcpy(bytes_.data() + index * 2, &v, 2);
      break;
    }
    case SampleType::float32: {
      const auto v = static_cast<float>(value);
      std::memcpy(bytes_.data() + index * 4, &v, 4);
      break;
    }
  }
}

Image luminance(const Image& image) {
  Image grey = *Image::make(image.width(), image.height(), 1, false, image.type());
  const bool colour = !image.isGrey();
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const double value = colour
                               ? 0.2126 * image.sample(x, y, 0) + 0.7152 * image.sample(x, y, 1) +
                                     0.0722 * image.sample(x, y, 2)
                               : image.sample(x, y, 0);
      grey.setSample(x, y, 0, value);
    }
  return grey;
}

}  // namespace orichalcumite
