// `orichalcumite presets refresh DIR --image IMAGE`: gives every preset of a folder a fresh
// thumbnail rendered over the centre square of IMAGE, writes it back in the current format and
// renames presets of the older family to ".q5q". One line per preset and a summary on stdout.
#pragma once

#include <atomic>
#include <string>

namespace orichalcumite {

// Exit codes: kExitDone when every preset that could be refreshed was (read-only presets and
// taken ".q5q" names are left alone on purpose); kExitModuleError when any preset was skipped
// because it could not be read, rendered or written, or a rename failed; kExitBadInput when
// IMAGE or DIR cannot be read; kExitCancelled when `cancel` was set (the batch stops after the
// preset in hand).
int presetsRefreshCommand(const std::string& folder, const std::string& imagePath,
                          const std::atomic<bool>& cancel);

}  // namespace orichalcumite
