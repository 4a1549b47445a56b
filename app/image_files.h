// Image files, read and written with OpenImageIO (kept out of every header).
//
// Images are 8- or 16-bit integer or 32-bit float (other integer depths are read as 16-bit,
// half and double as float), grey or RGB, with or without a straight alpha that is kept exact:
// colours under an alpha of 0 survive a round trip. An alpha is recognised from the file's
// description, or as the last of two or four channels.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/image.h"

namespace orichalcumite {

// The first image of the file; nothing, with a one-line reason, when it cannot be read or has
// a shape this program does not handle.
std::optional<Image> readImageFile(const std::string& path, std::string* error);

// A selection mask: the first channel of the file, any depth, converted to one byte per pixel
// (0 unselected, 255 selected). It must be `width` × `height` pixels.
std::optional<std::vector<uint8_t>> readSelectionFile(const std::string& path, int width,
                                                      int height, std::string* error);

// Writes `image` in the format the name of `path` asks for, in the image's own depth. Fails
// with a clear reason, leaving no file behind, when the format cannot hold that depth or an
// alpha channel. The target is replaced only when the whole file was written, and not at all
// when `cancel` is set by then.
bool writeImageFile(const std::string& path, const Image& image, std::string* error,
                    const std::atomic<bool>* cancel = nullptr);

}  // namespace orichalcumite
