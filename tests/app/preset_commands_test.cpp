// `orichalcumite preset show` and `preset thumbnail`, run end to end on settings files the
// tests write.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/image_files.h"
#include "pictures/jpeg_thumbnail.h"
#include "settings/effect_settings.h"
#include "settings/enumerations.h"
#include "settings/parameter_table.h"
#include "settings/settings_file.h"
#include "tests/support/factory_settings.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

using testing::ProgramRun;

const std::string kProgram = ORICHALCUMITE_PROGRAM;

// A preset that differs from the factory effect where the output shows it.
EffectSettings shinySettings() {
  EffectSettings s = testing::factorySettings();
  s.glue = 66;
  s.shape = 3;
  s.textureChoice = kTextureChoiceCount;
  s.light1X = -0.4243f;
  s.colours[tarnishColor] = {0x4A00, 0xA400, 0x8900};
  s.sphericalEnvironment = 1;
  s.radius = 47;
  setText(s.environmentName, "sky");
  setText(s.textureName, "");
  return s;
}

size_t lineCount(const std::string& text) {
  return size_t(std::count(text.begin(), text.end(), '\n'));
}

class PresetCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.valid()); }
  ProgramRun run(std::vector<std::string> args) {
    args.insert(args.begin(), {kProgram, "preset"});
    return testing::runProgram(args, {}, dir.path().string());
  }
  std::string writeBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(dir.file(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return dir.file(name);
  }
  testing::ScratchDir dir;
};

TEST_F(PresetCommandsTest, showPrintsEverySettingByItsScriptingName) {
  const std::string path = dir.file("shiny.q5q");
  ASSERT_EQ(writeSettingsFile(path, shinySettings(), nullptr), 0);
  const ProgramRun r = run({"show", path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string glue(enumName(Enumeration::glueMode, 66));
  const std::string shape(enumName(Enumeration::bevelShape, 3));
  for (const std::string& line : std::vector<std::string>{
           "file        shiny.q5q\n", "version     221\n", "thumbnail   none\n",
           "  glue                    " + glue + "\n", "  shape                   " + shape + "\n",
           "  texture choice          texture file\n", "  light 1 X               -0.42\n",
           "  tarnish color           #4aa489\n", "  radius                  47\n",
           "  spherical environment   true\n", "  environment file        sky\n",
           "  texture file            <none>\n"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << "missing: " << line << r.out;
  }
  // One line per setting, a colour once for its three channels.
  EXPECT_EQ(lineCount(r.out), 4u + parameterTable().size() - 2 * kColourCount);
}

TEST_F(PresetCommandsTest, showWithJsonGivesOneObject) {
  const std::string path = dir.file("shiny.q5q");
  ASSERT_EQ(writeSettingsFile(path, shinySettings(), nullptr), 0);
  const ProgramRun r = run({"show", path, "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["file"], "shiny.q5q");
  EXPECT_EQ(j["version"], 221);
  EXPECT_TRUE(j["thumbnail"].is_null());
  const nlohmann::json& s = j["settings"];
  EXPECT_EQ(s.size(), parameterTable().size() - 2 * kColourCount);
  EXPECT_EQ(s["glue"], std::string(enumName(Enumeration::glueMode, 66)));
  EXPECT_DOUBLE_EQ(s["light 1 X"].get<double>(), -0.42);
  EXPECT_EQ(s["tarnish color"], "#4aa489");
  EXPECT_EQ(s["spherical environment"], true);
  EXPECT_EQ(s["radius"], 47);
  EXPECT_EQ(s["environment file"], "sky");
}

TEST_F(PresetCommandsTest, damagedOrMissingPresetsGetOneLineAndExit2) {
  const std::vector<uint8_t> whole = encodeSettingsFile(shinySettings(), nullptr);
  const std::vector<std::pair<std::string, std::string>> files = {
      {dir.file("absent.q5q"), "no such file"},
      {writeBytes("empty.q5q", {}), "version"},
      {writeBytes("cut.q5q", std::vector<uint8_t>(whole.begin(), whole.begin() + 150)),
       "the file ends"},
      {writeBytes("zero.q5q", {0, 0, 0, 0, 1, 2, 3, 4}), "version (0)"},
      {dir.path().string(), "cannot read"},
  };
  for (const auto& [path, reason] : files) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"show", path},
                                                 {"show", path, "--json"},
                                                 {"thumbnail", path, "-o", dir.file("out.png")}}) {
      const ProgramRun r = run(args);
      EXPECT_EQ(r.exitCode, 2) << path << ": " << r.err;
      EXPECT_EQ(lineCount(r.err), 1u) << r.err;
      EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
      EXPECT_EQ(r.out, "");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.png")));
}

TEST_F(PresetCommandsTest, thumbnailOfAPresetWithoutOneIsBadInput) {
  const std::string path = dir.file("plain.q5q");
  ASSERT_EQ(writeSettingsFile(path, shinySettings(), nullptr), 0);
  const ProgramRun r = run({"thumbnail", path, "-o", dir.file("out.png")});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "orichalcumite: " + path + " has no thumbnail\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.png")));
}

TEST_F(PresetCommandsTest, thumbnailIsWrittenAsAnImage) {
  const std::unique_ptr<Picture> picture =
      createPicture(kThumbnailSide, kThumbnailSide, PictureKind::rgba8, WrapMode::clamp);
  ASSERT_TRUE(picture);
  for (int y = 0; y < kThumbnailSide; ++y)
    for (int x = 0; x < kThumbnailSide; ++x) picture->setPixel(x, y, 0, x * 2, 200, y * 2, 255);
  const std::string path = dir.file("shiny.q5q");
  ASSERT_EQ(writeSettingsFile(path, shinySettings(), picture.get()), 0);
  const ProgramRun r = run({"thumbnail", path, "-o", dir.file("thumb.png")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string error;
  const auto image = readImageFile(dir.file("thumb.png"), &error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(image->width(), kThumbnailSide);
  EXPECT_EQ(image->height(), kThumbnailSide);
  EXPECT_NEAR(image->sample(100, 20, 0), 200, 8);
  EXPECT_NEAR(image->sample(100, 20, 1), 200, 8);
  EXPECT_NEAR(image->sample(100, 20, 2), 40, 8);

  const ProgramRun shown = run({"show", path});
  EXPECT_NE(shown.out.find("thumbnail   128 x 128\n"), std::string::npos) << shown.out;
}

TEST_F(PresetCommandsTest, badUsageIsExplained) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"frob"},
                                               {"show"},
                                               {"show", "a.q5q", "b.q5q"},
                                               {"show", "a.q5q", "--frob"},
                                               {"thumbnail", "a.q5q"},
                                               {"thumbnail", "a.q5q", "--json"}}) {
    const ProgramRun r = run(args);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find("see orichalcumite --help"), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace orichalcumite
