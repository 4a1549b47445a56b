#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "base/user_folders.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;

// Sets or clears environment variables for one test and puts the old values back afterwards.
class Environment {
 public:
  ~Environment() {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }
  void set(const std::string& name, const std::string& value) {
    save(name);
    setenv(name.c_str(), value.c_str(), 1);
  }
  void clear(const std::string& name) {
    save(name);
    unsetenv(name.c_str());
  }

 private:
  void save(const std::string& name) {
    if (saved_.count(name)) return;
    const char* old = std::getenv(name.c_str());
    saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(UserFolders, AbsoluteXdgValuesAreUsedAsTheyStand) {
  Environment env;
  env.set("XDG_CONFIG_HOME", "/tmp/cfg");
  env.set("XDG_STATE_HOME", "/var/state/");
  EXPECT_EQ(configHome().value(), "/tmp/cfg");
  EXPECT_EQ(stateHome().value(), "/var/state");
}

TEST(UserFolders, UnsetEmptyOrRelativeXdgValuesFallBackToTheHomeFolder) {
  Environment env;
  env.set("HOME", "/home/someone");
  for (const char* value :
       {static_cast<const char*>(nullptr), "", "relative/config", "~/.config"}) {
    SCOPED_TRACE(value ? value : "(unset)");
    if (value) {
      env.set("XDG_CONFIG_HOME", value);
      env.set("XDG_STATE_HOME", value);
    } else {
      env.clear("XDG_CONFIG_HOME");
      env.clear("XDG_STATE_HOME");
    }
    EXPECT_EQ(configHome().value(), "/home/someone/.config");
    EXPECT_EQ(stateHome().value(), "/home/someone/.local/state");
  }
}

TEST(UserFolders, SystemFolderPrefersOurVariableThenTheFirstAbsoluteXdgEntry) {
  Environment env;
  env.set("ORICHALCUMITE_SYSTEM_CONFIG_DIR", "/opt/orichalcumite/etc");
  env.set("XDG_CONFIG_DIRS", "/etc/first:/etc/second");
  EXPECT_EQ(systemConfigFolder(), "/opt/orichalcumite/etc");

  env.clear("ORICHALCUMITE_SYSTEM_CONFIG_DIR");
  EXPECT_EQ(systemConfigFolder(), "/etc/first");
  env.set("XDG_CONFIG_DIRS", "relative:/etc/second/:/etc/third");
  EXPECT_EQ(systemConfigFolder(), "/etc/second");
  env.set("ORICHALCUMITE_SYSTEM_CONFIG_DIR", "not/absolute");
  EXPECT_EQ(systemConfigFolder(), "/etc/second");

  for (const char* dirs : {"", ":", "only/relative"}) {
    env.set("XDG_CONFIG_DIRS", dirs);
    EXPECT_EQ(systemConfigFolder(), "/etc/xdg") << '"' << dirs << '"';
  }
  env.clear("XDG_CONFIG_DIRS");
  EXPECT_EQ(systemConfigFolder(), "/etc/xdg");
}

TEST(ProgramStateFolder, IsCreatedPrivateWithItsParentsOnlyWhenAskedFor) {
  const fs::path root = fs::path(ORICHALCUMITE_TEST_SCRATCH) / "user_folders";
  fs::remove_all(root);
  Environment env;
  env.set("XDG_STATE_HOME", (root / "deep" / "state").string());
  const std::string expected = (root / "deep" / "state" / "orichalcumite").string();

  auto lookedUp = programStateFolder(FolderUse::lookUp);
  ASSERT_TRUE(lookedUp) << lookedUp.message();
  EXPECT_EQ(*lookedUp, expected);
  EXPECT_FALSE(fs::exists(root / "deep"));

  const mode_t old = umask(022);
  auto created = programStateFolder(FolderUse::create);
  umask(old);
  ASSERT_TRUE(created) << created.message();
  EXPECT_EQ(*created, expected);
  struct stat info {};
  ASSERT_EQ(stat(expected.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(stat((root / "deep").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  // Asking again finds the folder that is there.
  auto again = programStateFolder(FolderUse::create);
  ASSERT_TRUE(again) << again.message();
  EXPECT_EQ(*again, expected);
}

TEST(ProgramStateFolder, AFileInTheWayIsReported) {
  const fs::path root = fs::path(ORICHALCUMITE_TEST_SCRATCH) / "user_folders_blocked";
  fs::remove_all(root);
  fs::create_directories(root);
  {
    std::FILE* f = std::fopen((root / "orichalcumite").c_str(), "w");
    std::fclose(f);
  }
  Environment env;
  env.set("XDG_STATE_HOME", root.string());
  auto created = programStateFolder(FolderUse::create);
  ASSERT_FALSE(created);
  EXPECT_NE(created.message().find((root / "orichalcumite").string()), std::string::npos)
      << created.message();
}

}  // namespace
}  // namespace orichalcumite
