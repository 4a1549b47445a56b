// A stand-in for the dialog library, for end-to-end tests of `render --dialog` without a
// toolkit: the module opens it as it would the real one (ORICHALCUMITE_DIALOG_LIBRARY).
//
// What it does is chosen by the environment variable ORICHALCUMITE_FAKE_DIALOG:
//   accept (default)  writes ORICHALCUMITE_FAKE_DIALOG_REPORT (the radius the dialog starts
//                     from, and whether the host can display), shows the source at 100 %
//                     through the host's pixel display into a surface in memory, writes that
//                     surface as a binary PPM to ORICHALCUMITE_FAKE_DIALOG_SURFACE, and accepts
//   cancel            the user's Cancel
//   nodisplay         no display to show a window on
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "protocol/filter_protocol.h"
#include "render/preview.h"
#include "settings/effect_settings.h"
#include "ui/dialog_session.h"

namespace {

using orichalcumite::DialogOutcome;

std::string variable(const char* name, const char* otherwise = "") {
  const char* value = std::getenv(name);
  return value ? value : otherwise;
}

bool writeSurface(const std::string& path, const std::vector<uint32_t>& pixels, int32_t width,
                  int32_t height) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  for (uint32_t pixel : pixels) {
    const unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16),
                                  static_cast<unsigned char>(pixel >> 8),
                                  static_cast<unsigned char>(pixel)};
    std::fwrite(rgb, 1, 3, file);
  }
  return std::fclose(file) == 0;
}

int32_t accept(orichalcumite::DialogSession& session) {
  orichalcumite::PreviewService& preview = *session.preview;
  const bool canDisplay = preview.canDisplay();
  if (FILE* report = std::fopen(variable("ORICHALCUMITE_FAKE_DIALOG_REPORT").c_str(), "w")) {
    std::fprintf(report, "radius=%d\ncanDisplay=%d\n", static_cast<int>(session.settings->radius),
                 canDisplay ? 1 : 0);
    std::fclose(report);
  }
  const std::string surfacePath = variable("ORICHALCUMITE_FAKE_DIALOG_SURFACE");
  if (!canDisplay || surfacePath.empty()) return static_cast<int32_t>(DialogOutcome::accepted);
  if (preview.showSource({1, 0, 0}) != orichalcumite::RenderStatus::done)
    return static_cast<int32_t>(DialogOutcome::failed);
  const orichalcumite::PreviewPixels shown = preview.previewPixels();
  std::vector<uint32_t> pixels(static_cast<size_t>(shown.width) * static_cast<size_t>(shown.height),
                               0xFFFFFFFFu);
  const ps::PlatformDisplaySurface surface{ps::kPlatformDisplaySurfaceVersion, shown.width,
                                           shown.height, shown.width * 4,
                                           reinterpret_cast<uint8_t*>(pixels.data())};
  if (!preview.display(surface, 0, 0) ||
      !writeSurface(surfacePath, pixels, shown.width, shown.height))
    return static_cast<int32_t>(DialogOutcome::failed);
  return static_cast<int32_t>(DialogOutcome::accepted);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t orichalcumite_run_dialog(
    int32_t version, orichalcumite::DialogSession* session) {
  if (version != orichalcumite::kDialogInterfaceVersion || !session || !session->preview ||
      !session->settings)
    return static_cast<int32_t>(DialogOutcome::failed);
  const std::string mode = variable("ORICHALCUMITE_FAKE_DIALOG", "accept");
  if (mode == "cancel") return static_cast<int32_t>(DialogOutcome::cancelled);
  if (mode == "nodisplay") return static_cast<int32_t>(DialogOutcome::noDisplay);
  return accept(*session);
}
