// Image files: every depth and shape round trips exactly; damaged files and formats that
// cannot hold an image give one clear line and no file.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/image_files.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

// Distinct values in every channel, spanning the range of the depth; alpha 0 in one pixel.
Image pattern(int channels, bool alpha, SampleType type) {
  Image image = *Image::make(5, 3, channels, alpha, type);
  const double top = type == SampleType::uint8 ? 255 : type == SampleType::uint16 ? 65535 : 1;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      for (int c = 0; c < channels; ++c) {
        double v = std::fmod((x * 7 + y * 31 + c * 13) / 97.0, 1.0) * top;
        if (type != SampleType::float32) v = std::round(v);
        image.setSample(x, y, c, v);
      }
  if (alpha) image.setSample(1, 1, channels - 1, 0);
  return image;
}

size_t filesIn(const testing::ScratchDir& dir) {
  return size_t(std::distance(std::filesystem::directory_iterator(dir.path()), {}));
}

TEST(ImageFiles, everyDepthAndShapeRoundTripsExactly) {
  testing::ScratchDir dir;
  ASSERT_TRUE(dir.valid());
  for (SampleType type : {SampleType::uint8, SampleType::uint16, SampleType::float32})
    for (int channels = 1; channels <= 4; ++channels) {
      const bool alpha = channels == 2 || channels == 4;
      const Image image = pattern(channels, alpha, type);
      for (const char* extension : {".tif", ".png"}) {
        if (type == SampleType::float32 && std::string(extension) == ".png") continue;
        const std::string path = dir.file("image" + std::to_string(channels) + extension);
        std::string error;
        ASSERT_TRUE(writeImageFile(path, image, &error)) << error;
        auto back = readImageFile(path, &error);
        ASSERT_TRUE(back) << error;
        // Straight alpha: the colour under alpha 0 survives.
        EXPECT_EQ(*back, image) << sampleTypeName(type) << " " << channels << " " << extension;
      }
    }
}

TEST(ImageFiles, formatThatCannotHoldTheImageLeavesNoFile) {
  testing::ScratchDir dir;
  std::string error;
  EXPECT_FALSE(writeImageFile(dir.file("deep.jpg"), pattern(3, false, SampleType::uint16), &error));
  EXPECT_NE(error.find("16-bit"), std::string::npos) << error;
  EXPECT_FALSE(
      writeImageFile(dir.file("float.png"), pattern(3, false, SampleType::float32), &error));
  EXPECT_FALSE(writeImageFile(dir.file("alpha.jpg"), pattern(4, true, SampleType::uint8), &error));
  EXPECT_NE(error.find("alpha"), std::string::npos) << error;
  EXPECT_FALSE(
      writeImageFile(dir.file("what.nosuchformat"), pattern(3, false, SampleType::uint8), &error));
  EXPECT_FALSE(writeImageFile(dir.path().string() + "/missing/folder.png",
                              pattern(3, false, SampleType::uint8), &error));
  EXPECT_EQ(filesIn(dir), 0u);
}

TEST(ImageFiles, damagedAndTruncatedFilesAreRefused) {
  testing::ScratchDir dir;
  std::string error;
  for (const char* name : {"whole.png", "whole.tif"}) {
    ASSERT_TRUE(writeImageFile(dir.file(name), pattern(3, false, SampleType::uint8), &error))
        << error;
    std::ifstream in(dir.file(name), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    for (size_t n : {size_t(0), size_t(8), bytes.size() / 2, bytes.size() - 20}) {
      const std::string cut = dir.file(std::string("cut-") + std::to_string(n) + name);
      std::ofstream(cut, std::ios::binary).write(bytes.data(), std::streamsize(n));
      error.clear();
      EXPECT_FALSE(readImageFile(cut, &error)) << name << " cut to " << n;
      EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
  }
  std::ofstream(dir.file("noise.png"), std::ios::binary) << "\x89PNG\r\n\x1a\n this is not a png";
  EXPECT_FALSE(readImageFile(dir.file("noise.png"), &error));
  EXPECT_FALSE(readImageFile(dir.file("absent.png"), &error));
  EXPECT_NE(error.find("absent.png"), std::string::npos);
}

TEST(ImageFiles, selectionIsTheFirstChannelAsBytesAndMustMatchTheImage) {
  testing::ScratchDir dir;
  Image mask = *Image::make(3, 1, 2, true, SampleType::uint16);
  mask.setSample(0, 0, 0, 65535);
  mask.setSample(1, 0, 0, 257 * 100);
  mask.setSample(2, 0, 0, 0);
  mask.setSample(2, 0, 1, 65535);
  std::string error;
  ASSERT_TRUE(writeImageFile(dir.file("mask.png"), mask, &error)) << error;
  EXPECT_EQ(readSelectionFile(dir.file("mask.png"), 3, 1, &error),
            (LargeBytes{255, 100, 0}));
  EXPECT_FALSE(readSelectionFile(dir.file("mask.png"), 4, 1, &error));
  EXPECT_NE(error.find("3 x 1"), std::string::npos) << error;
}

}  // namespace
}  // namespace orichalcumite
