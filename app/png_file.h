// The pieces of the direct PNG writer that tests check alone (app/image_file_formats.h holds
// the reader and writer themselves).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/image.h"

namespace orichalcumite {

// One PNG chunk: length, type, data and the CRC over type and data.
std::string pngChunk(std::string_view type, std::string_view data);

// Rows `firstRow` .. `endRow` of `image` as PNG filtered scanlines: each row is the Up filter
// byte (2) and every byte minus the same byte of the row above (of row firstRow - 1 for the
// first, nothing above row 0), with 16-bit samples big-endian. Appended to `out`.
void appendUpFilteredRows(const Image& image, int firstRow, int endRow, std::vector<uint8_t>& out);

// The rows of each strip compressed on its own, so that a strip holds about a megabyte.
int pngStripRows(size_t rowBytes);

// The whole PNG file for `image` (8/16-bit, 1..4 channels), compressed on `threads` threads.
// The bytes do not depend on the number of threads.
std::string pngFileBytes(const Image& image, int threads);

}  // namespace orichalcumite
