#include "base/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace orichalcumite {

Result<TemporaryFile> TemporaryFile::create(const std::string& target) {
  const std::filesystem::path path(target);
  const std::string extension = path.extension().string();
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  std::string leaf = ".";
  leaf.append(path.filename().string()).append(".XXXXXX");
  std::string pattern = (folder / leaf).string();
  pattern.append(extension);
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemps(name.data(), static_cast<int>(extension.size()));
  if (fd < 0) return Status::fromErrno(errno, "cannot create a file in " + folder.string());
  // mkstemps makes the file private; give it what any new file would get.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  return TemporaryFile(std::string(name.data()), target);
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : path_(std::move(other.path_)), target_(std::move(other.target_)), done_(other.done_) {
  other.done_ = true;
}

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept {
  if (this != &other) {
    if (!done_) std::remove(path_.c_str());
    path_ = std::move(other.path_);
    target_ = std::move(other.target_);
    done_ = other.done_;
    other.done_ = true;
  }
  return *this;
}

TemporaryFile::~TemporaryFile() {
  if (!done_) std::remove(path_.c_str());
}

Status TemporaryFile::write(std::string_view bytes) {
  const int fd = ::open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return Status::fromErrno(errno, "cannot write " + target_);
  // write() may take less than it was given (a full disk, a signal); go on until all is
  // written or it reports why not.
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      ::close(fd);
      return Status::fromErrno(error, "cannot write " + target_);
    }
    done += size_t(n);
  }
  if (::close(fd) != 0) return Status::fromErrno(errno, "cannot write " + target_);
  return Status::success();
}

Status TemporaryFile::commit() {
  if (std::rename(path_.c_str(), target_.c_str()) != 0)
    return Status::fromErrno(errno, "cannot replace " + target_);
  done_ = true;
  return Status::success();
}

Status replaceFileContents(const std::string& target, std::string_view bytes) {
  auto temp = TemporaryFile::create(target);
  if (!temp) return temp.status();
  if (Status written = temp->write(bytes); !written) return written;
  return temp->commit();
}

}  // namespace orichalcumite
