#include "host/host_image.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace orichalcumite {
namespace {

Rect32 fromRect16(const ps::Rect& r) { return {r.top, r.left, r.bottom, r.right}; }
Rect32 fromVRect(const ps::VRect& r) { return {r.top, r.left, r.bottom, r.right}; }
ps::VRect toVRect(const Rect32& r) { return {r.top, r.left, r.bottom, r.right}; }

// 16-bit rectangles cannot hold big-document coordinates; a host without big-document data
// never has such an image, so clamping only guards against nonsense.
ps::Rect toRect16(const Rect32& r) {
  auto c = [](int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); };
  return {c(r.top), c(r.left), c(r.bottom), c(r.right)};
}

Rect32 hostOutRect(const ps::FilterRecord& rec) {
  return usesBigDocument(rec) ? fromVRect(rec.bigDocumentData->outRect32) : fromRect16(rec.outRect);
}
Rect32 hostMaskRect(const ps::FilterRecord& rec) {
  return usesBigDocument(rec) ? fromVRect(rec.bigDocumentData->maskRect32)
                              : fromRect16(rec.maskRect);
}

int bytesPerSample(ImageClass c) {
  switch (c) {
    case ImageClass::eightBit: return 1;
    case ImageClass::sixteenBit: return 2;
    case ImageClass::highDynamicRange: return 4;
  }
  return 1;
}

// Stores value × scale truncated towards zero. Values are not clamped here: the render's
// finishing step clamps before it writes.
void storeSample(void* p, ImageClass c, float value, float scale) {
  switch (c) {
    case ImageClass::eightBit:
      *static_cast<uint8_t*>(p) = static_cast<uint8_t>(static_cast<int32_t>(value * scale));
      break;
    case ImageClass::sixteenBit: {
      const auto v = static_cast<uint16_t>(static_cast<int32_t>(value * scale));
      std::memcpy(p, &v, sizeof v);
      break;
    }
    case ImageClass::highDynamicRange: std::memcpy(p, &value, sizeof value); break;
  }
}

}  // namespace

ImageClass imageClass(const ps::FilterRecord& rec) {
  const int16_t mode = rec.imageMode;
  if (mode == ps::modeRGB96 || mode == ps::modeGray32 || rec.depth == 32)
    return ImageClass::highDynamicRange;
  if ((mode == ps::modeGray16 || mode == ps::modeRGB48) && rec.depth == 16)
    return ImageClass::sixteenBit;
  return ImageClass::eightBit;
}

bool isGreyscale(const ps::FilterRecord& rec) { return rec.planes < 3; }

bool hasEditableTransparency(const ps::FilterRecord& rec) {
  return rec.filterCase == ps::filterCaseEditableTransparencyNoSelection ||
         rec.filterCase == ps::filterCaseEditableTransparencyWithSelection;
}

ImageFormat classifyImage(const ps::FilterRecord& rec) {
  ImageFormat f;
  f.imageClass = imageClass(rec);
  f.planes = std::max<int>(rec.planes, 1);
  f.greyscale = isGreyscale(rec);
  f.editableTransparency = hasEditableTransparency(rec);
  // A transparency plane index outside the pixel would read another pixel's samples.
  if (f.editableTransparency && rec.inLayerPlanes >= 0 && rec.inLayerPlanes < f.planes)
    f.transparencyPlane = rec.inLayerPlanes;
  else
    f.editableTransparency = false;
  f.maskIsCoverage =
      rec.filterCase == ps::filterCaseProtectedTransparencyNoSelection && rec.haveMask != 0;
  f.scale = f.imageClass == ImageClass::eightBit     ? 255.0f
            : f.imageClass == ImageClass::sixteenBit ? 32768.0f
                                                     : 1.0f;
  return f;
}

Rect32 hostInRect(const ps::FilterRecord& rec) {
  return usesBigDocument(rec) ? fromVRect(rec.bigDocumentData->inRect32) : fromRect16(rec.inRect);
}

