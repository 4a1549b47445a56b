// The settings key as key files: which file is used, what the text holds, and that a file we
// cannot parse is never overwritten.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/detail/key_file.h"
#include "settings/registry.h"
#include "tests/support/redirected_user_folders.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMachineGroup = "SOFTWARE\\Ferrovantine\\Gleamcraft\\2.14A";
constexpr const char* kUserGroup = "SOFTWARE\\Ferrovantine PV\\Orichalcumite\\2.00";

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

class RegistryTest : public ::testing::Test {
 protected:
  std::string machineFile() const {
    return folders.systemConfig() + "/orichalcumite/registry.conf";
  }
  std::string userFile() const { return folders.configHome() + "/orichalcumite/registry.conf"; }
  // A machine folder that cannot be made by anyone, root included: its parent is a file.
  void makeMachineKeyUnwritable() {
    writeText(folders.scratch().file("plain-file"), "x");
    folders.set("ORICHALCUMITE_SYSTEM_CONFIG_DIR", folders.scratch().file("plain-file/etc"));
  }

  testing::RedirectedUserFolders folders;
};

TEST_F(RegistryTest, theMachineKeyIsUsedWhenItsFolderIsWritable) {
  fs::create_directories(folders.systemConfig());
  ASSERT_TRUE(writeRegistryValue(kEnviroPathValue, "/pictures/env"));
  const auto values = detail::keyFileValues(fileText(machineFile()), kMachineGroup);
  ASSERT_TRUE(values);
  EXPECT_EQ(values->at("EnviroPath"), "/pictures/env");
  EXPECT_FALSE(fs::exists(userFile()));
  EXPECT_EQ(readRegistryValue(kEnviroPathValue), "/pictures/env");
}

TEST_F(RegistryTest, theUserKeyIsUsedWhenTheMachineKeyCannotBeWritten) {
  makeMachineKeyUnwritable();
  ASSERT_TRUE(writeRegistryValue(kPresetNameValue, "brass"));
  const auto values = detail::keyFileValues(fileText(userFile()), kUserGroup);
  ASSERT_TRUE(values);
  EXPECT_EQ(values->at("PresetName"), "brass");
  EXPECT_EQ(readRegistryValue(kPresetNameValue), "brass");
  EXPECT_EQ(readRegistryValue(kCurrentDirectoryValue), std::nullopt);
  // The user's folder keeps picture paths: private to the account.
  struct stat info {};
  ASSERT_EQ(::stat((folders.configHome() + "/orichalcumite").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(RegistryTest, aMachineFileThatCannotBeParsedIsLeftAloneAndTheUserKeyServes) {
  const std::string damaged = "EnviroPath=/no/group/above\n[unclosed\n";
  writeText(machineFile(), damaged);
  ASSERT_TRUE(writeRegistryValue(kEnviroPathValue, "/mine"));
  EXPECT_EQ(fileText(machineFile()), damaged);
  EXPECT_EQ(readRegistryValue(kEnviroPathValue), "/mine");
}

TEST_F(RegistryTest, aDamagedUserFileReadsAsNothingAndIsNeverReplaced) {
  makeMachineKeyUnwritable();
  const std::string damaged = std::string("[") + kUserGroup + "]\nPresetName=ok\nno equals sign\n";
  writeText(userFile(), damaged);
  EXPECT_EQ(readRegistryValue(kPresetNameValue), std::nullopt);
  EXPECT_FALSE(writeRegistryValue(kPresetNameValue, "new"));
  EXPECT_EQ(fileText(userFile()), damaged);
}

TEST_F(RegistryTest, writingTheValueTheKeyHoldsDoesNotRewriteTheFile) {
  makeMachineKeyUnwritable();
  ASSERT_TRUE(writeRegistryValue(kChromeFileValue, "/a/b.png"));
  struct stat before {};
  ASSERT_EQ(::stat(userFile().c_str(), &before), 0);
  ASSERT_TRUE(writeRegistryValue(kChromeFileValue, "/a/b.png"));
  struct stat after {};
  ASSERT_EQ(::stat(userFile().c_str(), &after), 0);
  // Replacing writes a new file, so the same inode means no write happened.
  EXPECT_EQ(before.st_ino, after.st_ino);
  ASSERT_TRUE(writeRegistryValue(kChromeFileValue, "/a/c.png"));
  EXPECT_EQ(readRegistryValue(kChromeFileValue), "/a/c.png");
}

TEST(KeyFileText, valuesSurviveTheTextWhateverTheyHold) {
  const std::string values[] = {"",
                                "C:\\Users\\me\\environments and textures\\",
                                "  leading and trailing spaces  ",
                                "two\nlines\tand a tab",
                                "#not a comment = nor a key",
                                "[not a group]",
                                "Müller/Ærø/環境.png"};
  for (const std::string& value : values) {
    const auto text = detail::keyFileWithValue("", kUserGroup, "EnviroPath", value);
    ASSERT_TRUE(text) << value;
    const auto read = detail::keyFileValues(*text, kUserGroup);
    ASSERT_TRUE(read) << *text;
    EXPECT_EQ(read->at("EnviroPath"), value) << *text;
  }
}

TEST(KeyFileText, settingAValueKeepsCommentsOtherGroupsAndOtherValues) {
  const std::string before = std::string("# kept by the administrator\n[Other]\nx=1\n\n[") +
                             kUserGroup + "]\nPresetName=old\nCurrentDirectory=/presets\n";
  const auto after = detail::keyFileWithValue(before, kUserGroup, "PresetName", "new");
  ASSERT_TRUE(after);
  EXPECT_NE(after->find("# kept by the administrator"), std::string::npos) << *after;
  EXPECT_EQ(detail::keyFileValues(*after, "Other")->at("x"), "1");
  const auto values = detail::keyFileValues(*after, kUserGroup);
  EXPECT_EQ(values->at("PresetName"), "new");
  EXPECT_EQ(values->at("CurrentDirectory"), "/presets");
}

TEST(KeyFileText, damagedTextAndValuesThatAreNotTextAreRefused) {
  // GLib reads the last two but would not write them back as they were.
  for (const std::string& damaged :
       {std::string("value outside a group\n"), std::string("[open\n"),
        std::string("[g]\nno equals\n"), std::string("[g]\nk=\x8b\x8a\n"),
        std::string("[g]\nk=0\r\0\0\nj=1\n", 15)}) {
    EXPECT_FALSE(detail::keyFileValues(damaged, "g")) << damaged;
    EXPECT_FALSE(detail::keyFileWithValue(damaged, "g", "k", "v")) << damaged;
  }
  EXPECT_FALSE(detail::keyFileWithValue("", "g", "k", "\xff\xfe not UTF-8"));
  EXPECT_FALSE(detail::keyFileWithValue("", "g", "k", std::string("nul\0inside", 10)));
  // GLib reads a value ending in carriage returns, but its rewrite would lose one of them:
  // refused, not changed.
  EXPECT_FALSE(detail::keyFileWithValue("[g]\nk=a\r\r\r\nj=1\n", "g", "n", "v"));
  // A missing group is an empty key, not damage.
  EXPECT_TRUE(detail::keyFileValues("[other]\na=b\n", "g")->empty());
}

}  // namespace
}  // namespace orichalcumite
