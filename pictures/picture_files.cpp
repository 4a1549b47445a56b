// Temporary stand-in so that the picture search can be built beside it; the picture-file work
// replaces this file.
#include "pictures/picture_files.h"

namespace orichalcumite {

Result<std::unique_ptr<Picture>> decodePictureFile(const std::string& path, PictureFileSlot) {
  return Status(StatusCode::ioError, "cannot read picture files yet: " + path);
}
int decodePictureToBitmap(const char*, std::unique_ptr<Picture>*, int) {
  return kBitmapDecodeFailed;
}

}  // namespace orichalcumite
