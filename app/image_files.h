// Image files, read and written with OpenImageIO (kept out of every header).
//
// Images are 8- or 16-bit integer or 32-bit float (other integer depths are read as 16-bit,
// half and double as float), grey or RGB, with or without a straight alpha that is kept exact:
// colours under an alpha of 0 survive a round trip. An alpha is recognised from the file's
// description, as a second channel named "A" or "alpha", or as the last of four channels; a
// second channel with any other name is refused rather than taken for an alpha.
//
// Reading and writing go in bands of rows and stop soon after a cancel flag is set: the one
// given, or else the one given to setInterruptFlag.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/image.h"
#include "base/status.h"

namespace orichalcumite {

// The flag that stops reading and writing when a call names none of its own, normally the
// program's Ctrl-C flag; nullptr for none. Set it once, before files are read.
void setInterruptFlag(const std::atomic<bool>* flag);

// The first image of the file; nothing, with a one-line reason, when it cannot be read, has a
// shape this program does not handle, or `cancel` was set (the reason is then "cancelled").
// A file whose data ends early, or that the format library otherwise complains about while
// still giving the whole image, is read with a one-line "warning: ..." on stderr.
std::optional<Image> readImageFile(const std::string& path, std::string* error,
                                   const std::atomic<bool>* cancel = nullptr);

// A selection mask of `width` × `height` pixels, one byte per pixel (0 unselected, 255
// selected): a grey file's grey, or an RGB file's luminance, any depth; an alpha is ignored.
std::optional<LargeBytes> readSelectionFile(const std::string& path, int width, int height,
                                            std::string* error,
                                            const std::atomic<bool>* cancel = nullptr);

// Writes `image` in the format the name of `path` asks for, in the image's own depth. Fails
// with a clear reason, leaving no file behind, when the format cannot hold that depth or an
// alpha channel, or when any byte cannot be written (the system's reason, such as a full
// disk). The target is replaced only when the whole file was written and flushed to the disk,
// and not at all when `cancel` is set by then.
bool writeImageFile(const std::string& path, const Image& image, std::string* error,
                    const std::atomic<bool>* cancel = nullptr);

// Whether a file of `fileBytes` can plausibly hold an image that takes `imageBytes` in memory,
// decided before any of it is allocated: no codec packs image data tighter than a few thousand
// to one, so a header that claims far more is damaged or hostile; and the image must fit in
// `memoryBytes`, the machine's memory. Small images always pass the first test.
Status checkDeclaredImageSize(uint64_t imageBytes, uint64_t fileBytes, uint64_t memoryBytes);

}  // namespace orichalcumite
