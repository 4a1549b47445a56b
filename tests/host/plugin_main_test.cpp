// Drives the plug-in's PluginMain in-process, selector by selector, through the host core.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/descriptor.h"
#include "app/host_session.h"
#include "app/image.h"
#include "base/random_generator.h"
#include "host/host_image.h"
#include "host/plugin_main.h"
#include "host/preview_render.h"
#include "pictures/effect_pictures.h"
#include "settings/effect_settings.h"
#include "settings/parameter_table.h"
#include "settings/settings_file.h"
#include "tests/support/factory_settings.h"
#include "tests/support/redirected_user_folders.h"

namespace orichalcumite {
namespace {

Image testImage(int width, int height, int channels = 3) {
  Image image = *Image::make(width, height, channels, false, SampleType::uint8);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) image.setSample(x, y, c, (x * 7 + y * 3 + c * 50) % 256);
  return image;
}

std::unique_ptr<HostSession> makeSession(Image& image, std::span<const uint8_t> selection = {},
                                         SessionOptions options = {}) {
  std::string error;
  auto session = HostSession::create(&PluginMain, image, selection, std::move(options), &error);
  EXPECT_TRUE(session) << error;
  return session;
}

// Runs keep state between them: every test of this program keeps it in a folder of its own.
class PrivateUserFolders final : public ::testing::Environment {
 public:
  void SetUp() override { folders_ = std::make_unique<testing::RedirectedUserFolders>(); }
  void TearDown() override { folders_.reset(); }

