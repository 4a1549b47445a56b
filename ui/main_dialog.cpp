#include "ui/main_dialog.h"

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/companion_library.h"
#include "base/user_messages.h"
#include "ui/about_box.h"

namespace orichalcumite {
namespace {

std::string dialogLibraryPath() {
  return companionLibraryPath(kDialogLibraryName, kDialogLibraryVariable);
}

// Opens the companion once and keeps it: the toolkit must never be unloaded under its own
// threads and global state. Null with `error` set when it cannot be opened.
void* dialogLibrary(std::string& error) {
  static void* handle = nullptr;
  static std::string openedPath;
  const std::string path = dialogLibraryPath();
  if (handle && path == openedPath) return handle;
  if (::access(path.c_str(), F_OK) != 0) {
    error = path + " is missing.";
    return nullptr;
  }
  void* opened = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!opened) {
    const char* reason = dlerror();
    error = reason ? reason : path + " cannot be loaded.";
    return nullptr;
  }
  handle = opened;
  openedPath = path;
  return handle;
}

RunDialogFn dialogEntry(std::string& error) {
  void* handle = dialogLibrary(error);
  if (!handle) return nullptr;
  auto* found = reinterpret_cast<RunDialogFn>(dlsym(handle, kRunDialogSymbol));
  if (!found) error = dialogLibraryPath() + " is not the dialog library.";
  return found;
}

}  // namespace

bool showAboutBox() {
  std::string error;
  void* handle = dialogLibrary(error);
  auto* show = handle ? reinterpret_cast<ShowAboutFn>(dlsym(handle, kShowAboutSymbol)) : nullptr;
  const int32_t outcome = show ? show(kDialogInterfaceVersion) : -1;
  // Why the box was not shown, for whoever looks into a run that printed the words instead.
  if (outcome != static_cast<int32_t>(DialogOutcome::accepted) &&
      std::getenv("ORICHALCUMITE_DEBUG"))
    std::fprintf(stderr, "dialog: no About box: %s\n",
                 !handle ? error.c_str()
                 : !show ? "the library has no About entry"
                         : ("the library answered " + std::to_string(outcome)).c_str());
  return outcome == static_cast<int32_t>(DialogOutcome::accepted);
}

DialogOutcome runMainDialog(DialogSession& session) {
  std::string error;
  if (std::getenv("ORICHALCUMITE_DEBUG"))
    std::fprintf(stderr, "dialog: library wanted %.1f ms after Start\n",
                 std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                           session.started)
                     .count());
  const RunDialogFn entry = dialogEntry(error);
  if (std::getenv("ORICHALCUMITE_DEBUG"))
    std::fprintf(stderr, "dialog: library loaded %.1f ms after Start\n",
                 std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                           session.started)
                     .count());
  if (!entry) {
    if (session.messages)
      session.messages->tell("Cannot show the dialog", ("The dialog library: " + error).c_str());
    return DialogOutcome::failed;
  }
  const int32_t outcome = entry(kDialogInterfaceVersion, &session);
  switch (outcome) {
    case static_cast<int32_t>(DialogOutcome::accepted): return DialogOutcome::accepted;
    case static_cast<int32_t>(DialogOutcome::cancelled): return DialogOutcome::cancelled;
    case static_cast<int32_t>(DialogOutcome::noDisplay): return DialogOutcome::noDisplay;
    default: return DialogOutcome::failed;
  }
}

}  // namespace orichalcumite
