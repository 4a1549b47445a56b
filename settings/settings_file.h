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
  // The size the file's JPEG thumbnail record states (clamped to 0..128), whether or not it
  // decoded; 0 x 0 when the file has no thumbnail.
  int32_t thumbnailWidth = 0;
  int32_t thumbnailHeight = 0;
  // True when an old file embeds an environment or texture picture. Such blocks are skipped
  // unread: the pictures are found again by their names.
  bool embeddedPictureSkipped = false;
};

// The bytes of a version-221 file of `s`, with `thumbnail` compressed as its JPEG record (no
// thumbnail when null). Names are written in Windows-1252.
std::vector<uint8_t> encodeSettingsFile(const EffectSettings& s, const Picture* thumbnail);
// Writes encodeSettingsFile(s, thumbnail) to `path` through a temporary file renamed into
// place, so that a failed write leaves the old file whole. Returns 0 or kSettingsWriteFailed.
int32_t writeSettingsFile(const std::string& path, const EffectSettings& s,
                          const Picture* thumbnail);

// Reads a settings file of any version. Load mode fills `s` field by field (fields a version
// lacks keep their values or get the fixed fallbacks) and stores the picture names (UTF-8; the
// texture name only when the texture choice is the picture, and the full paths are cleared);
// it does not look for the pictures. The fields read before a short read or damaged data stay.
// Every value read is then brought into its parameter range, so that a damaged file cannot
// hand the renderer an impossible choice. Thumbnail mode leaves `s` as it is. A file without
// its version, a version below 1, or a name longer than 259 bytes give kSettingsReadFailed;
// `problem` then names the field.
SettingsFileResult decodeSettingsFile(std::span<const uint8_t> bytes, SettingsReadMode mode,
                                      EffectSettings& s);
// As decodeSettingsFile, on the bytes of the file at `path`: kSettingsFileNotFound when there
// is no such file, kSettingsReadFailed when it cannot be read or is larger than any settings
// file can be (kMaxSettingsFileBytes).
SettingsFileResult readSettingsFile(const std::string& path, SettingsReadMode mode,
                                    EffectSettings& s);

// Old files may embed an environment picture of up to 2048 x 2048 pixels; anything larger
// than this is not a settings file.
constexpr size_t kMaxSettingsFileBytes = size_t(64) << 20;

}  // namespace orichalcumite