 private:
  std::unique_ptr<testing::RedirectedUserFolders> folders_;
};
[[maybe_unused]] ::testing::Environment* const gPrivateUserFolders =
    ::testing::AddGlobalTestEnvironment(new PrivateUserFolders);

TEST(PluginMain, AboutNeedsNoRecordNoDataAndNoResult) {
  PluginMain(ps::selectorAbout, nullptr, nullptr, nullptr);
  int16_t result = 99;
  ps::AboutRecord about{};
  PluginMain(ps::selectorAbout, &about, nullptr, &result);
  EXPECT_EQ(result, 0);
}

TEST(PluginMain, StartWithoutPrepareHasNoBlocks) {
  Image image = testImage(8, 8);
  auto session = makeSession(image);
  EXPECT_EQ(session->start(), ps::filterBadParameters);
}

TEST(PluginMain, UnknownSelectorsLeaveTheResultAlone) {
  Image image = testImage(8, 8);
  auto session = makeSession(image);
  ASSERT_EQ(session->prepare(), 0);
  int16_t result = 42;
  intptr_t data = 0;
  PluginMain(9, &session->record(), &data, &result);
  EXPECT_EQ(result, 42);
}

TEST(PluginMain, PrepareAsksForATwoFiftySixWindowAtMost) {
  Image image = testImage(1000, 50);
  std::vector<uint8_t> selection(image.pixelCount(), 255);
  SessionOptions options;
  options.spaceBytes = int64_t(1) << 30;
  auto session = makeSession(image, selection, options);
  ASSERT_EQ(session->prepare(), 0);
  EXPECT_LE(session->record().maxSpace, 2 * 256 * 50 * 4);
}

TEST(PluginMain, ARepeatWithoutDescriptorRendersWithoutADialog) {
  Image image = testImage(64, 48);
  const Image before = image;
  auto session = makeSession(image);
  ASSERT_EQ(session->run(false), 0);
  session->writeResult();
  EXPECT_NE(image, before);  // the border is bevelled
}

TEST(PluginMain, AScriptedRunUsesFactoryDefaultsUnderTheDescriptorKeys) {
  Image image = testImage(32, 32);
  auto session = makeSession(image);
  Descriptor descriptor;
  descriptor.set(DescriptorItem::enumItem(fourCC("SGky"), fourCC("SGty"), fourCC("GL62")));
  descriptor.set(DescriptorItem::integerItem(fourCC("0008"), 12));
  session->setDescriptor(descriptor);
  ASSERT_EQ(session->run(false), 0);
  std::string error;
  const auto recorded = session->recordedDescriptor(&error);
  ASSERT_TRUE(recorded) << error;
  EXPECT_EQ(recorded->items.size(), 75u);
  EXPECT_EQ(recorded->find(fourCC("SGky"))->enumValue, fourCC("GL62"));
  EXPECT_EQ(recorded->find(fourCC("0008"))->integer, 12);
  EXPECT_EQ(recorded->find(fourCC("0001"))->integer, 55);
  EXPECT_EQ(recorded->find(fourCC("0036"))->bytes, "<none>");
  EXPECT_DOUBLE_EQ(recorded->find(fourCC("0013"))->number,
                   parameterByKey(fourCC("0013"))->factoryDefault);
}

TEST(PluginMain, ACancelledRenderReportsMinus128AndChangesNothing) {
  Image image = testImage(64, 64);
  const Image before = image;
  std::atomic<bool> cancel{true};
  SessionOptions options;
  options.cancel = &cancel;
  auto session = makeSession(image, {}, options);
  ASSERT_EQ(session->prepare(), 0);
  EXPECT_EQ(session->start(), ps::userCanceledErr);
  EXPECT_EQ(image, before);
}

TEST(PluginMain, ACancelledRunWritesTheDotMapButNotTheLastEffect) {
  testing::RedirectedUserFolders folders;
  Image image = testImage(64, 64);
  std::atomic<bool> cancel{true};
  SessionOptions options;
  options.cancel = &cancel;
  auto session = makeSession(image, {}, options);
  ASSERT_EQ(session->prepare(), 0);
  EXPECT_EQ(session->start(), ps::userCanceledErr);
  EXPECT_TRUE(std::filesystem::exists(folders.stateFolder() + "/Orichalcumite memdot map 3"));
  EXPECT_FALSE(std::filesystem::exists(folders.stateFolder() + "/Orichalcumite cached settings D"));
}

TEST(PluginMain, AFinishedRunKeepsItsEffectAndADescriptorRunIgnoresIt) {
  testing::RedirectedUserFolders folders;
  if (encodeSettingsFile(testing::factorySettings(), nullptr).empty())
    GTEST_SKIP() << "settings files cannot be written in this build";
  Image image = testImage(32, 32);
  auto session = makeSession(image);
  Descriptor descriptor;
  descriptor.set(DescriptorItem::integerItem(fourCC("0008"), 12));
  session->setDescriptor(descriptor);
  ASSERT_EQ(session->run(false), 0);
  ASSERT_TRUE(std::filesystem::exists(folders.stateFolder() + "/Orichalcumite cached settings D"));
  session.reset();

  // No descriptor: the last effect comes back and is recorded again.
  Image again = testImage(32, 32);
  auto repeat = makeSession(again);
  ASSERT_EQ(repeat->run(false), 0);
  std::string error;
  auto recorded = repeat->recordedDescriptor(&error);
  ASSERT_TRUE(recorded) << error;
  EXPECT_EQ(recorded->find(fourCC("0008"))->integer, 12);
  repeat.reset();

  // An empty descriptor stands for the factory effect.
  Image scripted = testImage(32, 32);
  auto fresh = makeSession(scripted);
  fresh->setDescriptor(Descriptor{});
  ASSERT_EQ(fresh->run(false), 0);
  recorded = fresh->recordedDescriptor(&error);
  ASSERT_TRUE(recorded) << error;
  EXPECT_EQ(recorded->find(fourCC("0008"))->integer,
            static_cast<int32_t>(parameterByKey(fourCC("0008"))->factoryDefault));
}

TEST(PluginMain, UnselectedPixelsKeepTheirValuesInEveryDepth) {
  for (SampleType type : {SampleType::uint8, SampleType::uint16, SampleType::float32}) {
    Image image = *Image::make(40, 30, 1, false, type);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x)
        image.setSample(x, y, 0,
                        type == SampleType::float32 ? (x + y) / 80.0 : (x * 997 + y) % 255);
    const Image before = image;
    std::vector<uint8_t> selection(image.pixelCount(), 0);
    for (int y = 5; y < 25; ++y)
      for (int x = 5; x < 35; ++x) selection[size_t(y * 40 + x)] = 255;
    auto session = makeSession(image, selection);
    ASSERT_EQ(session->run(false), 0);
    session->writeResult();
    int changed = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) {
        if (selection[size_t(y * 40 + x)] == 0)
          ASSERT_EQ(image.sample(x, y, 0), before.sample(x, y, 0)) << x << "," << y;
        else if (image.sample(x, y, 0) != before.sample(x, y, 0))
          ++changed;
      }
    EXPECT_GT(changed, 0);
  }
}

