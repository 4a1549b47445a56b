// Settings files: one versioned big-endian format for presets (.q5q, and the older family's
// .q9q, read only), the cached last settings, the memory dots and the undo files. The writer
// writes version 221; the reader accepts every older version and fills what a file lacks.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "pictures/picture.h"

namespace orichalcumite {

struct EffectSettings;

constexpr int32_t kSettingsFileVersion = 221;

// Result codes of the settings-file calls (the filter protocol's).
constexpr int32_t kSettingsFileNotFound = -43;
constexpr int32_t kSettingsReadFailed = -19;
constexpr int32_t kSettingsWriteFailed = -20;

enum class SettingsReadMode {
  load,       // the fields go into the settings record
  thumbnail,  // nothing changes; only the thumbnail is decoded
};

struct SettingsFileResult {
  int32_t code = 0;  // 0, or one of the codes above
  int32_t version = 0;
  // Load mode: the first field that could not be read, for messages; empty on success.
  std::string problem;
  std::unique_ptr<Picture> thumbnail;  // when the file has one and it decoded
};

// The bytes of a version-221 file of `s`, with `thumbnail` compressed as its JPEG record (no
// thumbnail when null). Names are written in Windows-1252.
std::vector<uint8_t> encodeSettingsFile(const EffectSettings& s, const Picture* thumbnail);
// Writes encodeSettingsFile(s, thumbnail) to `path` through a temporary file renamed into
// place, so that a failed write leaves the old file whole. Returns 0 or kSettingsWriteFailed.
int32_t writeSettingsFile(const std::string& path, const EffectSettings& s,
                          const Picture* thumbnail);

// Reads a settings file of any version. Load mode fills `s` field by field (fields a version
// lacks keep their values or get the fixed fallbacks) and stores the picture names; it does
// not look for the pictures. The fields read before a short read stay.
SettingsFileResult decodeSettingsFile(std::span<const uint8_t> bytes, SettingsReadMode mode,
                                      EffectSettings& s);
SettingsFileResult readSettingsFile(const std::string& path, SettingsReadMode mode,
                                    EffectSettings& s);

}  // namespace orichalcumite
