// The user's state between runs: the state folder's files, the memory dots and the undo.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/user_messages.h"
#include "pictures/effect_pictures.h"
#include "settings/settings_file.h"
#include "settings/user_state.h"
#include "tests/support/factory_settings.h"
#include "tests/support/redirected_user_folders.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;

class SilentMessages final : public UserMessages {
 public:
  void tell(const char*, const char*) override { ++count; }
  int count = 0;
};

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The run starts from what Prepare leaves: factory values and the run's name.
EffectSettings preparedSettings() {
  EffectSettings s = testing::factorySettings();
  setText(s.settingsName, "Orichalcumite settings");
  return s;
}

class UserStateTest : public ::testing::Test {
 protected:
  PictureContext context() { return {pictures, messages}; }
  std::string stateFile(const std::string& name) const {
    return folders.stateFolder() + "/" + name;
  }
  // Settings files are written by their own layer; without it these cases have nothing to
  // work on.
  bool settingsFilesWork() {
    return !encodeSettingsFile(testing::factorySettings(), nullptr).empty();
  }

  testing::RedirectedUserFolders folders;
  EffectPictures pictures;
  SilentMessages messages;
  UserState user;
};

TEST(UserStateNames, fileNamesCountDotsFromZeroAndUndoSlotsByIndex) {
  EXPECT_EQ(memoryDotFileName(1), "Orichalcumite A memory dot 0.q5q");
  EXPECT_EQ(memoryDotFileName(25), "Orichalcumite A memory dot 24.q5q");
  EXPECT_EQ(memoryDotFileName(kPresetUpdateDot), "Orichalcumite A memory dot 25.q5q");
  EXPECT_EQ(undoFileName(0), "Orichalcumite undo 0");
  EXPECT_EQ(undoFileName(1), "Orichalcumite undo 1");
}

