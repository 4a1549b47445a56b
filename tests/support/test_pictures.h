// Picture files for tests, written with the imaging library in any format it writes (the
// file name's extension chooses). Only tests include this header.
#pragma once

#include <OpenImageIO/imageio.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orichalcumite::testing {

// One channel value 0..255 of pixel (x, y).
using ChannelFunction = std::function<std::uint8_t(int x, int y, int channel)>;

// Writes a `width` x `height` 8-bit picture with `channels` channels (4: the last is a
// straight alpha). False when the imaging library refuses.
inline bool writeTestPicture(const std::string& path, int width, int height, int channels,
                             const ChannelFunction& value) {
  std::vector<std::uint8_t> pixels(std::size_t(width) * std::size_t(height) *
                                   std::size_t(channels));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c)
        pixels[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * std::size_t(channels) +
               std::size_t(c)] = value(x, y, c);
  std::unique_ptr<OIIO::ImageOutput> out = OIIO::ImageOutput::create(path);
  if (!out) return false;
  OIIO::ImageSpec spec(width, height, channels, OIIO::TypeDesc::UINT8);
  if (channels == 4) {
    spec.alpha_channel = 3;
    spec.attribute("oiio:UnassociatedAlpha", 1);
  }
  if (!out->open(path, spec)) return false;
  const bool written = out->write_image(OIIO::TypeDesc::UINT8, pixels.data());
  return out->close() && written;
}

// Points the picture code at the decoder library built beside the tests' module.
inline void useBuiltPictureDecoder() {
#ifdef ORICHALCUMITE_PICTURE_DECODER
  setenv("ORICHALCUMITE_PICTURE_LIBRARY", ORICHALCUMITE_PICTURE_DECODER, 1);
#endif
}

}  // namespace orichalcumite::testing
