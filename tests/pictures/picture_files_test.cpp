// Picture files through the decoder library: formats, premultiplied alpha, the slots' size
// limits, damaged and oversized files, a missing library, and the module's independence from
// the imaging library.
#include "pictures/picture_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "pictures/picture_slots.h"
#include "tests/pictures/picture_test_support.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_pictures.h"

namespace orichalcumite {
namespace {

using testing::storedPixel;

// Each 256 x 256 block gets its own blue, so a picture cut anywhere but at the top-left shows.
std::uint8_t blockPattern(int x, int y, int c) {
  switch (c) {
    case 0: return static_cast<std::uint8_t>(x % 256);
    case 1: return static_cast<std::uint8_t>(y % 256);
    default: return static_cast<std::uint8_t>((x / 256 + 16 * (y / 256)) % 256);
  }
}

// Four flat quadrants: survives palettes and, within a few levels, lossy compression.
constexpr std::uint8_t kQuadrants[4][3] = {
    {220, 30, 30}, {30, 200, 40}, {20, 40, 230}, {240, 240, 240}};
std::uint8_t quadrantPattern(int x, int y, int c, int width, int height) {
  const int q = (x < width / 2 ? 0 : 1) + (y < height / 2 ? 0 : 2);
  return kQuadrants[q][c];
}

class PictureFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::useBuiltPictureDecoder();
    ASSERT_TRUE(dir.valid());
  }
  testing::ScratchDir dir;
};

TEST_F(PictureFilesTest, environmentKeepsTheTopLeft2048Square) {
  const std::string path = dir.file("wide.bmp");
  ASSERT_TRUE(testing::writeTestPicture(path, 4000, 3000, 3, blockPattern));
  auto picture = decodePictureFile(path, PictureFileSlot::environment);
  ASSERT_TRUE(picture) << picture.message();
  const Picture& p = **picture;
  EXPECT_EQ(p.width(), 2048);
  EXPECT_EQ(p.height(), 2048);
  EXPECT_EQ(p.wrapMode(), WrapMode::clamp);
  EXPECT_GT(p.levelCount(), 1) << "the pyramid is built";
  for (auto [x, y] :
       {std::pair{0, 0}, {255, 256}, {1234, 567}, {2047, 0}, {0, 2047}, {2047, 2047}}) {
    const Rgba v = storedPixel(p, x, y);
    EXPECT_EQ(v.red, blockPattern(x, y, 0)) << x << "," << y;
    EXPECT_EQ(v.green, blockPattern(x, y, 1)) << x << "," << y;
    EXPECT_EQ(v.blue, blockPattern(x, y, 2)) << x << "," << y;
    EXPECT_EQ(v.alpha, 255);
  }
}

TEST_F(PictureFilesTest, textureKeepsAtMost256EachWay) {
  struct Case {
    int width, height, expectedWidth, expectedHeight;
  };
  for (const Case& c : {Case{4000, 3000, 256, 256}, Case{300, 200, 256, 200}, Case{7, 9, 7, 9}}) {
    const std::string path = dir.file("tile.png");
    ASSERT_TRUE(testing::writeTestPicture(path, c.width, c.height, 3, blockPattern));
    auto picture = decodePictureFile(path, PictureFileSlot::texture);
    ASSERT_TRUE(picture) << picture.message();
    EXPECT_EQ((*picture)->width(), c.expectedWidth);
    EXPECT_EQ((*picture)->height(), c.expectedHeight);
    EXPECT_EQ((*picture)->wrapMode(), WrapMode::wrapBoth);
    const Rgba corner = storedPixel(**picture, c.expectedWidth - 1, c.expectedHeight - 1);
    EXPECT_EQ(corner.red, blockPattern(c.expectedWidth - 1, c.expectedHeight - 1, 0));
    EXPECT_EQ(corner.green, blockPattern(c.expectedWidth - 1, c.expectedHeight - 1, 1));
  }
}

