// The PSD export of a 4000 x 3000 image at 8, 16 and 32 bits: the render into the export
// picture against writing the document (to a file in FOLDER, default the system's temporary
// folder), best of three each, and their ratio. The aim is a write of at most 0.3 x the render.
//
//   ninja -C build orichalcumite_bench_psd && build/bench/orichalcumite_bench_psd [FOLDER]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "base/random_generator.h"
#include "host/psd_export.h"
#include "pictures/effect_pictures.h"
#include "pictures/psd_writer.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kRepetitions = 3;

double secondsOf(const std::function<bool()>& work) {
  double best = 1e30;
  for (int i = 0; i < kRepetitions; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!work()) return -1.0;
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

int run(const std::filesystem::path& folder) {
  EffectSettings settings{};
  resetRunTimeFields(settings);
  loadFactoryDefaults(settings);
  EffectPictures pictures;
  RandomGenerator random(1);
  if (!pictures.ensureEnvironment() ||
      !pictures.prepareTexture(settings.textureChoice, random, kWidth))
    return 1;
  // An ellipse touching the sides at 45 % of the size from the centre.
  std::vector<uint8_t> mask(size_t(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const double dx = (x + 0.5 - kWidth / 2.0) / (kWidth * 0.45);
      const double dy = (y + 0.5 - kHeight / 2.0) / (kHeight * 0.45);
      mask[size_t(y) * kWidth + size_t(x)] = dx * dx + dy * dy <= 1.0 ? 255 : 0;
    }
  const std::string path = (folder / "orichalcumite-bench.psd").string();
  std::printf("PSD export of %d x %d, best of %d\n", kWidth, kHeight, kRepetitions);
  for (int bpc : {1, 2, 4}) {
    std::unique_ptr<Picture> source =
        createPicture(kWidth, kHeight, psdPictureKind(bpc), WrapMode::noPyramid);
    if (!source) return 1;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        source->writeFloat(x, y, 0, {float(x) / kWidth, float(y) / kHeight, 0.4f, 1.0f});
    PsdExportRequest request;
    request.width = kWidth;
    request.height = kHeight;
    request.bytesPerChannel = bpc;
    request.source.picture = source.get();
    request.source.mask = mask;
    std::unique_ptr<Picture> rendered;
    const double render = secondsOf([&] {
      auto picture = renderPsdPicture(settings, pictures, random, request);
      if (!picture) return false;
      rendered = std::move(*picture);
      return true;
    });
    PsdOptions options;
    options.width = kWidth;
    options.height = kHeight;
    options.bytesPerChannel = bpc;
    options.keywords = psdKeywords(settings, bpc);
    const double write =
        secondsOf([&] { return rendered && writePsdFile(path, options, *rendered).ok(); });
    if (render < 0 || write < 0) {
      std::fprintf(stderr, "the %d-bit export failed\n", 8 * bpc);
      return 1;
    }
    std::printf("%2d-bit: render %.3f s, write %.3f s (%.0f MB), write / render %.2f\n", 8 * bpc,
                render, write, double(psdFileSize(options)) / 1e6, write / render);
  }
  std::filesystem::remove(path);
  return 0;
}

}  // namespace
}  // namespace orichalcumite

int main(int argc, char** argv) {
  return orichalcumite::run(argc > 1 ? argv[1] : std::filesystem::temp_directory_path());
}
