// The program with the real module across runs: what the module keeps between runs and the
// options that use it (--last), presets played and saved, and a plain run that never depends
// on what ran before.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/image_files.h"
#include "settings/effect_settings.h"
#include "settings/settings_file.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

#ifdef ORICHALCUMITE_REAL_MODULE

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;
using testing::ProgramRun;

const std::string kProgram = ORICHALCUMITE_PROGRAM;

// Light components a preset keeps exactly: it stores hundredths.
const std::vector<std::string> kEffect = {"--set", "radius=18",       "--set", "glue=screendim",
                                          "--set", "light 1 X=-0.5",  "--set", "light 1 Y=-0.25",
                                          "--set", "light 2 X=0.5",   "--set", "light 2 Y=0.25",
                                          "--set", "light 2 red=200", "--set", "tarnish=40"};

class StateProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Image image = *Image::make(48, 40, 3, false, SampleType::uint8);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 48; ++x)
        for (int c = 0; c < 3; ++c) image.setSample(x, y, c, (x * 5 + y * 3 + c * 70) % 256);
    std::string error;
    ASSERT_TRUE(writeImageFile(input, image, &error)) << error;
  }

  // One render with the user folders redirected into the scratch folder.
  ProgramRun render(const std::string& output, std::vector<std::string> options = {}) {
    std::vector<std::string> args = {kProgram, "render", input, "-o", dir.file(output), "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    return testing::runProgram(args,
                               {{"XDG_STATE_HOME", dir.file("state")},
                                {"XDG_CONFIG_HOME", dir.file("config")},
                                {"ORICHALCUMITE_SYSTEM_CONFIG_DIR", dir.file("etc")},
                                {"XDG_CONFIG_DIRS", dir.file("etc")},
                                // Some textures draw from the run's generator: one seed for
                                // every run, so that equal effects give equal pixels.
                                {"ORICHALCUMITE_RAND_SEED", "7"}},
                               dir.path().string());
  }

  Image read(const std::string& name) {
    std::string error;
    auto image = readImageFile(dir.file(name), &error);
    EXPECT_TRUE(image) << error;
    return image.value_or(Image{});
  }

  std::string stateFile(const std::string& name) { return dir.file("state/orichalcumite/" + name); }

  bool settingsFilesWork() {
    EffectSettings s{};
    resetRunTimeFields(s);
    loadFactoryDefaults(s);
    return !encodeSettingsFile(s, nullptr).empty();
  }

  testing::ScratchDir dir;
  std::string input = dir.file("in.png");
};

TEST_F(StateProgramTest, lastRepeatsThePreviousEffectWhileAPlainRunGivesTheFactoryOne) {
  if (!settingsFilesWork()) GTEST_SKIP() << "settings files cannot be written in this build";
  ProgramRun r = render("factory.png");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = render("edited.png", kEffect);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(stateFile("Orichalcumite cached settings D")));
  EXPECT_TRUE(fs::exists(stateFile("Orichalcumite memdot map 3")));
  ASSERT_NE(read("edited.png"), read("factory.png"));

  r = render("last.png", {"--last"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(read("last.png"), read("edited.png"));

  r = render("plain.png");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(read("plain.png"), read("factory.png"));
}

TEST_F(StateProgramTest, aSavedPresetPlaysAsTheActionOfTheSameRun) {
  if (!settingsFilesWork()) GTEST_SKIP() << "settings files cannot be written in this build";
  std::vector<std::string> options = kEffect;
  options.insert(options.end(),
                 {"--record", dir.file("a.json"), "--save-preset", dir.file("brass.q5q")});
  ProgramRun r = render("saved.png", options);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_TRUE(fs::exists(dir.file("brass.q5q")));

  r = render("preset.png", {"--preset", dir.file("brass.q5q")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = render("action.png", {"--action", dir.file("a.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(read("preset.png"), read("saved.png"));
  EXPECT_EQ(read("preset.png"), read("action.png"));

  // --set goes on top of a preset.
  r = render("bigger.png", {"--preset", dir.file("brass.q5q"), "--set", "radius=30"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(read("bigger.png"), read("preset.png"));
}

TEST_F(StateProgramTest, presetProblemsExitWith2AndOneLine) {
  std::ofstream(dir.file("damaged.q5q"), std::ios::binary) << std::string("\0\0\0\xDD\0\0", 6);
  struct Case {
    const char* what;
    std::vector<std::string> options;
  };
  const Case cases[] = {
      {"damaged preset", {"--preset", dir.file("damaged.q5q")}},
      {"missing preset", {"--preset", dir.file("missing.q5q")}},
      {"preset saved under another ending", {"--save-preset", dir.file("out.q9q")}},
      {"--last with --set", {"--last", "--set", "radius=3"}},
      {"--action with --preset",
       {"--action", dir.file("damaged.q5q"), "--preset", dir.file("damaged.q5q")}},
  };
  for (const Case& c : cases) {
    const ProgramRun r = render("out.png", c.options);
    EXPECT_EQ(r.exitCode, 2) << c.what << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.what << ": " << r.err;
    EXPECT_FALSE(fs::exists(dir.file("out.png"))) << c.what;
    EXPECT_FALSE(fs::exists(dir.file("out.q9q"))) << c.what;
  }
}

}  // namespace
}  // namespace orichalcumite

#endif
