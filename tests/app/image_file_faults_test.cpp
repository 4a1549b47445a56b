// Image files when things go wrong: a disk that fills up at any point of a write, a cancel, a
// header that claims an absurd size, channels that are not what they seem, a colour mask.
#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "app/host_pixels.h"
#include "app/image_files.h"
#include "base/replace_file.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> namesIn(const testing::ScratchDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Noise, so that no format can pack it into a few bytes.
Image noise(int w, int h, SampleType type, unsigned seed) {
  Image image = *Image::make(w, h, 3, false, type);
  std::mt19937 random(seed);
  const double top = type == SampleType::uint8 ? 255 : type == SampleType::uint16 ? 65535 : 1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) {
        const double v = double(random() % 1000) / 999.0 * top;
        image.setSample(x, y, c, type == SampleType::float32 ? v : std::round(v));
      }
  return image;
}

// Writes stop after a byte budget with "no space left", as on a full disk.
size_t gWriteBudget = 0;

ssize_t writeUntilFull(int fd, const void* data, size_t size, off_t offset) {
  if (gWriteBudget == 0) {
    errno = ENOSPC;
    return -1;
  }
  const size_t n = std::min(size, gWriteBudget);
  gWriteBudget -= n;
  return ::pwrite(fd, data, n, offset);
}

TEST(ImageFileWriting, aDiskFullAnywhereInTheFileLeavesTheOldFileAndNoTemporary) {
  testing::ScratchDir dir;
  ASSERT_TRUE(dir.valid());
  for (const char* name : {"out.png", "out.jpg", "out.tif", "out.exr"}) {
    const bool exr = std::string(name) == "out.exr";
    const SampleType type = exr ? SampleType::float32 : SampleType::uint8;
    const std::string path = dir.file(name);
    std::string error;
    ASSERT_TRUE(writeImageFile(path, noise(40, 30, type, 1), &error)) << error;
    const std::string old = contents(path);
    const Image replacement = noise(40, 30, type, 2);
    // The size the new file would have, to fail at its start, middle and last byte.
    const std::string whole = dir.file(std::string("whole-") + name);
    ASSERT_TRUE(writeImageFile(whole, replacement, &error)) << error;
    const size_t size = contents(whole).size();
    std::filesystem::remove(whole);
    const WriteAtFunction previous = setWriteFunctionForTests(&writeUntilFull);
    for (size_t budget : {size_t(0), size_t(1), size / 2, size - 1}) {
      gWriteBudget = budget;
      error.clear();
      EXPECT_FALSE(writeImageFile(path, replacement, &error)) << name << " full at " << budget;
      EXPECT_NE(error.find(std::strerror(ENOSPC)), std::string::npos) << error;
      EXPECT_EQ(error.find('\n'), std::string::npos) << error;
      EXPECT_EQ(contents(path), old) << name << " full at " << budget;
      EXPECT_EQ(namesIn(dir), std::vector<std::string>{name}) << name << " full at " << budget;
    }
    setWriteFunctionForTests(previous);
    std::filesystem::remove(path);
  }
}

TEST(ImageFileCancel, aCancelBeforeOrDuringReadingOrWritingStopsWithNoFile) {
  testing::ScratchDir dir;
  const std::string path = dir.file("in.png");
  std::string error;
  ASSERT_TRUE(writeImageFile(path, noise(64, 48, SampleType::uint8, 3), &error)) << error;
  const std::string old = contents(path);
  const std::atomic<bool> cancel{true};
  EXPECT_FALSE(readImageFile(path, &error, &cancel));
  EXPECT_EQ(error, "cancelled");
  EXPECT_FALSE(readSelectionFile(path, 64, 48, &error, &cancel));
  EXPECT_EQ(error, "cancelled");
  EXPECT_FALSE(writeImageFile(path, noise(64, 48, SampleType::uint8, 4), &error, &cancel));
  EXPECT_NE(error.find("cancelled"), std::string::npos) << error;
  EXPECT_EQ(contents(path), old);
  EXPECT_EQ(namesIn(dir), std::vector<std::string>{"in.png"});

  // The flag the program sets up for Ctrl-C stops calls that name no flag of their own.
  setInterruptFlag(&cancel);
  EXPECT_FALSE(readImageFile(path, &error));
  EXPECT_EQ(error, "cancelled");
  setInterruptFlag(nullptr);
  EXPECT_TRUE(readImageFile(path, &error)) << error;
}

// A PNG of a few dozen bytes whose header claims `width` × `height` RGB pixels, followed by a
// tiny compressed stream.
std::string pngClaiming(uint32_t width, uint32_t height) {
  auto crc = [](const std::string& bytes) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
      c ^= b;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
  };
  auto be32 = [](uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  };
  auto chunk = [&](const std::string& type, const std::string& data) {
    return be32(uint32_t(data.size())) + type + data + be32(crc(type + data));
  };
  const std::string header = be32(width) + be32(height) + std::string("\x08\x02\x00\x00\x00", 5);
  // zlib stream of one empty stored block: valid, and far too short.
  const std::string data("\x78\x01\x01\x00\x00\xFF\xFF\x00\x00\x00\x01", 11);
  return std::string("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", header) + chunk("IDAT", data) +
         chunk("IEND", "");
}

