// The `gallery` commands of the `orichalcumite` program: HTML pages of a folder of presets, a
// folder of pictures, or the stored memory dots rendered over an image. Each returns the
// process exit code: files of the folder that cannot be shown are warnings on stderr; a page
// that cannot be written, or an image that cannot be read, is an error.
#pragma once

#include <memory>
#include <string>

#include "app/image.h"
#include "pictures/picture.h"

namespace orichalcumite {

struct GalleryRequest {
  std::string folder;  // presets and pictures: the folder to show
  std::string page;    // the HTML file to write
  std::string image;   // memory dots: the image the effects are rendered over
  bool open = false;   // open the page in the desktop's browser when it is written
};

int galleryPresetsCommand(const GalleryRequest& request);
int galleryPicturesCommand(const GalleryRequest& request);
int galleryDotsCommand(const GalleryRequest& request);

// `image` as an opaque 8-bit colour picture of the same size (grey repeated in the three
// channels, samples of every depth scaled to 0..1 and clamped, the alpha dropped). Null when
// memory runs out.
std::unique_ptr<Picture> pictureOfImage(const Image& image);

}  // namespace orichalcumite
