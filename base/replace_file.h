// Writing a file without ever leaving a half-written one: the data goes to a new temporary
// file beside the target (so that renaming it is atomic), which replaces the target only when
// everything was written. The temporary name is unpredictable and created exclusively.
#pragma once

#include <string>
#include <string_view>

#include "base/status.h"

namespace orichalcumite {

class TemporaryFile {
 public:
  // An empty temporary file in the folder of `target`, named ".<target name>.<random><ext>"
  // so that it keeps the target's extension, with the permissions a new file would get.
  static Result<TemporaryFile> create(const std::string& target);

  TemporaryFile(TemporaryFile&& other) noexcept;
  TemporaryFile& operator=(TemporaryFile&& other) noexcept;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile();  // removes the file unless it was committed

  // Where to write; callers may also write here with a library of their own.
  const std::string& path() const { return path_; }
  const std::string& target() const { return target_; }
  // Replaces the temporary file's contents with `bytes`; fails unless every byte was written
  // and the file closed cleanly.
  Status write(std::string_view bytes);
  // Renames the temporary file over the target. After a failure the temporary file is still
  // removed when this object goes.
  Status commit();

 private:
  TemporaryFile(std::string path, std::string target)
      : path_(std::move(path)), target_(std::move(target)) {}

  std::string path_;
  std::string target_;
  bool done_ = false;
};

// Writes `bytes` to `target` through a TemporaryFile: on any failure the target is unchanged
// and no temporary file is left behind.
Status replaceFileContents(const std::string& target, std::string_view bytes);

}  // namespace orichalcumite
