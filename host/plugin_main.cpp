#include "host/plugin_main.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/companion_library.h"
#include "base/random_generator.h"
#include "host/console_messages.h"
#include "host/dialog_services.h"
#include "host/host_image.h"
#include "host/host_render_source.h"
#include "host/host_suites.h"
#include "host/plugin_state.h"
#include "host/preview_render.h"
#include "host/scripting.h"
#include "pictures/effect_pictures.h"
#include "pictures/texture_generators.h"
#include "render/picture_target.h"
#include "render/render_driver.h"
#include "render/worker_pool.h"
#include "settings/effect_settings.h"
#include "settings/picture_search.h"
#include "settings/user_state.h"
#include "ui/about_box.h"
#include "ui/main_dialog.h"

namespace orichalcumite {
namespace {

constexpr int32_t kParametersBlockBytes = static_cast<int32_t>(kParametersBlockSize);
constexpr int32_t kDataBlockBytes = static_cast<int32_t>(kDataBlockSize);

// The module's own file, found once from the address of the entry point; dialogs, bitmaps and
// strings are looked up beside it.
const std::string& modulePath() {
  static const std::string path = [] {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&PluginMain), &info) && info.dli_fname)
      return std::string(info.dli_fname);
    return std::string();
  }();
  return path;
}

// Releases the suites when the module is unloaded; the host keeps its basic suite alive for
// as long as the module is loaded.
struct SuiteReleaser {
  ~SuiteReleaser() { releaseAllSuites(callState().basicSuite); }
} gSuiteReleaser;

#if !defined(__AVX2__)
// The same module compiled for processors with AVX2, which runs the render's loops twice as
// wide and gives the same pixels. Every call goes to it when the processor has AVX2, its file
// lies beside this one and ORICHALCUMITE_BASELINE is not set (it keeps every call here, the
// reference the tests hold it to); this module then only passes the calls on. It is closed
// when this module is unloaded, while the host that gave it its suites is still there.
using EntryPoint = void (*)(int16_t, void*, intptr_t*, int16_t*);

class WideModule {
 public:
  WideModule() {
    const char* baseline = std::getenv("ORICHALCUMITE_BASELINE");
    if (baseline && *baseline) return;
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2")) return;
    const std::string path =
        companionLibraryPath("orichalcumite-avx2.so", "ORICHALCUMITE_AVX2_MODULE");
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) return;
    entry_ = reinterpret_cast<EntryPoint>(dlsym(handle_, "PluginMain"));
    if (!entry_) {
      dlclose(handle_);
      handle_ = nullptr;
      return;
    }
    if (std::getenv("ORICHALCUMITE_DEBUG"))
      std::fprintf(stderr, "module: passing calls to %s\n", path.c_str());
  }
  ~WideModule() {
    if (handle_) dlclose(handle_);
  }
  WideModule(const WideModule&) = delete;
  WideModule& operator=(const WideModule&) = delete;

  EntryPoint entry() const { return entry_; }

 private:
  void* handle_ = nullptr;
  EntryPoint entry_ = nullptr;
};

EntryPoint wideEntry() {
  static const WideModule wide;
  return wide.entry();
}
#endif

void debugLine() {
  if (std::getenv("ORICHALCUMITE_DEBUG")) std::fputs(">>> PluginMain 64bit\n", stderr);
}

const ps::HandleProcs* handleProcs(const ps::FilterRecord& rec) {
  const ps::HandleProcs* procs = rec.handleProcs;
  if (!procs || procs->numHandleProcs < 6 || !procs->newProc || !procs->lockProc ||
      !procs->unlockProc)
    return nullptr;
  return procs;
}

ps::Handle dataHandle() {
  const CallState& call = callState();
  return call.dataSlot ? reinterpret_cast<ps::Handle>(*call.dataSlot) : nullptr;
}

// Locks both host blocks and points Settings and State at them.
void lockBlocks() {
  CallState& call = callState();
  ps::FilterRecord& rec = *call.filterRecord();
  call.settings = nullptr;
  call.state = nullptr;
  ps::Handle data = dataHandle();
  if (!rec.parameters || !data) {
    call.setResult(ps::filterBadParameters);
    return;
  }
  const ps::HandleProcs* procs = handleProcs(rec);
  ps::Ptr settings = procs ? procs->lockProc(rec.parameters, 1) : nullptr;
  ps::Ptr state = procs ? procs->lockProc(data, 1) : nullptr;
  if (!settings || !state) {
    call.setResult(ps::memFullErr);
    return;
  }
  call.settings = reinterpret_cast<EffectSettings*>(settings);
  call.state = reinterpret_cast<PluginState*>(state);
}