bool usesBigDocument(const ps::FilterRecord& rec) {
  return rec.bigDocumentData != nullptr && rec.bigDocumentData->PluginUsing32BitCoordinates != 0;
}

void claimBigDocument(ps::FilterRecord& rec) {
  if (rec.bigDocumentData) rec.bigDocumentData->PluginUsing32BitCoordinates = 1;
}

Rect32 filterRectangle(const ps::FilterRecord& rec) {
  return usesBigDocument(rec) ? fromVRect(rec.bigDocumentData->filterRect32)
                              : fromRect16(rec.filterRect);
}

void setRequestRectangles(ps::FilterRecord& rec, const Rect32& in, const Rect32& out,
                          const Rect32& mask) {
  if (usesBigDocument(rec)) {
    rec.bigDocumentData->inRect32 = toVRect(in);
    rec.bigDocumentData->outRect32 = toVRect(out);
    rec.bigDocumentData->maskRect32 = toVRect(mask);
  } else {
    rec.inRect = toRect16(in);
    rec.outRect = toRect16(out);
    rec.maskRect = toRect16(mask);
  }
}

void requestRegion(ps::FilterRecord& rec, PluginState& state, const Rect32& region, int factor,
                   const RequestedParts& parts) {
  state.requestedRegion = region;
  state.requestedFactor = factor;
  Rect32 mask = region;
  if (!rec.haveMask || state.maskNotNeeded || !parts.mask) {
    const Rect32 f = filterRectangle(rec);
    mask = {f.top, f.left, f.top + 1, f.left + 1};
  }
  const Rect32 none{region.top, region.left, region.top, region.left};
  setRequestRectangles(rec, parts.source ? region : none, parts.output ? region : none, mask);
  rec.inLoPlane = rec.outLoPlane = 0;
  rec.inHiPlane = rec.outHiPlane = static_cast<int16_t>(rec.planes - 1);
  rec.inputRate = rec.maskRate = static_cast<ps::Fixed>(factor * 65536);
  rec.inputPadding = rec.outputPadding = rec.maskPadding = ps::plugInWantsEdgeReplication;
}

int16_t advanceHostState(ps::FilterRecord& rec) {
  return rec.advanceState ? rec.advanceState() : ps::errPlugInHostInsufficient;
}

bool canSample(const ps::FilterRecord& rec) {
  return rec.advanceState && rec.displayPixels &&
         rec.samplingSupport != ps::hostDoesNotSupportSampling;
}

int samplingFactor(bool canSampleRegion, const Rect32& region, int previewWidth,
                   int previewHeight) {
  if (!canSampleRegion || previewWidth < 1 || previewHeight < 1) return 1;
  const int w = std::min(region.width(), previewWidth);
  const int h = std::min(region.height(), previewHeight);
  if (w < 1 || h < 1) return 1;
  const int fx = (region.width() + w - 1) / w;
  const int fy = (region.height() + h - 1) / h;
  return std::max({fx, fy, 1});
}

bool testAbort(const ps::FilterRecord& rec) { return rec.abortProc && rec.abortProc() != 0; }

void reportProgress(const ps::FilterRecord& rec, int32_t done, int32_t total) {
  if (rec.progressProc) rec.progressProc(done, total);
}

