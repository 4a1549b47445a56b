// --environment and --texture run end to end with the real module: the pictures reach the
// render, the recorded settings name them, and a missing picture stops the run before it starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "app/action_file.h"
#include "app/image_files.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

#ifdef ORICHALCUMITE_REAL_MODULE

// Flat grey, so that whatever structure the output has comes from the effect.
Image flatGrey(int w, int h) {
  Image image = *Image::make(w, h, 3, false, SampleType::uint8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) image.setSample(x, y, c, 160);
  return image;
}

// Coarse coloured stripes.
Image stripes(int w, int h) {
  Image image = *Image::make(w, h, 3, false, SampleType::uint8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool on = (x / 8 + y / 8) % 2 == 0;
      image.setSample(x, y, 0, on ? 255 : 0);
      image.setSample(x, y, 1, on ? 40 : 200);
      image.setSample(x, y, 2, on ? 0 : 255);
    }
  return image;
}

class PictureOptionsTest : public ::testing::Test {
 protected:
  testing::ProgramRun run(std::vector<std::string> args) {
    args.insert(args.begin(), {ORICHALCUMITE_PROGRAM, "render", input, "--quiet"});
    return testing::runProgram(args, {}, dir.path().string());
  }
  std::string write(const std::string& name, const Image& image) {
    std::string error;
    EXPECT_TRUE(writeImageFile(dir.file(name), image, &error)) << error;
    return dir.file(name);
  }
  std::string bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  const DescriptorItem* recorded(const std::string& path, uint32_t key) {
    std::string error;
    record = readActionFile(path, &error);
    EXPECT_TRUE(record) << error;
    return record ? record->find(key) : nullptr;
  }

  testing::ScratchDir dir;
  std::string input = write("in.png", flatGrey(48, 40));
  std::optional<Descriptor> record;
};

TEST_F(PictureOptionsTest, environmentPictureIsReflected) {
  const std::string sky = write("sky.png", stripes(64, 64));
  const testing::ProgramRun plain = run({"-o", dir.file("plain.png"), "--set", "reflection=100"});
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  const testing::ProgramRun mirrored =
      run({"-o", dir.file("sky-out.png"), "--set", "reflection=100", "--environment", sky,
           "--record", dir.file("sky.json")});
  ASSERT_EQ(mirrored.exitCode, 0) << mirrored.err;
  EXPECT_EQ(mirrored.err, "");
  EXPECT_NE(bytes(dir.file("plain.png")), bytes(dir.file("sky-out.png")));
  const DescriptorItem* name = recorded(dir.file("sky.json"), ps::fourCC("0035"));
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->bytes, "sky") << "settings carry the bare name";
}

TEST_F(PictureOptionsTest, texturePictureBecomesTheTile) {
  const std::string tile = write("bricks.bmp", stripes(32, 32));
  // A flat picture as the tile: only a picture that reaches the render makes them differ.
  const std::string flat = write("flat.bmp", flatGrey(32, 32));
  const testing::ProgramRun plain =
      run({"-o", dir.file("plain.png"), "--set", "texture strength=100", "--texture", flat});
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  const testing::ProgramRun textured =
      run({"-o", dir.file("tex.png"), "--set", "texture strength=100", "--texture", tile,
           "--record", dir.file("tex.json")});
  ASSERT_EQ(textured.exitCode, 0) << textured.err;
  EXPECT_EQ(textured.err, "");
  EXPECT_NE(bytes(dir.file("plain.png")), bytes(dir.file("tex.png")));
  const DescriptorItem* name = recorded(dir.file("tex.json"), ps::fourCC("0036"));
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->bytes, "bricks");
}

TEST_F(PictureOptionsTest, missingPictureFileStopsBeforeReading) {
  for (const char* option : {"--environment", "--texture"}) {
    const std::string out = dir.file("out.png");
    const testing::ProgramRun r = run({"-o", out, option, dir.file("absent.png")});
    EXPECT_EQ(r.exitCode, 2) << option;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("absent.png"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

TEST_F(PictureOptionsTest, unusablePicturesAreWarningsAndTheRunGoesOn) {
  const std::string damaged = dir.file("damaged.png");
  std::ofstream(damaged) << "no picture here";
  const testing::ProgramRun broken = run({"-o", dir.file("a.png"), "--environment", damaged});
  EXPECT_EQ(broken.exitCode, 0) << broken.err;
  EXPECT_NE(broken.err.find(damaged), std::string::npos) << broken.err;

  const testing::ProgramRun unknown =
      run({"-o", dir.file("b.png"), "--set", "environment file=nowhere-to-be-found"});
  EXPECT_EQ(unknown.exitCode, 0) << unknown.err;
  EXPECT_NE(unknown.err.find("\"nowhere-to-be-found\""), std::string::npos) << unknown.err;
}

#endif  // ORICHALCUMITE_REAL_MODULE

}  // namespace
}  // namespace orichalcumite