// A parameters block fresh from the host holds undefined bytes: make it a valid record before
// anything reads a pointer or a name from it.
void initialiseFreshSettings(EffectSettings& s) {
  std::memset(&s, 0, sizeof s);
  resetRunTimeFields(s);
  loadFactoryDefaults(s);
  s.environmentSpin = 0;
}

void allocateAndLock() {
  CallState& call = callState();
  ps::FilterRecord& rec = *call.filterRecord();
  const ps::HandleProcs* procs = handleProcs(rec);
  bool madeParameters = false;
  bool madeData = false;
  if (!rec.parameters) {
    rec.parameters = procs ? procs->newProc(kParametersBlockBytes) : nullptr;
    if (!rec.parameters) {
      call.setResult(ps::memFullErr);
      return;
    }
    madeParameters = true;
  }
  if (!dataHandle()) {
    ps::Handle data = procs ? procs->newProc(kDataBlockBytes) : nullptr;
    if (!data || !call.dataSlot) {
      call.setResult(ps::memFullErr);
      return;
    }
    *call.dataSlot = reinterpret_cast<intptr_t>(data);
    madeData = true;
  }
  lockBlocks();
  if (call.result() != 0 || !call.settings || !call.state) return;
  if (madeParameters) initialiseFreshSettings(*call.settings);
  if (madeParameters || madeData) resetPluginState(*call.state);
}

void unlockBlocks() {
  CallState& call = callState();
  ps::FilterRecord* rec = call.filterRecord();
  if (!rec) return;
  const ps::HandleProcs* procs = handleProcs(*rec);
  if (procs) {
    if (ps::Handle data = dataHandle()) procs->unlockProc(data);
    if (rec->parameters) procs->unlockProc(rec->parameters);
  }
  call.settings = nullptr;
  call.state = nullptr;
}

// Tells the host that no more image data is wanted. The 16-bit rectangles are cleared too,
// so a host that reads either set sees the request ended.
void clearRequests(ps::FilterRecord& rec) {
  if (rec.bigDocumentData) {
    rec.bigDocumentData->inRect32 = {0, 0, 0, 0};
    rec.bigDocumentData->outRect32 = {0, 0, 0, 0};
    rec.bigDocumentData->maskRect32 = {0, 0, 0, 0};
  }
  rec.inRect = rec.outRect = rec.maskRect = {0, 0, 0, 0};
}

void tellUser(const char* title, const char* text) { moduleMessages().tell(title, text); }

void tellNotEnoughMemory() {
  tellUser("Not Enough Memory",
           "The filter cannot run because it can't get enough RAM (memory). Try re-selecting "
           "the image.");
}

void doAbout() {
  // The About box when there is a display; the same words as a message otherwise.
  if (showAboutBox()) {
    callState().setResult(ps::noErr);
    return;
  }
  tellUser("About",
           "Orichalcumite turns a selection, or the edge of a layer's transparency, into a "
           "bevelled 3-D material surface.");
  callState().setResult(ps::noErr);
}

void doParameters() {
  allocateAndLock();
  CallState& call = callState();
  if (call.result() != 0 || !call.state) return;
  call.state->showDialogOnStart = 1;
  call.state->parametersJustRun = 1;
}

void doPrepare() {
  allocateAndLock();
  CallState& call = callState();
  if (call.result() != 0 || !call.settings || !call.state) return;
  ps::FilterRecord& rec = *call.filterRecord();
  claimBigDocument(rec);

  rec.bufferSpace = 0;
  // Ask for no more memory than a 256 × 256 working window of every plane needs, twice over:
  // the rest stays with the host.
  const Rect32 area = filterRectangle(rec);
  const int64_t width = std::clamp(area.width(), 0, 256);
  const int64_t height = std::clamp(area.height(), 0, 256);
  const int64_t planes = rec.planes + (rec.maskData ? 1 : 0);
  const int64_t need = 2 * width * height * planes;
  if (rec.maxSpace > need) rec.maxSpace = static_cast<int32_t>(need);

  EffectSettings& s = *call.settings;
  resetRunTimeFields(s);
  setText(s.settingsName, "Orichalcumite settings");
  loadFactoryDefaults(s);

  PluginState& state = *call.state;
  state.filterRect = area;
  state.imageWidth = area.width();
  state.imageHeight = area.height();
  runRandom().seedForRun();
}

