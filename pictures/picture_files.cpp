#include "pictures/picture_files.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>

#include "base/companion_library.h"
#include "pictures/detail/picture_decoder_abi.h"
#include "pictures/picture_slots.h"

namespace orichalcumite {
namespace {

// Tests and unusual installations name the decoder library here instead of the one beside the
// module.
constexpr const char* kDecoderLibraryVariable = "ORICHALCUMITE_PICTURE_LIBRARY";

struct DecoderLibrary {
  OrichalcumiteDecodePictureFn decode = nullptr;
  OrichalcumiteFreePictureFn release = nullptr;
};

std::string decoderLibraryPath() {
  return companionLibraryPath(kPictureDecoderLibraryName, kDecoderLibraryVariable);
}

// Opens the decoder library on first use and keeps it loaded: the imaging library keeps
// threads and caches that must not be unmapped under them.
Result<DecoderLibrary> decoderLibrary() {
  static std::mutex mutex;
  static std::map<std::string, DecoderLibrary> opened;
  const std::lock_guard<std::mutex> lock(mutex);
  const std::string path = decoderLibraryPath();
  if (auto it = opened.find(path); it != opened.end()) return it->second;
  if (::access(path.c_str(), F_OK) != 0)
    return Status(StatusCode::notFound, "cannot read picture files: " + path + " missing");
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    return Status(StatusCode::ioError,
                  "cannot read picture files: " + std::string(reason ? reason : path));
  }
  DecoderLibrary library;
  library.decode =
      reinterpret_cast<OrichalcumiteDecodePictureFn>(dlsym(handle, kDecodePictureSymbol));
  library.release = reinterpret_cast<OrichalcumiteFreePictureFn>(dlsym(handle, kFreePictureSymbol));
  if (!library.decode || !library.release) {
    dlclose(handle);
    return Status(StatusCode::ioError,
                  "cannot read picture files: " + path + " is not the picture decoder");
  }
  opened.emplace(path, library);
  return library;
}

// A decoded image with the decoder's own buffer, released by the decoder.
struct DecodedImage {
  std::unique_ptr<std::uint8_t, OrichalcumiteFreePictureFn> pixels{nullptr, nullptr};
  int width = 0;
  int height = 0;

  Rgba8ImageView view() const { return {pixels.get(), width, height, std::ptrdiff_t{4} * width}; }
};

Result<DecodedImage> decode(const std::string& path, int maxWidth) {
  Result<DecoderLibrary> library = decoderLibrary();
  if (!library) return library.status();
  OrichalcumiteDecodedPicture decoded{nullptr, 0, 0};
  char reason[512] = {};
  const int failed = library->decode(path.c_str(), maxWidth, &decoded, reason, sizeof reason);
  DecodedImage image;
  image.pixels = {decoded.pixels, library->release};
  if (failed || !decoded.pixels)
    return Status(StatusCode::damagedData, "cannot read " + path + ": " + reason);
  if (decoded.width < 1 || decoded.height < 1)
    return Status(StatusCode::damagedData, "cannot read " + path + ": the image is empty");
  image.width = decoded.width;
  image.height = decoded.height;
  return image;
}

}  // namespace

Result<std::unique_ptr<Picture>> decodePictureFile(const std::string& path, PictureFileSlot slot) {
  Result<DecodedImage> image = decode(path, 0);
  if (!image) return image.status();
  std::unique_ptr<Picture> picture = slot == PictureFileSlot::environment
                                         ? environmentPictureFromRgba8(image->view())
                                         : texturePictureFromRgba8(image->view());
  if (!picture)
    return Status(StatusCode::ioError, "cannot read " + path + ": not enough memory for it");
  return picture;
}

int decodePictureToBitmap(const char* path, std::unique_ptr<Picture>* picture, int limit) {
  if (!path) return kBitmapNoPath;
  if (!*path) return kBitmapEmptyPath;
  if (!picture) return kBitmapNoPicture;
  Result<DecodedImage> image = decode(path, limit > 0 ? limit : 0);
  if (!image) return kBitmapDecodeFailed;
  // The reduced image is kept whole: its own larger side is the only limit.
  std::unique_ptr<Picture> decoded =
      pictureFromRgba8(image->view(), std::max(image->width, image->height), WrapMode::clamp);
  if (!decoded) return kBitmapDecodeFailed;
  *picture = std::move(decoded);
  return kBitmapDone;
}

}  // namespace orichalcumite
