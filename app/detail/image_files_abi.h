// The entry points of the general image-file library (orichalcumite-image-files.so beside the
// program), which reads and writes every format the program has no direct path for. Plain C
// types only: the program opens the library with dlopen, checks its version and looks these
// symbols up by name. Pixels are interleaved, rows top to bottom, samples in the machine's
// byte order; the last channel is a straight alpha when the shape says so.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// A change to anything in this file changes this number.
#define ORICHALCUMITE_IMAGE_FILES_ABI 1

struct OrichalcumiteImageShape {
  int width;
  int height;
  int channels;    // 1..4
  int hasAlpha;    // the last channel is a straight alpha
  int sampleType;  // 0: 8-bit, 1: 16-bit, 2: 32-bit float
};

// What the program lends the library for one call.
struct OrichalcumiteImageFileCalls {
  void* context;
  // Memory for the pixels of an image of `shape` (all of them, rows tightly packed), or null
  // with a one-line reason in `error` when the program will not hold such an image.
  std::uint8_t* (*pixelsFor)(void* context, const OrichalcumiteImageShape* shape, char* error,
                             std::size_t errorBytes);
  // Non-zero once the work should stop.
  int (*cancelled)(void* context);
  // Writes `size` bytes at byte `offset` of the output. Failures are kept by the program and
  // reported after the library is done, so the library always carries on.
  void (*writeAt)(void* context, std::uint64_t offset, const void* data, std::size_t size);
};

enum { kOrichalcumiteFilesOk = 0, kOrichalcumiteFilesFailed = 1, kOrichalcumiteFilesCancelled = 2 };

typedef int (*OrichalcumiteImageFilesVersionFn)(void);

// Reads the first image of `path`. For an image, `selectionWidth` is 0; for a selection mask it
// is the image's size, which the file must have, and the pixels asked for are the file's grey
// (one channel) or its red, green and blue (three), without alpha. Returns one of the codes
// above; a failure's message names the file; `warning` gets a one-line complaint about a file
// that was read whole but may be damaged (empty when none).
typedef int (*OrichalcumiteReadImageFileFn)(const char* path, int selectionWidth,
                                            int selectionHeight,
                                            const OrichalcumiteImageFileCalls* calls, char* error,
                                            std::size_t errorBytes, char* warning,
                                            std::size_t warningBytes);

// Writes `pixels` of `shape` in the format that the name `path` asks for, through
// `calls->writeAt` (or, for the few formats that must, to `temporaryPath` by name).
typedef int (*OrichalcumiteWriteImageFileFn)(const char* path, const char* temporaryPath,
                                             const OrichalcumiteImageShape* shape,
                                             const std::uint8_t* pixels,
                                             const OrichalcumiteImageFileCalls* calls, char* error,
                                             std::size_t errorBytes);
}

namespace orichalcumite {

inline constexpr const char* kImageFilesLibraryName = "orichalcumite-image-files.so";
inline constexpr const char* kImageFilesVersionSymbol = "orichalcumite_image_files_version";
inline constexpr const char* kReadImageFileSymbol = "orichalcumite_read_image_file";
inline constexpr const char* kWriteImageFileSymbol = "orichalcumite_write_image_file";

}  // namespace orichalcumite
