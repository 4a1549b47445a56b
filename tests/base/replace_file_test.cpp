#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/replace_file.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;

// A fresh, empty folder per test.
fs::path scratch(const std::string& name) {
  const fs::path dir = fs::path(ORICHALCUMITE_TEST_SCRATCH) / "replace_file" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> namesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReplaceFile, WritesANewFileAndReplacesAnOldOneWithNothingLeftBeside) {
  const fs::path dir = scratch("replaces");
  const fs::path target = dir / "out.json";
  ASSERT_TRUE(replaceFileContents(target.string(), "first"));
  EXPECT_EQ(contents(target), "first");
  const std::string binary("a\0b\xFF", 4);
  ASSERT_TRUE(replaceFileContents(target.string(), binary));
  EXPECT_EQ(contents(target), binary);
  ASSERT_TRUE(replaceFileContents(target.string(), ""));
  EXPECT_EQ(contents(target), "");
  EXPECT_EQ(namesIn(dir), std::vector<std::string>{"out.json"});
}

TEST(ReplaceFile, ANewFileGetsTheUsualPermissions) {
  const fs::path dir = scratch("permissions");
  const mode_t old = umask(022);
  const Status written = replaceFileContents((dir / "plain").string(), "x");
  umask(old);
  ASSERT_TRUE(written) << written.message();
  struct stat info {};
  ASSERT_EQ(stat((dir / "plain").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(ReplaceFile, AMissingFolderIsReportedWithItsName) {
  const fs::path dir = scratch("missing");
  const Status written = replaceFileContents((dir / "no" / "out.png").string(), "x");
  EXPECT_FALSE(written);
  EXPECT_EQ(written.code(), StatusCode::notFound);
  EXPECT_NE(written.message().find((dir / "no").string()), std::string::npos) << written.message();
}

TEST(ReplaceFile, AFailedRenameKeepsTheTargetAndRemovesTheTemporaryFile) {
  const fs::path dir = scratch("rename");
  // A non-empty folder cannot be replaced by a file.
  const fs::path target = dir / "taken";
  fs::create_directories(target / "inside");
  const Status written = replaceFileContents(target.string(), "x");
  EXPECT_FALSE(written);
  EXPECT_NE(written.message().find("cannot replace " + target.string()), std::string::npos)
      << written.message();
  EXPECT_TRUE(fs::is_directory(target / "inside"));
  EXPECT_EQ(namesIn(dir), std::vector<std::string>{"taken"});
}

TEST(TemporaryFile, LivesBesideTheTargetKeepsItsExtensionAndGoesUnlessCommitted) {
  const fs::path dir = scratch("temporary");
  const fs::path target = dir / "picture.png";
  std::string path;
  {
    auto temp = TemporaryFile::create(target.string());
    ASSERT_TRUE(temp) << temp.message();
    path = temp->path();
    EXPECT_EQ(fs::path(path).parent_path(), dir);
    EXPECT_EQ(fs::path(path).extension(), ".png");
    EXPECT_EQ(fs::path(path).filename().string().rfind(".picture.png.", 0), 0u) << path;
    EXPECT_TRUE(fs::exists(path));
    ASSERT_TRUE(temp->write("abandoned"));
  }
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(fs::exists(target));
}

TEST(TemporaryFile, TwoAtOnceGetDifferentNames) {
  const fs::path dir = scratch("two");
  auto a = TemporaryFile::create((dir / "x").string());
  auto b = TemporaryFile::create((dir / "x").string());
  ASSERT_TRUE(a && b);
  EXPECT_NE(a->path(), b->path());
}

TEST(TemporaryFile, AMovedFromFileLeavesTheFileToItsNewOwner) {
  const fs::path dir = scratch("moved");
  auto temp = TemporaryFile::create((dir / "x").string());
  ASSERT_TRUE(temp);
  TemporaryFile owner = std::move(*temp);
  temp = Result<TemporaryFile>(StatusCode::ioError, "gone");  // destroys the moved-from object
  EXPECT_TRUE(fs::exists(owner.path()));
  ASSERT_TRUE(owner.write("kept"));
  ASSERT_TRUE(owner.commit());
  EXPECT_EQ(contents(dir / "x"), "kept");
  EXPECT_EQ(namesIn(dir), std::vector<std::string>{"x"});
}

}  // namespace
}  // namespace orichalcumite