// The run's state in the module and in the host's data block, set up at the start of a run.
void beginRun(EffectSettings& s, PluginState& state, bool descriptorPresent) {
  RunStart start;
  start.descriptorPresent = descriptorPresent;
  start.parametersJustRun = state.parametersJustRun != 0;
  initialiseRun(s, moduleUserState(), start, {modulePictures(), moduleMessages()});
  state.runInitialised = 1;
}

// The end of a run (Finish, cancel, refusal).
void endRun(PluginState& state) {
  releaseRun(moduleUserState());
  releasePreviewPixels(state);
  state.runInitialised = 0;
}

// Makes the texture tile of the current choice and notes its size in the settings. False
// when no tile can be made.
bool prepareTexture(EffectSettings& s, const ps::FilterRecord& rec) {
  EffectPictures& pictures = modulePictures();
  if (!pictures.prepareTexture(s.textureChoice, runRandom(), filterRectangle(rec).width(),
                               poolPictureRunner(processorCount())))
    return false;
  const PictureSize size = pictures.textureSize();
  s.textureWidth = size.width;
  s.textureHeight = size.height;
  return true;
}

// Finds and loads the pictures the effect names: the texture picture first (only for the
// "texture file" choice), then the environment. A picture that cannot be found is a warning:
// the run goes on with the picture it had. Empty names were not given; "<none>" asks for none.
void lookUpPictures(EffectSettings& s) {
  PictureSearch search{s, modulePictures(), moduleMessages(), nullptr, {}};
  const auto lookUp = [&](const char* name, PictureWhich which, const char* what) {
    const std::string wanted(name, strnlen(name, kTextCapacity));
    if (wanted.empty()) return;
    if (loadSettingsPicture(search, wanted, which, false, false) == kPictureNotFound) {
      const std::string text = std::string("cannot find the ") + what + " picture \"" + wanted +
                               "\"; the previous one is used";
      tellUser("warning", text.c_str());
    }
  };
  if (s.textureChoice == kTextureChoiceFile)
    lookUp(s.textureName, PictureWhich::texture, "texture");
  lookUp(s.environmentName, PictureWhich::environment, "environment");
}

// Renders the whole filter rectangle into the host's image. Returns the protocol's result.
int16_t renderToHost(ps::FilterRecord& rec, const EffectSettings& s, PluginState& state) {
  const std::unique_ptr<RenderInputs> inputs = makeRenderInputs(s, modulePictures(), runRandom());
  if (!inputs) return ps::memFullErr;
  state.maskNotNeeded = 0;
  HostRenderSource source(rec, state);
  RenderOptions options;
  options.imageWidth = source.region().width();
  options.imageHeight = source.region().height();
  return hostResultCode(renderEffect(*inputs, source, options), source.hostResult());
}