TEST(PluginMain, ImagesWiderThanSixteenBitCoordinatesRender) {
  Image image = testImage(30001, 3, 1);
  std::vector<uint8_t> selection(image.pixelCount(), 0);
  for (int x = 29990; x < 30001; ++x) selection[size_t(30001 + x)] = 255;
  const Image before = image;
  auto session = makeSession(image, selection);
  ASSERT_EQ(session->run(false), 0);
  EXPECT_TRUE(session->usedBigCoordinates());
  session->writeResult();
  EXPECT_EQ(image.sample(100, 1, 0), before.sample(100, 1, 0));
  EXPECT_NE(image.sample(30000, 1, 0), before.sample(30000, 1, 0));
}

TEST(PluginMain, AOnePixelSelectionRenders) {
  Image image = testImage(50, 40);
  std::vector<uint8_t> selection(image.pixelCount(), 0);
  selection[20 * 50 + 25] = 255;
  const Image before = image;
  auto session = makeSession(image, selection);
  ASSERT_EQ(session->run(false), 0);
  session->writeResult();
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 50; ++x)
      if (x != 25 || y != 20) {
        ASSERT_EQ(image.sample(x, y, 1), before.sample(x, y, 1));
      }
}

TEST(Preview, FitZoomAndVisibleRegion) {
  EXPECT_EQ(fitZoom({0, 0, 1000, 2000}), 4);
  EXPECT_EQ(fitZoom({0, 0, 100, 100}), 1);
  const Rect32 region = visibleRegion({0, 0, 1000, 2000}, {4, 0, 0});
  EXPECT_EQ(region, (Rect32{0, 0, 250, 500}));
  // The pan is clamped so that the view never leaves the image.
  const Rect32 panned = visibleRegion({0, 0, 3000, 4000}, {2, 100000, 100000});
  EXPECT_EQ(panned.right, 2000);
  EXPECT_EQ(panned.bottom, 1500);
}

// A prepared session over `image` with a preview of its own pictures and generator.
struct PreviewRig {
  explicit PreviewRig(Image& image) : session(makeSession(image)) {
    EXPECT_EQ(session->prepare(), 0);
    resetPluginState(state);
  }
  ~PreviewRig() { releasePreviewPixels(state); }
  HostPreview& preview() {
    if (!preview_) preview_.emplace(session->record(), state, pictures, random);
    return *preview_;
  }

  std::unique_ptr<HostSession> session;
  PluginState state{};
  EffectPictures pictures;
  RandomGenerator random{5};

 private:
  std::optional<HostPreview> preview_;
};

TEST(Preview, RendersTheReducedViewEvenWithATinyRadius) {
  Image image = testImage(800, 600);
  PreviewRig rig(image);
  EffectSettings s = testing::factorySettings();
  s.radius = 2;
  s.shape = 1;
  HostPreview& preview = rig.preview();
  ASSERT_EQ(preview.renderPreview(s, {8, 0, 0}), RenderStatus::done);
  const PreviewPixels pixels = preview.previewPixels();
  EXPECT_EQ(pixels.width, 100);
  EXPECT_EQ(pixels.height, 75);
  EXPECT_EQ(pixels.planeCount, 3);
  EXPECT_EQ(pixels.zoom, 8);
  ASSERT_NE(pixels.planes, nullptr);
}

