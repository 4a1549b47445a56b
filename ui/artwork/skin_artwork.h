// The dialog's artwork as pictures in memory: the skin, tracks, thumbs, light ball, memory-dot
// faces and icons drawn with cairo, and the shape and texture icons made by the renderer
// (engine_artwork.h). Only the generator and its tests include this.
#pragma once

#include <string>
#include <vector>

#include "ui/artwork/engine_artwork.h"

namespace orichalcumite {

struct NamedPicture {
  std::string name;  // the file name, as in kArtworkFiles
  RgbaImage image;
};

// Every picture of kArtworkFiles, in its order and at its size. Empty when a picture cannot be
// made (the renderer failed); `error` then says which.
std::vector<NamedPicture> makeDialogArtwork(std::string& error);

// One sheet showing every picture with its name under it, small ones magnified (whole
// multiples, so pixels stay sharp), over a checkerboard that shows transparency.
RgbaImage artworkContactSheet(const std::vector<NamedPicture>& pictures);

// The PNG file of `image`; empty when it cannot be encoded.
std::string encodePng(const RgbaImage& image);

// The skin's bare metal at (x, y) of the 1006 × 687 background, 0..255 grey: a soft top-to-
// bottom falloff with faint horizontal brushing that is the same on every build.
int skinMetalGrey(int x, int y);

}  // namespace orichalcumite
