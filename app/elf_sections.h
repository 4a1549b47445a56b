// Reads one named section of a 64-bit little-endian ELF file without loading it, so that a
// module's resources can be checked before any of its code runs. Every offset, size and name
// is checked against the file; a damaged or truncated file gives a clear error, never a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orichalcumite {

// The bytes of section `name` of the ELF image `file`. Gives nothing when the image is not a
// 64-bit little-endian ELF file, is damaged, or has no such section (or one without file
// data); `*error` then says which.
std::optional<std::span<const uint8_t>> elfSection(std::span<const uint8_t> file,
                                                   std::string_view name, std::string* error);

// Reads the whole file at `path` (refusing files over 1 GiB) for elfSection.
std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path, std::string* error);

}  // namespace orichalcumite
