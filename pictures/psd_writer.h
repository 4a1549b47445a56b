// The layered PSD document of an export: one layer named "layer 1" that holds the effect's
// result with its transparency, and a flattened composite of that layer over a checkerboard.
// The document is an RGB image of 8, 16 or 32 bits per channel; every integer is big-endian.
//
// The sections are built by plain functions a test can call alone; writePsd hands the document
// to a sink in pieces of a few hundred kilobytes, each at its place in the file, so that a large
// export never needs a copy of the file in memory, and writePsdFile writes those pieces into a
// temporary file beside the target that replaces it only when everything was written.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"
#include "pictures/jpeg_thumbnail.h"

namespace orichalcumite {

class Picture;

inline constexpr char kPsdLayerName[] = "layer 1";
// The largest side the PSD format allows; larger documents need the large-document format.
inline constexpr int kPsdMaxSide = 30000;
inline constexpr int kPsdChannelsPerLayer = 4;  // transparency, red, green, blue
inline constexpr int kPsdLayerCount = 1;

struct PsdOptions {
  int width = 0;
  int height = 0;
  int bytesPerChannel = 1;  // 1, 2 or 4: an 8-, 16- or 32-bit document
  // IPTC keywords after "Orichalcumite", in order (psdKeywords in host/psd_export.h).
  std::vector<std::string> keywords;
  std::vector<uint8_t> iccProfile;      // the image's colour profile; empty writes none
  std::optional<CalendarDate> created;  // the IPTC date; none takes today
};

// Where the document's bytes go: `bytes` belong at byte `offset` of the file. Pieces arrive
// in no particular order and, when the writer uses several threads, at the same time (for
// separate ranges); together they cover the file once. A failure ends the export with that
// status.
using PsdSink = std::function<Status(uint64_t offset, std::span<const uint8_t> bytes)>;
// Told the share of the document written so far (0..1); false asks the export to stop.
using PsdProgress = std::function<bool(double fraction)>;

// Success when `options` describe a document this writer can make: sides in 1..kPsdMaxSide,
// 1, 2 or 4 bytes per channel, and every length the file records within 32 bits (a 32-bit
// document near the largest side would need more; it is refused rather than written with
// lengths that wrapped round).
Status checkPsdOptions(const PsdOptions& options);

// The 26-byte file header: "8BPS", version 1, the header channel count (3, or 4 for 16 bits),
// height, width, depth and the RGB colour mode.
std::vector<uint8_t> psdFileHeader(const PsdOptions& options);
// The colour mode data with its length: empty except for the HDR toning block of 32 bits.
std::vector<uint8_t> psdColourModeData(int bytesPerChannel);
// The image-resource section with its 32-bit length: print record, resolution, print flags,
// transfer functions, URL, the colour profile when there is one, IPTC, EXIF, and the layer
// state resources.
std::vector<uint8_t> psdImageResources(const PsdOptions& options);
// The value of the layer information's own length field: the layer count, the layer record
// and the four channels' data.
uint64_t psdLayerInfoLength(const PsdOptions& options);
// The layer-and-mask section from its length field up to the first channel's data (the
// layer information's length, count and record included), and what follows the last
// channel's data up to the composite. Built around each depth's layout (plain for 8 bits,
// inside "Lr16" or "Lr32" blocks for 16 and 32 bits).
std::vector<uint8_t> psdLayerSectionStart(const PsdOptions& options);
std::vector<uint8_t> psdLayerSectionEnd(const PsdOptions& options);
// How many planes the composite holds: red, green, blue and transparency, and for 16 bits a
// second transparency plane. Readers take as many as the header's channel count.
int psdCompositePlaneCount(int bytesPerChannel);
// The size of the whole file.
uint64_t psdFileSize(const PsdOptions& options);

// A 16-bit value in the file: the internal 0..32768 (clamped into it) doubled, with 32768
// written as 65535.
uint16_t psdFileValue16(int internal);

// The composite arithmetic of one channel value, on each depth's scale. 8 bits: channel and
// alpha 0..255 over 255 or 204; 16 bits: 0..32768 over 32640 or 26112, shifted by 15;
// floats: over 1.0 or 0.8, alpha clamped to 0..1.
uint8_t psdComposite8(int x, int y, int channel, int alpha);
uint16_t psdComposite16(int x, int y, int channel, int alpha);
float psdCompositeFloat(int x, int y, float channel, float alpha);

// Writes the document of level 0 of `picture` (rgba8, rgba16 or rgbaFloat to match
// options.bytesPerChannel, of the options' size) to `sink`: the fixed sections first, then
// the pixels in bands of rows, each band read from the picture once and written to the four
// layer channels and the composite's planes at their places, on up to `processors` threads
// (0 asks the system). Stops at the first failing sink call, or when `progress` (called on
// the calling thread only) says so (StatusCode::cancelled).
Status writePsd(const PsdSink& sink, const PsdOptions& options, const Picture& picture,
                const PsdProgress& progress = {}, int processors = 0);
// The whole document in memory (tests and small documents).
Result<std::vector<uint8_t>> psdDocument(const PsdOptions& options, const Picture& picture);
// Writes the document to `path` through a temporary file beside it: on any failure, a
// cancel included, the file that was there is left as it was and nothing else remains.
Status writePsdFile(const std::string& path, const PsdOptions& options, const Picture& picture,
                    const PsdProgress& progress = {}, int processors = 0);

}  // namespace orichalcumite
