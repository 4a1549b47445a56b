// The pieces of the direct PNG writer that tests check alone (app/image_file_formats.h holds
// the reader and writer themselves).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/image.h"
#include "app/image_file_formats.h"

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

// Undoes PNG filter `filter` (0..4) on one row of `rowBytes` bytes in place, given the row
// above already undone (null for the first row) and the bytes per pixel; false for an unknown
// filter.
bool unfilterPngRow(int filter, uint8_t* row, const uint8_t* above, size_t rowBytes,
                    size_t pixelBytes);

// The two readers behind readPngFile. The quick one reads a well-formed file of a plain layout
// (every CRC right, nothing after the image data but ancillary chunks and the end) in one
// piece and declines everything else; libpng's reads every file, row band by row band, and
// says precisely what is wrong with a damaged one. readPngFile tries them in that order.
DirectRead readPngQuickly(const std::string& path, const ReadContext& context);
DirectRead readPngWithLibpng(const std::string& path, const ReadContext& context);

}  // namespace orichalcumite
