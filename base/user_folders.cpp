#include "base/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace orichalcumite {
namespace {

constexpr const char* kProgramFolderName = "orichalcumite";
constexpr const char* kDefaultSystemConfig = "/etc/xdg";
constexpr mode_t kPrivateFolderMode = 0700;

bool isAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The variable's value when it is an absolute path; empty otherwise.
std::string absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !isAbsolute(value)) return {};
  return withoutTrailingSlashes(value);
}

Result<std::string> homeFolder() {
  if (std::string home = absoluteVariable("HOME"); !home.empty()) return home;
  // getpwuid_r with a buffer of our own: getpwuid's static record is not thread-safe.
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir && isAbsolute(found->pw_dir))
    return withoutTrailingSlashes(found->pw_dir);
  return Status(StatusCode::notFound,
                "cannot find the home folder: HOME is not set to an absolute path");
}

Result<std::string> xdgFolder(const char* variable, const char* underHome) {
  if (std::string value = absoluteVariable(variable); !value.empty()) return value;
  auto home = homeFolder();
  if (!home) return home.status();
  return *home + underHome;
}

// Makes `path` a folder unless it is one; the parent must exist.
Status makeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), kPrivateFolderMode) == 0) return Status::success();
  const int error = errno;
  struct stat info {};
  if (error == EEXIST && ::stat(path.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode))
      return Status(StatusCode::invalidArgument,
                    "cannot use " + path + " as a folder: it is a file");
    return Status::success();
  }
  return Status::fromErrno(error, "cannot create the folder " + path);
}

}  // namespace

Result<std::string> configHome() { return xdgFolder("XDG_CONFIG_HOME", "/.config"); }

Result<std::string> stateHome() { return xdgFolder("XDG_STATE_HOME", "/.local/state"); }

std::string systemConfigFolder() {
  if (std::string own = absoluteVariable("ORICHALCUMITE_SYSTEM_CONFIG_DIR"); !own.empty())
    return own;
  if (const char* list = std::getenv("XDG_CONFIG_DIRS")) {
    // The first absolute entry; relative entries are invalid and skipped.
    std::string_view rest = list;
    while (!rest.empty()) {
      const size_t colon = rest.find(':');
      const std::string_view entry = rest.substr(0, colon);
      if (isAbsolute(entry)) return withoutTrailingSlashes(std::string(entry));
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  return kDefaultSystemConfig;
}

Result<std::string> programStateFolder(FolderUse use) {
  auto base = stateHome();
  if (!base) return base.status();
  const std::string folder = *base + "/" + kProgramFolderName;
  if (use == FolderUse::lookUp) return folder;
  // Every missing folder on the way, from the top down.
  for (size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1))
    if (Status made = makeFolder(folder.substr(0, slash)); !made) return made;
  if (Status made = makeFolder(folder); !made) return made;
  if (::access(folder.c_str(), R_OK | W_OK | X_OK) != 0)
    return Status::fromErrno(errno, "cannot use the folder " + folder);
  return folder;
}

}  // namespace orichalcumite
