// A filter module on disk: its PIPL, read from the ELF section .pipl before any of its code
// runs, and its entry point, found under the name the PIPL gives.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/enable_expression.h"
#include "protocol/filter_protocol.h"
#include "resources/plugin_resources.h"

namespace orichalcumite {

// The PIPL of the module at `path`; nothing, with a one-line reason, when the file cannot be
// read, is not a 64-bit ELF file, has no .pipl section or a damaged one.
std::optional<PiplInfo> readModulePipl(const std::string& path, std::string* error);

class PluginModule {
 public:
  // Reads the PIPL, checks that it describes a filter with an x86-64 entry point, loads the
  // module and looks the entry point up. Nothing, with a one-line reason, on any failure.
  static std::unique_ptr<PluginModule> open(const std::string& path, std::string* error);
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  const std::string& path() const { return path_; }
  const PiplInfo& pipl() const { return pipl_; }
  ps::PluginMainProc entry() const { return entry_; }

 private:
  PluginModule() = default;

  std::string path_;
  PiplInfo pipl_;
  void* library_ = nullptr;
  ps::PluginMainProc entry_ = nullptr;
};

struct ModeDecision {
  bool accepted = false;
  std::string basis;  // which declaration decided: "enable expression 2", "mode flags", ...
};

// Whether the module accepts a document. The last enable expression this host can evaluate
// decides (later expressions are the newer form of the earlier ones, like the two of our own
// module, of which only the second admits 32-bit documents). Without a usable expression the
// mode flags decide for 8-bit grey and RGB documents; they say nothing about deeper ones,
// which are then refused. A module that declares neither is taken to accept 8-bit documents.
ModeDecision moduleAccepts(const PiplInfo& pipl, const EnableContext& document);

}  // namespace orichalcumite
