// The picture decoder companion library: the module's only contact with the imaging library.
// Everything that knows how picture files are decoded on this platform lives in this file, so
// another platform replaces just this file with its own imaging layer.
#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>
#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "pictures/detail/picture_decoder_abi.h"

namespace {

namespace OIIO = OIIO_NAMESPACE;

// A picture's four-byte pixels must be addressable with 32-bit byte counts: a larger image is
// refused before anything is allocated.
constexpr std::uint64_t kMaxPictureBytes = 0xFFFFFFFFull;

struct DecodeFailure {
  std::string reason;
};

void copyReason(const std::string& reason, char* error, std::size_t errorBytes) {
  if (!error || errorBytes == 0) return;
  std::string line = reason.empty() ? std::string("unknown decoding error") : reason;
  // One line: the imaging library sometimes adds several.
  std::replace(line.begin(), line.end(), '\n', ' ');
  const std::size_t n = std::min(line.size(), errorBytes - 1);
  std::memcpy(error, line.data(), n);
  error[n] = '\0';
}

// Four bytes red, green, blue, alpha per pixel from the file's channels: grey is spread over
// red, green and blue; a file without alpha is opaque. Colours whose alpha is 0 are black, as
// premultiplied colour must be, whatever the file stored under them.
void toRgba8(const std::uint8_t* raw, int channels, int alphaChannel, std::size_t pixelCount,
             std::uint8_t* rgba) {
  const bool grey = channels < 3;
  for (std::size_t i = 0; i < pixelCount; ++i) {
    const std::uint8_t* p = raw + i * static_cast<std::size_t>(channels);
    std::uint8_t* q = rgba + 4 * i;
    const std::uint8_t a = alphaChannel >= 0 ? p[alphaChannel] : 255;
    if (grey) {
      q[0] = q[1] = q[2] = p[0];
    } else {
      q[0] = p[0];
      q[1] = p[1];
      q[2] = p[2];
    }
    if (a == 0) q[0] = q[1] = q[2] = 0;
    q[3] = a;
  }
}

// The first image of `path` as premultiplied RGBA8 (the imaging library associates a straight
// alpha while reading).
std::vector<std::uint8_t> readFirstImage(const char* path, int* width, int* height) {
  std::unique_ptr<OIIO::ImageInput> input = OIIO::ImageInput::open(path);
  if (!input) throw DecodeFailure{OIIO::geterror()};
  const OIIO::ImageSpec& spec = input->spec();
  if (spec.deep) throw DecodeFailure{"deep images are not pictures"};
  if (spec.width < 1 || spec.height < 1 || spec.nchannels < 1 || spec.depth > 1)
    throw DecodeFailure{"the file holds no flat image"};
  const std::uint64_t pixels = std::uint64_t(spec.width) * std::uint64_t(spec.height);
  if (pixels * 4 > kMaxPictureBytes)
    throw DecodeFailure{"the image is too large (" + std::to_string(spec.width) + " x " +
                        std::to_string(spec.height) + " pixels)"};
  const int channels = spec.nchannels;
  const int alphaChannel = spec.alpha_channel < channels ? spec.alpha_channel : -1;
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(pixels) *
                                static_cast<std::size_t>(channels));
  if (!input->read_image(0, 0, 0, channels, OIIO::TypeDesc::UINT8, raw.data())) {
    throw DecodeFailure{input->geterror()};
  }
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(pixels) * 4);
  toRgba8(raw.data(), channels, alphaChannel, static_cast<std::size_t>(pixels), rgba.data());
  *width = spec.width;
  *height = spec.height;
  return rgba;
}

// Reduces an RGBA8 image in proportion to `newWidth` (premultiplied colour filters correctly).
std::vector<std::uint8_t> reduced(const std::vector<std::uint8_t>& rgba, int width, int height,
                                  int newWidth, int* newHeight) {
  const double scale = double(newWidth) / double(width);
  *newHeight = std::max(1, static_cast<int>(std::lround(height * scale)));
  const OIIO::ImageSpec sourceSpec(width, height, 4, OIIO::TypeDesc::UINT8);
  const OIIO::ImageBuf source(sourceSpec, const_cast<std::uint8_t*>(rgba.data()));
  OIIO::ImageBuf target(OIIO::ImageSpec(newWidth, *newHeight, 4, OIIO::TypeDesc::UINT8));
  if (!OIIO::ImageBufAlgo::resize(target, source, "lanczos3", 0.0f, target.roi()))
    throw DecodeFailure{"cannot reduce the image: " + target.geterror()};
  std::vector<std::uint8_t> out(std::size_t(newWidth) * std::size_t(*newHeight) * 4);
  if (!target.get_pixels(target.roi(), OIIO::TypeDesc::UINT8, out.data()))
    throw DecodeFailure{"cannot reduce the image: " + target.geterror()};
  return out;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int orichalcumite_decode_picture(
    const char* path, int maxWidth, OrichalcumiteDecodedPicture* out, char* error,
    std::size_t errorBytes) noexcept {
  if (!out) return 1;
  *out = {nullptr, 0, 0};
  if (!path || !*path) {
    copyReason("no file named", error, errorBytes);
    return 1;
  }
  try {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba = readFirstImage(path, &width, &height);
    if (maxWidth > 0 && width > maxWidth) {
      int newHeight = 0;
      rgba = reduced(rgba, width, height, maxWidth, &newHeight);
      width = maxWidth;
      height = newHeight;
    }
    // The caller releases the pixels through orichalcumite_free_picture, so they are handed
    // over in a buffer of the C allocator.
    auto* pixels = static_cast<std::uint8_t*>(std::malloc(rgba.size()));
    if (!pixels) throw std::bad_alloc();
    std::memcpy(pixels, rgba.data(), rgba.size());
    *out = {pixels, width, height};
    return 0;
  } catch (const DecodeFailure& failure) {
    copyReason(failure.reason, error, errorBytes);
  } catch (const std::bad_alloc&) {
    copyReason("not enough memory for the image", error, errorBytes);
  } catch (const std::exception& e) {
    copyReason(e.what(), error, errorBytes);
  } catch (...) {
    copyReason("the imaging library failed", error, errorBytes);
  }
  return 1;
}

__attribute__((visibility("default"))) void orichalcumite_free_picture(
    std::uint8_t* pixels) noexcept {
  std::free(pixels);
}

}  // extern "C"

// The exported functions must stay callable through the pointer types the module uses.
static_assert(
    std::is_convertible_v<decltype(&orichalcumite_decode_picture), OrichalcumiteDecodePictureFn>);
static_assert(
    std::is_convertible_v<decltype(&orichalcumite_free_picture), OrichalcumiteFreePictureFn>);
