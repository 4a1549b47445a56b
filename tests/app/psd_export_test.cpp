// The PSD export: the effect rendered over a source and its selection, written and read back
// by psd-tools; the keywords and file name it uses; and `render --psd` end to end.
#include "host/psd_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/image_files.h"
#include "app/psd_output.h"
#include "base/random_generator.h"
#include "pictures/effect_pictures.h"
#include "pictures/texture_generators.h"
#include "tests/support/factory_settings.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

namespace fs = std::filesystem;

std::pair<int, std::string> run(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return {-1, ""};
  char buffer[512];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

bool psdToolsPresent() {
  if (run(std::string(ORICHALCUMITE_PSD_PYTHON) + " -c 'import psd_tools'").first == 0) return true;
  std::fprintf(stderr,
               "\n*** SKIPPED: psd-tools cannot be imported by %s; scripts/install-deps.sh "
               "installs it (python3-psd-tools) ***\n\n",
               ORICHALCUMITE_PSD_PYTHON);
  return false;
}

// psd-tools' reading of `psd` against the pixels of `picture`: "ok\n" when they agree.
std::string psdToolsVerdict(const std::string& psd, const Picture& picture, double tolerance,
                            const testing::ScratchDir& dir, bool visibleOnly = false) {
  std::vector<float> reference;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const Rgba v = picture.readPicturePixel(x, y, 0);
      reference.insert(reference.end(), {v.red, v.green, v.blue, v.alpha});
    }
  const std::string referencePath = dir.file("reference.raw");
  std::ofstream(referencePath, std::ios::binary)
      .write(reinterpret_cast<const char*>(reference.data()),
             std::streamsize(reference.size() * sizeof(float)));
  return run(std::string(ORICHALCUMITE_PSD_PYTHON) + " " + ORICHALCUMITE_PSD_TOOLS_CHECK + " '" +
             psd + "' '" + referencePath + "' " + std::to_string(tolerance) +
             (visibleOnly ? " visible" : ""))
      .second;
}

TEST(PsdExport, keywordsNameTheDepthPicturesAndGlue) {
  struct Case {
    const char* what;
    int bpc;
    const char* environment;
    int textureChoice;
    const char* texture;
    int glue;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"plain", 1, "", 1, "", 1, {"QXV"}},
      {"32 bits", 4, "", 1, "", 1, {"HDR", "high dynamic range", "QXV"}},
      {"environment", 2, "chapel", 1, "marble", 1, {"QXV", "chapel"}},
      {"texture file", 1, "chapel", kTextureChoiceFile, "marble", 1, {"QXV", "chapel", "marble"}},
      {"no pictures", 1, "<none>", kTextureChoiceFile, "<NONE>", 1, {"QXV"}},
      {"glue", 1, "", 1, "", 2, {"QXV", "glue"}},
  };
  for (const Case& c : cases) {
    EffectSettings s = testing::factorySettings();
    setText(s.environmentName, c.environment);
    setText(s.textureName, c.texture);
    s.textureChoice = c.textureChoice;
    s.glue = c.glue;
    std::vector<std::string> keywords = psdKeywords(s, c.bpc);
    if (c.glue != 1) {
      ASSERT_EQ(keywords.size(), c.expected.size()) << c.what;
      EXPECT_FALSE(keywords.back().empty());
      keywords.back() = "glue";  // its name is the enumeration's business
    }
    EXPECT_EQ(keywords, c.expected) << c.what;
  }
}

TEST(PsdExport, theDialogsFileNameCarriesTheLayerName) {
  EXPECT_EQ(psdLayerFileName("/tmp/Orichalcumite result.psd"),
            "/tmp/Orichalcumite result layer 1.psd");
  EXPECT_EQ(psdLayerFileName("brass.PSD"), "brass layer 1.PSD");
}

class PsdExportDepthTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pictures.ensureEnvironment());
    RandomGenerator rng(3);
    ASSERT_TRUE(pictures.prepareTexture(settings.textureChoice, rng, kWidth));
    source = createPicture(kWidth, kHeight, psdPictureKind(GetParam()), WrapMode::noPyramid);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        source->writeFloat(x, y, 0, {x / float(kWidth), y / float(kHeight), 0.5f, 1.0f});
    // A selection of the middle: the bevel runs round it, the border keeps the source.
    mask.assign(size_t(kWidth) * kHeight, 0);
    for (int y = 10; y < 38; ++y)
      for (int x = 12; x < 52; ++x) mask[size_t(y) * kWidth + size_t(x)] = 255;
    request.width = kWidth;
    request.height = kHeight;
    request.bytesPerChannel = GetParam();
    request.source.picture = source.get();
    request.source.mask = mask;
  }

  static constexpr int kWidth = 64, kHeight = 48;
  EffectSettings settings = testing::factorySettings();
  EffectPictures pictures;
  std::unique_ptr<Picture> source;
  std::vector<uint8_t> mask;
  PsdExportRequest request;
  testing::ScratchDir dir;
};

