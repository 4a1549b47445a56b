// Build-time tool: writes the plug-in's resource blobs pipl.bin and aete.bin into the folder
// given as its only argument, where the module's assembly picks them up.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "host/plugin_resources.h"

namespace {

// Writes to a temporary name beside the target and renames it into place, so that an
// interrupted build never leaves a half-written blob that looks up to date.
bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  std::error_code ec;
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", temporary.c_str());
    std::filesystem::remove(temporary, ec);
    return false;
  }
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::fprintf(stderr, "cannot rename %s to %s: %s\n", temporary.c_str(), path.c_str(),
                 ec.message().c_str());
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const bool ok = writeFile(folder / "pipl.bin", orichalcumite::buildPipl()) &&
                  writeFile(folder / "aete.bin", orichalcumite::buildAete());
  return ok ? 0 : 1;
}
