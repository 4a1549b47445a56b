// The orichalcumite program run end to end on small generated images: with the fake filter
// module of tests/support, whose behaviour is known exactly, and with the real module.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/action_file.h"
#include "app/image_files.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

using testing::Environment;
using testing::ProgramRun;

const std::string kProgram = ORICHALCUMITE_PROGRAM;
const std::string kFake = ORICHALCUMITE_FAKE_MODULE;

Image pattern(int w, int h, int channels, SampleType type) {
  const bool alpha = channels == 2 || channels == 4;
  Image image = *Image::make(w, h, channels, alpha, type);
  const double top = type == SampleType::uint8 ? 255 : type == SampleType::uint16 ? 65535 : 1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c) {
        double v = std::fmod((x * 7 + y * 31 + c * 13) / 97.0, 1.0) * top;
        image.setSample(x, y, c, type == SampleType::float32 ? v : std::round(v));
      }
  if (alpha) image.setSample(1, 1, channels - 1, 0);
  return image;
}

// Coverage of a disc of radius 20 at the centre, with a linear two-pixel rim.
int discCoverage(int x, int y, int w, int h) {
  const double d = std::hypot(x - w / 2.0 + 0.5, y - h / 2.0 + 0.5);
  return static_cast<int>(std::lround(std::clamp((21.0 - d) / 2.0, 0.0, 1.0) * 255.0));
}

// Left half unselected, right half selected, one partly selected column between.
Image halfSelection(int w, int h) {
  Image mask = *Image::make(w, h, 1, false, SampleType::uint8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) mask.setSample(x, y, 0, x < w / 2 ? 0 : x == w / 2 ? 100 : 255);
  return mask;
}

std::string describe(int channels, SampleType type, bool selection) {
  return std::string(sampleTypeName(type)) + ", " + std::to_string(channels) + " channels" +
         (selection ? ", with selection" : "");
}

class ProgramTest : public ::testing::Test {
 protected:
  ProgramRun run(std::vector<std::string> args, const Environment& environment = {}) {
    args.insert(args.begin(), kProgram);
    return testing::runProgram(args, environment, dir.path().string());
  }

  std::string write(const std::string& name, const Image& image) {
    std::string error;
    EXPECT_TRUE(writeImageFile(dir.file(name), image, &error)) << error;
    return dir.file(name);
  }

  Image read(const std::string& path) {
    std::string error;
    auto image = readImageFile(path, &error);
    EXPECT_TRUE(image) << error;
    return image.value_or(Image{});
  }

  std::string text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  bool exists(const std::string& path) { return std::filesystem::exists(path); }

  size_t fileCount() {
    return size_t(std::distance(std::filesystem::directory_iterator(dir.path()), {}));
  }

  testing::ScratchDir dir;
};

// ---- With the fake module

TEST_F(ProgramTest, copyingFilterGivesBackEveryDepthAndShapeExactly) {
  const std::string selection = write("selection.png", halfSelection(9, 17));
  for (SampleType type : {SampleType::uint8, SampleType::uint16, SampleType::float32})
    for (int channels = 1; channels <= 4; ++channels)
      for (bool selected : {false, true}) {
        const Image input = pattern(9, 17, channels, type);
        const std::string in = write("in.tif", input);
        std::vector<std::string> args = {"render",   in,    "-o",     dir.file("out.tif"),
                                         "--plugin", kFake, "--quiet"};
        if (selected) args.insert(args.end(), {"--selection", selection});
        const ProgramRun r = run(args);
        ASSERT_EQ(r.exitCode, 0) << describe(channels, type, selected) << ": " << r.err;
        EXPECT_EQ(read(dir.file("out.tif")), input) << describe(channels, type, selected);
      }
}

