// `orichalcumite presets refresh`, run end to end on folders of presets the tests write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "app/image_files.h"
#include "base/byte_writer.h"
#include "settings/effect_settings.h"
#include "settings/settings_file.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;
using testing::ProgramRun;

const std::string kProgram = ORICHALCUMITE_PROGRAM;

std::string fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// A preset of the older family, version 15: the version and the sixteen fields it carries.
std::string version15File(int32_t radius) {
  ByteWriter w;
  for (int32_t v : {15, 1, 1, 5, 40, 3, 60, 50, 1, 70, 20, 2, radius, 0, -42, -40, 81}) w.i32(v);
  const std::vector<uint8_t> bytes = w.take();
  return {bytes.begin(), bytes.end()};
}

// A version-220 preset without thumbnail: the current layout less its last field.
std::string version220File(int32_t radius) {
  EffectSettings s{};
  resetRunTimeFields(s);
  loadFactoryDefaults(s);
  s.radius = radius;
  s.glue = 1;
  std::vector<uint8_t> bytes = encodeSettingsFile(s, nullptr);
  bytes.resize(bytes.size() - 4);
  bytes[3] = 220;
  return {bytes.begin(), bytes.end()};
}

class PresetsRefreshProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.valid());
    fs::create_directory(presets);
    writeImage("red.png", 255, 0, 0);
    writeImage("blue.png", 0, 0, 255);
  }

  void writeImage(const std::string& name, int r, int g, int b) {
    Image image = *Image::make(60, 40, 3, false, SampleType::uint8);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 60; ++x) {
        image.setSample(x, y, 0, r);
        image.setSample(x, y, 1, g);
        image.setSample(x, y, 2, b);
      }
    std::string error;
    ASSERT_TRUE(writeImageFile(dir.file(name), image, &error)) << error;
  }

  ProgramRun run(std::vector<std::string> args) {
    args.insert(args.begin(), kProgram);
    return testing::runProgram(args,
                               {{"XDG_STATE_HOME", dir.file("state")},
                                {"XDG_CONFIG_HOME", dir.file("config")},
                                {"ORICHALCUMITE_SYSTEM_CONFIG_DIR", dir.file("etc")},
                                {"ORICHALCUMITE_RAND_SEED", "7"}},
                               dir.path().string());
  }

  ProgramRun refresh(const std::string& image = "red.png") {
    return run({"presets", "refresh", presets.string(), "--image", dir.file(image)});
  }

  // The top-left pixel of the preset's thumbnail, which lies outside the thumbnail's selection
  // and so shows the source picture as it is; red -1 when there is no thumbnail.
  Rgba thumbnailCorner(const fs::path& path) {
    EffectSettings s{};
    const SettingsFileResult read = readSettingsFile(path.string(), SettingsReadMode::thumbnail, s);
    if (!read.thumbnail || read.thumbnail->width() != 128 || read.thumbnail->height() != 128)
      return Rgba{-1, 0, 0, 0};
    return read.thumbnail->readPicturePixel(0, 0, 0);
  }

  testing::ScratchDir dir;
  fs::path presets = dir.path() / "presets";
};