TEST_P(PsdExportDepthTest, theDocumentHoldsTheRenderOverTheSelection) {
  RandomGenerator renderRandom(9);
  auto rendered = renderPsdPicture(settings, pictures, renderRandom, request);
  ASSERT_TRUE(rendered) << rendered.message();
  const Picture& picture = **rendered;
  // Unselected pixels keep the source (HDR output is the material itself, selection-blended).
  if (GetParam() != 4) {
    const Rgba corner = picture.readPicturePixel(2, 2, 0);
    const Rgba below = source->readPicturePixel(2, 2, 0);
    EXPECT_NEAR(corner.red, below.red, 1.0 / 255);
    EXPECT_NEAR(corner.green, below.green, 1.0 / 255);
  }
  bool changed = false;
  for (int x = 12; x < 52 && !changed; ++x) {
    const Rgba a = picture.readPicturePixel(x, 24, 0), b = source->readPicturePixel(x, 24, 0);
    changed = std::abs(a.red - b.red) > 0.02f || std::abs(a.blue - b.blue) > 0.02f;
  }
  EXPECT_TRUE(changed) << "the effect shows inside the selection";

  std::vector<double> progress;
  request.progress = [&progress](PsdExportStage stage, double fraction) {
    progress.push_back(stage == PsdExportStage::rendering ? fraction : 1.0 + fraction);
  };
  RandomGenerator exportRandom(9);
  const std::string path = dir.file("export.psd");
  ASSERT_TRUE(exportPsd(path, settings, pictures, exportRandom, request).ok());
  ASSERT_FALSE(progress.empty());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_EQ(progress.back(), 2.0);

  if (!psdToolsPresent()) GTEST_SKIP() << "psd-tools is not installed";
  EXPECT_EQ(psdToolsVerdict(path, picture, GetParam() == 2 ? 1e-4 : 1e-6, dir), "ok\n");
}

TEST_P(PsdExportDepthTest, aCancelledExportWritesNothing) {
  const std::string path = dir.file("export.psd");
  std::atomic<bool> cancel{true};
  request.cancel = &cancel;
  RandomGenerator rng(1);
  const Status status = exportPsd(path, settings, pictures, rng, request);
  EXPECT_EQ(status.code(), StatusCode::cancelled);
  EXPECT_FALSE(fs::exists(path));
}

INSTANTIATE_TEST_SUITE_P(Depths, PsdExportDepthTest, ::testing::Values(1, 2, 4),
                         [](const auto& param) { return std::to_string(8 * param.param) + "bit"; });

TEST(PsdOutput, theMaskIsTheSelectionElseTheImagesCoverage) {
  const std::vector<uint8_t> selection(4, 200), alpha(4, 100);
  PsdOutput output;
  PsdExportSource s = psdExportSource(output);
  EXPECT_TRUE(s.mask.empty());
  EXPECT_FALSE(s.editableTransparency);
  EXPECT_FALSE(s.keepSourceAlpha);
  output.alpha = alpha;
  s = psdExportSource(output);
  EXPECT_EQ(s.mask.data(), alpha.data());
  EXPECT_FALSE(s.maskIsSelection);
  EXPECT_TRUE(s.editableTransparency);
  EXPECT_TRUE(s.keepSourceAlpha);
  output.selection = selection;
  s = psdExportSource(output);
  EXPECT_EQ(s.mask.data(), selection.data());
  EXPECT_TRUE(s.maskIsSelection);
}

TEST(PsdOutput, theSourcePictureKeepsTheImagesDepthAndGrey) {
  struct Case {
    SampleType type;
    double white;
    PictureKind kind;
  };
  for (const Case& c : {Case{SampleType::uint8, 255, PictureKind::rgba8},
                        Case{SampleType::uint16, 65535, PictureKind::rgba16},
                        Case{SampleType::float32, 1, PictureKind::rgbaFloat}}) {
    Image image = *Image::make(3, 2, 2, true, c.type);
    image.setSample(1, 1, 0, c.white / 2);
    image.setSample(1, 1, 1, c.white);
    const auto picture = psdSourcePicture(image);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->kind(), c.kind);
    const Rgba p = picture->readPicturePixel(1, 1, 0);
    EXPECT_NEAR(p.red, 0.5, 0.002);
    EXPECT_EQ(p.red, p.blue);
    EXPECT_NEAR(p.alpha, 1.0, 1e-6);
    EXPECT_EQ(picture->readPicturePixel(0, 0, 0).alpha, 0.0f);
  }
}

#ifdef ORICHALCUMITE_REAL_MODULE

