// The `preset` commands of the `orichalcumite` program: what a settings file (a .q5q or .q9q
// preset, a memory dot, the cached last settings) holds, and its thumbnail as an image file.
// Each returns the process exit code; a file that cannot be read gets one line on stderr and
// kExitBadInput.
#pragma once

#include <string>

namespace orichalcumite {

// Prints the file's version and name and every setting by its scripting name: choices by
// their names, colours as #rrggbb, light components as decimals, the picture names and the
// thumbnail's size (or "none"). With `json` the same as one JSON object.
int presetShowCommand(const std::string& path, bool json);

// Writes the file's thumbnail to `output`, in the format its name asks for. A file without a
// thumbnail is bad input.
int presetThumbnailCommand(const std::string& path, const std::string& output);

}  // namespace orichalcumite
