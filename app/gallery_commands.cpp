#include "app/gallery_commands.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/commands.h"
#include "app/image_files.h"
#include "base/random_generator.h"
#include "base/user_messages.h"
#include "gallery/gallery_pages.h"
#include "host/effect_thumbnail.h"
#include "pictures/effect_pictures.h"
#include "render/picture_target.h"
#include "render/worker_pool.h"
#include "settings/effect_settings.h"
#include "settings/user_state.h"

extern char** environ;

namespace orichalcumite {
namespace {

class WarningMessages final : public UserMessages {
 public:
  void tell(const char* title, const char* text) override {
    std::fprintf(stderr, "orichalcumite: warning: %s: %s\n", title, text);
  }
};

// The program's own error line, as printError writes it; this file stays free of the render
// commands so that tests can link it alone.
void printGalleryError(const std::string& message) {
  std::fprintf(stderr, "orichalcumite: %s\n", message.c_str());
}

void printWarning(const std::string& message) {
  std::fprintf(stderr, "orichalcumite: warning: %s\n", message.c_str());
}

// Hands the page to the desktop's opener. A missing or failing opener only warns: the page
// is written either way.
void openInBrowser(const std::string& page) {
  std::error_code ec;
  const std::string absolute = std::filesystem::absolute(page, ec).string();
  char program[] = "xdg-open";
  std::string target = ec ? page : absolute;
  char* argv[] = {program, target.data(), nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, program, nullptr, nullptr, argv, environ);
  if (spawned != 0) {
    printWarning("cannot open the page in a browser: xdg-open: " +
                 std::string(std::strerror(spawned)));
    return;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  // posix_spawnp may report a missing program only through the child's exit status 127.
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    printWarning("cannot open the page in a browser: xdg-open failed");
}

int finishPage(const Result<PageReport>& written, const GalleryRequest& request) {
  if (!written) {
    printGalleryError(written.message());
    return kExitBadInput;
  }
  for (const std::string& problem : written->problems) printWarning(problem);
  std::printf("%s: %d cells, %d thumbnails\n", request.page.c_str(), written->cells,
              written->thumbnails);
  if (request.open) openInBrowser(request.page);
  return kExitDone;
}

// The dots the map in the state folder marks as stored; none when there is no map.
std::array<bool, kMemoryDotCount> storedDots() {
  std::array<bool, kMemoryDotCount> stored{};
  const std::string path = stateFilePath(kMemoryDotMapFileName);
  if (path.empty()) return stored;
  std::ifstream in(path, std::ios::binary);
  if (!in) return stored;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::array<int32_t, kMemoryDotCount> map = decodeMemoryDotMap(bytes);
  for (size_t i = 0; i < map.size(); ++i) stored[i] = map[i] != 0;
  return stored;
}

}  // namespace

std::unique_ptr<Picture> pictureOfImage(const Image& image) {
  std::unique_ptr<Picture> picture =
      createPicture(image.width(), image.height(), PictureKind::rgba8, WrapMode::noPyramid);
  if (!picture) return nullptr;
  const double full = image.type() == SampleType::uint8    ? 255.0
                      : image.type() == SampleType::uint16 ? 65535.0
                                                           : 1.0;
  const bool grey = image.isGrey();
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const auto channel = [&](int c) {
        return static_cast<float>(std::clamp(image.sample(x, y, grey ? 0 : c) / full, 0.0, 1.0));
      };
      picture->writeFloat(x, y, 0, {channel(0), channel(1), channel(2), 1.0f});
    }
  }
  return picture;
}

int galleryPresetsCommand(const GalleryRequest& request) {
  return finishPage(writePresetsPage(request.folder, request.page), request);
}

int galleryPicturesCommand(const GalleryRequest& request) {
  return finishPage(writePicturesPage(request.folder, request.page), request);
}

int galleryDotsCommand(const GalleryRequest& request) {
  std::string error;
  const std::optional<Image> image = readImageFile(request.image, &error);
  if (!image) {
    printGalleryError("cannot read " + request.image + ": " + error);
    return kExitBadInput;
  }
  const std::unique_ptr<Picture> picture = pictureOfImage(*image);
  if (!picture) {
    printGalleryError("out of memory for " + request.image);
    return kExitBadInput;
  }
  WarningMessages messages;
  RandomGenerator random;
  random.seedForRun();
  MemoryDotsPageRequest dots;
  dots.stored = storedDots();
  dots.image = picture.get();
  dots.messages = &messages;
  dots.render = [&random](const EffectSettings& effect, EffectPictures& pictures,
                          const Picture& source) -> std::unique_ptr<Picture> {
    if (!pictures.ensureEnvironment() ||
        !pictures.prepareTexture(effect.textureChoice, random, source.width(),
                                 poolPictureRunner(processorCount())))
      return nullptr;
    return renderEffectPicture(effect, pictures, random, source.width(), source.height(), &source);
  };
  return finishPage(writeMemoryDotsPage(request.page, dots), request);
}

}  // namespace orichalcumite
