// Where the program keeps its files, following the XDG base-directory rules:
//   config home   $XDG_CONFIG_HOME, else ~/.config              (per-user key file)
//   state home    $XDG_STATE_HOME, else ~/.local/state          (logs, temporary pictures)
//   system config ORICHALCUMITE_SYSTEM_CONFIG_DIR, else the first entry of $XDG_CONFIG_DIRS,
//                 else /etc/xdg                                  (machine-wide key file)
// A variable that is unset, empty or not an absolute path counts as absent: the rules call
// relative paths invalid. "~" is $HOME, or the home folder of the account when HOME is not
// an absolute path either. Every function reads the environment when called, so tests can
// redirect everything with setenv; none is safe against a concurrent setenv.
#pragma once

#include <string>

#include "base/status.h"

namespace orichalcumite {

// Paths without a trailing slash. Fail only when no home folder can be found.
Result<std::string> configHome();
Result<std::string> stateHome();
// Never fails: the system folder has a fixed fallback.
std::string systemConfigFolder();

enum class FolderUse { lookUp, create };

// "<state home>/orichalcumite". With FolderUse::create the folder and any missing parents are
// made with mode 0700 (before the umask), and an existing path must be a folder we can enter.
// FolderUse::lookUp touches nothing.
Result<std::string> programStateFolder(FolderUse use);

}  // namespace orichalcumite
