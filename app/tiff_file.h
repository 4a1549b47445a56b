// The pieces of the direct TIFF writer that tests check alone (app/image_file_formats.h holds
// the reader and writer themselves).
#pragma once

#include <cstdint>
#include <string>

#include "app/image.h"

namespace orichalcumite {

// The rows of each strip the writer makes for rows of `rowBytes` bytes (about 256 KB a strip).
uint32_t tiffStripRows(size_t rowBytes);

// The bytes of a little-endian TIFF file that precede and follow the pixels of `image`, which
// are written uncompressed, in strips of tiffStripRows rows, right after the 8-byte header:
// the header itself (`head`) and the image directory with its arrays (`tail`). Nothing when the
// file would pass the 4 GB a classic TIFF file can address.
bool tiffHeadAndTail(const Image& image, std::string* head, std::string* tail);

}  // namespace orichalcumite
