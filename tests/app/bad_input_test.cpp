// Hostile inputs through the real orichalcumite program, one row each: the run must fail with
// the expected exit code and one line that says why, leave no new file behind and leave every
// file that was there byte for byte as it was.
//
// A row is its name, an optional setup that adds files to the scratch folder, the arguments
// ("@name" stands for that file in the scratch folder), the exit code and the first words of
// the message. Every row starts from in.png (12 × 12 RGB), mask.png (its selection),
// out.png (an earlier output that must survive) and keep.json (an earlier record).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/image_files.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

const std::string kProgram = ORICHALCUMITE_PROGRAM;
const std::string kFake = ORICHALCUMITE_FAKE_MODULE;

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void writeImage(const fs::path& path, int w, int h, int channels) {
  Image image = *Image::make(w, h, channels, false, SampleType::uint8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c) image.setSample(x, y, c, (x * 20 + y * 7 + c * 50) % 256);
  std::string error;
  ASSERT_TRUE(writeImageFile(path.string(), image, &error)) << error;
}

void action(const fs::path& dir, const std::string& items) {
  writeText(dir / "action.json", "{\"descriptor\": [" + items + "]}");
}

// ---- Setups: each adds what its rows need to the common files.

void emptyAction(const fs::path& dir) { writeText(dir / "action.json", ""); }
void malformedAction(const fs::path& dir) { writeText(dir / "action.json", "{\"descriptor\": [{"); }
void wrongTypeAction(const fs::path& dir) {
  action(dir, R"({"key": "0008", "type": "long", "value": "forty"})");
}
void hugeNumberAction(const fs::path& dir) {
  action(dir, R"({"key": "0026", "type": "doub", "value": 1e400})");
}
void folder(const fs::path& dir) { fs::create_directory(dir / "folder"); }
void readOnlyFolder(const fs::path& dir) {
  fs::create_directory(dir / "locked");
  fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
}
void unreadableInput(const fs::path& dir) {
  writeImage(dir / "secret.png", 12, 12, 3);
  fs::permissions(dir / "secret.png", fs::perms::none);
}
void smallMask(const fs::path& dir) { writeImage(dir / "small.png", 5, 7, 1); }
void linkToInput(const fs::path& dir) { fs::create_symlink(dir / "in.png", dir / "link.png"); }
void hardLinkToOutput(const fs::path& dir) {
  fs::create_hard_link(dir / "out.png", dir / "hard.png");
}
void copyModule(const fs::path& dir) { fs::copy_file(kFake, dir / "fake.8bf"); }
void textFile(const fs::path& dir) { writeText(dir / "notes.txt", "not a module\n"); }
void garbageImage(const fs::path& dir) { writeText(dir / "noise.png", std::string(300, '\x5a')); }
// The first 40 bytes of a good PNG: its signature and header, then nothing.
void cutImage(const fs::path& dir) {
  writeImage(dir / "whole.png", 40, 30, 3);
  std::ifstream in(dir / "whole.png", std::ios::binary);
  std::string head(40, '\0');
  in.read(head.data(), 40);
  writeText(dir / "cut.png", head);
}

struct BadInput {
  const char* name;
  void (*setup)(const fs::path&);
  std::vector<std::string> args;  // after "render"
  int exitCode;
  const char* messageStart;       // after "orichalcumite: "
  bool needsPermissions = false;  // the superuser reads and writes through any mode
};

void PrintTo(const BadInput& row, std::ostream* out) { *out << row.name; }

const std::string kLongValue(100000, '7');

