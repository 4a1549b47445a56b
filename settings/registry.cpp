// The settings key as two key files. The machine-wide file is used whenever this process may
// write it, as an installation for every account would have it; everyone else keeps a key of
// their own under their config home. The key is chosen anew each time it is opened, for reads
// and writes alike, so both always meet the same file.
//
// The write test is an access() check rather than a trial write: the file (when it exists) and
// its folder must be writable, or, before the first write, the folder the file would be made
// in. A trial write would rewrite and flush a shared file on every read. A machine file that
// exists but cannot be parsed fails the test too: its owner should repair it, and writing our
// values over it would destroy what it held.
#include "settings/registry.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <memory>

#include "base/replace_file.h"
#include "base/user_folders.h"
#include "settings/detail/key_file.h"

namespace orichalcumite {
namespace detail {
namespace {

struct KeyFileDeleter {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileDeleter>;

struct ErrorHolder {
  GError* error = nullptr;
  ~ErrorHolder() {
    if (error) g_error_free(error);
  }
  void clear() { g_clear_error(&error); }
};

// Comments are kept so that a note an administrator wrote survives our writes. A key file is
// UTF-8 text: GLib reads zero bytes and broken sequences in places without complaint but does
// not write them back as it read them, so such a file counts as damaged.
KeyFilePtr parsedKeyFile(std::string_view text) {
  if (text.find('\0') != std::string_view::npos ||
      !g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
    return nullptr;
  KeyFilePtr file(g_key_file_new());
  ErrorHolder failure;
  if (!g_key_file_load_from_data(
          file.get(), text.data(), text.size(),
          GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS), &failure.error))
    return nullptr;
  return file;
}

}  // namespace

std::optional<std::map<std::string, std::string>> keyFileValues(std::string_view text,
                                                                const std::string& group) {
  KeyFilePtr file = parsedKeyFile(text);
  if (!file) return std::nullopt;
  std::map<std::string, std::string> values;
  if (!g_key_file_has_group(file.get(), group.c_str())) return values;
  gsize count = 0;
  gchar** names = g_key_file_get_keys(file.get(), group.c_str(), &count, nullptr);
  if (!names) return values;
  for (gsize i = 0; i < count; ++i) {
    ErrorHolder failure;
    gchar* value = g_key_file_get_string(file.get(), group.c_str(), names[i], &failure.error);
    if (value) values[names[i]] = value;
    g_free(value);
  }
  g_strfreev(names);
  return values;
}

std::optional<std::string> keyFileWithValue(std::string_view text, const std::string& group,
                                            const std::string& name, const std::string& value) {
  // A value that is not UTF-8 would make the whole file unreadable for GLib's readers.
  if (!g_utf8_validate(value.data(), static_cast<gssize>(value.size()), nullptr) ||
      value.find('\0') != std::string::npos)
    return std::nullopt;
  KeyFilePtr file = parsedKeyFile(text);
  if (!file) return std::nullopt;
  g_key_file_set_string(file.get(), group.c_str(), name.c_str(), value.c_str());
  gsize length = 0;
  gchar* data = g_key_file_to_data(file.get(), &length, nullptr);
  if (!data) return std::nullopt;
  std::string result(data, length);
  g_free(data);
  // GLib keeps the lines it read as they were but may read them back differently once written
  // (control characters, trailing carriage returns): a text that would change any other value
  // of the key is not written at all.
  auto before = keyFileValues(text, group);
  const auto after = keyFileValues(result, group);
  if (!before || !after) return std::nullopt;
  (*before)[name] = value;
  if (*before != *after) return std::nullopt;
  return result;
}

}  // namespace detail

namespace {

constexpr const char* kFolderName = "orichalcumite";
constexpr const char* kFileName = "registry.conf";
constexpr const char* kMachineKeyPath = "SOFTWARE\\Ferrovantine\\Gleamcraft\\2.14A";
constexpr const char* kUserKeyPath = "SOFTWARE\\Ferrovantine PV\\Orichalcumite\\2.00";
// A key of a few values is a few hundred bytes; anything far larger is not ours to parse.
constexpr std::streamsize kMaxKeyFileBytes = 1 << 20;

struct KeyLocation {
  std::string parent;  // the config folder the program folder lives in
  std::string folder;
  std::string path;
  std::string group;
  mode_t folderMode;  // for a folder made on the first write
};

KeyLocation machineKey() {
  const std::string parent = systemConfigFolder();
  const std::string folder = parent + "/" + kFolderName;
  // Readable by every account: it is the key of the whole machine.
  return {parent, folder, folder + "/" + kFileName, kMachineKeyPath, 0755};
}

std::optional<KeyLocation> userKey() {
  auto home = configHome();
  if (!home) return std::nullopt;
  const std::string folder = *home + "/" + kFolderName;
  // Picture paths and preset names are the user's own business.
  return KeyLocation{*home, folder, folder + "/" + kFileName, kUserKeyPath, 0700};
}

enum class FileState { missing, read, unreadable };

struct FileText {
  FileState state = FileState::missing;
  std::string text;
};

FileText readKeyFile(const std::string& path) {
  FileText result;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    result.state = errno == ENOENT ? FileState::missing : FileState::unreadable;
    return result;
  }
  if (!S_ISREG(info.st_mode) || info.st_size > kMaxKeyFileBytes) {
    result.state = FileState::unreadable;
    return result;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.state = FileState::unreadable;
    return result;
  }
  result.text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  result.state = in.bad() ? FileState::unreadable : FileState::read;
  return result;
}

bool canWriteFolder(const std::string& folder) {
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool isFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool machineKeyAcceptsWrites(const KeyLocation& key) {
  const FileText file = readKeyFile(key.path);
  switch (file.state) {
    case FileState::unreadable: return false;
    case FileState::read:
      return ::access(key.path.c_str(), W_OK) == 0 && canWriteFolder(key.folder) &&
             detail::keyFileValues(file.text, key.group).has_value();
    case FileState::missing:
      if (isFolder(key.folder)) return canWriteFolder(key.folder);
      return isFolder(key.parent) && canWriteFolder(key.parent);
  }
  return false;
}

// The key to use now: the machine's when it accepts writes, else the user's.
std::optional<KeyLocation> openKey() {
  KeyLocation machine = machineKey();
  if (machineKeyAcceptsWrites(machine)) return machine;
  return userKey();
}

bool makeFolder(const std::string& path, mode_t mode) {
  if (::mkdir(path.c_str(), mode) == 0) return true;
  return errno == EEXIST && isFolder(path);
}

// The program folder of `key`, and for the user's key its config home too (XDG asks for 0700
// when a program has to make it).
bool ensureFolder(const KeyLocation& key) {
  if (isFolder(key.folder)) return true;
  if (key.group == kUserKeyPath && !isFolder(key.parent)) {
    for (size_t slash = key.parent.find('/', 1); slash != std::string::npos;
         slash = key.parent.find('/', slash + 1))
      if (!makeFolder(key.parent.substr(0, slash), 0700)) return false;
    if (!makeFolder(key.parent, 0700)) return false;
  }
  return makeFolder(key.folder, key.folderMode);
}

}  // namespace

std::optional<std::string> readRegistryValue(const char* name) {
  const auto key = openKey();
  if (!key || !name) return std::nullopt;
  const FileText file = readKeyFile(key->path);
  if (file.state != FileState::read) return std::nullopt;
  const auto values = detail::keyFileValues(file.text, key->group);
  if (!values) return std::nullopt;
  const auto found = values->find(name);
  if (found == values->end()) return std::nullopt;
  return found->second;
}

bool writeRegistryValue(const char* name, const std::string& value) {
  const auto key = openKey();
  if (!key || !name) return false;
  const FileText file = readKeyFile(key->path);
  if (file.state == FileState::unreadable) return false;
  if (file.state == FileState::read) {
    // A file we cannot parse is left as it is: replacing it would lose whatever it held.
    const auto values = detail::keyFileValues(file.text, key->group);
    if (!values) return false;
    // Nothing to do when the key already holds the value: no rewrite, no flush.
    if (const auto found = values->find(name); found != values->end() && found->second == value)
      return true;
  }
  const auto text = detail::keyFileWithValue(file.text, key->group, name, value);
  if (!text) return false;
  if (!ensureFolder(*key)) return false;
  return replaceFileContents(key->path, *text).ok();
}

}  // namespace orichalcumite