class PsdProgramTest : public ::testing::Test {
 protected:
  testing::ProgramRun render(const std::string& input, std::vector<std::string> options) {
    std::vector<std::string> args = {ORICHALCUMITE_PROGRAM, "render", input, "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    return testing::runProgram(args,
                               {{"XDG_STATE_HOME", dir.file("state")},
                                {"XDG_CONFIG_HOME", dir.file("config")},
                                {"ORICHALCUMITE_SYSTEM_CONFIG_DIR", dir.file("etc")},
                                {"ORICHALCUMITE_RAND_SEED", "7"}},
                               dir.path().string());
  }
  std::string writeInput(const std::string& name, SampleType type) {
    Image image = *Image::make(40, 30, 3, false, type);
    const double white = type == SampleType::uint8 ? 255 : type == SampleType::uint16 ? 65535 : 1;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x)
        for (int c = 0; c < 3; ++c)
          image.setSample(x, y, c, white * ((x + y * 2 + c * 9) % 40) / 40);
    std::string error;
    EXPECT_TRUE(writeImageFile(dir.file(name), image, &error)) << error;
    return dir.file(name);
  }
  testing::ScratchDir dir;
};

TEST_F(PsdProgramTest, writesTheDocumentAtTheInputsDepth) {
  struct Case {
    const char* input;
    SampleType type;
    const char* depth;
  };
  for (const Case& c :
       {Case{"in8.png", SampleType::uint8, "8"}, Case{"in16.tif", SampleType::uint16, "16"},
        Case{"in32.exr", SampleType::float32, "32"}}) {
    const std::string input = writeInput(c.input, c.type);
    const std::string psd = dir.file(std::string(c.input) + " result.psd");
    const testing::ProgramRun r =
        render(input, {"-o", dir.file("out.tif"), "--psd", psd, "--set", "radius=8"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(fs::exists(psd)) << "written to exactly the path given";
    if (!psdToolsPresent()) continue;
    const auto [status, out] = run(std::string(ORICHALCUMITE_PSD_PYTHON) +
                                   " -c 'from psd_tools import PSDImage; p = PSDImage.open(\"" +
                                   psd + "\"); print(p.depth, p.width, p.height, p[0].name)'");
    EXPECT_EQ(out, std::string(c.depth) + " 40 30 layer 1\n") << c.input;
  }
}

// With the run's seed the layer is the run's result: its colours, and the image's own
// transparency, which the run keeps. (Fully transparent pixels keep the input's colour in the
// run and the material's in the layer; neither shows.)
TEST_F(PsdProgramTest, theLayerOfAnImageWithTransparencyIsTheRunsResult) {
  Image image = *Image::make(40, 30, 4, true, SampleType::uint8);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      for (int c = 0; c < 3; ++c) image.setSample(x, y, c, (x * 6 + y * 4 + c * 50) % 256);
      const bool inside = x >= 6 && x < 34 && y >= 5 && y < 25;
      image.setSample(x, y, 3, inside ? 255 : (x + y) % 2 == 0 ? 0 : 120);
    }
  std::string error;
  ASSERT_TRUE(writeImageFile(dir.file("rgba.png"), image, &error)) << error;
  const std::string psd = dir.file("rgba.psd");
  const testing::ProgramRun r =
      render(dir.file("rgba.png"), {"-o", dir.file("out.png"), "--psd", psd, "--set", "radius=6"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  if (!psdToolsPresent()) GTEST_SKIP() << "psd-tools is not installed";
  auto result = readImageFile(dir.file("out.png"), &error);
  ASSERT_TRUE(result) << error;
  auto reference = createPicture(40, 30, PictureKind::rgbaFloat, WrapMode::noPyramid);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const auto unit = [&](int c) { return float(result->sample(x, y, c) / 255.0); };
      reference->writeFloat(x, y, 0, {unit(0), unit(1), unit(2), unit(3)});
    }
  EXPECT_EQ(psdToolsVerdict(psd, *reference, 1e-6, dir, true), "ok\n");
}

TEST_F(PsdProgramTest, aDocumentThatCannotBeWrittenStopsTheRunFirst) {
  const std::string input = writeInput("in.png", SampleType::uint8);
  struct Case {
    const char* what;
    std::string output, psd;
  };
  const Case cases[] = {
      {"the output itself", dir.file("out.png"), dir.file("out.png")},
      {"the input", dir.file("out.png"), input},
      {"not a .psd", dir.file("out.png"), dir.file("out.tif")},
      {"a missing folder", dir.file("out.png"), dir.file("none/out.psd")},
  };
  for (const Case& c : cases) {
    const testing::ProgramRun r = render(input, {"-o", c.output, "--psd", c.psd});
    EXPECT_EQ(r.exitCode, 2) << c.what;
    EXPECT_FALSE(fs::exists(dir.file("out.png"))) << c.what;
  }
  // Wider than a PSD document can be: refused once the image is read, before the run.
  Image wide = *Image::make(30001, 1, 3, false, SampleType::uint8);
  std::string error;
  ASSERT_TRUE(writeImageFile(dir.file("wide.png"), wide, &error)) << error;
  const testing::ProgramRun r =
      render(dir.file("wide.png"), {"-o", dir.file("out.png"), "--psd", dir.file("wide.psd")});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("30000"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir.file("out.png")));
}

#endif

}  // namespace
}  // namespace orichalcumite
