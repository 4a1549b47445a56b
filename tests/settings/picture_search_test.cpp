// Finding the pictures an effect names: which files the search tries, what it loads into the
// slots and the settings, and what it does when a file is missing or cannot be read.
#include "settings/picture_search.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/random_generator.h"
#include "base/user_messages.h"
#include "pictures/effect_pictures.h"
#include "tests/support/factory_settings.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_pictures.h"

namespace orichalcumite {
namespace {

class RecordedMessages final : public UserMessages {
 public:
  void tell(const char* title, const char* text) override {
    lines.push_back(std::string(title) + ": " + text);
  }
  std::vector<std::string> lines;
};

TEST(PictureNames, noPictureWanted) {
  struct Case {
    const char* name;
    bool none;
  };
  for (const Case& c :
       {Case{"", true}, Case{".", true}, Case{".png", true}, Case{".hidden", true},
        Case{"<none>", true}, Case{"<NONE>", true}, Case{"x<None>y.png", true},
        Case{"/pictures/.png", true}, Case{"stone", false}, Case{"stone.gif", false},
        Case{"a.b.png", false}, Case{"/pictures/stone.png", false}, Case{"./stone.png", false}}) {
    EXPECT_EQ(noPictureWanted(c.name), c.none) << c.name;
  }
}

TEST(PictureNames, candidatesInTriedOrder) {
  const std::vector<std::string> endings = {"",      ".pict", ".pct", ".jpg",
                                            ".jpeg", ".bmp",  ".png", ".tif"};
  std::vector<std::string> expected;
  for (const std::string& e : endings) expected.push_back("/pics/stone" + e);
  EXPECT_EQ(pictureCandidates("/pics", "stone.gif"), expected);
  EXPECT_EQ(pictureCandidates("/pics/", "stone"), expected);
  EXPECT_TRUE(pictureCandidates("", "stone").empty()) << "a bare name needs a folder";

  // A path: itself first, then the endings in its own folder (itself not twice).
  const std::vector<std::string> path = pictureCandidates("/pics", "/else/stone.png");
  ASSERT_EQ(path.size(), endings.size());
  EXPECT_EQ(path[0], "/else/stone.png");
  EXPECT_EQ(path[1], "/else/stone");
  EXPECT_EQ(path.back(), "/else/stone.tif");
  EXPECT_EQ(pictureCandidates("/pics", "/else/stone.gif").front(), "/else/stone.gif");
}

class PictureSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.valid());
    testing::useBuiltPictureDecoder();
    // The settings key of this test alone: the search reads and writes the pictures folder.
    for (const char* variable :
         {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "ORICHALCUMITE_SYSTEM_CONFIG_DIR"}) {
      const std::string keyFolder = dir.file(std::string("key-") + variable);
      std::filesystem::create_directories(keyFolder);
      setenv(variable, keyFolder.c_str(), 1);
    }
    folder = dir.file("pictures");
    std::filesystem::create_directories(folder);
    setText(settings.picturesFolder, folder.c_str());
    pictures.ensureEnvironment();
  }

  std::string picture(const std::string& name, int width = 8, int height = 6,
                      std::uint8_t red = 90) {
    const std::string path = folder + "/" + name;
    EXPECT_TRUE(testing::writeTestPicture(
        path, width, height, 3,
        [red](int, int, int c) -> std::uint8_t { return c == 0 ? red : 10; }));
    return path;
  }

  int32_t find(const std::string& name, PictureWhich which = PictureWhich::environment) {
    return loadSettingsPicture(search, name, which, false, false);
  }

  testing::ScratchDir dir;
  std::string folder;
  EffectSettings settings = testing::factorySettings();
  EffectPictures pictures;
  RecordedMessages messages;
  PictureSearch search{settings, pictures, messages, nullptr, {}};
};

TEST_F(PictureSearchTest, onlyTheTriedEndingsAreFound) {
  picture("stone.gif");
  EXPECT_EQ(find("stone"), kPictureNotFound);
  EXPECT_EQ(find("stone.gif"), kPictureNotFound) << "a stored .gif ending is stripped too";

  const std::string png = picture("stone.png", 12, 5);
  for (const char* stored : {"stone", "stone.tif", "stone.gif", "stone.png"}) {
    setText(settings.environmentPath, "");
    setText(settings.environmentName, "");
    ASSERT_EQ(find(stored), 0) << stored;
    EXPECT_STREQ(settings.environmentPath, png.c_str()) << stored;
    EXPECT_STREQ(settings.environmentName, "stone") << stored;
    EXPECT_EQ(pictures.environment()->width(), 12);
  }
  EXPECT_TRUE(search.flags.environmentChanged);
  EXPECT_FALSE(search.flags.textureChanged);
  EXPECT_TRUE(messages.lines.empty());
}

TEST_F(PictureSearchTest, aFolderNamedLikeThePictureIsNotIt) {
  std::filesystem::create_directories(folder + "/stone");
  picture("stone.png", 9, 9);
  ASSERT_EQ(find("stone"), 0);
  EXPECT_STREQ(settings.environmentName, "stone");
  EXPECT_EQ(pictures.environment()->width(), 9);
}

TEST_F(PictureSearchTest, noneLoadsNothing) {
  const Picture* before = pictures.environment();
  for (const char* name : {"<none>", "<None>", ".", ""}) {
    search.flags = {};
    EXPECT_EQ(find(name), 0) << name;
    EXPECT_TRUE(search.flags.fileProblemSeen) << name;
    EXPECT_EQ(pictures.environment(), before);
  }
}

