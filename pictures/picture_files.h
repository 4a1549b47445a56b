// Reading picture files (environment and texture pictures, gallery pictures). The decoding
// itself lives in a companion library beside the module that is opened only when a picture
// file is named, so that a plain render does not pay for the imaging library's start-up.
#pragma once

#include <memory>
#include <string>

#include "base/status.h"
#include "pictures/picture.h"

namespace orichalcumite {

enum class PictureFileSlot {
  environment,  // at most 2048 x 2048
  texture,      // at most 256 x 256
};

// Decodes the first image of `path` into a new picture for `slot`: 8-bit colour, alpha
// premultiplied and then dropped (transparent areas are black), cut to the slot's limit from
// the top-left corner, pyramid built. A failure says which file could not be read and why.
Result<std::unique_ptr<Picture>> decodePictureFile(const std::string& path, PictureFileSlot slot);

// Result codes of decodePictureToBitmap.
constexpr int kBitmapDone = 0;
constexpr int kBitmapNoPath = 1;
constexpr int kBitmapEmptyPath = 3;
constexpr int kBitmapNoPicture = 4;
constexpr int kBitmapDecodeFailed = 6;

// Decodes `path` at its own size, reduces it in proportion with a good filter when it is
// wider than `limit`, and replaces `*picture` by the result (8-bit colour, alpha 1, pyramid
// built).
int decodePictureToBitmap(const char* path, std::unique_ptr<Picture>* picture, int limit);

}  // namespace orichalcumite