TEST(ImageFileReading, aHeaderClaimingFarMoreThanTheFileHoldsIsRefusedBeforeAllocating) {
  testing::ScratchDir dir;
  const std::string path = dir.file("liar.png");
  const std::string bytes = pngClaiming(40000, 40000);
  std::ofstream(path, std::ios::binary) << bytes;
  EXPECT_LT(bytes.size(), 80u);
  std::string error;
  EXPECT_FALSE(readImageFile(path, &error));
  EXPECT_NE(error.find("far more than its " + std::to_string(bytes.size()) + " bytes"),
            std::string::npos)
      << error;
  EXPECT_FALSE(readSelectionFile(path, 40000, 40000, &error));
  EXPECT_NE(error.find("far more than"), std::string::npos) << error;
}

TEST(ImageFileReading, declaredSizeIsWeighedAgainstFileSizeAndMemory) {
  const uint64_t mb = uint64_t(1) << 20, gb = uint64_t(1) << 30;
  const uint64_t plenty = 64 * gb;
  // 4.8 GB of pixels cannot come out of 68 bytes, but can out of a few megabytes of a flat
  // picture.
  EXPECT_FALSE(checkDeclaredImageSize(4800 * mb, 68, plenty));
  EXPECT_TRUE(checkDeclaredImageSize(4800 * mb, 5 * mb, plenty));
  // Small images are tried whatever the file's size.
  EXPECT_TRUE(checkDeclaredImageSize(48 * mb, 68, plenty));
  // Nothing larger than the machine's memory.
  const Status tooBig = checkDeclaredImageSize(48 * gb, 40 * gb, 32 * gb);
  EXPECT_FALSE(tooBig);
  EXPECT_NE(tooBig.message().find("memory"), std::string::npos) << tooBig.message();
  EXPECT_TRUE(checkDeclaredImageSize(30 * gb, 30 * gb, 32 * gb));
}

void writeTwoChannelExr(const std::string& path, const char* first, const char* second) {
  OIIO::ImageSpec spec(4, 2, 2, OIIO::TypeDesc::FLOAT);
  spec.channelnames = {first, second};
  spec.alpha_channel = -1;
  std::vector<float> pixels(4 * 2 * 2, 0.5f);
  auto out = OIIO::ImageOutput::create(path);
  ASSERT_TRUE(out && out->open(path, spec));
  ASSERT_TRUE(out->write_image(OIIO::TypeDesc::FLOAT, pixels.data()));
  ASSERT_TRUE(out->close());
}

TEST(ImageFileReading, twoChannelsAreGreyAndAlphaOnlyWhenTheSecondIsNamedAlpha) {
  testing::ScratchDir dir;
  std::string error;
  writeTwoChannelExr(dir.file("depth.exr"), "Z", "mask");
  EXPECT_FALSE(readImageFile(dir.file("depth.exr"), &error));
  EXPECT_NE(error.find("\"mask\""), std::string::npos) << error;
  EXPECT_NE(error.find("not an alpha"), std::string::npos) << error;
  for (const char* alpha : {"A", "alpha"}) {
    writeTwoChannelExr(dir.file("grey.exr"), "Y", alpha);
    auto image = readImageFile(dir.file("grey.exr"), &error);
    ASSERT_TRUE(image) << alpha << ": " << error;
    EXPECT_TRUE(image->hasAlpha());
    EXPECT_TRUE(image->isGrey());
  }
}

TEST(ImageFileReading, aColourSelectionCountsByItsLuminance) {
  testing::ScratchDir dir;
  // Expected bytes worked out by hand: 0.2126 R + 0.7152 G + 0.0722 B, rounded.
  struct Case {
    double r, g, b;
    uint8_t selected;
  };
  const Case cases[] = {{255, 0, 0, 54},      {0, 255, 0, 182},     {0, 0, 255, 18},
                        {255, 255, 255, 255}, {100, 150, 200, 143}, {0, 0, 0, 0}};
  Image mask = *Image::make(6, 1, 4, true, SampleType::uint8);
  for (int x = 0; x < 6; ++x) {
    mask.setSample(x, 0, 0, cases[x].r);
    mask.setSample(x, 0, 1, cases[x].g);
    mask.setSample(x, 0, 2, cases[x].b);
    mask.setSample(x, 0, 3, x == 0 ? 0 : 255);  // an alpha plays no part
  }
  std::string error;
  ASSERT_TRUE(writeImageFile(dir.file("mask.png"), mask, &error)) << error;
  auto bytes = readSelectionFile(dir.file("mask.png"), 6, 1, &error);
  ASSERT_TRUE(bytes) << error;
  for (int x = 0; x < 6; ++x) EXPECT_EQ((*bytes)[size_t(x)], cases[x].selected) << "pixel " << x;
}

TEST(ImageFileReading, aTiledFileIsReadWhole) {
  testing::ScratchDir dir;
  const Image image = noise(150, 70, SampleType::uint16, 5);
  const std::string path = dir.file("tiled.tif");
  OIIO::ImageSpec spec(image.width(), image.height(), 3, OIIO::TypeDesc::UINT16);
  spec.tile_width = 32;
  spec.tile_height = 16;
  auto out = OIIO::ImageOutput::create(path);
  ASSERT_TRUE(out && out->open(path, spec));
  ASSERT_TRUE(out->write_image(OIIO::TypeDesc::UINT16, image.data()));
  ASSERT_TRUE(out->close());
  std::string error;
  auto back = readImageFile(path, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(*back, image);
}

}  // namespace
}  // namespace orichalcumite