TEST_F(PictureSearchTest, textureNotesItsSize) {
  const std::string path = picture("bricks.bmp", 300, 40);
  ASSERT_EQ(find("bricks", PictureWhich::texture), 0);
  EXPECT_EQ(settings.textureWidth, 256);
  EXPECT_EQ(settings.textureHeight, 40);
  EXPECT_STREQ(settings.texturePath, path.c_str());
  EXPECT_STREQ(settings.textureName, "bricks");
  EXPECT_TRUE(search.flags.textureChanged);
  RandomGenerator rng;
  ASSERT_TRUE(pictures.prepareTexture(13, rng, 64));
  ASSERT_NE(pictures.textureTile(), nullptr);
  EXPECT_EQ(pictures.textureTile()->width(), 256);
}

TEST_F(PictureSearchTest, aPathIsTriedAsItStands) {
  const std::string elsewhere = dir.file("elsewhere");
  std::filesystem::create_directories(elsewhere);
  const std::string gif = elsewhere + "/moon.gif";
  ASSERT_TRUE(testing::writeTestPicture(gif, 6, 4, 3, [](int, int, int) { return 50; }));
  ASSERT_EQ(find(gif), 0);
  EXPECT_STREQ(settings.environmentPath, gif.c_str());
  EXPECT_STREQ(settings.environmentName, "moon");

  // A path whose file has another ending is found through the tried endings.
  const std::string png = elsewhere + "/sun.png";
  ASSERT_TRUE(testing::writeTestPicture(png, 3, 3, 3, [](int, int, int) { return 50; }));
  ASSERT_EQ(find(elsewhere + "/sun.tif"), 0);
  EXPECT_STREQ(settings.environmentPath, png.c_str());
  EXPECT_EQ(find(elsewhere + "/nothing.png"), kPictureNotFound);
}

TEST_F(PictureSearchTest, aDamagedPictureKeepsTheOldOneAndSaysWhichFile) {
  picture("good.png", 11, 11);
  ASSERT_EQ(find("good"), 0);
  const Picture* before = pictures.environment();
  const std::string damaged = folder + "/broken.png";
  std::ofstream(damaged) << "not a picture at all";
  EXPECT_EQ(find("broken"), 0);
  EXPECT_EQ(pictures.environment(), before);
  ASSERT_EQ(messages.lines.size(), 1u);
  EXPECT_NE(messages.lines[0].find(damaged), std::string::npos) << messages.lines[0];
  EXPECT_STREQ(settings.environmentName, "broken") << "the name stays stored";
}

TEST_F(PictureSearchTest, missingPictureAsksTheHookUntilFound) {
  const std::string other = dir.file("other");
  std::filesystem::create_directories(other);
  ASSERT_TRUE(
      testing::writeTestPicture(other + "/lake.png", 4, 4, 3, [](int, int, int) { return 30; }));
  std::vector<std::string> asked;
  std::vector<std::string> answers = {"", other + "/anything.png"};

  // Not interactive, or no one to ask: not found, nothing asked.
  search.missing = [&](PictureWhich, const std::string& base, bool) {
    asked.push_back(base);
    std::string answer = answers.back();
    answers.pop_back();
    return answer;
  };
  EXPECT_EQ(find("lake"), kPictureNotFound);
  EXPECT_TRUE(asked.empty());
  EXPECT_FALSE(search.flags.fileProblemSeen);

  // Folder chooser: the chosen file's folder becomes the pictures folder, the name stays.
  EXPECT_EQ(loadSettingsPicture(search, "lake.jpg", PictureWhich::environment, true, false), 0);
  EXPECT_EQ(asked, std::vector<std::string>{"lake"});
  EXPECT_STREQ(settings.picturesFolder, other.c_str());
  EXPECT_STREQ(settings.environmentPath, (other + "/lake.png").c_str());
  EXPECT_TRUE(search.flags.fileProblemSeen);

  // The user gives up: not found.
  EXPECT_EQ(loadSettingsPicture(search, "pond", PictureWhich::environment, true, true),
            kPictureNotFound);

  // No hook yet: as if not interactive.
  search.missing = nullptr;
  EXPECT_EQ(loadSettingsPicture(search, "pond", PictureWhich::environment, true, true),
            kPictureNotFound);
}

TEST_F(PictureSearchTest, missingFileChosenByTheUserReplacesTheName) {
  const std::string other = dir.file("found");
  std::filesystem::create_directories(other);
  const std::string chosen = other + "/renamed.bmp";
  ASSERT_TRUE(testing::writeTestPicture(chosen, 5, 3, 3, [](int, int, int) { return 30; }));
  search.missing = [&](PictureWhich which, const std::string&, bool askForFile) {
    EXPECT_EQ(which, PictureWhich::texture);
    EXPECT_TRUE(askForFile);
    return chosen;
  };
  EXPECT_EQ(loadSettingsPicture(search, "gone", PictureWhich::texture, true, true), 0);
  EXPECT_STREQ(settings.texturePath, chosen.c_str());
  EXPECT_STREQ(settings.textureName, "renamed");
  EXPECT_EQ(settings.textureWidth, 5);
}

}  // namespace
}  // namespace orichalcumite