TEST_F(PictureFilesTest, commonFormatsDecode) {
  struct Case {
    const char* name;
    int channels;
    float tolerance;  // lossy formats
  };
  constexpr int kWidth = 40;
  constexpr int kHeight = 30;
  for (const Case& c : {Case{"q.png", 3, 0}, Case{"q.jpg", 3, 12}, Case{"q.tif", 3, 0},
                        Case{"q.bmp", 3, 0}, Case{"q.gif", 3, 4}, Case{"grey.png", 1, 0}}) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file(c.name);
    ASSERT_TRUE(testing::writeTestPicture(
        path, kWidth, kHeight, c.channels,
        [](int x, int y, int ch) { return quadrantPattern(x, y, ch, kWidth, kHeight); }));
    auto picture = decodePictureFile(path, PictureFileSlot::environment);
    ASSERT_TRUE(picture) << picture.message();
    ASSERT_EQ((*picture)->width(), kWidth);
    ASSERT_EQ((*picture)->height(), kHeight);
    // Quadrant centres, away from the edges lossy coding smears.
    for (auto [x, y] : {std::pair{10, 7}, {30, 7}, {10, 22}, {30, 22}}) {
      const Rgba v = storedPixel(**picture, x, y);
      const std::uint8_t red = quadrantPattern(x, y, 0, kWidth, kHeight);
      EXPECT_NEAR(v.red, red, c.tolerance) << x << "," << y;
      EXPECT_NEAR(v.green, c.channels == 1 ? red : quadrantPattern(x, y, 1, kWidth, kHeight),
                  c.tolerance);
      EXPECT_NEAR(v.blue, c.channels == 1 ? red : quadrantPattern(x, y, 2, kWidth, kHeight),
                  c.tolerance);
      EXPECT_EQ(v.alpha, 255);
    }
  }
}

TEST_F(PictureFilesTest, alphaIsPremultipliedSoTransparentIsBlack) {
  const std::string path = dir.file("glass.png");
  // Columns 0..3 transparent red, 4..7 half-covered red, 8..11 opaque red.
  ASSERT_TRUE(testing::writeTestPicture(path, 12, 4, 4, [](int x, int, int c) -> std::uint8_t {
    if (c == 3) return x < 4 ? 0 : x < 8 ? 128 : 255;
    return c == 0 ? 200 : 0;
  }));
  auto picture = decodePictureFile(path, PictureFileSlot::texture);
  ASSERT_TRUE(picture) << picture.message();
  EXPECT_EQ(storedPixel(**picture, 1, 1).red, 0);
  EXPECT_NEAR(storedPixel(**picture, 5, 1).red, 100, 1);
  EXPECT_EQ(storedPixel(**picture, 9, 1).red, 200);
  EXPECT_EQ(storedPixel(**picture, 1, 1).alpha, 255) << "pictures are opaque";
}

TEST_F(PictureFilesTest, unreadableFilesSayWhichFile) {
  const std::string damaged = dir.file("damaged.png");
  std::ofstream(damaged) << "\x89PNG\r\n\x1a\n this is no picture";
  const std::string truncated = dir.file("truncated.bmp");
  ASSERT_TRUE(testing::writeTestPicture(truncated, 64, 64, 3, blockPattern));
  std::filesystem::resize_file(truncated, 100);
  // A header that claims 40000 x 40000 pixels of 32 bits: more than 32-bit byte counts hold.
  const std::string huge = dir.file("huge.bmp");
  {
    std::vector<std::uint8_t> header(54, 0);
    const auto put32 = [&](size_t at, std::uint32_t v) {
      for (int i = 0; i < 4; ++i) header[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, 54);
    put32(10, 54);
    put32(14, 40);
    put32(18, 40000);
    put32(22, 40000);
    header[26] = 1;
    header[28] = 32;
    std::ofstream(huge, std::ios::binary)
        .write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
  }
  for (const std::string& path : {damaged, truncated, huge, dir.file("absent.png")}) {
    auto picture = decodePictureFile(path, PictureFileSlot::environment);
    ASSERT_FALSE(picture) << path;
    EXPECT_NE(picture.message().find(path), std::string::npos) << picture.message();
  }
  auto picture = decodePictureFile(huge, PictureFileSlot::environment);
  EXPECT_NE(picture.message().find("too large"), std::string::npos) << picture.message();
}

TEST_F(PictureFilesTest, missingDecoderLibraryIsAClearError) {
  const std::string absent = dir.file("no-decoder.so");
  setenv("ORICHALCUMITE_PICTURE_LIBRARY", absent.c_str(), 1);
  const std::string path = dir.file("fine.png");
  ASSERT_TRUE(testing::writeTestPicture(path, 4, 4, 3, blockPattern));
  auto picture = decodePictureFile(path, PictureFileSlot::environment);
  std::unique_ptr<Picture> bitmap;
  const int code = decodePictureToBitmap(path.c_str(), &bitmap, 100);
  testing::useBuiltPictureDecoder();
  ASSERT_FALSE(picture);
  EXPECT_EQ(picture.message(), "cannot read picture files: " + absent + " missing");
  EXPECT_EQ(code, kBitmapDecodeFailed);
}

TEST_F(PictureFilesTest, bitmapIsReducedInProportionWhenWider) {
  const std::string path = dir.file("banner.png");
  // Left half black, right half white: the reduction keeps the split and filters, not picks.
  ASSERT_TRUE(testing::writeTestPicture(
      path, 400, 100, 3, [](int x, int, int) -> std::uint8_t { return x < 200 ? 0 : 255; }));
  std::unique_ptr<Picture> picture;
  ASSERT_EQ(decodePictureToBitmap(path.c_str(), &picture, 200), kBitmapDone);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width(), 200);
  EXPECT_EQ(picture->height(), 50);
  EXPECT_NEAR(storedPixel(*picture, 50, 25).red, 0, 1);
  EXPECT_NEAR(storedPixel(*picture, 150, 25).red, 255, 1);
  EXPECT_EQ(storedPixel(*picture, 150, 25).alpha, 255);

  // Not wider than the limit: its own size, even when larger than any slot.
  ASSERT_EQ(decodePictureToBitmap(path.c_str(), &picture, 400), kBitmapDone);
  EXPECT_EQ(picture->width(), 400);
  EXPECT_EQ(picture->height(), 100);
}

