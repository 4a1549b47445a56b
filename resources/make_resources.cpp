// Build-time tool: writes the plug-in's resource blobs pipl.bin and aete.bin into the folder
// given as its only argument, where the module's assembly picks them up.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/replace_file.h"
#include "resources/plugin_resources.h"

namespace {

// Through a temporary file renamed into place, so that an interrupted build never leaves a
// half-written blob that looks up to date.
bool writeBlob(const std::string& path, const std::vector<uint8_t>& bytes) {
  const orichalcumite::Status written = orichalcumite::replaceFileContents(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (!written) std::fprintf(stderr, "%s\n", written.message().c_str());
  return written.ok();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const bool ok = writeBlob(folder + "/pipl.bin", orichalcumite::buildPipl()) &&
                  writeBlob(folder + "/aete.bin", orichalcumite::buildAete());
  return ok ? 0 : 1;
}
