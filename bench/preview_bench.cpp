// The dialog preview's render: the fitted view of a 4000 × 3000 RGB image with an ellipse
// selection (reduction 8), driven through the host core's filter record as the dialog would.
#include <benchmark/benchmark.h>

#include <cmath>

#include "app/host_session.h"
#include "app/image.h"
#include "base/random_generator.h"
#include "host/plugin_main.h"
#include "host/preview_render.h"
#include "pictures/effect_pictures.h"
#include "settings/effect_settings.h"

namespace orichalcumite {
namespace {

struct PreviewFixture {
  Image image;
  std::vector<uint8_t> selection;
  std::unique_ptr<HostSession> session;
  EffectSettings settings{};
  PluginState state{};
  EffectPictures pictures;  // none: the render reflects nothing, as before pictures loaded
  RandomGenerator random{1};
  std::unique_ptr<HostPreview> preview;

  PreviewFixture() {
    const int w = 4000, h = 3000;
    image = *Image::make(w, h, 3, false, SampleType::uint8);
    selection.assign(size_t(w) * h, 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        for (int c = 0; c < 3; ++c) image.setSample(x, y, c, (x / 7 + y / 5 + c * 80) % 256);
        const double dx = (x - w / 2.0) / (w * 0.4), dy = (y - h / 2.0) / (h * 0.4);
        selection[size_t(y) * w + x] = dx * dx + dy * dy <= 1.0 ? 255 : 0;
      }
    std::string error;
    session = HostSession::create(&PluginMain, image, selection, {}, &error);
    session->prepare();
    resetRunTimeFields(settings);
    loadFactoryDefaults(settings);
    resetPluginState(state);
    preview = std::make_unique<HostPreview>(session->record(), state, pictures, random);
    oneThread = std::make_unique<HostPreview>(session->record(), state, pictures, random, 1);
  }
  std::unique_ptr<HostPreview> oneThread;  // the same preview on one worker thread
};

void previewRender(benchmark::State& bench, int radius, int shape, int zoom,
                   bool oneThread = false) {
  static PreviewFixture fixture;
  fixture.settings.radius = radius;
  fixture.settings.shape = shape;
  const Rect32 image{0, 0, 3000, 4000};
  const PreviewView view{zoom > 0 ? zoom : fitZoom(image), 0, 0};
  for (auto _ : bench) {
    HostPreview& preview = oneThread ? *fixture.oneThread : *fixture.preview;
    const RenderStatus result = preview.renderPreview(fixture.settings, view);
    benchmark::DoNotOptimize(result);
  }
  bench.counters["zoom"] = view.zoom;
  bench.counters["pixels"] = fixture.state.previewWidth * fixture.state.previewHeight;
}

// Zoom 0 takes the fitted view (9 for this image in the 528 × 347 pane).
BENCHMARK_CAPTURE(previewRender, fittedDefaultEffect, 35, 14, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// The same view on one worker thread: with the default effect (no weathering) the final pass
// shades its bands at once, so the ratio to the line above shows what the second core brings.
BENCHMARK_CAPTURE(previewRender, fittedDefaultEffectOneThread, 35, 14, 0, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(previewRender, zoom8DefaultEffect, 35, 14, 8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(previewRender, zoom8RampRadius35, 35, 1, 8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(previewRender, zoom8RampRadius2, 2, 1, 8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace orichalcumite

BENCHMARK_MAIN();