int16_t readWholeImage8(ps::FilterRecord& rec, PluginState& state) {
  releasePreviewPixels(state);
  const Rect32 area = filterRectangle(rec);
  const int planes = std::max<int>(rec.planes, 1);
  const size_t width = static_cast<size_t>(std::max(area.width(), 0));
  const size_t height = static_cast<size_t>(std::max(area.height(), 0));
  const size_t planeSize = width * height;
  auto* pixels = static_cast<uint8_t*>(std::calloc(std::max<size_t>(planeSize * planes, 1), 1));
  if (!pixels) return ps::memFullErr;
  state.previewPixels = pixels;
  state.previewWidth = static_cast<int32_t>(width);
  state.previewHeight = static_cast<int32_t>(height);
  state.previewPlanes = planes;

  const ImageClass cls = imageClass(rec);
  requestRegion(rec, state, area, 1);
  for (int plane = 0; plane < planes; ++plane) {
    rec.inLoPlane = rec.inHiPlane = static_cast<int16_t>(plane);
    const int16_t result = advanceHostState(rec);
    if (result != 0) return result;
    if (!rec.inData) continue;
    const auto* base = static_cast<const uint8_t*>(rec.inData);
    for (size_t y = 0; y < height; ++y) {
      const uint8_t* row = base + y * static_cast<size_t>(rec.inRowBytes);
      uint8_t* out = pixels + plane * planeSize + y * width;
      for (size_t x = 0; x < width; ++x) {
        switch (cls) {
          case ImageClass::eightBit: out[x] = row[x]; break;
          case ImageClass::sixteenBit: {
            uint16_t v;
            std::memcpy(&v, row + 2 * x, 2);
            // 8556510725 / 2^40 is 255/32768 rounded up a hair, so 32768 gives exactly 255.
            out[x] = static_cast<uint8_t>((uint64_t{v} * 8556510725ull) >> 40);
            break;
          }
          case ImageClass::highDynamicRange: {
            float v;
            std::memcpy(&v, row + 4 * x, 4);
            out[x] = static_cast<uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f);
            break;
          }
        }
      }
    }
  }
  rec.inLoPlane = 0;
  rec.inHiPlane = static_cast<int16_t>(planes - 1);
  return 0;
}

void releasePreviewPixels(PluginState& state) {
  std::free(state.previewPixels);
  state.previewPixels = nullptr;
  state.previewWidth = state.previewHeight = state.previewPlanes = 0;
}

HostPixels::HostPixels(const ps::FilterRecord& rec, const ImageFormat& format, const Rect32& region)
    : format_(format),
      region_(region),
      inRect_(hostInRect(rec)),
      outRect_(hostOutRect(rec)),
      maskRect_(hostMaskRect(rec)),
      inData_(rec.inData),
      outData_(rec.outData),
      maskData_(static_cast<const uint8_t*>(rec.maskData)),
      inRowBytes_(rec.inRowBytes),
      outRowBytes_(rec.outRowBytes),
      maskRowBytes_(rec.maskRowBytes),
      bytesPerSample_(bytesPerSample(format.imageClass)) {}

const uint8_t* HostPixels::rowStart(const void* base, int32_t rowBytes, int32_t y,
                                    bool severalRows) const {
  const auto* p = static_cast<const uint8_t*>(base);
  return severalRows ? p + static_cast<ptrdiff_t>(y - region_.top) * rowBytes : p;
}

void HostPixels::readPixel(int32_t x, int32_t y, bool severalRows, float rgba[4]) const {
  if (!inData_) {
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0.0f;
    return;
  }
  if (!region_.contains(x, y) || !inRect_.contains(x, y)) return;
  const uint8_t* row = rowStart(inData_, inRowBytes_, y, severalRows);
  switch (format_.imageClass) {
    case ImageClass::eightBit: readSpan<uint8_t>(row, x, x + 1, x, rgba); break;
    case ImageClass::sixteenBit: readSpan<uint16_t>(row, x, x + 1, x, rgba); break;
    case ImageClass::highDynamicRange: readSpan<float>(row, x, x + 1, x, rgba); break;
  }
}

float HostPixels::readMask(int32_t x, int32_t y, bool severalRows) const {
  return readMaskByte(x, y, severalRows) / 255.0f;
}

uint8_t HostPixels::readMaskByte(int32_t x, int32_t y, bool severalRows) const {
  if (!maskData_) return 255;
  if (!region_.contains(x, y) || !maskRect_.contains(x, y)) return 0;
  const uint8_t* p = maskData_ + (x - maskRect_.left);
  if (severalRows) p += static_cast<ptrdiff_t>(y - maskRect_.top) * maskRowBytes_;
  return *p;
}

