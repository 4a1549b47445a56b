// Golden images: each folder under tests/golden/ holds a scenario — input.png, action.json
// (the settings, as an action file) and expected.png — rendered in-process through the host
// core with a fixed random seed and compared with stated tolerances. A failing scenario
// writes its result and a difference picture into the build folder.
//
// Re-blessing (after a deliberate change, and after looking at the new pictures):
//   ORICHALCUMITE_BLESS=1 build/tests/golden/golden_tests   (scripts/bless-goldens.sh)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/action_file.h"
#include "app/host_session.h"
#include "app/image.h"
#include "app/image_files.h"
#include "host/plugin_main.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;

// A pixel fails when a channel differs by more than kPixelTolerance (in 0..1 units); a
// scenario fails when more than kFailingShare of its pixels fail or any channel differs by
// more than kHardLimit. The first allows for floating-point differences between compilers,
// the others catch real changes.
constexpr double kPixelTolerance = 2.0 / 255.0;
constexpr double kFailingShare = 0.002;
constexpr double kHardLimit = 24.0 / 255.0;
constexpr const char* kSeed = "1234";

double unitScale(SampleType type) {
  return type == SampleType::uint8 ? 255.0 : type == SampleType::uint16 ? 65535.0 : 1.0;
}

std::vector<fs::path> scenarios() {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(ORICHALCUMITE_GOLDEN_DIR))
    if (entry.is_directory() && fs::exists(entry.path() / "action.json")) found.push_back(entry.path());
  std::sort(found.begin(), found.end());
  return found;
}

std::optional<Image> renderScenario(const fs::path& dir, std::string* error) {
  setenv("ORICHALCUMITE_RAND_SEED", kSeed, 1);
  auto image = readImageFile((dir / "input.png").string(), error);
  if (!image) return std::nullopt;
  auto descriptor = readActionFile((dir / "action.json").string(), error);
  if (!descriptor) return std::nullopt;
  auto session = HostSession::create(&PluginMain, *image, {}, {}, error);
  if (!session) return std::nullopt;
  session->setDescriptor(*descriptor);
  if (const int16_t result = session->run(false); result != 0) {
    *error = "the filter returned " + std::to_string(result);
    return std::nullopt;
  }
  session->writeResult();
  return image;
}

TEST(GoldenImages, EveryScenarioMatchesItsExpectedPicture) {
  const bool bless = std::getenv("ORICHALCUMITE_BLESS") != nullptr;
  const auto all = scenarios();
  ASSERT_FALSE(all.empty());
  for (const fs::path& dir : all) {
    SCOPED_TRACE(dir.filename().string());
    std::string error;
    auto result = renderScenario(dir, &error);
    ASSERT_TRUE(result) << error;
    if (bless) {
      ASSERT_TRUE(writeImageFile((dir / "expected.png").string(), *result, &error)) << error;
      continue;
    }
    auto expected = readImageFile((dir / "expected.png").string(), &error);
    ASSERT_TRUE(expected) << error;
    ASSERT_EQ(result->width(), expected->width());
    ASSERT_EQ(result->height(), expected->height());
    ASSERT_EQ(result->channels(), expected->channels());

    const double scale = unitScale(expected->type());
    auto difference = *Image::make(result->width(), result->height(), 1, false, SampleType::uint8);
    size_t failing = 0;
    double worst = 0.0;
    for (int y = 0; y < result->height(); ++y)
      for (int x = 0; x < result->width(); ++x) {
        double pixelWorst = 0.0;
        for (int c = 0; c < result->channels(); ++c)
          pixelWorst = std::max(pixelWorst, std::abs(result->sample(x, y, c) - expected->sample(x, y, c)) / scale);
        worst = std::max(worst, pixelWorst);
        if (pixelWorst > kPixelTolerance) ++failing;
        difference.setSample(x, y, 0, std::min(255.0, pixelWorst * 255.0 * 8.0));
      }
    const double share = double(failing) / double(result->pixelCount());
    if (share > kFailingShare || worst > kHardLimit) {
      const fs::path out = fs::path(ORICHALCUMITE_GOLDEN_OUTPUT) / dir.filename();
      fs::create_directories(out);
      writeImageFile((out / "result.png").string(), *result, &error);
      writeImageFile((out / "difference.png").string(), difference, &error);
      ADD_FAILURE() << share * 100.0 << "% of pixels differ by more than " << kPixelTolerance * 255.0
                    << "/255 (at most " << kFailingShare * 100.0 << "% allowed); the largest difference is "
                    << worst * 255.0 << "/255 (at most " << kHardLimit * 255.0 << "); see " << out;
    }
  }
}

}  // namespace
}  // namespace orichalcumite
