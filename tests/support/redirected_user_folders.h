// Points every place the program keeps user state at a fresh scratch folder for one test:
// state home, config home and the machine-wide config folder, each a subfolder made on
// demand. The previous values come back when the object goes.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "tests/support/scratch_dir.h"

namespace orichalcumite::testing {

class RedirectedUserFolders {
 public:
  RedirectedUserFolders() {
    set("XDG_STATE_HOME", stateHome());
    set("XDG_CONFIG_HOME", configHome());
    set("ORICHALCUMITE_SYSTEM_CONFIG_DIR", systemConfig());
    set("XDG_CONFIG_DIRS", systemConfig());
  }
  ~RedirectedUserFolders() {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }
  RedirectedUserFolders(const RedirectedUserFolders&) = delete;
  RedirectedUserFolders& operator=(const RedirectedUserFolders&) = delete;

  std::string stateHome() const { return dir_.file("state"); }
  std::string stateFolder() const { return dir_.file("state/orichalcumite"); }
  std::string configHome() const { return dir_.file("config"); }
  std::string systemConfig() const { return dir_.file("etc"); }
  const ScratchDir& scratch() const { return dir_; }

  // Sets a variable for the rest of the test.
  void set(const std::string& name, const std::string& value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  ScratchDir dir_;
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace orichalcumite::testing