void HostPixels::writePixel(int32_t x, int32_t y, const float rgba[4], bool severalRows) const {
  if (!outData_) return;
  if (!region_.contains(x, y) || !outRect_.contains(x, y)) return;
  writeSpan(const_cast<uint8_t*>(rowStart(outData_, outRowBytes_, y, severalRows)), x, x + 1, x,
            rgba);
}

void HostPixels::span(const Rect32& bounds, int32_t y, int32_t x0, int32_t count, int32_t& first,
                      int32_t& end) const {
  first = end = x0;
  if (y < region_.top || y >= region_.bottom || y < bounds.top || y >= bounds.bottom) return;
  first = std::max({x0, region_.left, bounds.left});
  end = std::max(first, std::min({x0 + count, region_.right, bounds.right}));
}

template <typename Sample>
void HostPixels::readSpan(const uint8_t* row, int32_t first, int32_t end, int32_t x0,
                          float* rgba) const {
  const int planes = format_.planes;
  const auto* p =
      reinterpret_cast<const Sample*>(row) + static_cast<ptrdiff_t>(first - region_.left) * planes;
  float* out = rgba + static_cast<ptrdiff_t>(first - x0) * 4;
  if constexpr (std::is_same_v<Sample, uint8_t>) {
    // Division, not multiplication by the inverse, keeps every 8-bit value exact on the way
    // back: the table holds those quotients.
    static const std::array<float, 256> kUnits = [] {
      std::array<float, 256> units{};
      for (int v = 0; v < 256; ++v) units[size_t(v)] = static_cast<float>(v) / 255.0f;
      return units;
    }();
    if (format_.scale == 255.0f && !format_.greyscale && !format_.editableTransparency) {
      for (int32_t x = first; x < end; ++x, p += planes, out += 4) {
        out[0] = kUnits[p[0]];
        out[1] = kUnits[p[1]];
        out[2] = kUnits[p[2]];
        out[3] = 1.0f;
      }
      return;
    }
  }
  for (int32_t x = first; x < end; ++x, p += planes, out += 4) {
    Sample c[3];
    std::memcpy(&c[0], p, sizeof(Sample));
    if (format_.greyscale) {
      c[1] = c[2] = c[0];
    } else {
      std::memcpy(&c[1], p + 1, 2 * sizeof(Sample));
    }
    // Division, not multiplication by the inverse, keeps every 8-bit value exact on the way
    // back; the HDR class divides by 1.
    out[0] = static_cast<float>(c[0]) / format_.scale;
    out[1] = static_cast<float>(c[1]) / format_.scale;
    out[2] = static_cast<float>(c[2]) / format_.scale;
    if (format_.editableTransparency) {
      Sample a;
      std::memcpy(&a, p + format_.transparencyPlane, sizeof(Sample));
      out[3] = static_cast<float>(a) / format_.scale;
    } else {
      out[3] = 1.0f;
    }
  }
}

void HostPixels::writeSpan(uint8_t* row, int32_t first, int32_t end, int32_t x0,
                           const float* rgba) const {
  const int planes = format_.planes;
  uint8_t* p = row + static_cast<ptrdiff_t>(first - region_.left) * planes * bytesPerSample_;
  const float* in = rgba + static_cast<ptrdiff_t>(first - x0) * 4;
  const ImageClass c = format_.imageClass;
  if (c == ImageClass::eightBit && !format_.greyscale && !format_.editableTransparency) {
    const float scale = format_.scale;
    for (int32_t x = first; x < end; ++x, p += planes, in += 4) {
      p[0] = static_cast<uint8_t>(static_cast<int32_t>(in[0] * scale));
      p[1] = static_cast<uint8_t>(static_cast<int32_t>(in[1] * scale));
      p[2] = static_cast<uint8_t>(static_cast<int32_t>(in[2] * scale));
    }
    return;
  }
  for (int32_t x = first; x < end; ++x, p += planes * bytesPerSample_, in += 4) {
    if (format_.greyscale) {
      storeSample(p, c, in[1], format_.scale);
    } else {
      storeSample(p, c, in[0], format_.scale);
      storeSample(p + bytesPerSample_, c, in[1], format_.scale);
      storeSample(p + 2 * bytesPerSample_, c, in[2], format_.scale);
    }
    if (format_.editableTransparency)
      storeSample(p + format_.transparencyPlane * bytesPerSample_, c, in[3], format_.scale);
  }
}

