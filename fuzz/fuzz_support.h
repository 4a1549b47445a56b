// What the fuzz targets share: a private folder for the files a reader must open by path, and
// a way out that libFuzzer reports as a crash when a reader breaks its own contract.
#pragma once

#include <sanitizer/common_interface_defs.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace orichalcumite::fuzz {

// Stops the run, naming the broken promise; libFuzzer keeps the input as a crash.
[[noreturn]] inline void broken(const char* what) {
  std::fprintf(stderr, "fuzz: %s\n", what);
  std::abort();
}

// The readers silence stderr while a format library runs; sanitizer reports must still be
// seen, so they go to a copy of the original stderr made before any of that.
inline void keepSanitizerReportsVisible() {
  const int copy = dup(STDERR_FILENO);
  if (copy >= 0) __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(copy)));
}

// The extension a picture file with these first bytes would carry, so that OpenImageIO goes
// straight to the one reader the contents ask for ("img" when no format is recognised: no
// reader claims it, and the open fails).
inline std::string pictureExtensionFor(const uint8_t* bytes, size_t size) {
  auto startsWith = [&](const char* magic, size_t length) {
    return size >= length && std::memcmp(bytes, magic, length) == 0;
  };
  if (startsWith("\x89PNG", 4)) return "png";
  if (startsWith("\xff\xd8", 2)) return "jpg";
  if (startsWith("II*", 3) || startsWith("MM\0*", 4)) return "tif";
  if (startsWith("BM", 2)) return "bmp";
  if (startsWith("GIF8", 4)) return "gif";
  if (startsWith("8BPS", 4)) return "psd";
  if (size >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6') return "pnm";
  return "img";
}

// A folder of this process's own, in /dev/shm when there is one (no disk traffic per input),
// removed with its files when the folder object goes (at exit, for the targets' global one).
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : P_tmpdir;
    std::string pattern = base + "/orichalcumite-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) broken("cannot make a scratch folder");
    path_ = pattern;
  }
  ~ScratchFolder() {
    for (const std::string& file : files_) unlink(file.c_str());
    rmdir(path_.c_str());
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Writes `bytes` to the file `name` in the folder (replacing it) and gives its path.
  std::string write(const std::string& name, const uint8_t* bytes, size_t size) {
    const std::string file = path_ + "/" + name;
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) broken("cannot write the scratch file");
    if (size > 0 && std::fwrite(bytes, 1, size, out) != size) broken("short scratch write");
    if (std::fclose(out) != 0) broken("cannot close the scratch file");
    files_.insert(file);
    return file;
  }

 private:
  std::string path_;
  std::set<std::string> files_;
};

}  // namespace orichalcumite::fuzz
