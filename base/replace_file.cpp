#include "base/replace_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace orichalcumite {
namespace {

std::atomic<WriteAtFunction> gWriteAt{&::pwrite};

// The file a write to `target` lands in: symbolic links are followed to their end, which need
// not exist yet. Stops after as many links as the system itself would follow.
std::string finalTarget(const std::string& target) {
  std::filesystem::path path(target);
  for (int depth = 0; depth < 40; ++depth) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    std::vector<char> text(PATH_MAX + 1);
    const ssize_t n = readlink(path.c_str(), text.data(), text.size() - 1);
    if (n <= 0) break;
    const std::filesystem::path link(std::string(text.data(), size_t(n)));
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  return path.string();
}

std::string folderOf(const std::string& file) {
  const std::filesystem::path path(file);
  return path.has_parent_path() ? path.parent_path().string() : ".";
}

// Gives the new file what the old one had: owner and group where we may (an ordinary user can
// keep only a group they belong to), then the mode, since changing the owner clears set-id
// bits. A new file gets what any new file would.
void takeOverAttributes(int fd, const std::string& destination) {
  struct stat old {};
  if (stat(destination.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    struct stat mine {};
    if (fstat(fd, &mine) == 0 && (mine.st_uid != old.st_uid || mine.st_gid != old.st_gid)) {
      if (fchown(fd, old.st_uid, old.st_gid) != 0 && mine.st_gid != old.st_gid) {
        [[maybe_unused]] const int ignored = fchown(fd, uid_t(-1), old.st_gid);
      }
    }
    fchmod(fd, old.st_mode & 07777);
    return;
  }
  // mkstemps makes the file private.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
}

}  // namespace

WriteAtFunction setWriteFunctionForTests(WriteAtFunction write) {
  return gWriteAt.exchange(write ? write : &::pwrite);
}

Result<TemporaryFile> TemporaryFile::create(const std::string& target) {
  const std::string destination = finalTarget(target);
  const std::filesystem::path path(destination);
  const std::string extension = path.extension().string();
  const std::string folder = folderOf(destination);
  std::string leaf = ".";
  leaf.append(path.filename().string()).append(".XXXXXX");
  std::string pattern = (std::filesystem::path(folder) / leaf).string();
  pattern.append(extension);
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkostemps(name.data(), static_cast<int>(extension.size()), O_CLOEXEC);
  if (fd < 0) return Status::fromErrno(errno, "cannot create a file in " + folder);
  takeOverAttributes(fd, destination);
  return TemporaryFile(fd, std::string(name.data()), target, destination);
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : fd_(other.fd_),
      path_(std::move(other.path_)),
      target_(std::move(other.target_)),
      destination_(std::move(other.destination_)),
      done_(other.done_) {
  other.fd_ = -1;
  other.done_ = true;
}

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept {
  if (this != &other) {
    discard();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    target_ = std::move(other.target_);
    destination_ = std::move(other.destination_);
    done_ = other.done_;
    other.fd_ = -1;
    other.done_ = true;
  }
  return *this;
}

TemporaryFile::~TemporaryFile() { discard(); }

void TemporaryFile::discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!done_) std::remove(path_.c_str());
  done_ = true;
}

Status TemporaryFile::write(std::string_view bytes) {
  if (fd_ < 0) return {StatusCode::invalidArgument, "cannot write " + target_ + ": already closed"};
  if (::ftruncate(fd_, 0) != 0) return Status::fromErrno(errno, "cannot write " + target_);
  return writeAt(0, bytes);
}

Status TemporaryFile::writeAt(uint64_t offset, std::string_view bytes) {
  if (fd_ < 0) return {StatusCode::invalidArgument, "cannot write " + target_ + ": already closed"};
  const WriteAtFunction writeBytes = gWriteAt.load();
  // A write may take less than it was given (a full disk, a signal); go on until all is
  // written or it reports why not. Taking nothing at all means there is no room.
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        writeBytes(fd_, bytes.data() + done, bytes.size() - done, off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Status::fromErrno(n < 0 ? errno : ENOSPC, "cannot write " + target_);
    done += size_t(n);
  }
  return Status::success();
}

Status TemporaryFile::commit() {
  if (fd_ < 0) return {StatusCode::invalidArgument, "cannot write " + target_ + ": already closed"};
  // Without the flush a crash soon after the rename can leave an empty or partial file under
  // the target's name on file systems that delay writing data.
  if (::fsync(fd_) != 0) return Status::fromErrno(errno, "cannot write " + target_);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Status::fromErrno(errno, "cannot write " + target_);
  if (std::rename(path_.c_str(), destination_.c_str()) != 0)
    return Status::fromErrno(errno, "cannot replace " + target_);
  done_ = true;
  // The rename itself lives in the folder. Some file systems cannot flush a folder (EINVAL);
  // there is nothing more to be done on those.
  const int folder = ::open(folderOf(destination_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return Status::success();
  const int synced = ::fsync(folder) == 0 ? 0 : errno;
  ::close(folder);
  if (synced != 0 && synced != EINVAL)
    return Status::fromErrno(synced, "replaced " + target_ + " but could not flush its folder");
  return Status::success();
}

Status replaceFileContents(const std::string& target, std::string_view bytes) {
  auto temp = TemporaryFile::create(target);
  if (!temp) return temp.status();
  if (Status written = temp->writeAt(0, bytes); !written) return written;
  return temp->commit();
}

}  // namespace orichalcumite
