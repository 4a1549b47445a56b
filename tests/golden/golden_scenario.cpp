#include "tests/golden/golden_scenario.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "app/action_file.h"
#include "app/host_session.h"
#include "app/image_files.h"
#include "host/plugin_main.h"

namespace orichalcumite::golden {
namespace {

namespace fs = std::filesystem;

// The renderer draws its random numbers from a generator seeded from this variable, so that
// a scenario renders the same pixels every time.
constexpr const char* kSeed = "1234";

}  // namespace

std::vector<std::string> scenarioNames(const std::string& root) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(root, ec))
    if (entry.is_directory() && fs::exists(entry.path() / "action.json"))
      found.push_back(entry.path().filename().string());
  std::sort(found.begin(), found.end());
  return found;
}

bool warmUpPlugin(std::string* error) {
  setenv("ORICHALCUMITE_RAND_SEED", kSeed, 1);
  auto image = Image::make(16, 16, 3, false, SampleType::uint8);
  if (!image) {
    *error = "cannot make the warm-up picture";
    return false;
  }
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      for (int c = 0; c < 3; ++c) image->setSample(x, y, c, 128);
  auto session = HostSession::create(&PluginMain, *image, {}, {}, error);
  if (!session) return false;
  session->setDescriptor(Descriptor{});
  if (const int16_t result = session->run(false); result != 0) {
    *error = "the warm-up render returned " + std::to_string(result);
    return false;
  }
  return true;
}

std::optional<Image> renderScenario(const std::string& folder, std::string* error) {
  const fs::path dir = folder;
  setenv("ORICHALCUMITE_RAND_SEED", kSeed, 1);
  auto image = readImageFile((dir / "input.png").string(), error);
  if (!image) return std::nullopt;
  auto descriptor = readActionFile((dir / "action.json").string(), error);
  if (!descriptor) return std::nullopt;
  auto session = HostSession::create(&PluginMain, *image, {}, {}, error);
  if (!session) return std::nullopt;
  session->setDescriptor(*descriptor);
  if (const int16_t result = session->run(false); result != 0) {
    *error = "the filter returned " + std::to_string(result);
    return std::nullopt;
  }
  session->writeResult();
  return image;
}

}  // namespace orichalcumite::golden