void HostPixels::readRow(int32_t y, int32_t x0, int32_t count, float* rgba) const {
  if (!inData_) {
    std::fill(rgba, rgba + static_cast<ptrdiff_t>(count) * 4, 0.0f);
    return;
  }
  int32_t first, end;
  span(inRect_, y, x0, count, first, end);
  if (first >= end) return;
  const auto* row =
      static_cast<const uint8_t*>(inData_) + static_cast<ptrdiff_t>(y - region_.top) * inRowBytes_;
  switch (format_.imageClass) {
    case ImageClass::eightBit: readSpan<uint8_t>(row, first, end, x0, rgba); break;
    case ImageClass::sixteenBit: readSpan<uint16_t>(row, first, end, x0, rgba); break;
    case ImageClass::highDynamicRange: readSpan<float>(row, first, end, x0, rgba); break;
  }
}

void HostPixels::readRowOrClear(int32_t y, int32_t x0, int32_t count, float* rgba) const {
  int32_t first = x0, end = x0;
  if (inData_) span(inRect_, y, x0, count, first, end);
  // The span may lie wholly beside the row asked for.
  first = std::clamp(first, x0, x0 + count);
  end = std::clamp(end, first, x0 + count);
  std::fill(rgba, rgba + static_cast<ptrdiff_t>(first - x0) * 4, 0.0f);
  std::fill(rgba + static_cast<ptrdiff_t>(end - x0) * 4, rgba + static_cast<ptrdiff_t>(count) * 4,
            0.0f);
  if (first < end) readRow(y, x0, count, rgba);
}

void HostPixels::readMaskRow(int32_t y, int32_t x0, int32_t count, uint8_t* mask) const {
  if (!maskData_) {
    std::fill(mask, mask + count, uint8_t{255});
    return;
  }
  std::fill(mask, mask + count, uint8_t{0});
  int32_t first, end;
  span(maskRect_, y, x0, count, first, end);
  if (first >= end) return;
  const uint8_t* row = maskData_ + static_cast<ptrdiff_t>(y - maskRect_.top) * maskRowBytes_;
  std::memcpy(mask + (first - x0), row + (first - maskRect_.left),
              static_cast<size_t>(end - first));
}

void HostPixels::writeRow(int32_t y, int32_t x0, int32_t count, const float* rgba) const {
  if (!outData_) return;
  int32_t first, end;
  span(outRect_, y, x0, count, first, end);
  if (first >= end) return;
  auto* row =
      static_cast<uint8_t*>(outData_) + static_cast<ptrdiff_t>(y - region_.top) * outRowBytes_;
  writeSpan(row, first, end, x0, rgba);
}

void readSourceRect(const HostPixels* pixels, const Rect32& rect, float* rgba, int32_t stride) {
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    float* out = rgba + static_cast<ptrdiff_t>(y - rect.top) * stride;
    if (pixels)
      pixels->readRowOrClear(y, rect.left, rect.width(), out);
    else
      std::fill(out, out + static_cast<ptrdiff_t>(rect.width()) * 4, 0.0f);
  }
}

void readMaskRect(const HostPixels* pixels, const Rect32& rect, uint8_t* mask, int32_t stride) {
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    uint8_t* out = mask + static_cast<ptrdiff_t>(y - rect.top) * stride;
    if (pixels)
      pixels->readMaskRow(y, rect.left, rect.width(), out);
    else
      std::fill(out, out + rect.width(), uint8_t{0});
  }
}

}  // namespace orichalcumite
