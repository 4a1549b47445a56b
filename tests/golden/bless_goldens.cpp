// Renders new expected pictures for the golden scenarios: every scenario, or those named on
// the command line. Run through scripts/bless-goldens.sh after a deliberate change, and look
// at every picture it changed before committing it.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/image_files.h"
#include "tests/golden/golden_scenario.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  using namespace orichalcumite;
  const std::string root = ORICHALCUMITE_GOLDEN_DIR;
  std::vector<std::string> names(argv + 1, argv + argc);
  if (names.empty()) names = golden::scenarioNames(root);
  if (names.empty()) {
    std::fprintf(stderr, "no golden scenarios under %s\n", root.c_str());
    return 1;
  }
  std::string warmUpError;
  if (!golden::warmUpPlugin(&warmUpError)) {
    std::fprintf(stderr, "the warm-up render failed: %s\n", warmUpError.c_str());
    return 1;
  }
  int failures = 0;
  for (const std::string& name : names) {
    const fs::path dir = fs::path(root) / name;
    std::string error;
    auto result = golden::renderScenario(dir.string(), &error);
    if (result && writeImageFile((dir / "expected.png").string(), *result, &error)) {
      std::printf("wrote %s\n", (dir / "expected.png").c_str());
    } else {
      std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
