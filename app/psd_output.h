// `render … --psd FILE.psd`: the layered PSD document of the run's effect, rendered again by
// the program itself (host/psd_export.h) with the settings the module recorded, over the input
// image and its selection (or the image's own transparency, as the run used it), at the
// input's bit depth.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "app/descriptor.h"
#include "app/image.h"
#include "host/psd_export.h"
#include "pictures/picture.h"

namespace orichalcumite {

// 1, 2 or 4 bytes per channel for an image of `type`.
int psdBytesPerChannel(SampleType type);

// The source picture of an export of `image`: of the document's kind, colours as the file
// holds them (a grey image's grey in all three), alpha from the image (opaque without one).
// Made before the run, which changes the image in place. Null when memory runs out.
std::unique_ptr<Picture> psdSourcePicture(const Image& image);

// The pictures the run used when it was given files: their paths take the place of the names
// the module recorded (which it found through these paths, not through the pictures folder).
struct PsdPictureFiles {
  std::string environment;
  std::string texture;
};

struct PsdOutput {
  std::string path;                      // written exactly as given
  const Descriptor* recorded = nullptr;  // the settings the module recorded
  const Picture* source = nullptr;       // psdSourcePicture of the input image
  std::span<const uint8_t> selection;    // the run's selection, or empty
  std::span<const uint8_t> alpha;        // the image's alpha as bytes, or empty
  bool greyscale = false;
  PsdPictureFiles files;
  PsdExportProgress progress;
  const std::atomic<bool>* cancel = nullptr;
};

// The mask the run's effect followed: the selection, else the image's transparency (then a
// coverage, not a selection), else none.
PsdExportSource psdExportSource(const PsdOutput& output);

// Writes the document. On failure `*error` says why and the file named is left as it was.
bool writePsdOutput(const PsdOutput& output, std::string* error);

}  // namespace orichalcumite
