#include "app/replace_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace orichalcumite {

std::optional<TemporaryFile> TemporaryFile::create(const std::string& target, std::string* error) {
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
  if (fd < 0) {
    if (error) *error = "cannot create a file in " + folder.string() + ": " + std::strerror(errno);
    return std::nullopt;
  }
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

bool TemporaryFile::commit(std::string* error) {
  if (std::rename(path_.c_str(), target_.c_str()) != 0) {
    if (error) *error = "cannot replace " + target_ + ": " + std::strerror(errno);
    return false;
  }
  done_ = true;
  return true;
}

bool replaceFileContents(const std::string& target, std::string_view bytes, std::string* error) {
  auto temp = TemporaryFile::create(target, error);
  if (!temp) return false;
  std::FILE* f = std::fopen(temp->path().c_str(), "wb");
  if (!f) {
    if (error) *error = "cannot write " + target + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    if (error) *error = "cannot write " + target + ": " + std::strerror(errno);
    return false;
  }
  return temp->commit(error);
}

}  // namespace orichalcumite
