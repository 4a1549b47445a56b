#include "ui/main_dialog.h"

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/user_messages.h"

namespace orichalcumite {
namespace {

// The file that holds this code: the module, or a program the dialog model is linked into.
std::filesystem::path codeFile() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&codeFile), &info) && info.dli_fname && *info.dli_fname) {
    std::error_code ec;
    const std::filesystem::path file = std::filesystem::absolute(info.dli_fname, ec);
    if (!ec) return file;
  }
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec);
}

std::string dialogLibraryPath() {
  if (const char* named = std::getenv(kDialogLibraryVariable); named && *named) return named;
  return (codeFile().parent_path() / kDialogLibraryName).string();
}

// Opens the companion once and keeps it: the toolkit must never be unloaded under its own
// threads and global state. An empty error means success.
RunDialogFn dialogEntry(std::string& error) {
  static RunDialogFn entry = nullptr;
  static std::string openedPath;
  const std::string path = dialogLibraryPath();
  if (entry && path == openedPath) return entry;
  if (::access(path.c_str(), F_OK) != 0) {
    error = path + " is missing.";
    return nullptr;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    error = reason ? reason : path + " cannot be loaded.";
    return nullptr;
  }
  auto* found = reinterpret_cast<RunDialogFn>(dlsym(handle, kRunDialogSymbol));
  if (!found) {
    error = path + " is not the dialog library.";
    return nullptr;
  }
  entry = found;
  openedPath = path;
  return entry;
}

}  // namespace

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