// One row a line, however long.
// clang-format off
const BadInput kRows[] = {
    // Arguments
    {"unknown option", nullptr, {"@in.png", "-o", "@new.png", "--frobnicate"}, 2, "unknown option --frobnicate"},
    {"100 kB unknown option", nullptr, {"@in.png", "-o", "@new.png", "--" + kLongValue}, 2, "unknown option --7777"},
    {"no output", nullptr, {"@in.png"}, 2, "render needs an output image"},
    {"unknown setting", nullptr, {"@in.png", "-o", "@new.png", "--set", "radus=4"}, 2, "unknown setting \"radus\""},
    {"bad value", nullptr, {"@in.png", "-o", "@new.png", "--set", "radius=four"}, 2, "\"radius\" takes a whole number from 2 to 100"},
    {"26-digit number", nullptr, {"@in.png", "-o", "@new.png", "--set", "radius=12345678901234567890123456"}, 2, "\"radius\" is out of range: it must be from 2 to 100"},
    {"100 kB value", nullptr, {"@in.png", "-o", "@new.png", "--set", "radius=" + kLongValue}, 2, "\"radius\" is out of range"},
    {"100 kB name", nullptr, {"@in.png", "-o", "@new.png", "--set", kLongValue + "=1"}, 2, "unknown setting \"777"},
    // Inputs
    {"missing input", nullptr, {"@absent.png", "-o", "@new.png"}, 2, "cannot read the input image"},
    {"unreadable input", unreadableInput, {"@secret.png", "-o", "@new.png"}, 2, "cannot read the input image", true},
    {"folder as input", folder, {"@folder", "-o", "@new.png"}, 2, "the input image"},
    {"bytes that are no image", garbageImage, {"@noise.png", "-o", "@new.png"}, 2, "cannot read "},
    {"an image cut after its header", cutImage, {"@cut.png", "-o", "@new.png"}, 2, "cannot read "},
    {"selection of another size", smallMask, {"@in.png", "-o", "@new.png", "--selection", "@small.png"}, 2, "the selection"},
    {"missing action file", nullptr, {"@in.png", "-o", "@new.png", "--action", "@absent.json"}, 2, "cannot read the action file"},
    {"empty action file", emptyAction, {"@in.png", "-o", "@new.png", "--action", "@action.json"}, 2, "the action file"},
    {"malformed action file", malformedAction, {"@in.png", "-o", "@new.png", "--action", "@action.json"}, 2, "the action file"},
    {"action value of the wrong type", wrongTypeAction, {"@in.png", "-o", "@new.png", "--action", "@action.json"}, 2, "the action file"},
    {"action number beyond a double", hugeNumberAction, {"@in.png", "-o", "@new.png", "--action", "@action.json"}, 2, "the action file"},
    {"folder as module", folder, {"@in.png", "-o", "@new.png", "--plugin", "@folder"}, 2, "the module"},
    {"text file as module", textFile, {"@in.png", "-o", "@new.png", "--plugin", "@notes.txt"}, 2, "the module"},
    // Destinations
    {"output in a missing folder", nullptr, {"@in.png", "-o", "@nowhere/new.png"}, 2, "cannot write the output image"},
    {"output is a folder", folder, {"@in.png", "-o", "@folder"}, 2, "the output image"},
    {"unknown output extension", nullptr, {"@in.png", "-o", "@new.xyz"}, 2, "the output image"},
    {"output in a read-only folder", readOnlyFolder, {"@in.png", "-o", "@locked/new.png"}, 2, "cannot write the output image", true},
    {"output = input", nullptr, {"@in.png", "-o", "@in.png"}, 2, "the output image"},
    {"output = input by another spelling", nullptr, {"@in.png", "-o", "@./in.png"}, 2, "the output image"},
    {"output = input through a link", linkToInput, {"@in.png", "-o", "@link.png"}, 2, "the output image"},
    {"output = selection", nullptr, {"@in.png", "-o", "@mask.png", "--selection", "@mask.png"}, 2, "the output image"},
    {"record = output", nullptr, {"@in.png", "-o", "@out.png", "--record", "@out.png"}, 2, "the record"},
    {"record = output, both new", nullptr, {"@in.png", "-o", "@new.png", "--record", "@./new.png"}, 2, "the record"},
    {"record = output through a hard link", hardLinkToOutput, {"@in.png", "-o", "@out.png", "--record", "@hard.png"}, 2, "the record"},
    {"record = input", nullptr, {"@in.png", "-o", "@new.png", "--record", "@in.png"}, 2, "the record"},
    {"record = action file", wrongTypeAction, {"@in.png", "-o", "@new.png", "--action", "@action.json", "--record", "@action.json"}, 2, "the record"},
    {"record = module", copyModule, {"@in.png", "-o", "@new.png", "--plugin", "@fake.8bf", "--record", "@fake.8bf"}, 2, "the record"},
    {"record is a folder", folder, {"@in.png", "-o", "@new.png", "--record", "@folder"}, 2, "the record"},
    {"record in a missing folder", nullptr, {"@in.png", "-o", "@new.png", "--record", "@nowhere/r.json"}, 2, "cannot write the record"},
    {"record in a read-only folder", readOnlyFolder, {"@in.png", "-o", "@new.png", "--record", "@locked/r.json"}, 2, "cannot write the record", true},
};
// clang-format on

// Every file and folder under `root` with its bytes (folders with none).
std::map<std::string, std::string> snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(entry.path(), root).string();
    if (entry.is_symlink() || !entry.is_regular_file()) {
      files[name] = "<not a file>";
      continue;
    }
    std::error_code ec;
    const auto mode = fs::status(entry.path(), ec).permissions();
    // The unreadable files of a row are compared by their mode alone.
    if ((mode & fs::perms::owner_read) == fs::perms::none) {
      files[name] = "<unreadable>";
      continue;
    }
    std::ifstream in(entry.path(), std::ios::binary);
    files[name] = std::string(std::istreambuf_iterator<char>(in), {});
  }
  return files;
}

class BadInputTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputTest, failsWithOneLineAndLeavesEveryFileAlone) {
  const BadInput& row = GetParam();
  if (row.needsPermissions && geteuid() == 0)
    GTEST_SKIP() << "the superuser is not stopped by file modes";
  ScratchDir dir, capture;
  ASSERT_TRUE(dir.valid() && capture.valid());
  writeImage(dir.path() / "in.png", 12, 12, 3);
  writeImage(dir.path() / "mask.png", 12, 12, 1);
  writeText(dir.path() / "out.png", "an earlier output\n");
  writeText(dir.path() / "keep.json", "an earlier record\n");
  if (row.setup) row.setup(dir.path());
  const auto before = snapshot(dir.path());

  std::vector<std::string> argv = {kProgram, "render", "--quiet"};
  for (const std::string& arg : row.args)
    argv.push_back(arg.starts_with("@") ? dir.file(arg.substr(1)) : arg);
  const testing::ProgramRun r = testing::runProgram(argv, {}, capture.path().string());

  EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
  const std::string prefix = std::string("orichalcumite: ") + row.messageStart;
  EXPECT_EQ(r.err.substr(0, prefix.size()), prefix) << r.err.substr(0, 300);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err.substr(0, 300);
  EXPECT_LT(r.err.size(), 400u) << "a message should be one readable line";
  EXPECT_EQ(snapshot(dir.path()), before) << "a file appeared, went or changed";
  // Let the scratch folder be removed.
  std::error_code ec;
  if (fs::exists(dir.path() / "locked"))
    fs::permissions(dir.path() / "locked", fs::perms::owner_all, ec);
}

std::string rowName(const ::testing::TestParamInfo<BadInput>& info) {
  std::string name;
  for (const char* c = info.param.name; *c; ++c)
    name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInputTest, ::testing::ValuesIn(kRows), rowName);

}  // namespace
}  // namespace orichalcumite
