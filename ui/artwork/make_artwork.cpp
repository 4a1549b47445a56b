// Writes the dialog's artwork, every picture of kArtworkFiles, as PNG files into a folder;
// with --contact-sheet also contact-sheet.png, every picture labelled on one sheet.
//
//   orichalcumite_make_artwork OUTDIR [--contact-sheet]
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/replace_file.h"
#include "ui/artwork/artwork_catalogue.h"
#include "ui/artwork/skin_artwork.h"

namespace {

bool writePicture(const std::string& folder, const std::string& name,
                  const orichalcumite::RgbaImage& image) {
  const std::string bytes = orichalcumite::encodePng(image);
  if (bytes.empty()) {
    std::fprintf(stderr, "%s: cannot be encoded\n", name.c_str());
    return false;
  }
  const orichalcumite::Status status =
      orichalcumite::replaceFileContents(folder + "/" + name, bytes);
  if (!status.ok()) {
    std::fprintf(stderr, "%s/%s: %s\n", folder.c_str(), name.c_str(), status.message().c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orichalcumite;
  const bool sheet = argc == 3 && std::strcmp(argv[2], "--contact-sheet") == 0;
  if (argc < 2 || (argc == 3 && !sheet) || argc > 3) {
    std::fprintf(stderr, "usage: %s OUTDIR [--contact-sheet]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "%s: %s\n", folder.c_str(), std::strerror(errno));
    return 1;
  }
  std::string error;
  const std::vector<NamedPicture> pictures = makeDialogArtwork(error);
  if (pictures.empty()) {
    std::fprintf(stderr, "artwork: %s\n", error.c_str());
    return 1;
  }
  // The catalogue is what the dialog loads: every name must be made, at its exact size.
  if (pictures.size() != kArtworkFiles.size()) {
    std::fprintf(stderr, "artwork: %zu pictures made, %zu listed\n", pictures.size(),
                 kArtworkFiles.size());
    return 1;
  }
  for (size_t i = 0; i < pictures.size(); ++i) {
    const ArtworkFile& want = kArtworkFiles[i];
    const NamedPicture& got = pictures[i];
    if (got.name != want.name || got.image.width != want.width || got.image.height != want.height) {
      std::fprintf(stderr, "artwork: %s is %d x %d, %.*s should be %d x %d\n", got.name.c_str(),
                   got.image.width, got.image.height, static_cast<int>(want.name.size()),
                   want.name.data(), want.width, want.height);
      return 1;
    }
    if (!writePicture(folder, got.name, got.image)) return 1;
  }
  if (sheet && !writePicture(folder, "contact-sheet.png", artworkContactSheet(pictures))) return 1;
  return 0;
}