TEST_F(PictureFilesTest, bitmapResultCodes) {
  std::unique_ptr<Picture> picture = createPicture(3, 3, PictureKind::rgba8, WrapMode::clamp);
  const Picture* before = picture.get();
  EXPECT_EQ(decodePictureToBitmap(nullptr, &picture, 100), kBitmapNoPath);
  EXPECT_EQ(decodePictureToBitmap("", &picture, 100), kBitmapEmptyPath);
  EXPECT_EQ(decodePictureToBitmap(dir.file("x.png").c_str(), nullptr, 100), kBitmapNoPicture);
  EXPECT_EQ(decodePictureToBitmap(dir.file("absent.png").c_str(), &picture, 100),
            kBitmapDecodeFailed);
  EXPECT_EQ(picture.get(), before) << "a failure leaves the caller's picture alone";
}

// The shared libraries an ELF file names in its dynamic section (NEEDED entries).
std::vector<std::string> neededLibraries(const std::string& path) {
  std::vector<std::string> needed;
  FILE* pipe = popen(("readelf -d '" + path + "'").c_str(), "r");
  if (!pipe) return needed;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    const std::string text = line;
    const size_t open = text.find("(NEEDED)") == std::string::npos ? text.npos : text.find('[');
    if (open != text.npos) needed.push_back(text.substr(open + 1, text.find(']') - open - 1));
  }
  pclose(pipe);
  return needed;
}

TEST(PictureDecoderLibrary, onlyTheCompanionNeedsTheImagingLibrary) {
  const auto mentionsImagingLibrary = [](const std::vector<std::string>& libraries) {
    for (const std::string& name : libraries)
      if (name.find("OpenImageIO") != std::string::npos) return true;
    return false;
  };
  const std::vector<std::string> module = neededLibraries(ORICHALCUMITE_MODULE_FILE);
  ASSERT_FALSE(module.empty()) << "readelf cannot read the module";
  EXPECT_FALSE(mentionsImagingLibrary(module));
  EXPECT_TRUE(mentionsImagingLibrary(neededLibraries(ORICHALCUMITE_PICTURE_DECODER)))
      << "the check would see the imaging library if it were there";
}

// Likewise the toolkit: only the dialog's library loads GTK, so a run without a dialog never
// pays its start.
TEST(DialogLibrary, onlyTheDialogLibraryNeedsTheToolkit) {
  const auto mentionsToolkit = [](const std::vector<std::string>& libraries) {
    for (const std::string& name : libraries)
      if (name.find("libgtk") != std::string::npos || name.find("libgdk") != std::string::npos)
        return true;
    return false;
  };
  const std::vector<std::string> module = neededLibraries(ORICHALCUMITE_MODULE_FILE);
  ASSERT_FALSE(module.empty()) << "readelf cannot read the module";
  EXPECT_FALSE(mentionsToolkit(module));
  EXPECT_TRUE(mentionsToolkit(neededLibraries(ORICHALCUMITE_DIALOG_LIBRARY_FILE)))
      << "the check would see the toolkit if it were there";
}

}  // namespace
}  // namespace orichalcumite