TEST(MemoryDotMap, bytesAreTheVersionAndTwentyFiveBigEndianEntries) {
  std::array<int32_t, kMemoryDotCount> map{};
  map[0] = 1;
  map[24] = 1;
  const std::string bytes = encodeMemoryDotMap(map);
  ASSERT_EQ(bytes.size(), 4u * 26u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\0\xDD", 4));
  EXPECT_EQ(bytes.substr(4, 4), std::string("\0\0\0\x01", 4));
  EXPECT_EQ(bytes.substr(8, 4), std::string("\0\0\0\0", 4));
  EXPECT_EQ(decodeMemoryDotMap(bytes), map);
}

TEST(MemoryDotMap, shortOrOddFilesGiveEmptyDotsWhereTheyLackEntries) {
  struct Case {
    const char* what;
    std::string bytes;
    int storedDots;  // entries read as stored, from the first
  };
  const Case cases[] = {
      {"empty file", "", 0},
      {"version only", std::string("\0\0\0\xDD", 4), 0},
      {"other version, two entries", std::string("\0\0\0\x07\0\0\0\x01\0\0\0\x05", 12), 2},
      {"half an entry", std::string("\0\0\0\xDD\0\0\0\x01\0\0", 10), 1},
  };
  for (const Case& c : cases) {
    const auto map = decodeMemoryDotMap(c.bytes);
    for (int i = 0; i < kMemoryDotCount; ++i)
      EXPECT_EQ(map[size_t(i)], i < c.storedDots ? 1 : 0) << c.what << ", dot " << i + 1;
  }
}

TEST_F(UserStateTest, aFirstRunOnACleanFolderKeepsTheFactoryEffectAndAnEmptyMap) {
  for (bool parametersJustRun : {false, true}) {
    EffectSettings s = preparedSettings();
    setText(s.environmentName, "left over.png");
    s.viewFields[2] = 7;
    user.dotMap.fill(1);
    initialiseRun(s, user, {false, parametersJustRun}, context());
    const EffectSettings factory = preparedSettings();
    EXPECT_STREQ(s.settingsName, "Orichalcumite settings");
    EXPECT_EQ(s.textureStrength, factory.textureStrength);
    EXPECT_EQ(s.glue, factory.glue);
    EXPECT_STREQ(s.environmentName, "");
    for (int32_t entry : user.dotMap) EXPECT_EQ(entry, 0);
    if (parametersJustRun) {
      const int32_t fresh[5] = {0, 0, 1, 100, 100};
      for (int i = 0; i < 5; ++i) EXPECT_EQ(s.viewFields[i], fresh[i]) << i;
    } else {
      EXPECT_EQ(s.viewFields[2], 7);
    }
  }
  EXPECT_EQ(messages.count, 0);
}

TEST_F(UserStateTest, theMapIsWrittenOnReleaseAndReadAtTheNextStartInAPrivateFolder) {
  user.dotMap[2] = 1;
  user.dotMap[4] = 1;
  ASSERT_TRUE(releaseRun(user));
  struct stat info {};
  ASSERT_EQ(::stat(folders.stateFolder().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(fileBytes(stateFile(kMemoryDotMapFileName)), encodeMemoryDotMap(user.dotMap));

  UserState next;
  EffectSettings s = preparedSettings();
  initialiseRun(s, next, {true, false}, context());
  EXPECT_EQ(next.dotMap, user.dotMap);
  for (DotDisplay display : next.dotDisplay) EXPECT_EQ(display, DotDisplay::empty);
  showStoredDots(next);
  EXPECT_EQ(next.dotDisplay[2], DotDisplay::stored);
  EXPECT_EQ(next.dotDisplay[3], DotDisplay::empty);
}

TEST_F(UserStateTest, undoWithoutFilesSwapsBetweenTheStartAndTheEditedEffect) {
  EffectSettings s = preparedSettings();
  EXPECT_FALSE(undo(s, user, context()));  // nothing taken yet
  s.radius = 10;
  ASSERT_TRUE(takeUndoStep(s, user, false));  // as the dialog opens
  s.radius = 44;
  setText(s.environmentName, "kept.png");
  ASSERT_TRUE(takeUndoStep(s, user, false));  // after an edit
  ASSERT_TRUE(undo(s, user, context()));
  EXPECT_EQ(s.radius, 10);
  // The effect's copy leaves the picture names alone.
  EXPECT_STREQ(s.environmentName, "kept.png");
  ASSERT_TRUE(undo(s, user, context()));
  EXPECT_EQ(s.radius, 44);
  ASSERT_TRUE(undo(s, user, context()));
  EXPECT_EQ(s.radius, 10);
}

TEST_F(UserStateTest, aNewRunForgetsTheUndoStepsAndTheDotsShown) {
  EffectSettings s = preparedSettings();
  takeUndoStep(s, user, false);
  takeUndoStep(s, user, false);
  user.dotDisplay[0] = DotDisplay::current;
  initialiseRun(s, user, {true, false}, context());
  EXPECT_FALSE(undo(s, user, context()));
  EXPECT_EQ(user.dotDisplay[0], DotDisplay::empty);
}

TEST_F(UserStateTest, recallingAnEmptyOrMissingDotChangesNothing) {
  EffectSettings s = preparedSettings();
  s.radius = 12;
  EXPECT_EQ(recallDot(3, s, user, context()), kSettingsFileNotFound);  // never stored
  user.dotDisplay[2] = DotDisplay::stored;                             // shown, file gone
  EXPECT_EQ(recallDot(3, s, user, context()), kSettingsFileNotFound);
  EXPECT_EQ(s.radius, 12);
  EXPECT_STREQ(s.settingsName, "Orichalcumite settings");
  EXPECT_EQ(user.dotDisplay[2], DotDisplay::stored);
  for (int bad : {0, 26, -1}) {
    EXPECT_EQ(recallDot(bad, s, user, context()), kSettingsFileNotFound);
    EXPECT_NE(storeDot(bad, s, nullptr, user).code, 0);
    clearDot(bad, user);
  }
}

TEST_F(UserStateTest, storingAndRecallingDots) {
  if (!settingsFilesWork()) GTEST_SKIP() << "settings files cannot be written in this build";
  EffectSettings s = preparedSettings();
  s.radius = 21;
  ASSERT_EQ(storeDot(1, s, nullptr, user).code, 0);
  EXPECT_TRUE(fs::exists(stateFile("Orichalcumite A memory dot 0.q5q")));
  EXPECT_EQ(user.dotMap[0], 1);

  s.radius = 33;
  ASSERT_EQ(storeDot(3, s, nullptr, user).code, 0);
  s.radius = 45;
  ASSERT_EQ(storeDot(5, s, nullptr, user).code, 0);
  EXPECT_EQ(user.dotDisplay[0], DotDisplay::stored);
  EXPECT_EQ(user.dotDisplay[2], DotDisplay::stored);
  EXPECT_EQ(user.dotDisplay[4], DotDisplay::current);

  ASSERT_EQ(recallDot(1, s, user, context()), 0);
  EXPECT_EQ(s.radius, 21);
  EXPECT_STREQ(s.settingsName, "dot 1");
  EXPECT_EQ(user.dotDisplay[0], DotDisplay::current);
  EXPECT_EQ(user.dotDisplay[4], DotDisplay::stored);

  clearDot(5, user);
  EXPECT_EQ(user.dotMap[4], 0);
  EXPECT_EQ(user.dotDisplay[4], DotDisplay::empty);
  EXPECT_TRUE(fs::exists(stateFile("Orichalcumite A memory dot 4.q5q")));
  EXPECT_EQ(recallDot(5, s, user, context()), kSettingsFileNotFound);
  EXPECT_EQ(s.radius, 21);
}

TEST_F(UserStateTest, undoRightAfterTheDialogOpensRestoresTheStartAndItsPictureNames) {
  if (!settingsFilesWork()) GTEST_SKIP() << "settings files cannot be written in this build";
  EffectSettings s = preparedSettings();
  s.radius = 17;
  setText(s.environmentName, "start.png");
  ASSERT_TRUE(takeUndoStep(s, user, true));
  EXPECT_TRUE(fs::exists(stateFile("Orichalcumite undo 1")));
  s.radius = 60;
  setText(s.environmentName, "");
  ASSERT_TRUE(takeUndoStep(s, user, false));
  ASSERT_TRUE(undo(s, user, context()));
  EXPECT_EQ(s.radius, 17);
  EXPECT_STREQ(s.environmentName, "start.png");
  ASSERT_TRUE(undo(s, user, context()));
  EXPECT_EQ(s.radius, 60);
}

TEST_F(UserStateTest, cachedSettingsComeBackAndADamagedCacheLeavesTheEffectAlone) {
  if (!settingsFilesWork()) GTEST_SKIP() << "settings files cannot be written in this build";
  EffectSettings used = preparedSettings();
  used.radius = 48;
  used.glue = 30;
  ASSERT_TRUE(saveCachedSettings(used));

  EffectSettings s = preparedSettings();
  initialiseRun(s, user, {false, false}, context());
  EXPECT_EQ(s.radius, 48);
  EXPECT_EQ(s.glue, 30);

  // With a descriptor the cache is not read.
  EffectSettings scripted = preparedSettings();
  initialiseRun(scripted, user, {true, false}, context());
  EXPECT_EQ(scripted.radius, preparedSettings().radius);

  // A cache cut short is not half applied.
  const std::string whole = fileBytes(stateFile(kCachedSettingsFileName));
  std::ofstream(stateFile(kCachedSettingsFileName), std::ios::binary)
      << whole.substr(0, whole.size() / 2);
  EffectSettings damaged = preparedSettings();
  initialiseRun(damaged, user, {false, false}, context());
  EXPECT_EQ(damaged.radius, preparedSettings().radius);
  EXPECT_EQ(damaged.glue, preparedSettings().glue);
}

}  // namespace
}  // namespace orichalcumite

namespace orichalcumite {
namespace {

TEST_F(UserStateTest, aPresetNamingAMissingPictureAsksTheHookAndKeepsTheEffectWhenIgnored) {
  if (!settingsFilesWork()) GTEST_SKIP() << "settings files cannot be written in this build";
  EffectSettings saved = preparedSettings();
  saved.radius = 23;
  saved.textureChoice = 13;
  setText(saved.textureName, "gone stone");
  setText(saved.environmentName, "");
  const std::string path = stateFilePath("missing texture.q5q");
  ASSERT_FALSE(path.empty());
  ASSERT_EQ(writeSettingsFile(path, saved, nullptr), 0);

  // Without a hook nobody is asked and the effect comes in without the picture.
  EffectSettings quiet = preparedSettings();
  ASSERT_EQ(loadSettingsFileWithPictures(path, quiet, context()), 0);
  EXPECT_EQ(quiet.radius, 23);

  std::vector<std::string> asked;
  PictureContext asking = context();
  asking.missing = [&](PictureWhich which, const std::string& baseName, bool askForFile) {
    EXPECT_EQ(which, PictureWhich::texture);
    EXPECT_TRUE(askForFile);
    asked.push_back(baseName);
    return std::string();  // Ignore
  };
  EffectSettings s = preparedSettings();
  ASSERT_EQ(loadSettingsFileWithPictures(path, s, asking), 0);
  EXPECT_EQ(asked, std::vector<std::string>{"gone stone"});
  EXPECT_EQ(s.radius, 23);
  EXPECT_EQ(s.textureChoice, 13);
}

}  // namespace
}  // namespace orichalcumite
