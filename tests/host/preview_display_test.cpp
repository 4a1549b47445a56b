// The preview's way to the screen through the host program's core: the source pixels a pan
// shows and the display of the preview buffer into a surface in memory.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/display_port.h"
#include "app/host_session.h"
#include "app/image.h"
#include "base/random_generator.h"
#include "host/host_image.h"
#include "host/plugin_main.h"
#include "host/preview_render.h"
#include "pictures/effect_pictures.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

Image patternImage(int width, int height, int channels) {
  Image image = *Image::make(width, height, channels, false, SampleType::uint8);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) image.setSample(x, y, c, (x * 7 + y * 3 + c * 50) % 256);
  return image;
}

// A prepared session over `image` and a preview over its record.
struct DisplayRig {
  explicit DisplayRig(Image& image) {
    std::string error;
    session = HostSession::create(&PluginMain, image, {}, {}, &error);
    EXPECT_TRUE(session) << error;
    EXPECT_EQ(session->prepare(), 0);
    resetPluginState(state);
    preview.emplace(session->record(), state, pictures, random);
  }
  ~DisplayRig() { releasePreviewPixels(state); }

  std::unique_ptr<HostSession> session;
  PluginState state{};
  EffectPictures pictures;
  RandomGenerator random{5};
  std::optional<HostPreview> preview;
};

struct Surface {
  Surface(int32_t w, int32_t h) : memory(size_t(w) * size_t(h), 0xFF00FF00u) {
    surface = {ps::kPlatformDisplaySurfaceVersion, w, h, w * 4,
               reinterpret_cast<uint8_t*>(memory.data())};
  }
  uint32_t at(int32_t x, int32_t y) const {
    return memory[size_t(y) * size_t(surface.width) + size_t(x)];
  }
  std::vector<uint32_t> memory;
  ps::PlatformDisplaySurface surface;
};

TEST(PreviewDisplay, TheSourceAtEachZoomReachesTheSurface) {
  // The host samples at rate z: buffer pixel (i, j) is image pixel (i × z, j × z), and the
  // surface shows it at (x + i, y + j).
  for (int channels : {3, 1}) {
    for (int32_t zoom : {1, 2}) {
      SCOPED_TRACE("channels " + std::to_string(channels) + " zoom " + std::to_string(zoom));
      Image image = patternImage(37, 23, channels);
      DisplayRig rig(image);
      ASSERT_TRUE(rig.preview->canDisplay());
      ASSERT_EQ(rig.preview->showSource({zoom, 0, 0}), RenderStatus::done);
      const PreviewPixels pixels = rig.preview->previewPixels();
      ASSERT_EQ(pixels.width, 37 / zoom);
      ASSERT_EQ(pixels.height, 23 / zoom);
      ASSERT_EQ(pixels.planeCount, channels);

      Surface screen(60, 40);
      const int32_t x = 5, y = 9;
      ASSERT_TRUE(rig.preview->display(screen.surface, x, y));
      for (int32_t j = 0; j < 40; ++j)
        for (int32_t i = 0; i < 60; ++i) {
          const int32_t u = i - x, v = j - y;
          uint32_t want = 0xFF00FF00u;
          if (u >= 0 && v >= 0 && u < pixels.width && v < pixels.height) {
            const auto s = [&](int c) {
              return uint8_t(image.sample(u * zoom, v * zoom, channels == 1 ? 0 : c));
            };
            want = surfacePixel(s(0), s(1), s(2));
          }
          ASSERT_EQ(screen.at(i, j), want) << i << "," << j;
        }
    }
  }
}

TEST(PreviewDisplay, APannedSourceStartsAtThePan) {
  Image image = patternImage(700, 420, 1);
  DisplayRig rig(image);
  ASSERT_EQ(rig.preview->showSource({1, 50, 20}), RenderStatus::done);
  const PreviewPixels pixels = rig.preview->previewPixels();
  ASSERT_EQ(pixels.region.left, 50);
  ASSERT_EQ(pixels.region.top, 20);
  ASSERT_EQ(pixels.width, kPreviewWidth);
  ASSERT_EQ(pixels.height, kPreviewHeight);
  for (int32_t v = 0; v < pixels.height; v += 7)
    for (int32_t u = 0; u < pixels.width; u += 5)
      ASSERT_EQ(pixels.planes[size_t(v) * size_t(pixels.width) + size_t(u)],
                uint8_t(image.sample(50 + u, 20 + v, 0)))
          << u << "," << v;
}

TEST(PreviewDisplay, AFailedRequestKeepsTheHostsResult) {
  Image image = patternImage(20, 20, 3);
  DisplayRig rig(image);
  rig.session->record().advanceState = []() -> ps::OSErr { return ps::userCanceledErr; };
  EXPECT_EQ(rig.preview->showSource({1, 0, 0}), RenderStatus::sourceFailed);
  EXPECT_EQ(rig.preview->hostResult(), ps::userCanceledErr);
}

TEST(PreviewDisplay, NothingIsShownWithoutABufferADisplayOrAUsableSurface) {
  Image image = patternImage(20, 20, 3);
  DisplayRig rig(image);
  Surface screen(20, 20);
  // No buffer yet.
  EXPECT_FALSE(rig.preview->display(screen.surface, 0, 0));
  ASSERT_EQ(rig.preview->showSource({1, 0, 0}), RenderStatus::done);
  // The host refuses a surface it does not know.
  ps::PlatformDisplaySurface unknown = screen.surface;
  unknown.version = 99;
  EXPECT_FALSE(rig.preview->display(unknown, 0, 0));
  // A host without the display procedure.
  rig.session->record().displayPixels = nullptr;
  EXPECT_FALSE(rig.preview->canDisplay());
  EXPECT_FALSE(rig.preview->display(screen.surface, 0, 0));
  EXPECT_EQ(screen.memory, std::vector<uint32_t>(400, 0xFF00FF00u));
}

}  // namespace
}  // namespace orichalcumite

namespace orichalcumite {
namespace {

// A layer with transparency (the host keeps it: its mask is the coverage) goes to the screen
// over the checkerboard, both as source while panning and as a rendered preview.
TEST(PreviewDisplay, ALayersTransparencyShowsTheCheckerboard) {
  Image image = *Image::make(40, 30, 4, true, SampleType::uint8);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      for (int c = 0; c < 3; ++c) image.setSample(x, y, c, 200);
      image.setSample(x, y, 3, x < 20 ? 255 : 0);  // left half opaque, right half clear
    }
  DisplayRig rig(image);
  EffectSettings settings;
  resetSettings(settings);
  for (bool rendered : {false, true}) {
    SCOPED_TRACE(rendered ? "rendered" : "source");
    ASSERT_EQ(rendered ? rig.preview->renderPreview(settings, {1, 0, 0})
                       : rig.preview->showSource({1, 0, 0}),
              RenderStatus::done);
    const PreviewPixels pixels = rig.preview->previewPixels();
    ASSERT_NE(pixels.alpha, nullptr);
    EXPECT_EQ(pixels.alpha[5], 255);
    EXPECT_EQ(pixels.alpha[30], 0);
    Surface screen(40, 30);
    ASSERT_TRUE(rig.preview->display(screen.surface, 0, 0));
    const uint8_t board = checkerboardValue(30, 3);
    EXPECT_EQ(screen.at(30, 3), surfacePixel(board, board, board));
    EXPECT_EQ(screen.at(5, 3) & 0xFF000000u, 0u);
  }
}

}  // namespace
}  // namespace orichalcumite
