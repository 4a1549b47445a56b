// The one entry point of the picture decoder companion library
// (orichalcumite-picture-files.so beside the module). Plain C types only, so that the module
// and the library agree on it whatever each was built with; the library is opened with dlopen
// and these symbols are looked up by name.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// An image the decoder allocated: `width` x `height` pixels, four bytes each (red, green,
// blue, alpha), alpha premultiplied, rows top to bottom and 4 x width bytes apart.
struct OrichalcumiteDecodedPicture {
  std::uint8_t* pixels;
  int width;
  int height;
};

// Decodes the first image of `path`. When `maxWidth` is above 0 and the image is wider, it is
// reduced in proportion to that width with a good filter; 0 keeps the image's own size.
// Returns 0 and fills `*out` on success (release it with the free function); otherwise returns
// non-zero and writes a zero-terminated one-line reason to `error` (`errorBytes` long).
typedef int (*OrichalcumiteDecodePictureFn)(const char* path, int maxWidth,
                                            OrichalcumiteDecodedPicture* out, char* error,
                                            std::size_t errorBytes);
// Releases the pixels of a decoded picture; null is allowed.
typedef void (*OrichalcumiteFreePictureFn)(std::uint8_t* pixels);
}

namespace orichalcumite {

inline constexpr const char* kPictureDecoderLibraryName = "orichalcumite-picture-files.so";
inline constexpr const char* kDecodePictureSymbol = "orichalcumite_decode_picture";
inline constexpr const char* kFreePictureSymbol = "orichalcumite_free_picture";

}  // namespace orichalcumite
