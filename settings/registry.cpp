// Temporary stand-in so that the picture search can be built beside it; the user-state work
// replaces this file with the key files.
#include "settings/registry.h"

namespace orichalcumite {

std::optional<std::string> readRegistryValue(const char*) { return std::nullopt; }
bool writeRegistryValue(const char*, const std::string&) { return false; }

}  // namespace orichalcumite
