#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
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

// Writes that stop after a byte budget, as a disk that fills up does: first a short write,
// then a refusal (every other budget reports "no room" as a write of nothing).
size_t gWriteBudget = 0;

ssize_t writeUntilFull(int fd, const void* data, size_t size, off_t offset) {
  if (gWriteBudget == 0) {
    if (offset % 2 != 0) return 0;
    errno = ENOSPC;
    return -1;
  }
  const size_t n = std::min(size, gWriteBudget);
  gWriteBudget -= n;
  return ::pwrite(fd, data, n, offset);
}

class WriteFunctionForTest {
 public:
  explicit WriteFunctionForTest(WriteAtFunction f) : previous_(setWriteFunctionForTests(f)) {}
  ~WriteFunctionForTest() { setWriteFunctionForTests(previous_); }

 private:
  WriteAtFunction previous_;
};

std::string someBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

TEST(ReplaceFileFailures, AWriteFailingAtAnyByteLeavesTheOldFileAndNoTemporary) {
  const fs::path dir = scratch("fails");
  const fs::path target = dir / "out.png";
  const std::string old = someBytes(700, 1);
  const std::string replacement = someBytes(1000, 2);
  ASSERT_TRUE(replaceFileContents(target.string(), old));
  WriteFunctionForTest failing(&writeUntilFull);
  for (size_t budget = 0; budget < replacement.size(); ++budget) {
    gWriteBudget = budget;
    const Status written = replaceFileContents(target.string(), replacement);
    ASSERT_FALSE(written) << "budget " << budget;
    EXPECT_EQ(written.message(), "cannot write " + target.string() + ": " + std::strerror(ENOSPC));
    ASSERT_EQ(contents(target), old) << "budget " << budget;
    ASSERT_EQ(namesIn(dir), std::vector<std::string>{"out.png"}) << "budget " << budget;
  }
  gWriteBudget = replacement.size();
  ASSERT_TRUE(replaceFileContents(target.string(), replacement));
  EXPECT_EQ(contents(target), replacement);
}

// A process killed at any moment while it replaces a file leaves the old file or the new one,
// whole. What may stay behind is its temporary file ".out.bin.XXXXXX" beside the target: no
// later run reuses or removes it (another process may be writing it), so it is the only
// litter a killed run can leave.
TEST(ReplaceFileFailures, AKillAtAnyMomentLeavesTheOldOrTheNewFileWhole) {
  const fs::path dir = scratch("killed");
  const fs::path target = dir / "out.bin";
  const std::string old = someBytes(300 * 1024, 3);
  const std::string replacement = someBytes(300 * 1024 + 17, 4);
  std::mt19937 random(5);
  std::uniform_int_distribution<long> delayNs(0, 4'000'000);
  for (int round = 0; round < 100; ++round) {
    ASSERT_TRUE(replaceFileContents(target.string(), old));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) replaceFileContents(target.string(), replacement);
    }
    const timespec delay{0, delayNs(random)};
    nanosleep(&delay, nullptr);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const std::string now = contents(target);
    ASSERT_TRUE(now == old || now == replacement) << "round " << round << ": " << now.size();
    int temporaries = 0;
    for (const std::string& name : namesIn(dir)) {
      if (name == "out.bin") continue;
      ASSERT_EQ(name.rfind(".out.bin.", 0), 0u) << name;
      ++temporaries;
      fs::remove(dir / name);
    }
    ASSERT_LE(temporaries, 1) << "round " << round;
  }
}

TEST(ReplaceFileKeeps, TheModeAndOwnerOfTheOldFile) {
  const fs::path dir = scratch("mode");
  const fs::path target = dir / "private.txt";
  ASSERT_TRUE(replaceFileContents(target.string(), "old"));
  ASSERT_EQ(chmod(target.c_str(), 0600), 0);
  const bool mayChown = chown(target.c_str(), 12345, 23456) == 0;  // only as root
  const mode_t old = umask(022);
  const Status written = replaceFileContents(target.string(), "new");
  umask(old);
  ASSERT_TRUE(written) << written.message();
  struct stat info {};
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  if (mayChown) {
    EXPECT_EQ(info.st_uid, 12345u);
    EXPECT_EQ(info.st_gid, 23456u);
  }
  // A mode wider than the umask would give survives too.
  ASSERT_EQ(chmod(target.c_str(), 0775), 0);
  const mode_t narrow = umask(077);
  ASSERT_TRUE(replaceFileContents(target.string(), "newer"));
  umask(narrow);
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0775u);
}

TEST(ReplaceFileKeeps, ASymbolicLinkAndReplacesTheFileItPointsTo) {
  const fs::path dir = scratch("links");
  fs::create_directories(dir / "real");
  fs::create_directories(dir / "links");
  const fs::path file = dir / "real" / "picture.png";
  ASSERT_TRUE(replaceFileContents(file.string(), "old"));
  // links/first -> second -> ../real/picture.png, both relative to the link's folder.
  fs::create_symlink("second", dir / "links" / "first");
  fs::create_symlink("../real/picture.png", dir / "links" / "second");
  ASSERT_TRUE(replaceFileContents((dir / "links" / "first").string(), "new"));
  EXPECT_TRUE(fs::is_symlink(dir / "links" / "first"));
  EXPECT_TRUE(fs::is_symlink(dir / "links" / "second"));
  EXPECT_EQ(contents(file), "new");
  EXPECT_EQ(namesIn(dir / "real"), std::vector<std::string>{"picture.png"});
  EXPECT_EQ(namesIn(dir / "links"), (std::vector<std::string>{"first", "second"}));

  // The temporary file lives beside the final file, so that the rename stays atomic.
  auto temp = TemporaryFile::create((dir / "links" / "first").string());
  ASSERT_TRUE(temp) << temp.message();
  EXPECT_TRUE(fs::equivalent(fs::path(temp->path()).parent_path(), dir / "real"));

  // A link to a file that does not exist yet creates that file.
  fs::create_symlink(dir / "real" / "later.png", dir / "links" / "dangling");
  ASSERT_TRUE(replaceFileContents((dir / "links" / "dangling").string(), "made"));
  EXPECT_TRUE(fs::is_symlink(dir / "links" / "dangling"));
  EXPECT_EQ(contents(dir / "real" / "later.png"), "made");
}

}  // namespace
}  // namespace orichalcumite
