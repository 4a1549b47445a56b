// `orichalcumite gallery`, run end to end: pages of folders and of memory dots, warnings for
// files that cannot be shown, bad usage, and handing the page to the desktop's opener.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/gallery_commands.h"
#include "app/image_files.h"
#include "pictures/jpeg_thumbnail.h"
#include "settings/effect_settings.h"
#include "settings/user_state.h"
#include "tests/support/factory_settings.h"
#include "tests/support/redirected_user_folders.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;
using testing::ProgramRun;

const std::string kProgram = ORICHALCUMITE_PROGRAM;

std::string fileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class GalleryProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.valid());
    fs::create_directories(dir.path() / "pictures");
  }

  void writeImage(const std::string& path, int width, int height) {
    Image image = *Image::make(width, height, 3, false, SampleType::uint8);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) image.setSample(x, y, c, (x * 3 + y * 5 + c * 80) % 256);
    std::string error;
    ASSERT_TRUE(writeImageFile(path, image, &error)) << error;
  }

  ProgramRun run(std::vector<std::string> args, testing::Environment environment = {}) {
    args.insert(args.begin(), kProgram);
    environment.push_back({"XDG_STATE_HOME", folders.stateHome()});
    return testing::runProgram(args, environment, dir.path().string());
  }

  testing::ScratchDir dir;
  testing::RedirectedUserFolders folders;
};

TEST_F(GalleryProgram, PicturesPageWithAWarningForAnUnreadableFile) {
  writeImage(dir.file("pictures/wide.png"), 200, 100);
  std::ofstream(dir.file("pictures/broken.jpg")) << "not a JPEG";
  const ProgramRun result =
      run({"gallery", "pictures", dir.file("pictures"), "-o", dir.file("page.html")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("2 cells, 1 thumbnails"), std::string::npos) << result.out;
  EXPECT_NE(result.err.find("warning: cannot read the picture broken.jpg"), std::string::npos)
      << result.err;
  const std::string page = fileText(dir.file("page.html"));
  EXPECT_NE(page.find("src=\"web_images/wide.jpg\" alt=\"wide.jpg\" width=\"88\" height=\"44\""),
            std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(dir.path() / "web_images" / "wide.jpg"));
}

TEST_F(GalleryProgram, BadUsageAndMissingFoldersAreBadInput) {
  const std::vector<std::vector<std::string>> cases = {
      {"gallery"},
      {"gallery", "albums", dir.file("pictures"), "-o", dir.file("p.html")},
      {"gallery", "pictures", dir.file("pictures")},
      {"gallery", "presets", "-o", dir.file("p.html")},
      {"gallery", "presets", "a", "b", "-o", dir.file("p.html")},
      {"gallery", "dots", "-o", dir.file("p.html")},
      {"gallery", "dots", dir.file("pictures"), "-o", dir.file("p.html"), "--image", "x.png"},
      {"gallery", "pictures", dir.file("pictures"), "-o", dir.file("p.html"), "--image", "x.png"},
      {"gallery", "presets", dir.file("absent"), "-o", dir.file("p.html")},
      {"gallery", "dots", "-o", dir.file("p.html"), "--image", dir.file("absent.png")},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.size() > 1 ? args[1] + " " + std::to_string(args.size()) : "gallery");
    const ProgramRun result = run(args);
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_FALSE(result.err.empty());
  }
  EXPECT_FALSE(fs::exists(dir.file("p.html")));
}

// The real renderer draws each stored dot over the image, enlarged to 300 pixels on its larger
// side; the user's cached settings are neither read nor written.
TEST_F(GalleryProgram, MemoryDotsRenderedOverTheImage) {
  UserState user{};
  EffectSettings s = testing::factorySettings();
  s.glue = 12;
  std::unique_ptr<Picture> thumbnail =
      createPicture(128, 128, PictureKind::rgba8, WrapMode::noPyramid);
  thumbnail->fill(90, 90, 90, 255);
  ASSERT_EQ(storeDot(4, s, thumbnail.get(), user).code, 0);
  ASSERT_TRUE(releaseRun(user));
  writeImage(dir.file("image.png"), 150, 100);

  const ProgramRun result =
      run({"gallery", "dots", "--image", dir.file("image.png"), "-o", dir.file("dots.html")},
          {{"ORICHALCUMITE_RAND_SEED", "3"}});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("1 cells, 1 thumbnails"), std::string::npos) << result.out;
  const std::string page = fileText(dir.file("dots.html"));
  EXPECT_NE(
      page.find("src=\"web_images/dot%204.jpg\" alt=\"dot 4.jpg\" width=\"300\" height=\"200\""),
      std::string::npos);
  std::string error;
  const std::optional<Image> rendered =
      readImageFile((dir.path() / "web_images" / "dot 4.jpg").string(), &error);
  ASSERT_TRUE(rendered) << error;
  EXPECT_EQ(rendered->width(), 300);
  EXPECT_EQ(rendered->height(), 200);
  EXPECT_FALSE(fs::exists(fs::path(folders.stateFolder()) / kCachedSettingsFileName));
}

TEST_F(GalleryProgram, OpenHandsThePageToTheOpenerOrWarns) {
  const fs::path bin = dir.path() / "bin";
  fs::create_directories(bin);
  const fs::path opener = bin / "xdg-open";
  std::ofstream(opener) << "#!/bin/sh\nprintf '%s' \"$1\" > \"" << dir.file("opened") << "\"\n";
  fs::permissions(opener, fs::perms::owner_all);

  ProgramRun result =
      run({"gallery", "pictures", dir.file("pictures"), "-o", dir.file("page.html"), "--open"},
          {{"PATH", bin.string()}});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(fileText(dir.file("opened")), dir.file("page.html"));

  result =
      run({"gallery", "pictures", dir.file("pictures"), "-o", dir.file("page2.html"), "--open"},
          {{"PATH", dir.file("empty-bin")}});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.err.find("warning: cannot open the page in a browser"), std::string::npos)
      << result.err;
  EXPECT_TRUE(fs::is_regular_file(dir.file("page2.html")));
}

TEST(GalleryImagePicture, ScalesEveryDepthAndRepeatsGrey) {
  struct Case {
    SampleType type;
    int channels;
    double sample;
    float expected;
  };
  const Case cases[] = {{SampleType::uint8, 3, 51.0, 0.2f},
                        {SampleType::uint16, 3, 65535.0, 1.0f},
                        {SampleType::float32, 3, 2.5, 1.0f},
                        {SampleType::float32, 1, -0.5, 0.0f},
                        {SampleType::uint8, 2, 102.0, 0.4f}};
  for (const Case& c : cases) {
    Image image = *Image::make(3, 2, c.channels, c.channels == 2, c.type);
    for (int ch = 0; ch < image.colourChannels(); ++ch) image.setSample(2, 1, ch, c.sample);
    if (image.hasAlpha()) image.setSample(2, 1, 1, 0.0);
    const std::unique_ptr<Picture> picture = pictureOfImage(image);
    ASSERT_TRUE(picture);
    const Rgba p = picture->readPicturePixel(2, 1, 0);
    EXPECT_NEAR(p.red, c.expected, 0.5f / 255.0f);
    EXPECT_NEAR(p.green, c.expected, 0.5f / 255.0f);
    EXPECT_NEAR(p.blue, c.expected, 0.5f / 255.0f);
    EXPECT_EQ(p.alpha, 1.0f);
  }
}

}  // namespace
}  // namespace orichalcumite
