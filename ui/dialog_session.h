// What the module hands the dialog's window: the effect being edited, the preview service
// over the host, and the module's state the commands work on. The window lives in a companion
// library (GTK is loaded only when a dialog is shown), so this record is the whole of what
// crosses between the two; both are built from the same sources by the same compiler.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orichalcumite {

struct EffectSettings;
class Picture;
class PreviewService;
class RandomGenerator;
class UserMessages;
struct PictureContext;
struct UserState;

enum class HostColourAnswer { picked, cancelled, unavailable };

// How far a long job has come: the stage ("Rendering...", "Writing...") and its share done,
// 0..1.
using JobProgress = std::function<void(const char* stage, double fraction)>;

struct DialogSession {
  EffectSettings* settings = nullptr;  // the working effect; the dialog keeps its own cancel copy
  PreviewService* preview = nullptr;
  UserMessages* messages = nullptr;
  UserState* user = nullptr;  // undo snapshots and memory dots
  RandomGenerator* random = nullptr;
  PictureContext* pictures = nullptr;  // where an undo to a file-backed snapshot finds pictures
  // Makes the texture tile of the effect's texture choice and notes its size in the effect;
  // called before a preview render after the choice changed. False when no tile can be made.
  std::function<bool(EffectSettings&)> prepareTexture;
  bool highDynamicRange = false;  // 32-bit image: no glue modes
  uint32_t hostSignature = 0;
  // ---- What the dialog's commands reach in the module. Each may be empty: the command then
  // tells the user that it is not available here.
  // The host's colour picker, called with the chooser's title and the current colour as
  // 8-bit red, green and blue, which it replaces when the user picks one.
  std::function<HostColourAnswer(const std::string& title, uint8_t rgb[3])> chooseHostColour;
  // Writes the layered PSD document of the current effect over the host's image to `path`
  // (replaced only when everything was written). Progress goes to `progress`; `cancel` stops
  // it. Empty error text on success or cancel; otherwise what went wrong.
  std::function<std::string(const std::string& path, const JobProgress& progress,
                            const std::atomic<bool>& cancel)>
      exportPsd;
  // The host's image reduced in proportion so that its larger side is at most `maxSide`,
  // 8-bit RGBA; null when the host cannot give it.
  std::function<std::unique_ptr<Picture>(int maxSide)> hostImage;

  // When the host called Start; the dialog reports the time to its first preview from here.
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

enum class DialogOutcome : int32_t {
  accepted = 0,   // &OK: apply the effect
  cancelled = 1,  // &Cancel or the window closed: the effect is back as it came
  noDisplay = 2,  // there is no display to show a window on; nothing changed
  failed = 3,     // the dialog could not be shown (its library is missing or damaged)
};

// The companion's one entry point, looked up by name after dlopen. `version` guards against a
// companion from another build.
constexpr int32_t kDialogInterfaceVersion = 1;
constexpr const char* kRunDialogSymbol = "orichalcumite_run_dialog";
using RunDialogFn = int32_t (*)(int32_t version, DialogSession* session);

// The companion's file name, found beside the module; ORICHALCUMITE_DIALOG_LIBRARY overrides.
constexpr const char* kDialogLibraryName = "orichalcumite-dialog.so";
constexpr const char* kDialogLibraryVariable = "ORICHALCUMITE_DIALOG_LIBRARY";

}  // namespace orichalcumite
