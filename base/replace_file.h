// Writing a file without ever leaving a half-written one: the data goes to a new temporary
// file beside the target (so that renaming it is atomic), which replaces the target only when
// everything was written and has reached the disk. The temporary name is unpredictable and
// created exclusively.
//
// Replacing keeps what is there: the old file's permissions (and its owner and group where the
// system allows), and a symbolic link stays a link: the file it finally points to is replaced.
// A file with several hard links gets a new inode, so the other links keep the old contents.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/status.h"

namespace orichalcumite {

class TemporaryFile {
 public:
  // An empty temporary file beside the file that `target` finally names (after following
  // symbolic links), named ".<name>.<random><ext>" so that it keeps the extension. It gets the
  // permissions of the file it will replace, or those a new file would get.
  static Result<TemporaryFile> create(const std::string& target);

  TemporaryFile(TemporaryFile&& other) noexcept;
  TemporaryFile& operator=(TemporaryFile&& other) noexcept;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile();  // removes the file unless it was committed

  // Where to write; callers may also write here with a library of their own, but only bytes
  // written through this object are checked.
  const std::string& path() const { return path_; }
  const std::string& target() const { return target_; }
  // Replaces the temporary file's contents with `bytes`; fails unless every byte was written.
  Status write(std::string_view bytes);
  // Writes `bytes` at byte `offset`, leaving the rest of the file as it is; fails unless every
  // byte was written. Safe to call from several threads for separate ranges.
  Status writeAt(uint64_t offset, std::string_view bytes);
  // Flushes the file to the disk, renames it over the target and flushes the folder, so that
  // after a crash the target holds either its old or its new contents. After a failure the
  // temporary file is still removed when this object goes.
  Status commit();

 private:
  TemporaryFile(int fd, std::string path, std::string target, std::string destination)
      : fd_(fd),
        path_(std::move(path)),
        target_(std::move(target)),
        destination_(std::move(destination)) {}
  void discard() noexcept;

  int fd_ = -1;
  std::string path_;
  std::string target_;       // as the caller named it, for messages
  std::string destination_;  // the file that is replaced: the target after symbolic links
  bool done_ = false;
};

// Writes `bytes` to `target` through a TemporaryFile: on any failure the target is unchanged
// and no temporary file is left behind.
Status replaceFileContents(const std::string& target, std::string_view bytes);

// The call every TemporaryFile makes to write (pwrite by default). Tests replace it to make
// writes fail at chosen places; it returns the previous one. Not for use while files are being
// written on other threads.
using WriteAtFunction = ssize_t (*)(int fd, const void* data, size_t size, off_t offset);
WriteAtFunction setWriteFunctionForTests(WriteAtFunction write);

}  // namespace orichalcumite
