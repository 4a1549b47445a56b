// Binary PGM / PPM headers, for the direct PNM path (app/image_file_formats.h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "app/image.h"

namespace orichalcumite {

struct PnmHeader {
  int width = 0;
  int height = 0;
  int channels = 0;  // 1 for P5, 3 for P6
  int maximum = 0;   // the largest sample value, 1..65535
  size_t dataOffset = 0;
};

// The header at the start of `bytes`, comments allowed; nothing, with the reason, when it is not
// a whole binary PGM/PPM header.
std::optional<PnmHeader> parsePnmHeader(std::span<const uint8_t> bytes, std::string* why);
// The header the writer puts before `image`'s samples.
std::string pnmHeaderText(const Image& image);
// Swaps the two bytes of each of `count` 16-bit samples (the file holds them big-endian).
void swapSampleBytes16(uint8_t* bytes, size_t count);

}  // namespace orichalcumite
