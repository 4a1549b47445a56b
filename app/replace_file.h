// Writing a file without ever leaving a half-written one: the data goes to a new temporary
// file beside the target (so that renaming it is atomic), which replaces the target only when
// everything was written. The temporary name is unpredictable and created exclusively.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orichalcumite {

class TemporaryFile {
 public:
  // An empty temporary file in the folder of `target`, named ".<target name>.<random><ext>"
  // so that it keeps the target's extension, with the permissions a new file would get.
  static std::optional<TemporaryFile> create(const std::string& target, std::string* error);

  TemporaryFile(TemporaryFile&& other) noexcept;
  TemporaryFile& operator=(TemporaryFile&& other) noexcept;
  TemporaryFile(const TemporaryFile&) = delete;
  ~TemporaryFile();  // removes the file unless it was committed

  const std::string& path() const { return path_; }
  // Renames the temporary file over the target.
  bool commit(std::string* error);

 private:
  TemporaryFile(std::string path, std::string target) : path_(std::move(path)), target_(std::move(target)) {}

  std::string path_;
  std::string target_;
  bool done_ = false;
};

// Writes `bytes` to `target` through a TemporaryFile.
bool replaceFileContents(const std::string& target, std::string_view bytes, std::string* error);

}  // namespace orichalcumite