TEST(Preview, APannedViewAtFullSizeShowsTheTextureWhereTheImageHasIt) {
  // At 100 % a 900 x 600 image is wider and taller than the pane, so the view pans. The
  // texture and the environment are placed by image position: a pixel well inside both views
  // looks the same in the view from the corner and in one panned by different amounts across
  // and down (so that swapped offsets show too).
  Image image = testImage(900, 600);
  PreviewRig rig(image);
  EffectSettings s = testing::factorySettings();
  s.radius = 2;
  s.textureStrength = 100;
  s.textureZoom = 90;
  ASSERT_TRUE(rig.pictures.ensureEnvironment());
  ASSERT_TRUE(rig.pictures.prepareTexture(s.textureChoice, rig.random, 900));
  HostPreview& preview = rig.preview();

  auto render = [&](int32_t panX, int32_t panY) {
    EXPECT_EQ(preview.renderPreview(s, {1, panX, panY}), RenderStatus::done);
    const PreviewPixels p = preview.previewPixels();
    return std::pair{p.region, std::vector<uint8_t>(p.planes, p.planes + 3 * p.width * p.height)};
  };
  const auto [cornerRegion, corner] = render(0, 0);
  const auto [pannedRegion, panned] = render(120, 40);
  ASSERT_EQ(pannedRegion.left, 120);
  ASSERT_EQ(pannedRegion.top, 40);
  const int32_t w = cornerRegion.width(), h = cornerRegion.height();
  // Away from both views' edges, where the bevel of each view's border cannot reach.
  int compared = 0;
  for (int32_t y = 70; y < cornerRegion.bottom - 30; y += 3)
    for (int32_t x = 150; x < cornerRegion.right - 30; x += 3) {
      for (int c = 0; c < 3; ++c) {
        const size_t a = static_cast<size_t>(c * w * h + y * w + x);
        const size_t b = static_cast<size_t>(c * w * h + (y - 40) * w + (x - 120));
        ASSERT_EQ(corner[a], panned[b]) << x << "," << y << " channel " << c;
      }
      ++compared;
    }
  EXPECT_GT(compared, 5000);
}

TEST(Preview, OnlyTheDialogsOwnAbortStopsAPreview) {
  // The host's cancel test belongs to the final render: a preview renders through it.
  Image image = testImage(300, 200);
  PreviewRig rig(image);
  rig.session->record().abortProc = []() -> ps::Boolean { return 1; };
  HostPreview& preview = rig.preview();
  EXPECT_EQ(preview.renderPreview(testing::factorySettings(), {1, 0, 0}), RenderStatus::done);
  preview.requestAbort();
  EXPECT_EQ(preview.renderPreview(testing::factorySettings(), {1, 0, 0}), RenderStatus::cancelled);
  // One request stops one render.
  EXPECT_EQ(preview.renderPreview(testing::factorySettings(), {1, 0, 0}), RenderStatus::done);
}

TEST(PluginMain, ProgressReachesTheHostInThousandthsFromTheFirstPass) {
  std::vector<std::pair<int32_t, int32_t>> reports;
  Image image = testImage(400, 900);
  SessionOptions options;
  options.progress = [&](int32_t done, int32_t total) { reports.emplace_back(done, total); };
  auto session = makeSession(image, {}, std::move(options));
  ASSERT_EQ(session->prepare(), 0);
  ASSERT_EQ(session->start(), 0);
  ASSERT_FALSE(reports.empty());
  for (size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].second, 1000);
    EXPECT_GE(reports[i].first, 0);
    EXPECT_LE(reports[i].first, 1000);
    if (i > 0) {
      EXPECT_GE(reports[i].first, reports[i - 1].first);
    }
  }
  // The height field's blurs report before the final pass does.
  EXPECT_LT(reports.front().first, 200);
}

}  // namespace
}  // namespace orichalcumite
