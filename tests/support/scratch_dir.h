// A fresh folder for one test's files, removed with everything in it when the test ends.
// Tests never write to a shared temporary folder under a predictable name.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace orichalcumite::testing {

class ScratchDir {
 public:
  // Under ORICHALCUMITE_TEST_SCRATCH (a folder of the build tree) when the test defines it.
  ScratchDir() {
#ifdef ORICHALCUMITE_TEST_SCRATCH
    const std::filesystem::path root = ORICHALCUMITE_TEST_SCRATCH;
#else
    const std::filesystem::path root = std::filesystem::temp_directory_path();
#endif
    std::filesystem::create_directories(root);
    std::string pattern = (root / "run-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data())) path_ = name.data();
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  bool valid() const { return !path_.empty(); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace orichalcumite::testing
