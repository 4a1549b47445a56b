// The program's files when a run fails: a disk that fills up while the output is written, a
// Ctrl-C, a damaged input. Whatever happens, the old output stays as it was, no temporary file
// is left, the exit code says what happened and one line on stderr says why.
#include <gtest/gtest.h>
#include <signal.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

#include "app/image_files.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

const std::string kProgram = ORICHALCUMITE_PROGRAM;
const std::string kFake = ORICHALCUMITE_FAKE_MODULE;

Image noise(int w, int h, unsigned seed) {
  Image image = *Image::make(w, h, 3, false, SampleType::uint8);
  std::mt19937 random(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) image.setSample(x, y, c, random() % 256);
  return image;
}

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> namesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

size_t lineCount(const std::string& text) {
  return size_t(std::count(text.begin(), text.end(), '\n'));
}

class ProgramFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.valid());
    std::filesystem::create_directories(dir.path() / "files");
  }
  std::string file(const std::string& name) { return (dir.path() / "files" / name).string(); }
  std::string write(const std::string& name, const Image& image) {
    std::string error;
    EXPECT_TRUE(writeImageFile(file(name), image, &error)) << error;
    return file(name);
  }
  testing::ScratchDir dir;
};

// A file size limit makes the system refuse writes past a few kilobytes, as a full disk does
// (with "File too large" instead of "No space left on device").
TEST_F(ProgramFilesTest, aFullDiskWhileWritingKeepsTheOldOutputAndSaysWhy) {
  const std::string input = write("in.png", noise(160, 120, 1));
  for (const char* name : {"out.png", "out.jpg", "out.tif"}) {
    const std::string output = write(name, noise(8, 8, 2));
    const std::string old = contents(output);
    const testing::ProgramRun r =
        testing::runProgram({"/bin/sh", "-c", "ulimit -f 8; trap '' XFSZ; exec \"$0\" \"$@\"",
                             kProgram, "render", input, "-o", output, "--plugin", kFake, "--quiet"},
                            {}, dir.path().string());
    EXPECT_EQ(r.exitCode, 2) << name << ": " << r.err;
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << name << ": " << r.err;
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_EQ(contents(output), old) << name;
    EXPECT_EQ(namesIn(dir.path() / "files"), (std::vector<std::string>{"in.png", name}));
    std::filesystem::remove(output);
  }
}

// Ctrl-C at some moment of a run over a large image: the run ends as cancelled and leaves no
// output, whichever phase it was in.
TEST_F(ProgramFilesTest, anInterruptedRunEndsCancelledWithNoOutput) {
  const std::string input = write("in.png", noise(1200, 900, 3));
  std::mt19937 random(4);
  for (int round = 0; round < 4; ++round) {
    const pid_t pid = testing::startProgram(
        {kProgram, "render", input, "-o", file("out.png"), "--plugin", kFake, "--quiet"}, {},
        (dir.path() / "out.txt").string(), (dir.path() / "err.txt").string());
    ASSERT_GT(pid, 0);
    const timespec delay{0, long(random() % 150'000'000)};
    nanosleep(&delay, nullptr);
    kill(pid, SIGINT);
    const int code = testing::waitForProgram(pid);
    if (code == 0) {  // it was done before the interrupt came
      std::filesystem::remove(file("out.png"));
      continue;
    }
    EXPECT_EQ(code, 130) << contents((dir.path() / "err.txt").string());
    EXPECT_EQ(namesIn(dir.path() / "files"), std::vector<std::string>{"in.png"});
  }
}

TEST_F(ProgramFilesTest, aJpegThatEndsEarlyIsFilteredWithAWarning) {
  const std::string whole = write("whole.jpg", noise(64, 64, 5));
  const std::string bytes = contents(whole);
  const std::string cut = file("cut.jpg");
  std::ofstream(cut, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size() * 9 / 10));
  const testing::ProgramRun r = testing::runProgram(
      {kProgram, "render", cut, "-o", file("out.png"), "--plugin", kFake, "--quiet"}, {},
      dir.path().string());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err.rfind("orichalcumite: warning: " + cut, 0), 0u) << r.err;
  EXPECT_EQ(lineCount(r.err), 1u) << r.err;
}

}  // namespace
}  // namespace orichalcumite
