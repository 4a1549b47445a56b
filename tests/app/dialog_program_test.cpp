// `orichalcumite render --dialog` end to end: without a display it stops at once; with the
// real module and a stand-in dialog library, a cancel, a dialog that cannot be shown and an
// accepted dialog each end the run as the user expects, and the dialog sees the source pixels
// through the program's pixel display.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/image_files.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

using testing::Environment;
using testing::ProgramRun;

const std::string kProgram = ORICHALCUMITE_PROGRAM;

class DialogProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    image = *Image::make(31, 17, 3, false, SampleType::uint8);
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        for (int c = 0; c < 3; ++c) image.setSample(x, y, c, (x * 9 + y * 5 + c * 80) % 256);
    std::string error;
    ASSERT_TRUE(writeImageFile(input, image, &error)) << error;
  }

  // A render with every kind of output asked for, the user folders kept in the scratch folder.
  ProgramRun render(Environment environment, std::vector<std::string> options = {}) {
    std::vector<std::string> args = {kProgram,   "render",  input,      "-o",     output(),
                                     "--dialog", "--quiet", "--record", record(), "--save-preset",
                                     preset(),   "--psd",   psd()};
    args.insert(args.end(), options.begin(), options.end());
    environment.insert(environment.end(), {{"XDG_STATE_HOME", dir.file("state")},
                                           {"XDG_CONFIG_HOME", dir.file("config")},
                                           {"ORICHALCUMITE_SYSTEM_CONFIG_DIR", dir.file("etc")},
                                           {"XDG_CONFIG_DIRS", dir.file("etc")}});
    return testing::runProgram(args, environment, dir.path().string());
  }

  void expectNothingWritten() {
    for (const std::string& path : {output(), record(), preset(), psd()})
      EXPECT_FALSE(std::filesystem::exists(path)) << path;
  }

  std::string output() const { return dir.file("out.png"); }
  std::string record() const { return dir.file("record.json"); }
  std::string preset() const { return dir.file("effect.q5q"); }
  std::string psd() const { return dir.file("layers.psd"); }

  testing::ScratchDir dir;
  std::string input = dir.file("in.png");
  Image image;
};

TEST_F(DialogProgramTest, withoutADisplayOneLineAndExit2BeforeAnythingIsRead) {
  for (const std::string& in : {input, dir.file("no such image.png")}) {
    input = in;
    const ProgramRun r = render({{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}},
                                {"--plugin", dir.file("no such module.8bf")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err,
              "orichalcumite: --dialog needs a display: neither DISPLAY nor WAYLAND_DISPLAY is "
              "set\n");
    EXPECT_EQ(r.out, "");
    expectNothingWritten();
  }
}

#ifdef ORICHALCUMITE_REAL_MODULE
// A display is named but never opened: the stand-in dialog draws into memory only.
Environment withDialog(const std::string& mode) {
  return {{"DISPLAY", ":orichalcumite-test"},
          {"ORICHALCUMITE_DIALOG_LIBRARY", ORICHALCUMITE_FAKE_DIALOG},
          {"ORICHALCUMITE_FAKE_DIALOG", mode}};
}

TEST_F(DialogProgramTest, cancelInTheDialogExits130AndWritesNothing) {
  const ProgramRun r = render(withDialog("cancel"));
  EXPECT_EQ(r.exitCode, 130) << r.err;
  expectNothingWritten();
}

TEST_F(DialogProgramTest, aDialogThatCannotBeShownIsAnErrorWithTheModulesMessage) {
  struct Case {
    const char* name;
    Environment environment;
    const char* message;
  };
  const Case cases[] = {
      {"no display after all", withDialog("nodisplay"), "There is no display"},
      {"no dialog library",
       {{"WAYLAND_DISPLAY", "orichalcumite-test"},
        {"ORICHALCUMITE_DIALOG_LIBRARY", dir.file("missing-dialog.so")}},
       "missing-dialog.so is missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProgramRun r = render(c.environment);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    // The module's own line, then the program's.
    EXPECT_NE(r.err.find("the module has already reported the problem"), std::string::npos)
        << r.err;
    expectNothingWritten();
  }
}

TEST_F(DialogProgramTest, theDialogStartsFromTheGivenSettingsAndSeesTheSourcePixels) {
  Environment environment = withDialog("accept");
  environment.insert(environment.end(),
                     {{"ORICHALCUMITE_FAKE_DIALOG_REPORT", dir.file("report.txt")},
                      {"ORICHALCUMITE_FAKE_DIALOG_SURFACE", dir.file("surface.ppm")}});
  const ProgramRun r = render(environment, {"--set", "radius=17"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(output()));
  EXPECT_TRUE(std::filesystem::exists(record()));

  std::ifstream report(dir.file("report.txt"));
  const std::string reported(std::istreambuf_iterator<char>(report), {});
  EXPECT_EQ(reported, "radius=17\ncanDisplay=1\n");

  // The surface holds the image as it was read: it fits the preview at 100 %.
  std::ifstream surface(dir.file("surface.ppm"), std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maximum = 0;
  surface >> magic >> width >> height >> maximum;
  surface.get();
  ASSERT_EQ(magic, "P6");
  ASSERT_EQ(width, image.width());
  ASSERT_EQ(height, image.height());
  std::vector<char> rgb(size_t(width) * size_t(height) * 3);
  surface.read(rgb.data(), std::streamsize(rgb.size()));
  ASSERT_TRUE(surface);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(uint8_t(rgb[size_t((y * width + x) * 3 + c)]), image.sample(x, y, c))
            << x << "," << y << " channel " << c;
}
#endif

}  // namespace
}  // namespace orichalcumite
