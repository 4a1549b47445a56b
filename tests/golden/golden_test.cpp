// Golden images: one test per scenario folder under tests/golden/ (see golden_scenario.h),
// compared with stated tolerances. A failing scenario writes its result and a difference
// picture into the build folder. This test never writes expected pictures; re-blessing is
// scripts/bless-goldens.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "app/image.h"
#include "app/image_files.h"
#include "tests/golden/golden_scenario.h"

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
// The difference picture shows the largest channel difference of each pixel, 8 times
// brighter so that small differences can be seen.
constexpr double kDifferenceGain = 8.0;

double unitScale(SampleType type) {
  return type == SampleType::uint8 ? 255.0 : type == SampleType::uint16 ? 65535.0 : 1.0;
}

class GoldenImage : public ::testing::TestWithParam<std::string> {
 protected:
  static void SetUpTestSuite() { warmedUp_ = golden::warmUpPlugin(&warmUpError_); }
  void SetUp() override { ASSERT_TRUE(warmedUp_) << warmUpError_; }

 private:
  static inline bool warmedUp_ = false;
  static inline std::string warmUpError_;
};

TEST_P(GoldenImage, matchesItsExpectedPicture) {
  const fs::path dir = fs::path(ORICHALCUMITE_GOLDEN_DIR) / GetParam();
  std::string error;
  auto result = golden::renderScenario(dir.string(), &error);
  ASSERT_TRUE(result) << error;
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
        pixelWorst = std::max(
            pixelWorst, std::abs(result->sample(x, y, c) - expected->sample(x, y, c)) / scale);
      worst = std::max(worst, pixelWorst);
      if (pixelWorst > kPixelTolerance) ++failing;
      difference.setSample(x, y, 0, std::min(255.0, pixelWorst * 255.0 * kDifferenceGain));
    }
  const double share = double(failing) / double(result->pixelCount());
  if (share > kFailingShare || worst > kHardLimit) {
    const fs::path out = fs::path(ORICHALCUMITE_GOLDEN_OUTPUT) / GetParam();
    fs::create_directories(out);
    writeImageFile((out / "result.png").string(), *result, &error);
    writeImageFile((out / "difference.png").string(), difference, &error);
    ADD_FAILURE() << share * 100.0 << "% of pixels differ by more than " << kPixelTolerance * 255.0
                  << "/255 (at most " << kFailingShare * 100.0
                  << "% allowed); the largest difference is " << worst * 255.0 << "/255 (at most "
                  << kHardLimit * 255.0 << "); see " << out;
  }
}

// Test names allow letters, digits and underscores only.
std::string testName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, GoldenImage,
                         ::testing::ValuesIn(golden::scenarioNames(ORICHALCUMITE_GOLDEN_DIR)),
                         testName);

// A folder that lost its scenarios would otherwise pass without comparing anything.
TEST(GoldenImages, scenariosAreFound) {
  EXPECT_FALSE(golden::scenarioNames(ORICHALCUMITE_GOLDEN_DIR).empty()) << ORICHALCUMITE_GOLDEN_DIR;
}

}  // namespace
}  // namespace orichalcumite
