#include "base/companion_library.h"

#include <dlfcn.h>

#include <cstdlib>

namespace orichalcumite {

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

std::string companionLibraryPath(const char* fileName, const char* overrideVariable) {
  if (const char* named = std::getenv(overrideVariable); named && *named) return named;
  return (codeFile().parent_path() / fileName).string();
}

}  // namespace orichalcumite