TEST_F(ProgramTest, invertingFilterChangesTheSelectionOnly) {
  Image input = *Image::make(4, 1, 3, false, SampleType::uint8);
  const double pixels[4][3] = {{0, 100, 255}, {1, 2, 3}, {50, 60, 70}, {10, 20, 30}};
  for (int x = 0; x < 4; ++x)
    for (int c = 0; c < 3; ++c) input.setSample(x, 0, c, pixels[x][c]);
  Image mask = *Image::make(4, 1, 1, false, SampleType::uint8);
  const double selected[4] = {255, 0, 255, 128};
  for (int x = 0; x < 4; ++x) mask.setSample(x, 0, 0, selected[x]);
  const ProgramRun r = run({"render", write("in.png", input), "-o", dir.file("out.png"), "--plugin",
                            kFake, "--selection", write("mask.png", mask)},
                           {{"ORICHALCUMITE_FAKE_FILTER", "invert"}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Image out = read(dir.file("out.png"));
  // Inverted; kept; inverted; and halfway: 10 + (245 - 10) × 128 / 255 = 127.96, and so on.
  const double expected[4][3] = {{255, 155, 0}, {1, 2, 3}, {205, 195, 185}, {128, 128, 128}};
  for (int x = 0; x < 4; ++x)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(out.sample(x, 0, c), expected[x][c]) << x << "," << c;
}

TEST_F(ProgramTest, invertingSixteenBitSamplesUsesTheHostScale) {
  Image input = *Image::make(3, 1, 1, false, SampleType::uint16);
  input.setSample(0, 0, 0, 0);
  input.setSample(1, 0, 0, 65535);
  input.setSample(2, 0, 0, 32768);  // host 16384, half of white 32768
  const ProgramRun r =
      run({"render", write("in.png", input), "-o", dir.file("out.png"), "--plugin", kFake},
          {{"ORICHALCUMITE_FAKE_FILTER", "invert"}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Image out = read(dir.file("out.png"));
  EXPECT_EQ(out.sample(0, 0, 0), 65535);
  EXPECT_EQ(out.sample(1, 0, 0), 0);
  EXPECT_EQ(out.sample(2, 0, 0), 32768);
}

TEST_F(ProgramTest, recordingThenPlayingGivesIdenticalActionFiles) {
  const std::string in = write("in.png", pattern(4, 4, 3, SampleType::uint8));
  ProgramRun r =
      run({"render", in, "-o", dir.file("out.png"), "--plugin", kFake, "--set", "glue=GL62",
           "--set", "light 2 X=0.25", "--set", "Radius=40", "--record", dir.file("a.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = run({"render", in, "-o", dir.file("out.png"), "--plugin", kFake, "--action",
           dir.file("a.json"), "--record", dir.file("b.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string a = text(dir.file("a.json"));
  EXPECT_EQ(a, text(dir.file("b.json")));
  EXPECT_NE(a.find("\"value\": \"GL62\""), std::string::npos) << a;
  EXPECT_NE(a.find("\"value\": 0.25"), std::string::npos) << a;
  // --set overrides a played action.
  r = run({"render", in, "-o", dir.file("out.png"), "--plugin", kFake, "--action",
           dir.file("a.json"), "--set", "radius=41", "--record", dir.file("c.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(text(dir.file("c.json")).find("\"value\": 41"), std::string::npos);
}

TEST_F(ProgramTest, badUsageAndUnreadableInputExitWith2AndOneLine) {
  const std::string in = write("in.tif", pattern(4, 4, 3, SampleType::uint8));
  const std::string small = write("small.png", halfSelection(3, 4));
  const std::string badAction = dir.file("bad.json");
  std::ofstream(badAction) << "{\"descriptor\": [{\"key\": \"0001\", \"type\": \"long\"";
  const std::string out = dir.file("out.tif");
  const std::vector<std::vector<std::string>> cases = {
      {"render"},
      {"render", in},
      {"render", in, "-o"},
      {"render", in, "-o", out, "--bogus"},
      {"render", in, in, "-o", out},
      {"render", in, "-o", out, "--plugin", kFake, "--set", "radus=4"},
      {"render", in, "-o", out, "--plugin", kFake, "--set", "radius=4.5"},
      {"render", in, "-o", out, "--plugin", kFake, "--set", "glue=nowhere"},
      {"render", dir.file("missing.tif"), "-o", out, "--plugin", kFake},
      {"render", in, "-o", out, "--plugin", dir.file("absent.8bf")},
      {"render", in, "-o", out, "--plugin", in},
      {"render", in, "-o", out, "--plugin", kFake, "--action", badAction},
      {"render", in, "-o", out, "--plugin", kFake, "--selection", small},
      {"render", in, "-o", dir.file("out.jpg"), "--plugin", kFake, "--selection", small},
      {"frobnicate"},
      {"info", "--what"},
  };
  for (const auto& args : cases) {
    const ProgramRun r = run(args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(r.exitCode, 2) << joined << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << joined << r.err;
    EXPECT_FALSE(exists(out)) << joined;
  }
  EXPECT_NE(run(cases[5]).err.find("\"radius\""), std::string::npos);
  EXPECT_EQ(run({}).exitCode, 2);
  EXPECT_EQ(run({"--help"}).exitCode, 0);
  EXPECT_EQ(fileCount(), 3u);  // in.tif, small.png, bad.json and nothing half-written
}

// Whatever an action file carries in, the record carries out: a text longer than a Pascal string
// made of two-byte characters, and a number near the top of a double.
TEST_F(ProgramTest, recordingKeepsEverythingAnActionCarriedIn) {
  const std::string in = write("in.png", pattern(4, 4, 3, SampleType::uint8));
  std::string accents = "aa";
  for (int i = 0; i < 150; ++i) accents += "\xc3\xa9";
  std::ofstream(dir.file("a.json"))
      << R"({"descriptor": [{"key": "0035", "type": "TEXT", "value": ")" << accents
      << R"("}, {"key": "0013", "type": "doub", "value": 1e300}]})";
  std::vector<std::string> modules = {kFake};
#ifdef ORICHALCUMITE_REAL_MODULE
  modules.push_back("");
#endif
  for (const std::string& module : modules) {
    std::vector<std::string> args = {"render",   in,
                                     "-o",       dir.file("out.png"),
                                     "--action", dir.file("a.json"),
                                     "--record", dir.file("b.json")};
    if (!module.empty()) args.insert(args.end(), {"--plugin", module});
    const ProgramRun r = run(args);
    ASSERT_EQ(r.exitCode, 0) << (module.empty() ? "real module: " : "fake module: ") << r.err;
    std::string error;
    auto recorded = readActionFile(dir.file("b.json"), &error);
    ASSERT_TRUE(recorded) << error;
    const DescriptorItem* name = recorded->find(ps::fourCC("0035"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->bytes, accents.substr(0, 254));
    std::filesystem::remove(dir.file("b.json"));
  }
}

// A copy of the fake module with `from` replaced by `to` (same length).
std::string patchedModule(const std::string& scratch, const std::string& from,
                          const std::string& to) {
  std::ifstream in(kFake, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  const size_t at = bytes.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) bytes.replace(at, from.size(), to);
  const std::string path = scratch + "/patched.8bf";
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST_F(ProgramTest, moduleProblemsAreReportedWithoutOutput) {
  const std::string in = write("in.png", pattern(4, 4, 3, SampleType::uint8));
  const std::string out = dir.file("out.png");

  // The PIPL names an entry point the module does not have ("8664" property, length 15).
  const std::string entry = std::string("4668\0\0\0\0\x0f\0\0\0", 12);
  ProgramRun r =
      run({"render", in, "-o", out, "--plugin",
           patchedModule(dir.path().string(), entry + "FakeFilterMain", entry + "FakeFilterMaiX")});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("FakeFilterMaiX"), std::string::npos) << r.err;

  // The first property's length runs far past the PIPL: vendor, key "kind", id 0, length.
  r = run({"render", in, "-o", out, "--plugin",
           patchedModule(dir.path().string(), std::string("MIB8dnik\0\0\0\0\x04\0\0\0", 16),
                         std::string("MIB8dnik\0\0\0\0\xff\xff\0\0", 16))});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("damaged PIPL"), std::string::npos) << r.err;

  r = run({"render", in, "-o", out, "--plugin", kFake}, {{"ORICHALCUMITE_FAKE_FILTER", "fail"}});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("-30904"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the fake filter failed on purpose"), std::string::npos) << r.err;
  EXPECT_FALSE(exists(out));
}

TEST_F(ProgramTest, interruptCancelsWithExit130AndNoOutput) {
  const std::string in = write("in.png", pattern(4, 4, 3, SampleType::uint8));
  const std::string out = dir.file("out.png");
  const std::string marker = dir.file("waiting");
  const pid_t pid = testing::startProgram(
      {kProgram, "render", in, "-o", out, "--plugin", kFake},
      {{"ORICHALCUMITE_FAKE_FILTER", "wait"}, {"ORICHALCUMITE_FAKE_MARKER", marker}},
      dir.file("run.out"), dir.file("run.err"));
  ASSERT_GT(pid, 0);
  // Wait until the filter is running; the bound only keeps a broken run from hanging the test.
  for (int i = 0; i < 6000 && !exists(marker); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(exists(marker));
  kill(pid, SIGINT);
  EXPECT_EQ(testing::waitForProgram(pid), 130);
  EXPECT_FALSE(exists(out));
  EXPECT_NE(text(dir.file("run.err")).find("cancelled"), std::string::npos);
}

TEST_F(ProgramTest, infoListsThePiplAndTheWholeDictionary) {
  const ProgramRun r = run({"info", "--plugin", kFake});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* expected : {"Entry point  FakeFilterMain", "Fake filter", "0075", "light 2 X",
                               "GL62", "screendim", "harsh diff", "Sr14", "St13"})
    EXPECT_NE(r.out.find(expected), std::string::npos) << expected;
}

// ---- With the real module, found beside the program

#ifdef ORICHALCUMITE_REAL_MODULE
TEST_F(ProgramTest, realModuleFiltersEveryDepthAndKeepsUnselectedPixelsExact) {
  const int w = 24, h = 16;
  const Image mask = halfSelection(w, h);
  const std::string selection = write("selection.png", mask);
  for (SampleType type : {SampleType::uint8, SampleType::uint16, SampleType::float32})
    for (int channels = 1; channels <= 4; ++channels)
      for (bool selected : {false, true}) {
        const Image input = pattern(w, h, channels, type);
        std::vector<std::string> args = {
            "render",  write("in.tif", input), "-o", dir.file("out.tif"), "--quiet", "--set",
            "radius=4"};
        if (selected) args.insert(args.end(), {"--selection", selection});
        const ProgramRun r = run(args);
        ASSERT_EQ(r.exitCode, 0) << describe(channels, type, selected) << ": " << r.err;
        const Image out = read(dir.file("out.tif"));
        ASSERT_EQ(out.width(), w);
        ASSERT_EQ(out.channels(), channels);
        ASSERT_EQ(out.type(), type);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
              const bool alphaChannel = input.hasAlpha() && c == channels - 1;
              const bool untouched = (selected && mask.sample(x, y, 0) == 0) ||
                                     (input.hasAlpha() && input.sample(x, y, channels - 1) == 0);
              if (alphaChannel || untouched) {
                ASSERT_EQ(out.sample(x, y, c), input.sample(x, y, c))
                    << describe(channels, type, selected) << " at " << x << "," << y << "," << c;
              }
            }
      }
}

// Where the processor has AVX2 the module hands its calls to its AVX2 build, which must give
// the very bytes of the module's own code; ORICHALCUMITE_BASELINE keeps the calls there.
#ifdef ORICHALCUMITE_AVX2_MODULE
TEST_F(ProgramTest, realModuleGivesTheSameBytesThroughItsAvx2Build) {
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "the processor has no AVX2";
  const std::filesystem::path wide =
      std::filesystem::path(kProgram).parent_path() / "orichalcumite-avx2.so";
  ASSERT_TRUE(exists(wide.string())) << wide;
  const int w = 90, h = 70;  // two bands of rows
  const std::string selection = write("selection.png", halfSelection(w, h));
  struct Case {
    SampleType type;
    int channels;
    std::vector<std::string> sets;
  };
  const std::vector<Case> cases = {
      {SampleType::uint8, 3, {}},
      {SampleType::uint16, 4, {"rain=60", "moss=50", "blotches=40", "dust=30", "tarnish=40",
                               "abrasion=30", "grit=20"}},
      {SampleType::float32, 1, {"shape=3", "glue=7"}},
  };
  for (const Case& c : cases) {
    const std::string input = write("in.tif", pattern(w, h, c.channels, c.type));
    std::string outputs[2];
    for (int baseline = 0; baseline < 2; ++baseline) {
      std::vector<std::string> args = {"render", input, "-o", dir.file("out.tif"), "--quiet",
                                       "--selection", selection};
      for (const std::string& set : c.sets) args.insert(args.end(), {"--set", set});
      Environment environment = {{"ORICHALCUMITE_RAND_SEED", "7"}, {"ORICHALCUMITE_DEBUG", "1"}};
      if (baseline) environment.push_back({"ORICHALCUMITE_BASELINE", "1"});
      const ProgramRun r = run(args, environment);
      ASSERT_EQ(r.exitCode, 0) << describe(c.channels, c.type, true) << ": " << r.err;
      EXPECT_EQ(r.err.find("module: passing calls to") != std::string::npos, !baseline)
          << describe(c.channels, c.type, true) << ": " << r.err;
      outputs[baseline] = text(dir.file("out.tif"));
    }
    EXPECT_FALSE(outputs[0].empty());
    EXPECT_TRUE(outputs[0] == outputs[1]) << describe(c.channels, c.type, true);
  }
}
#endif

// An anti-aliased disc of coverage over a warm gradient: alpha 255 inside, partial over a
// two-pixel rim, 0 outside.
Image softDisc(int w, int h, bool withAlpha) {
  Image image = *Image::make(w, h, withAlpha ? 4 : 3, withAlpha, SampleType::uint8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      image.setSample(x, y, 0, 230);
      image.setSample(x, y, 1, 40 + x);
      image.setSample(x, y, 2, 30 + y);
      if (withAlpha) image.setSample(x, y, 3, discCoverage(x, y, w, h));
    }
  return image;
}

TEST_F(ProgramTest, realModuleAppliesAnRgbaImagesCoverageOnce) {
  // Without a selection the bevel follows the alpha, whose coverage the written alpha applies:
  // a rim pixel of coverage m must show all of the finished colour X. The same picture without
  // alpha, selected by that coverage, shows source + (X - source) × m there, so X can be read
  // back from it.
  const int w = 64, h = 56;
  Image coverage = *Image::make(w, h, 1, false, SampleType::uint8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) coverage.setSample(x, y, 0, discCoverage(x, y, w, h));
  const std::vector<std::string> effect = {"--quiet", "--set", "radius=8", "--set", "glue=normal"};
  auto render = [&](const std::string& in, const std::string& out, const std::string& selection) {
    std::vector<std::string> args = {"render", in, "-o", dir.file(out)};
    args.insert(args.end(), effect.begin(), effect.end());
    if (!selection.empty()) args.insert(args.end(), {"--selection", selection});
    // The texture tile draws from the run's generator: the same seed gives the same tile.
    const ProgramRun r = run(args, {{"ORICHALCUMITE_RAND_SEED", "7"}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return read(dir.file(out));
  };
  const Image rgba = softDisc(w, h, true), rgb = softDisc(w, h, false);
  const Image alone = render(write("rgba.png", rgba), "alone.png", "");
  const Image selected =
      render(write("rgb.png", rgb), "selected.png", write("coverage.png", coverage));
  int rim = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double m = coverage.sample(x, y, 0) / 255.0;
      ASSERT_EQ(alone.sample(x, y, 3), rgba.sample(x, y, 3));
      if (m < 0.25 || m == 1.0) continue;
      ++rim;
      for (int c = 0; c < 3; ++c) {
        const double source = rgb.sample(x, y, c);
        const double finished = (selected.sample(x, y, c) - source * (1.0 - m)) / m;
        EXPECT_NEAR(alone.sample(x, y, c), std::clamp(finished, 0.0, 255.0), 1.0 + 1.0 / m)
            << x << "," << y << " channel " << c << " coverage " << m;
      }
    }
  EXPECT_GT(rim, 40);

  // With a selection the bevel follows the selection and the rim again takes all of the
  // finished colour: the same as the picture without alpha under the same selection.
  Image box = *Image::make(w, h, 1, false, SampleType::uint8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      box.setSample(x, y, 0, x >= 3 && x < w - 3 && y >= 3 && y < h - 3 ? 255 : 0);
  const std::string boxFile = write("box.png", box);
  const Image rgbaBoxed = render(write("rgba.png", rgba), "rgba-boxed.png", boxFile);
  const Image rgbBoxed = render(write("rgb.png", rgb), "rgb-boxed.png", boxFile);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      // Where coverage is nearly nil the defringed colours the host hands the filter for its
      // transparent neighbours may reach the shading; nobody sees those pixels.
      if (rgba.sample(x, y, 3) < 64) continue;
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(rgbaBoxed.sample(x, y, c), rgbBoxed.sample(x, y, c)) << x << "," << y << "," << c;
    }
}

TEST_F(ProgramTest, realModuleRecordingThenPlayingGivesIdenticalActionFiles) {
  const std::string in = write("in.png", pattern(12, 12, 3, SampleType::uint8));
  ProgramRun r = run({"render", in, "-o", dir.file("out.png"), "--set", "glue=GL62", "--set",
                      "radius=4", "--record", dir.file("a.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = run({"render", in, "-o", dir.file("out.png"), "--action", dir.file("a.json"), "--record",
           dir.file("b.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string a = text(dir.file("a.json"));
  EXPECT_EQ(a, text(dir.file("b.json")));
  EXPECT_NE(a.find("\"value\": \"GL62\""), std::string::npos) << a;
  EXPECT_EQ(std::count(a.begin(), a.end(), '{'), 76) << a;  // the file and the 75 keys
}

// A value outside its slider arrives by descriptor: the plug-in takes the nearest value in
// range, and that is what it records. --set refuses the same value outright.
TEST_F(ProgramTest, realModuleClampsAnOutOfRangeActionValueAndRecordsTheClampedValue) {
  const std::string in = write("in.png", pattern(12, 12, 3, SampleType::uint8));
  {
    std::ofstream action(dir.file("wide.json"));
    action << R"({"descriptor": [{"key": "0008", "type": "long", "value": 150}]})";
  }
  ProgramRun r = run({"render", in, "-o", dir.file("out.png"), "--action", dir.file("wide.json"),
                      "--record", dir.file("recorded.json")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string recorded = text(dir.file("recorded.json"));
  const size_t radius = recorded.find("\"key\": \"0008\"");
  ASSERT_NE(radius, std::string::npos) << recorded;
  const size_t value = recorded.find("\"value\": ", radius);
  ASSERT_NE(value, std::string::npos) << recorded;
  EXPECT_EQ(recorded.substr(value, 13), "\"value\": 100\n") << recorded;

  r = run({"render", in, "-o", dir.file("refused.png"), "--set", "radius=150"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("\"radius\" must be from 2 to 100, not \"150\""), std::string::npos)
      << r.err;
  EXPECT_FALSE(exists(dir.file("refused.png")));
}
#endif

}  // namespace
}  // namespace orichalcumite
