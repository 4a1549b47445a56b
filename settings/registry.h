// The settings key: a few named text values kept between runs (the pictures folder, the last
// preset folder and name, the last run's picture paths). Kept in a key file, machine-wide under
// the first folder of $XDG_CONFIG_DIRS when that file can be written, else per user under
// $XDG_CONFIG_HOME.
#pragma once

#include <optional>
#include <string>

namespace orichalcumite {

// Value names.
constexpr const char* kEnviroPathValue = "EnviroPath";
constexpr const char* kCurrentDirectoryValue = "CurrentDirectory";
constexpr const char* kPresetNameValue = "PresetName";
constexpr const char* kChromeFileValue = "ChromeFile";
constexpr const char* kChromeNameOnlyValue = "ChromeFNameOnly";
constexpr const char* kTextureFileValue = "TextureFile";
constexpr const char* kTextureNameOnlyValue = "TextureFNameOnly";

// The value, or nothing when the key or the value cannot be read.
std::optional<std::string> readRegistryValue(const char* name);
// False when the key cannot be opened or written; nothing is said to the user.
bool writeRegistryValue(const char* name, const std::string& value);

}  // namespace orichalcumite
