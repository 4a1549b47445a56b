#include "app/host_session.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>
#include <thread>

#include "app/display_port.h"

namespace orichalcumite {
namespace {

std::atomic<HostSession*> gActive{nullptr};

constexpr ps::Fixed kOne = 0x10000;
constexpr ps::Fixed kResolution72 = 72 * kOne;
constexpr char kWritesOutsideSelectionFlag = 0x08;

// ---- Procedures that reach the active session

ps::Boolean abortProc() noexcept {
  HostSession* s = gActive.load();
  return s ? s->abortRequested() : 0;
}

void progressProc(int32_t done, int32_t total) noexcept {
  if (HostSession* s = gActive.load()) s->reportProgress(done, total);
}

ps::OSErr advanceStateProc() noexcept {
  HostSession* s = gActive.load();
  if (!s) return ps::paramErr;
  try {
    return s->advance();
  } catch (const std::bad_alloc&) {
    return ps::memFullErr;
  } catch (...) {
    return ps::paramErr;
  }
}

void processEventProc(void*) noexcept {}

// The filter's window hands its surface as the platform context; without one (a run with no
// window) a good map is drawn nowhere.
ps::OSErr displayPixelsProc(const ps::PSPixelMap* source, const ps::VRect* srcRect, int32_t dstRow,
                            int32_t dstCol, void* platformContext) noexcept {
  if (!source || !srcRect) return ps::paramErr;
  return drawPixelMap(*source, *srcRect, dstRow, dstCol,
                      static_cast<const ps::PlatformDisplaySurface*>(platformContext));
}

// Colour components: RGB and grey 0..255.
ps::OSErr convertColour(ps::ColorServicesInfo* info) {
  const int16_t to = info->resultSpace == ps::plugIncolorServicesChosenSpace ? info->sourceSpace
                                                                             : info->resultSpace;
  const int16_t from = info->sourceSpace;
  const bool known = [](int16_t s) {
    return s == ps::plugIncolorServicesRGBSpace || s == ps::plugIncolorServicesGraySpace;
  }(from) && (to == ps::plugIncolorServicesRGBSpace || to == ps::plugIncolorServicesGraySpace);
  if (!known) return ps::paramErr;
  int16_t* c = info->colorComponents;
  if (from == ps::plugIncolorServicesGraySpace && to == ps::plugIncolorServicesRGBSpace) {
    c[1] = c[2] = c[0];
  } else if (from == ps::plugIncolorServicesRGBSpace && to == ps::plugIncolorServicesGraySpace) {
    c[0] = static_cast<int16_t>(std::lround(0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]));
    c[1] = c[2] = 0;
  }
  c[3] = 0;
  info->resultSpace = to;
  info->resultGamutInfoValid = 1;
  info->resultInGamut = 1;
  return ps::noErr;
}

ps::OSErr colorServicesProc(ps::ColorServicesInfo* info) noexcept {
  if (!info || info->infoSize < static_cast<int32_t>(sizeof(ps::ColorServicesInfo)))
    return ps::paramErr;
  switch (info->selector) {
    case ps::plugIncolorServicesConvertColor: return convertColour(info);
    case ps::plugIncolorServicesGetSpecialColor: {
      // Foreground black, background white.
      const int id = info->selectorParameter.specialColorID;
      if (id != 0 && id != 1) return ps::paramErr;
      const int16_t v = id == 0 ? 0 : 255;
      info->sourceSpace = ps::plugIncolorServicesRGBSpace;
      info->colorComponents[0] = info->colorComponents[1] = info->colorComponents[2] = v;
      return convertColour(info);
    }
    default:
      // No colour picker and no image to sample on the command line.
      return ps::errPlugInHostInsufficient;
  }
}

bool isEmpty(const ps::VRect& r) { return r.bottom <= r.top || r.right <= r.left; }

int16_t clamp16(int64_t v) {
  return static_cast<int16_t>(std::clamp<int64_t>(v, std::numeric_limits<int16_t>::min(),
                                                  std::numeric_limits<int16_t>::max()));
}

ps::Rect toRect16(const ps::VRect& r) {
  return {clamp16(r.top), clamp16(r.left), clamp16(r.bottom), clamp16(r.right)};
}

ps::VRect toVRect(const ps::Rect& r) { return {r.top, r.left, r.bottom, r.right}; }

bool sameRect(const ps::Rect& a, const ps::Rect& b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

int32_t extent16(int32_t v) { return std::min(v, kMax16BitExtent); }

// One buffer pixel (column i of a row at document row y): the document's pixel, its nearest
// edge pixel, the fill value, or zeros, as the padding asks.
void copyPixel(const HostPlanes& source, const ps::VRect& rect, int64_t i, int64_t y, int step,
               bool replicate, bool fillValue, const std::vector<uint8_t>& fill, size_t offset,
               int64_t pixelBytes, uint8_t* out) {
  const int64_t x = (rect.left + i) * step;
  const bool in = x >= 0 && y >= 0 && x < source.width && y < source.height;
  if (in || replicate) {
    const int sx = int(std::clamp<int64_t>(x, 0, source.width - 1));
    const int sy = int(std::clamp<int64_t>(y, 0, source.height - 1));
    std::memcpy(out, source.pixel(sx, sy) + offset, size_t(pixelBytes));
  } else if (fillValue) {
    std::memcpy(out, fill.data(), size_t(pixelBytes));
  } else {
    std::memset(out, 0, size_t(pixelBytes));  // no padding wanted: the samples are 0
  }
}

// Copies `count` pixels of `n` bytes each, taken `stride` bytes apart from `from`, next to each
// other into `out`; the usual pixel sizes get a copy of fixed size.
template <size_t N>
void copySampledFixed(uint8_t* out, const uint8_t* from, size_t stride, int64_t count) {
  for (int64_t i = 0; i < count; ++i, out += N, from += stride) std::memcpy(out, from, N);
}

void copySampled(uint8_t* out, const uint8_t* from, size_t stride, int64_t count, size_t n) {
  switch (n) {
    case 1: return copySampledFixed<1>(out, from, stride, count);
    case 2: return copySampledFixed<2>(out, from, stride, count);
    case 3: return copySampledFixed<3>(out, from, stride, count);
    case 4: return copySampledFixed<4>(out, from, stride, count);
    case 6: return copySampledFixed<6>(out, from, stride, count);
    case 8: return copySampledFixed<8>(out, from, stride, count);
    case 12: return copySampledFixed<12>(out, from, stride, count);
    case 16: return copySampledFixed<16>(out, from, stride, count);
    default:
      for (int64_t i = 0; i < count; ++i, out += n, from += stride) std::memcpy(out, from, n);
  }
}

// Fills `buffer` with planes lo..hi of `source` over `rect` at sampling rate `step`. As the
// protocol has it, a sampled request names its rectangle in reduced coordinates: buffer pixel
// (i, j) is document pixel ((left + i) × step, (top + j) × step). Pixels outside the document
// follow `padding`.
ps::OSErr fillBuffer(const HostPlanes& source, const ps::VRect& rect, int lo, int hi, int step,
                     int16_t padding, int64_t spaceBytes, std::vector<uint8_t>& buffer,
                     int* columnsOut, int* rowsOut, int32_t* rowBytesOut) {
  const int64_t columns = int64_t(rect.right) - rect.left;
  const int64_t rows = int64_t(rect.bottom) - rect.top;
  const size_t bps = sampleSize(source.type);
  const int64_t pixelBytes = int64_t(hi - lo + 1) * int64_t(bps);
  const int64_t rowBytes = columns * pixelBytes;
  if (rowBytes > std::numeric_limits<int32_t>::max() || rows * rowBytes > spaceBytes)
    return ps::memFullErr;
  const bool outside = rect.left < 0 || rect.top < 0 ||
                       (int64_t(rect.right) - 1) * step >= source.width ||
                       (int64_t(rect.bottom) - 1) * step >= source.height;
  if (outside && padding == ps::plugInWantsErrorOnBoundsException) return ps::paramErr;
  // Every pixel of the buffer is written below.
  buffer.resize(size_t(rows * rowBytes));

  // A fill value 0..255 means that level of white in every depth.
  std::vector<uint8_t> fill(size_t(pixelBytes), 0);
  if (padding >= 0 && padding <= 255) {
    for (int p = 0; p <= hi - lo; ++p) {
      uint8_t* f = fill.data() + size_t(p) * bps;
      if (source.type == SampleType::uint8) {
        f[0] = static_cast<uint8_t>(padding);
      } else if (source.type == SampleType::uint16) {
        const auto v = static_cast<uint16_t>((padding * 32768 + 127) / 255);
        std::memcpy(f, &v, 2);
      } else {
        const float v = static_cast<float>(padding) / 255.0f;
        std::memcpy(f, &v, 4);
      }
    }
  }
  const bool replicate = padding == ps::plugInWantsEdgeReplication;
  const bool fillValue = padding >= 0 && padding <= 255;
  const size_t offset = size_t(lo) * bps;
  const size_t sourcePixelBytes = source.pixelBytes();
  // Whole pixels at rate 1 are one contiguous run in the document: copy the part of each row
  // inside the document at once.
  const bool contiguous = step == 1 && size_t(pixelBytes) == sourcePixelBytes;
  // Columns [first, last) of the buffer sample document columns inside the document.
  const int64_t first = std::clamp<int64_t>(-int64_t(rect.left), 0, columns);
  const int64_t insideEnd = (int64_t(source.width) + step - 1) / step;  // sampled columns
  const int64_t last = std::clamp<int64_t>(insideEnd - rect.left, first, columns);
  for (int64_t j = 0; j < rows; ++j) {
    uint8_t* out = buffer.data() + size_t(j * rowBytes);
    const int64_t y = (rect.top + j) * step;
    const bool rowInside = y >= 0 && y < source.height;
    int64_t i = 0;
    if (rowInside && last > first) {
      const uint8_t* from = source.pixel(int((rect.left + first) * step), int(y)) + offset;
      if (contiguous)
        std::memcpy(out + size_t(first * pixelBytes), from, size_t((last - first) * pixelBytes));
      else
        copySampled(out + size_t(first * pixelBytes), from, size_t(step) * sourcePixelBytes,
                    last - first, size_t(pixelBytes));
      // Only the columns outside the document are left for the per-pixel loop below.
      for (; i < columns; ++i) {
        if (i == first) i = last;
        if (i >= columns) break;
        copyPixel(source, rect, i, y, step, replicate, fillValue, fill, offset, pixelBytes,
                  out + size_t(i * pixelBytes));
      }
      continue;
    }
    for (; i < columns; ++i)
      copyPixel(source, rect, i, y, step, replicate, fillValue, fill, offset, pixelBytes,
                out + size_t(i * pixelBytes));
  }
  *columnsOut = int(columns);
  *rowsOut = int(rows);
  *rowBytesOut = int32_t(rowBytes);
  return ps::noErr;
}

int stepOf(ps::Fixed rate) { return std::max(1, rate / kOne); }

}  // namespace

EnableContext documentMode(bool grey, SampleType type) {
  switch (type) {
    case SampleType::uint8: return {grey ? ps::modeGrayScale : ps::modeRGBColor, 8};
    case SampleType::uint16: return {grey ? ps::modeGray16 : ps::modeRGB48, 16};
    case SampleType::float32: return {grey ? ps::modeGray32 : ps::modeRGB96, 32};
  }
  return {ps::modeRGBColor, 8};
}

const char* imageModeName(int mode) {
  switch (mode) {
    case ps::modeGrayScale: return "8-bit greyscale";
    case ps::modeRGBColor: return "8-bit RGB";
    case ps::modeGray16: return "16-bit greyscale";
    case ps::modeRGB48: return "16-bit RGB";
    case ps::modeGray32: return "32-bit greyscale";
    case ps::modeRGB96: return "32-bit RGB";
    default: return "other";
  }
}

std::array<ps::FilterCaseInfo, 7> SessionOptions::straightCases() {
  std::array<ps::FilterCaseInfo, 7> cases{};
  for (auto& c : cases) c = {ps::filterDataHandlingNone, ps::filterDataHandlingNone, 0, 0};
  return cases;
}

const char* filterCaseName(int filterCase) {
  switch (filterCase) {
    case 1: return "flat image without selection";
    case 2: return "flat image with selection";
    case 3: return "floating selection";
    case 4: return "layer with editable transparency, without selection";
    case 5: return "layer with editable transparency, with selection";
    case 6: return "image with transparency, without selection";
    case 7: return "image with transparency, with selection";
    default: return "unknown filter case";
  }
}

HostSession::HostSession(ps::PluginMainProc entry, Image& image, SessionOptions options)
    : entry_(entry),
      image_(image),
      options_(std::move(options)),
      memory_(options_.spaceBytes),
      descriptors_(memory_) {}

std::unique_ptr<HostSession> HostSession::create(ps::PluginMainProc entry, Image& image,
                                                 std::span<const uint8_t> selection,
                                                 SessionOptions options, std::string* error) {
  auto fail = [&](std::string why) -> std::unique_ptr<HostSession> {
    if (error) *error = std::move(why);
    return nullptr;
  };
  if (!entry) return fail("no entry point");
  if (image.pixelCount() == 0) return fail("the image has no pixels");
  const bool hasSelection = !selection.empty();
  if (hasSelection && selection.size() != image.pixelCount())
    return fail("the selection does not have one byte for every pixel of the image");

  const int filterCase = image.hasAlpha() ? (hasSelection ? 7 : 6) : (hasSelection ? 2 : 1);
  const ps::FilterCaseInfo info = options.filterCases[size_t(filterCase - 1)];
  if (info.inputHandling == ps::filterDataHandlingCantFilter ||
      info.outputHandling == ps::filterDataHandlingCantFilter)
    return fail(std::string("the module cannot filter this image (") + filterCaseName(filterCase) +
                ")");
  switch (info.inputHandling) {
    case ps::filterDataHandlingNone:
    case ps::filterDataHandlingDefringe:
    case ps::filterDataHandlingBlackZap:
    case ps::filterDataHandlingGrayZap:
    case ps::filterDataHandlingWhiteZap:
    case ps::filterDataHandlingBackgroundZap:
    case ps::filterDataHandlingForegroundZap: break;
    default:
      return fail("the module asks for input handling " + std::to_string(int(info.inputHandling)) +
                  " (" + filterCaseName(filterCase) + "), which this host does not offer");
  }
  if (info.outputHandling != ps::filterDataHandlingNone)
    return fail("the module asks for output handling " + std::to_string(int(info.outputHandling)) +
                " (" + filterCaseName(filterCase) + "), which this host does not offer");

  HostSession* expected = nullptr;
  std::unique_ptr<HostSession> session;
  try {
    session.reset(new HostSession(entry, image, std::move(options)));
  } catch (const std::bad_alloc&) {
    return fail("not enough memory for the filter run");
  }
  if (!gActive.compare_exchange_strong(expected, session.get()))
    return fail("another filter run is active in this process");
  HostSession& s = *session;
  s.memory_.activate();
  s.descriptors_.activate();
  s.filterCase_ = filterCase;
  s.writesOutsideSelection_ = (info.flags1 & kWritesOutsideSelectionFlag) != 0;

  try {
    // Without alpha there is no input handling, and 8-bit and float images already hold the
    // planes: the filter reads them where they are, since the image changes only at the end.
    s.source_ = image.hasAlpha() ? hostColourPlanes(image) : lentColourPlanes(image);
    if (image.hasAlpha()) {
      const HostBytes transparent = transparentPixels(image);
      const bool deep = image.type() != SampleType::uint8;
      const double white = image.type() == SampleType::float32 ? 1.0 : deep ? 32768.0 : 255.0;
      switch (info.inputHandling) {
        case ps::filterDataHandlingDefringe: defringe(s.source_, transparent); break;
        case ps::filterDataHandlingBlackZap:
        case ps::filterDataHandlingForegroundZap:
          fillTransparent(s.source_, transparent, 0.0);
          break;
        case ps::filterDataHandlingGrayZap:
          fillTransparent(s.source_, transparent,
                          image.type() == SampleType::float32 ? 0.5
                          : deep                              ? 16384.0
                                                              : 128.0);
          break;
        case ps::filterDataHandlingWhiteZap:
        case ps::filterDataHandlingBackgroundZap:
          fillTransparent(s.source_, transparent, white);
          break;
        default: break;
      }
    }
    s.dest_ = ownedCopy(s.source_);
    // The mask is the selection where there is one, read where it lies. A layer whose
    // transparency the host protects: without a selection the mask is its coverage, which
    // the bevel follows; with one, the selection alone, which the bevel follows and the result
    // is blended by. The alpha, kept as it was, applies the coverage once.
    s.mask_.width = image.width();
    s.mask_.height = image.height();
    s.mask_.planes = 1;
    s.mask_.type = SampleType::uint8;
    if (hasSelection) s.mask_.lent = selection.data();
    if (filterCase == 6) s.mask_.bytes = alphaBytes(image);
    if (filterCase == 7) s.resultMask_ = multiplyMasks(selection, alphaBytes(image));
  } catch (const std::bad_alloc&) {
    return fail("not enough memory for the filter run");
  }
  s.initialiseRecord();
  return session;
}

HostSession::~HostSession() {
  HostSession* self = this;
  gActive.compare_exchange_strong(self, nullptr);
}

void HostSession::initialiseRecord() {
  const int32_t w = image_.width();
  const int32_t h = image_.height();
  const EnableContext document = documentMode(image_.isGrey(), image_.type());
  ps::FilterRecord& r = record_;
  r.abortProc = abortProc;
  r.progressProc = progressProc;
  r.imageSize = {static_cast<int16_t>(extent16(h)), static_cast<int16_t>(extent16(w))};
  r.planes = static_cast<int16_t>(source_.planes);
  r.filterRect = {0, 0, static_cast<int16_t>(extent16(h)), static_cast<int16_t>(extent16(w))};
  r.background = {65535, 65535, 65535};
  r.foreground = {0, 0, 0};
  r.maxSpace = static_cast<int32_t>(
      std::min<int64_t>(options_.spaceBytes, std::numeric_limits<int32_t>::max()));
  r.bufferSpace = 0;
  r.isFloating = 0;
  r.haveMask = hasMask() ? 1 : 0;
  r.autoMask = 1;
  std::memset(r.backColor, 255, sizeof r.backColor);
  std::memset(r.foreColor, 0, sizeof r.foreColor);
  r.hostSig = kHostSignature;
  r.hostProc = nullptr;
  r.imageMode = static_cast<int16_t>(document.imageMode);
  r.imageHRes = kResolution72;
  r.imageVRes = kResolution72;
  r.wholeSize = r.imageSize;
  // An sRGB monitor: gamma 2.2, the sRGB primaries and D65 white.
  auto fixed = [](double v) { return static_cast<ps::Fixed>(std::lround(v * kOne)); };
  r.monitor = {fixed(2.2),  fixed(0.64), fixed(0.33),   fixed(0.30),   fixed(0.60),
               fixed(0.15), fixed(0.06), fixed(0.3127), fixed(0.3290), 0};
  r.platformData = &platform_;
  r.bufferProcs = HostMemory::bufferProcs();
  r.processEvent = processEventProc;
  r.displayPixels = displayPixelsProc;
  r.handleProcs = HostMemory::handleProcs();
  r.filterCase = static_cast<int16_t>(filterCase_);
  r.dummyPlaneValue = -1;
  r.advanceState = advanceStateProc;
  r.supportsPadding = 1;
  r.inputPadding = r.outputPadding = r.maskPadding = ps::plugInWantsErrorOnBoundsException;
  r.samplingSupport = ps::hostSupportsIntegralSampling;
  r.inputRate = r.maskRate = kOne;
  r.colorServices = colorServicesProc;
  r.inLayerPlanes = r.outLayerPlanes = r.absLayerPlanes = r.planes;
  r.inTileHeight = r.absTileHeight = r.outTileHeight = r.maskTileHeight =
      static_cast<int16_t>(extent16(h));
  r.inTileWidth = r.absTileWidth = r.outTileWidth = r.maskTileWidth =
      static_cast<int16_t>(extent16(w));
  r.descriptorParameters = &descriptorParameters_;
  r.errorString = &errorText_;
  r.sSPBasic = HostMemory::basicSuite();
  r.depth = document.depth;
  r.bigDocumentData = &big_;
  r.maxSpace64 = options_.spaceBytes;

  big_.imageSize32 = {h, w};
  big_.filterRect32 = {0, 0, h, w};
  big_.wholeSize32 = {h, w};

  descriptorParameters_.descriptorParametersVersion = ps::kCurrentDescriptorParametersVersion;
  descriptorParameters_.playInfo = ps::plugInDialogDontDisplay;
  descriptorParameters_.recordInfo = ps::plugInDialogOptional;
  descriptorParameters_.readDescriptorProcs = DescriptorSuite::readProcs();
  descriptorParameters_.writeDescriptorProcs = DescriptorSuite::writeProcs();

  mirrorRects(Rects{});
}

void HostSession::setShowDialog(bool show) {
  descriptorParameters_.playInfo = show ? ps::plugInDialogDisplay : ps::plugInDialogDontDisplay;
}

int16_t HostSession::call(int16_t selector, void* record) {
  errorText_[0] = 0;
  int16_t result = ps::noErr;
  try {
    entry_(selector, record, &data_, &result);
  } catch (...) {
    // A C++ filter must not throw out of its entry point; if one does, it failed.
    result = ps::paramErr;
  }
  commitOutput();
  return result;
}

int16_t HostSession::about() {
  ps::AboutRecord about{};
  about.platformData = &platform_;
  about.sSPBasic = HostMemory::basicSuite();
  return call(ps::selectorAbout, &about);
}

int16_t HostSession::parameters() { return call(ps::selectorParameters, &record_); }

int16_t HostSession::prepare() {
  record_.bufferSpace = 0;
  record_.bufferSpace64 = 0;
  record_.maxSpace = static_cast<int32_t>(
      std::min<int64_t>(options_.spaceBytes, std::numeric_limits<int32_t>::max()));
  record_.maxSpace64 = options_.spaceBytes;
  return call(ps::selectorPrepare, &record_);
}

int16_t HostSession::start() {
  if (descriptor_ && !givenDescriptor_) {
    givenDescriptor_ = descriptors_.newDescriptorHandle(*descriptor_);
    if (!givenDescriptor_) return ps::memFullErr;
  }
  descriptorParameters_.descriptor = givenDescriptor_;
  return call(ps::selectorStart, &record_);
}

int16_t HostSession::continueLoop() {
  for (;;) {
    const Rects rects = currentRects();
    if (isEmpty(rects.in) && isEmpty(rects.out) && isEmpty(rects.mask)) return ps::noErr;
    if (cancelRequested()) return ps::userCanceledErr;
    const ps::OSErr loaded = load(rects);
    if (loaded != ps::noErr) return loaded;
    const int16_t result = call(ps::selectorContinue, &record_);
    if (result != ps::noErr) return result;
  }
}

int16_t HostSession::finish() {
  // The descriptor Start was given has been consumed (closing the reader disposes it).
  if (descriptorParameters_.descriptor && !memory_.isLive(descriptorParameters_.descriptor))
    descriptorParameters_.descriptor = nullptr;
  return call(ps::selectorFinish, &record_);
}

int16_t HostSession::run(bool showDialog) {
  setShowDialog(showDialog);
  int16_t result = ps::noErr;
  if (showDialog && (result = parameters()) != ps::noErr) return result;
  if ((result = prepare()) != ps::noErr) return result;
  if ((result = start()) != ps::noErr) return result;
  result = continueLoop();
  const int16_t finished = finish();
  if (result == ps::noErr) result = finished;
  if (result == ps::noErr && cancelRequested()) result = ps::userCanceledErr;
  if (result == ps::noErr) writeResult();
  return result;
}

void HostSession::writeResult() {
  // The result lands where the mask says, except in case 7 (see resultMask_).
  const std::span<const uint8_t> where =
      filterCase_ == 7 ? std::span<const uint8_t>(resultMask_) : maskBytes();
  const ResultRule rule{record_.autoMask != 0, writesOutsideSelection_};
  // A large image in two halves at once, the lower one here; everything here when no thread
  // can be had.
  const int middle = image_.pixelCount() >= (size_t{1} << 20) ? image_.height() / 2 : 0;
  std::thread upper;
  if (middle > 0) {
    try {
      upper = std::thread([&] { applyResultRows(image_, dest_, where, rule, 0, middle); });
    } catch (const std::system_error&) {
      applyResultRows(image_, dest_, where, rule, 0, middle);
    }
  }
  applyResultRows(image_, dest_, where, rule, middle, image_.height());
  if (upper.joinable()) upper.join();
}

std::optional<Descriptor> HostSession::recordedDescriptor(std::string* error) const {
  const ps::Handle h = descriptorParameters_.descriptor;
  if (!h || h == givenDescriptor_) return std::nullopt;
  return descriptors_.descriptorOf(h, error);
}

std::string HostSession::errorString() const {
  return std::string(reinterpret_cast<const char*>(errorText_ + 1), errorText_[0]);
}

bool HostSession::cancelRequested() const { return options_.cancel && options_.cancel->load(); }

bool HostSession::usedBigCoordinates() const { return big_.PluginUsing32BitCoordinates != 0; }

ps::Boolean HostSession::abortRequested() const { return cancelRequested() ? 1 : 0; }

void HostSession::reportProgress(int32_t done, int32_t total) {
  if (!options_.progress) return;
  try {
    options_.progress(done, total);
  } catch (...) {
    // A progress display that fails must not end the run.
  }
}

HostSession::Rects HostSession::currentRects() const {
  if (big_.PluginUsing32BitCoordinates) return {big_.inRect32, big_.outRect32, big_.maskRect32};
  const ps::Rect in16 = record_.inRect;
  const ps::Rect out16 = record_.outRect;
  const ps::Rect mask16 = record_.maskRect;
  if (!sameRect(in16, mirror16In_) || !sameRect(out16, mirror16Out_) ||
      !sameRect(mask16, mirror16Mask_))
    return {toVRect(in16), toVRect(out16), toVRect(mask16)};
  // A filter that does not announce 32-bit coordinates may still write them (for instance to
  // clear its request); an unchanged 32-bit set is the request as it stood.
  return {big_.inRect32, big_.outRect32, big_.maskRect32};
}

void HostSession::mirrorRects(const Rects& rects) {
  mirror32_ = rects;
  mirror16In_ = toRect16(rects.in);
  mirror16Out_ = toRect16(rects.out);
  mirror16Mask_ = toRect16(rects.mask);
  record_.inRect = mirror16In_;
  record_.outRect = mirror16Out_;
  record_.maskRect = mirror16Mask_;
  big_.inRect32 = rects.in;
  big_.outRect32 = rects.out;
  big_.maskRect32 = rects.mask;
}

ps::OSErr HostSession::advance() {
  commitOutput();
  if (cancelRequested()) return ps::userCanceledErr;
  return load(currentRects());
}

ps::OSErr HostSession::load(const Rects& rects) {
  ps::FilterRecord& r = record_;
  const int planes = source_.planes;
  const size_t bps = sampleSize(source_.type);
  loadedOut_ = Loaded{};
  r.inData = r.outData = r.maskData = nullptr;
  r.inRowBytes = r.outRowBytes = r.maskRowBytes = 0;
  r.inColumnBytes = r.outColumnBytes = r.inPlaneBytes = r.outPlaneBytes = 0;
  mirrorRects(rects);

  auto validPlanes = [&](int lo, int hi) { return lo >= 0 && lo <= hi && hi < planes; };
  int columns = 0, rows = 0;
  int32_t rowBytes = 0;
  if (!isEmpty(rects.in)) {
    const int lo = r.inLoPlane, hi = r.inHiPlane;
    if (!validPlanes(lo, hi)) return ps::paramErr;
    const ps::OSErr e = fillBuffer(source_, rects.in, lo, hi, stepOf(r.inputRate), r.inputPadding,
                                   options_.spaceBytes, inBuffer_, &columns, &rows, &rowBytes);
    if (e != ps::noErr) return e;
    r.inData = inBuffer_.data();
    r.inRowBytes = rowBytes;
    r.inColumnBytes = static_cast<int32_t>((hi - lo + 1) * bps);
    r.inPlaneBytes = static_cast<int32_t>(bps);
  }
  if (!isEmpty(rects.out)) {
    const int lo = r.outLoPlane, hi = r.outHiPlane;
    if (!validPlanes(lo, hi)) return ps::paramErr;
    const ps::OSErr e = fillBuffer(dest_, rects.out, lo, hi, 1, r.outputPadding,
                                   options_.spaceBytes, outBuffer_, &columns, &rows, &rowBytes);
    if (e != ps::noErr) return e;
    r.outData = outBuffer_.data();
    r.outRowBytes = rowBytes;
    r.outColumnBytes = static_cast<int32_t>((hi - lo + 1) * bps);
    r.outPlaneBytes = static_cast<int32_t>(bps);
    loadedOut_ = {true, rects.out, lo, hi, columns, rows, rowBytes};
  }
  if (!isEmpty(rects.mask) && hasMask()) {
    const ps::OSErr e = fillBuffer(mask_, rects.mask, 0, 0, stepOf(r.maskRate), r.maskPadding,
                                   options_.spaceBytes, maskBuffer_, &columns, &rows, &rowBytes);
    if (e != ps::noErr) return e;
    r.maskData = maskBuffer_.data();
    r.maskRowBytes = rowBytes;
  }
  return ps::noErr;
}

void HostSession::commitOutput() {
  if (!loadedOut_.pending) return;
  loadedOut_.pending = false;
  const size_t bps = sampleSize(dest_.type);
  const size_t pixelBytes = size_t(loadedOut_.hi - loadedOut_.lo + 1) * bps;
  const size_t offset = size_t(loadedOut_.lo) * bps;
  const bool whole = pixelBytes == dest_.pixelBytes();
  for (int j = 0; j < loadedOut_.rows; ++j) {
    const int64_t y = int64_t(loadedOut_.rect.top) + j;
    if (y < 0 || y >= dest_.height) continue;
    const uint8_t* row = outBuffer_.data() + size_t(j) * size_t(loadedOut_.rowBytes);
    // Padding columns are not part of the document.
    const int64_t first = std::max<int64_t>(0, -int64_t(loadedOut_.rect.left));
    const int64_t last =
        std::min<int64_t>(loadedOut_.columns, int64_t(dest_.width) - loadedOut_.rect.left);
    if (last <= first) continue;
    if (whole) {
      std::memcpy(dest_.pixel(int(loadedOut_.rect.left + first), int(y)),
                  row + size_t(first) * pixelBytes, size_t(last - first) * pixelBytes);
      continue;
    }
    for (int64_t i = first; i < last; ++i)
      std::memcpy(dest_.pixel(int(loadedOut_.rect.left + i), int(y)) + offset,
                  row + size_t(i) * pixelBytes, pixelBytes);
  }
}

}  // namespace orichalcumite
