// The one place that touches the host's pixel buffers: image classification, region requests,
// pixel reads and writes in the host's sample formats, and the host's progress and cancel
// services. Only the thread that drives the render calls these.
#pragma once

#include <cstdint>

#include "host/plugin_state.h"
#include "protocol/filter_protocol.h"

namespace orichalcumite {

enum class ImageClass { eightBit, sixteenBit, highDynamicRange };

// What the renderer needs to know about the host's image, decided once per run.
struct ImageFormat {
  ImageClass imageClass = ImageClass::eightBit;
  int planes = 0;          // samples per pixel in the buffers (colour, then transparency)
  bool greyscale = false;  // fewer than three planes
  bool editableTransparency = false;
  int transparencyPlane = -1;  // inLayerPlanes when the layer has editable transparency
  // The host's mask is the layer's coverage, not a selection: a layer whose transparency the
  // host protects, filtered without a selection. Its alpha, which the host keeps, already
  // applies the coverage.
  bool maskIsCoverage = false;
  float scale = 255.0f;  // 255, 32768 or 1
};

ImageClass imageClass(const ps::FilterRecord& rec);
bool isGreyscale(const ps::FilterRecord& rec);
bool hasEditableTransparency(const ps::FilterRecord& rec);
ImageFormat classifyImage(const ps::FilterRecord& rec);

// True when the host offers big-document data and the plug-in reads the 32-bit rectangles.
bool usesBigDocument(const ps::FilterRecord& rec);
// Tells a host with big-document data that the plug-in reads and writes the 32-bit fields.
void claimBigDocument(ps::FilterRecord& rec);
// The area the filter must change.
Rect32 filterRectangle(const ps::FilterRecord& rec);
// The input rectangle the host delivered (32-bit fields when the host has big-document data).
Rect32 hostInRect(const ps::FilterRecord& rec);
// Sets the in, out and mask rectangles (32-bit fields when the host has big-document data).
void setRequestRectangles(ps::FilterRecord& rec, const Rect32& in, const Rect32& out,
                          const Rect32& mask);
// Which of source, mask and output a request asks for.
struct RequestedParts {
  bool source = true;
  bool mask = true;
  bool output = true;
};
// Asks for source, output and mask of `region` at sampling `factor` (those of `parts`: a part
// left out gets an empty rectangle, a mask a one-pixel one as when it is not needed). The
// caller then calls advanceState.
void requestRegion(ps::FilterRecord& rec, PluginState& state, const Rect32& region, int factor,
                   const RequestedParts& parts = {});
// Calls the host's advanceState; its non-zero result ends the caller's work.
int16_t advanceHostState(ps::FilterRecord& rec);

// True when the host offers advanceState, displayPixels and sampling: only then may the
// preview use a factor above 1.
bool canSample(const ps::FilterRecord& rec);
// The preview's sampling factor for a region shown in a preview of the given size (≥ 1).
int samplingFactor(bool canSampleRegion, const Rect32& region, int previewWidth, int previewHeight);

// True when the user cancelled (the host's abortProc).
bool testAbort(const ps::FilterRecord& rec);
// Reports progress to the host (done of total).
void reportProgress(const ps::FilterRecord& rec, int32_t done, int32_t total);

// Copies the whole filter rectangle, plane by plane, into an 8-bit planar buffer of
// planes × width × height bytes owned by `state` (freed by releasePreviewPixels). Returns the
// host's first non-zero advanceState result, or -108 when the buffer cannot be had.
int16_t readWholeImage8(ps::FilterRecord& rec, PluginState& state);
void releasePreviewPixels(PluginState& state);

// A view of the buffers the host delivered for the last request, built once after
// advanceState so that per-pixel access is cheap. `region` is the region that was requested;
// the host's own rectangles bound every access as well, so a read or write can never leave
// the buffers the host handed over.
class HostPixels {
 public:
  HostPixels(const ps::FilterRecord& rec, const ImageFormat& format, const Rect32& region);

  // Colour and alpha of (x, y) as floats. An absent input buffer gives transparent black;
  // a pixel outside the region leaves `rgba` as it was.
  void readPixel(int32_t x, int32_t y, bool severalRows, float rgba[4]) const;
  // Selection value of (x, y) in 0..1: 1 without a mask buffer, 0 outside the region.
  float readMask(int32_t x, int32_t y, bool severalRows) const;
  // The same as the mask byte: 255 without a mask buffer, 0 outside the region.
  uint8_t readMaskByte(int32_t x, int32_t y, bool severalRows) const;
  // Writes (x, y) when it lies in the region and the host's output rectangle. Values are
  // multiplied by the class scale and truncated; the caller clamps.
  void writePixel(int32_t x, int32_t y, const float rgba[4], bool severalRows) const;

  // The same for `count` pixels of row y from column x0 (several-rows buffers), with the
  // sample type chosen once per row: readRow leaves pixels outside the region as they are,
  // readMaskRow gives them 0, writeRow skips them.
  void readRow(int32_t y, int32_t x0, int32_t count, float* rgba) const;
  // As readRow, but pixels it would leave as they are become transparent black; every pixel
  // is written once.
  void readRowOrClear(int32_t y, int32_t x0, int32_t count, float* rgba) const;
  void readMaskRow(int32_t y, int32_t x0, int32_t count, uint8_t* mask) const;
  void writeRow(int32_t y, int32_t x0, int32_t count, const float* rgba) const;

 private:
  // Columns [first, end) of x0 .. x0 + count - 1 that lie inside both rectangles on row y;
  // empty when the row lies outside either.
  void span(const Rect32& bounds, int32_t y, int32_t x0, int32_t count, int32_t& first,
            int32_t& end) const;
  template <typename Sample>
  void readSpan(const uint8_t* row, int32_t first, int32_t end, int32_t x0, float* rgba) const;
  void writeSpan(uint8_t* row, int32_t first, int32_t end, int32_t x0, const float* rgba) const;

  // The first byte of row y of a buffer (of its only row when it holds a single row).
  const uint8_t* rowStart(const void* base, int32_t rowBytes, int32_t y, bool severalRows) const;

  ImageFormat format_;
  Rect32 region_;
  Rect32 inRect_, outRect_, maskRect_;
  const void* inData_;
  void* outData_;
  const uint8_t* maskData_;
  int32_t inRowBytes_, outRowBytes_, maskRowBytes_;
  int bytesPerSample_;
};

// A rectangle of source colours (4 floats a pixel, `stride` floats a row) or selection bytes
// from the delivered buffers; without buffers (`pixels` null) transparent black and mask 0.
void readSourceRect(const HostPixels* pixels, const Rect32& rect, float* rgba, int32_t stride);
void readMaskRect(const HostPixels* pixels, const Rect32& rect, uint8_t* mask, int32_t stride);

}  // namespace orichalcumite