void doStart() {
  const auto startTime = std::chrono::steady_clock::now();
  CallState& call = callState();
  lockBlocks();
  if (!call.settings || !call.state) return;
  ps::FilterRecord& rec = *call.filterRecord();
  EffectSettings& s = *call.settings;
  PluginState& state = *call.state;
  claimBigDocument(rec);
  // The render blends its result with the selection itself, so the host must not mask the
  // changes a second time.
  rec.autoMask = 0;

  s.hostCanDisplay = rec.advanceState && rec.displayPixels ? 1 : 0;

  // A Start that cannot go on ends the run here and leaves the host no requests.
  const auto stopStart = [&](int16_t result) {
    call.setResult(result);
    endRun(state);
    clearRequests(rec);
  };
  const bool fromDescriptor = descriptorPresent(rec);
  beginRun(s, state, fromDescriptor);
  // The built-in environment until a picture file replaces it.
  if (!modulePictures().ensureEnvironment() || !prepareTexture(s, rec)) {
    tellNotEnoughMemory();
    call.setResult(1);
  }
  if (!rec.advanceState) {
    tellUser("Cannot run", "This host cannot hand image data to filters row by row.");
    call.setResult(1);
  } else if (rec.imageMode == ps::modeMultichannel) {
    tellUser("Cannot run", "Multichannel images are not supported: convert to RGB or greyscale.");
    call.setResult(1);
  }
  if (call.result() != 0) return stopStart(call.result());

  bool showDialog = state.showDialogOnStart != 0;
  readDescriptor(rec, s, showDialog);
  // The pictures a descriptor names are found and loaded here; the texture tile follows the
  // picture (the environment's rotation follows environmentSpin at every render).
  // (Without a descriptor the cached settings brought their pictures along already.)
  if (fromDescriptor) lookUpPictures(s);
  if (!prepareTexture(s, rec)) {
    tellNotEnoughMemory();
    return stopStart(1);
  }
  state.showDialogOnStart = showDialog ? 1 : 0;

  bool accepted = true;
  if (state.showDialogOnStart) {
    // The file keeps the picture names too, so an undo to the start brings its pictures back.
    takeUndoStep(s, moduleUserState(), true);
    HostPreview preview(rec, state, modulePictures(), runRandom());
    PictureContext pictures{modulePictures(), moduleMessages()};
    DialogSession session;
    session.settings = &s;
    session.preview = &preview;
    session.messages = &moduleMessages();
    session.user = &moduleUserState();
    session.random = &runRandom();
    session.pictures = &pictures;
    session.prepareTexture = [&rec](EffectSettings& edited) { return prepareTexture(edited, rec); };
    session.highDynamicRange = imageClass(rec) == ImageClass::highDynamicRange;
    session.hostSignature = rec.hostSig;
    session.started = startTime;
    session.chooseHostColour = [&rec](const std::string& title, uint8_t rgb[3]) {
      return chooseColourWithHost(rec, title, rgb);
    };
    session.exportPsd = [&rec, &state, &s](const std::string& path, const JobProgress& progress,
                                           const std::atomic<bool>& cancel) {
      return exportPsdOverHost(rec, state, s, modulePictures(), runRandom(), path, progress,
                               cancel);
    };
    session.hostImage = [&rec, &state](int maxSide) -> std::unique_ptr<Picture> {
      const std::unique_ptr<Picture> whole = readHostPicture(rec, state, nullptr);
      return whole ? reducedRgba8(*whole, maxSide) : nullptr;
    };
    const DialogOutcome outcome = runMainDialog(session);
    if (outcome == DialogOutcome::noDisplay)
      tellUser("Cannot show the dialog", "There is no display to show the dialog on.");
    // A dialog that could not be shown has told the user why; the run ends as an error, not as
    // a cancel, so that the host does not take it for the user's choice.
    if (outcome == DialogOutcome::noDisplay || outcome == DialogOutcome::failed)
      return stopStart(1);
    accepted = outcome == DialogOutcome::accepted;
  }
  state.showDialogOnStart = 0;
  state.parametersJustRun = 0;
  storePicturePaths(s);

  if (call.result() != 0 || !accepted) return stopStart(ps::userCanceledErr);

  // The descriptor or the dialog may have changed the texture choice.
  if (!prepareTexture(s, rec)) {
    tellNotEnoughMemory();
    return stopStart(1);
  }
  const int16_t result = renderToHost(rec, s, state);
  clearRequests(rec);
  if (result != 0) {
    // The host calls Finish only after a successful Start, so the run ends here.
    call.setResult(result);
    endRun(state);
    return;
  }
  saveCachedSettings(s);
  storePicturePaths(s);
}

void doContinue() {
  CallState& call = callState();
  clearRequests(*call.filterRecord());
}

void doFinish() {
  CallState& call = callState();
  ps::FilterRecord& rec = *call.filterRecord();
  lockBlocks();
  if (!call.settings || !call.state) return;
  writeDescriptor(rec, *call.settings);
  endRun(*call.state);
}

}  // namespace
}  // namespace orichalcumite

extern "C" void PluginMain(int16_t selector, void* record, intptr_t* data,
                           int16_t* result) noexcept {
  using namespace orichalcumite;
#if !defined(__AVX2__)
  if (const EntryPoint wide = wideEntry()) {
    wide(selector, record, data, result);
    return;
  }
#endif
  debugLine();
  CallState& call = callState();
  call.hostRecord = record;
  call.dataSlot = data;
  call.resultSlot = result;
  call.settings = nullptr;
  call.state = nullptr;
  (void)modulePath();

  if (selector == ps::selectorAbout) {
    const auto* about = static_cast<const ps::AboutRecord*>(record);
    call.basicSuite = about ? about->sSPBasic : nullptr;
    doAbout();
    return;
  }
  if (!record) {
    call.setResult(ps::filterBadParameters);
    return;
  }
  call.basicSuite = call.filterRecord()->sSPBasic;
  try {
    switch (selector) {
      case ps::selectorParameters: doParameters(); break;
      case ps::selectorPrepare: doPrepare(); break;
      case ps::selectorStart: doStart(); break;
      case ps::selectorContinue: doContinue(); break;
      case ps::selectorFinish: doFinish(); break;
      default: break;
    }
  } catch (const std::bad_alloc&) {
    call.setResult(ps::memFullErr);
  } catch (...) {
    call.setResult(ps::filterBadParameters);
  }
  unlockBlocks();
}