TEST_F(PresetsRefreshProgramTest, refreshesTheFolderAndReportsEachPreset) {
  writeBytes(presets / "Old.q9q", version15File(33));
  writeBytes(presets / "Shiny.q5q", version220File(47));
  writeBytes(presets / "Broken.q5q", "\x01\x02");
  writeBytes(presets / "Locked.q5q", version220File(12));
  chmod((presets / "Locked.q5q").c_str(), 0444);
  writeBytes(presets / "notes.txt", "not a preset");
  writeBytes(presets / "Taken.q9q", version15File(21));
  writeBytes(presets / "Taken.q5q", version15File(22));
  std::map<std::string, std::string> before;
  for (const char* name : {"Broken.q5q", "Locked.q5q", "notes.txt"})
    before[name] = fileBytes(presets / name);

  const ProgramRun r = refresh();
  EXPECT_EQ(r.exitCode, 1) << r.err;  // Broken could not be read
  for (const char* line :
       {"refreshed Old.q9q\n", "renamed Old.q9q -> Old.q5q\n", "refreshed Shiny.q5q\n",
        "skipped Broken.q5q: ", "skipped Locked.q5q: it is read-only\n",
        "not renamed Taken.q9q -> Taken.q5q: Taken.q5q already exists\n",
        "refreshed 4, renamed 1, skipped 2, not renamed 1\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\nin:\n" << r.out;
  EXPECT_EQ(r.out.find("notes.txt"), std::string::npos);

  for (const auto& [name, bytes] : before) EXPECT_EQ(fileBytes(presets / name), bytes) << name;
  EXPECT_FALSE(fs::exists(presets / "Old.q9q"));
  for (const char* name : {"Old.q5q", "Shiny.q5q", "Taken.q9q", "Taken.q5q"}) {
    EXPECT_EQ(fileBytes(presets / name).substr(0, 4), std::string("\0\0\0\xDD", 4)) << name;
    EXPECT_GE(thumbnailCorner(presets / name).red, 0) << name;
  }
  EffectSettings taken{};
  ASSERT_EQ(readSettingsFile((presets / "Taken.q5q").string(), SettingsReadMode::load, taken).code,
            0);
  EXPECT_EQ(taken.radius, 22);
  // The program works on its own: the user's saved state is neither read nor written.
  EXPECT_FALSE(fs::exists(dir.file("state/orichalcumite")) &&
               !fs::is_empty(dir.file("state/orichalcumite")));
}

TEST_F(PresetsRefreshProgramTest, thumbnailsAreRenderedOverTheGivenPicture) {
  for (const char* image : {"red.png", "blue.png"}) {
    writeBytes(presets / "a.q5q", version220File(20));
    const ProgramRun r = refresh(image);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("refreshed 1, renamed 0, skipped 0\n"), std::string::npos) << r.out;
    const Rgba corner = thumbnailCorner(presets / "a.q5q");
    const bool red = std::string_view(image) == "red.png";
    EXPECT_NEAR(corner.red, red ? 1.0f : 0.0f, 0.05f) << image;
    EXPECT_NEAR(corner.blue, red ? 0.0f : 1.0f, 0.05f) << image;
  }
}

TEST_F(PresetsRefreshProgramTest, badUsageAndUnreadableInputExitWith2) {
  writeBytes(presets / "a.q5q", version220File(20));
  const std::string before = fileBytes(presets / "a.q5q");
  writeBytes(dir.path() / "not-an-image.png", "no");
  const std::vector<std::vector<std::string>> cases = {
      {"presets"},
      {"presets", "tidy", presets.string()},
      {"presets", "refresh", presets.string()},
      {"presets", "refresh", "--image", dir.file("red.png")},
      {"presets", "refresh", presets.string(), presets.string(), "--image", dir.file("red.png")},
      {"presets", "refresh", presets.string(), "--image", dir.file("missing.png")},
      {"presets", "refresh", presets.string(), "--image", dir.file("not-an-image.png")},
      {"presets", "refresh", dir.file("missing"), "--image", dir.file("red.png")},
      {"presets", "refresh", dir.file("red.png"), "--image", dir.file("red.png")},
      {"presets", "refresh", presets.string(), "--image", dir.file("red.png"), "--frobnicate"},
  };
  for (const std::vector<std::string>& args : cases) {
    const ProgramRun r = run(args);
    std::string command;
    for (const std::string& a : args) command += a + " ";
    EXPECT_EQ(r.exitCode, 2) << command << r.err;
    EXPECT_FALSE(r.err.empty()) << command;
  }
  EXPECT_EQ(fileBytes(presets / "a.q5q"), before);
}

}  // namespace
}  // namespace orichalcumite
