#include "app/plugin_module.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "app/elf_sections.h"
#include "base/four_char_code.h"

namespace orichalcumite {
namespace {

constexpr uint8_t kModeFlagGrey = 0x40;
constexpr uint8_t kModeFlagRgb = 0x10;

}  // namespace

std::optional<PiplInfo> readModulePipl(const std::string& path, std::string* error) {
  std::string why;
  // A folder opens as a stream whose size reads as huge; say what it is instead.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (error) *error = "cannot read the module " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) {
    if (error)
      *error = "the module " + path +
               (S_ISDIR(info.st_mode) ? " is a folder, not a file" : " is not a regular file");
    return std::nullopt;
  }
  auto file = readWholeFile(path, &why);
  if (!file) {
    if (error) *error = "cannot read the module " + path + ": " + why;
    return std::nullopt;
  }
  auto section = elfSection(*file, ps::kPiplSectionName, &why);
  if (!section) {
    if (error) *error = "the module " + path + " has no usable PIPL: " + why;
    return std::nullopt;
  }
  auto pipl = parsePipl(*section, &why);
  if (!pipl) {
    if (error) *error = "the module " + path + " has a damaged PIPL: " + why;
    return std::nullopt;
  }
  return pipl;
}

std::unique_ptr<PluginModule> PluginModule::open(const std::string& path, std::string* error) {
  auto fail = [&](std::string why) -> std::unique_ptr<PluginModule> {
    if (error) *error = std::move(why);
    return nullptr;
  };
  auto pipl = readModulePipl(path, error);
  if (!pipl) return nullptr;
  if (pipl->kind != ps::kFilterKind)
    return fail("the module " + path + " is not a filter (its PIPL kind is \"" +
                printableFourCCText(pipl->kind) + "\")");
  if (pipl->entryPoint.empty())
    return fail("the module " + path + " names no x86-64 entry point in its PIPL");

  std::unique_ptr<PluginModule> module(new PluginModule);
  module->path_ = path;
  module->pipl_ = std::move(*pipl);
  // A name without a slash would be searched for on the library path; this one is a file.
  const std::string loadPath = path.find('/') == std::string::npos ? "./" + path : path;
  dlerror();
  module->library_ = dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module->library_) {
    const char* why = dlerror();
    return fail("cannot load the module " + path + ": " + (why ? why : "unknown reason"));
  }
  dlerror();
  void* symbol = dlsym(module->library_, module->pipl_.entryPoint.c_str());
  if (!symbol)
    return fail("the module " + path + " has no entry point \"" + module->pipl_.entryPoint + "\"");
  module->entry_ = reinterpret_cast<ps::PluginMainProc>(symbol);
  return module;
}

PluginModule::~PluginModule() {
  if (library_) dlclose(library_);
}

ModeDecision moduleAccepts(const PiplInfo& pipl, const EnableContext& document) {
  for (size_t i = pipl.enableExpressions.size(); i-- > 0;) {
    if (auto accepted = evaluateEnableExpression(pipl.enableExpressions[i], document, nullptr))
      return {*accepted, "enable expression " + std::to_string(i + 1)};
  }
  const bool eightBit = document.depth == 8;
  const bool grey = document.imageMode == ps::modeGrayScale;
  if (pipl.hasModeFlags) {
    if (!eightBit) return {false, "mode flags (which cover 8-bit documents only)"};
    return {(pipl.modeFlags[0] & (grey ? kModeFlagGrey : kModeFlagRgb)) != 0, "mode flags"};
  }
  return {eightBit, "no mode declaration (8-bit documents assumed)"};
}

}  // namespace orichalcumite
