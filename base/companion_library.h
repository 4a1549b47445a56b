// Where a companion library lives: beside the file that holds the calling code (the module, or
// a program the code is linked into), unless an environment variable names another file.
#pragma once

#include <filesystem>
#include <string>

namespace orichalcumite {

// The file that holds this code: the shared object it was linked into, or the program.
std::filesystem::path codeFile();

// The path of companion `fileName`: the file `overrideVariable` names when it is set and not
// empty, else `fileName` beside codeFile().
std::string companionLibraryPath(const char* fileName, const char* overrideVariable);

}  // namespace orichalcumite
