// One filter run over one image: the host side of the filter protocol.
//
// The session builds a FilterRecord for the image, calls a PluginMain-shaped entry point
// selector by selector and serves the filter's requests:
//  - The document is the image's colour channels in host units (8-bit 0..255, 16-bit
//    0..32768, float); an alpha channel is never a plane. Filter cases: 1 without alpha or
//    selection, 2 with a selection (the mask is the selection), 6 with alpha (protected
//    transparency: the mask is the alpha, which is written back unchanged), 7 with both (the
//    mask is their product). The module's filter-case info decides the input handling:
//    straight, defringe, or one of the fills of fully transparent pixels; a case it cannot
//    filter refuses the run.
//  - advanceState (and the return of Start and each Continue) serves inRect, outRect and
//    maskRect with their plane ranges as interleaved buffers, the input and mask sampled at
//    inputRate and maskRate (integral factors), parts outside the image padded as the
//    filter asks (edge replication, a fill value, or an error). Rectangles are read from the
//    32-bit fields when the filter sets PluginUsing32BitCoordinates, otherwise from whichever
//    of the 16-bit and 32-bit sets it changed. Output is taken back before the next request
//    and when a selector returns.
//  - Handles, buffers, the basic suite, descriptors, colour services (foreground/background and
//    RGB/grey conversion; no colour picker) and a display procedure that draws pixel maps into
//    the PlatformDisplaySurface the filter passes (see display_port.h).
//  - abortProc reports the cancel flag; progressProc calls the progress callback.
// writeResult() puts the filtered pixels into the image (see applyResult in host_pixels.h).
//
// One session is active per process at a time, because the protocol's procedures carry no
// context. Everything runs on the calling thread; the filter may call abortProc and the memory
// procedures from other threads, but not advanceState.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/descriptor.h"
#include "app/descriptor_procs.h"
#include "app/enable_expression.h"
#include "app/host_memory.h"
#include "app/host_pixels.h"
#include "app/image.h"
#include "protocol/filter_protocol.h"

namespace orichalcumite {

// This host's signature in the FilterRecord.
constexpr ps::OSType kHostSignature = ps::fourCC("OrcH");

// Documents wider or taller than this get 16-bit rectangles clamped to it; their true size is
// in the big-document data.
constexpr int32_t kMax16BitExtent = 30000;

struct SessionOptions {
  // Filter-case info of the module, cases 1..7; without one every case is filtered straight.
  std::array<ps::FilterCaseInfo, 7> filterCases = straightCases();
  // Set from outside (a signal handler) to cancel; may be null.
  const std::atomic<bool>* cancel = nullptr;
  // Called with the filter's progress reports.
  std::function<void(int32_t done, int32_t total)> progress;
  // What maxSpace and the buffer procedures offer.
  int64_t spaceBytes = defaultSpaceBytes();

  static std::array<ps::FilterCaseInfo, 7> straightCases();
};

// The filter protocol's mode and depth of a document: 8-bit grey 1 / RGB 3, 16-bit 10 / 11,
// 32-bit float 17 / 16.
EnableContext documentMode(bool grey, SampleType type);
// "8-bit RGB", "16-bit greyscale" ... for messages.
const char* imageModeName(int mode);

// "flat image without selection", ... for filter cases 1..7.
const char* filterCaseName(int filterCase);

class HostSession {
 public:
  // A session for `image` (changed only by writeResult) and an optional selection of one byte
  // per pixel, both read where they lie: they must outlive the session unchanged. Nothing,
  // with a one-line reason, when the selection does not fit the image, the module cannot
  // filter this case, or another session is active.
  static std::unique_ptr<HostSession> create(ps::PluginMainProc entry, Image& image,
                                             std::span<const uint8_t> selection,
                                             SessionOptions options, std::string* error);
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  // The selectors; each returns the filter's result code.
  int16_t about();
  int16_t parameters();
  int16_t prepare();
  int16_t start();
  // Continue until the filter's rectangles are empty. userCanceledErr when the cancel flag is
  // seen between calls; a host failure to serve a request is returned as its code.
  int16_t continueLoop();
  int16_t finish();

  // A whole run: Parameters (only with a dialog), Prepare, Start, Continue until done, and
  // Finish after every successful Start, even when Continue failed or was cancelled. Returns
  // the first non-zero result. On success the image holds the result.
  int16_t run(bool showDialog);

  // Writes the filtered planes into the image, masked as the filter case and autoMask say.
  void writeResult();

  // The descriptor Start will read (none: the filter uses its own last settings), and whether
  // the filter should show its dialog (play-info).
  void setDescriptor(std::optional<Descriptor> descriptor) { descriptor_ = std::move(descriptor); }
  void setShowDialog(bool show);

  // The descriptor the filter handed back (normally in Finish); nothing when it gave none.
  // A handle that does not hold a descriptor is reported in `*error`.
  std::optional<Descriptor> recordedDescriptor(std::string* error) const;

  // The filter's error string after its last call, when it set one.
  std::string errorString() const;
  bool cancelRequested() const;
  int filterCase() const { return filterCase_; }
  // True once the filter set PluginUsing32BitCoordinates.
  bool usedBigCoordinates() const;

  ps::FilterRecord& record() { return record_; }
  ps::BigDocumentStruct& bigDocument() { return big_; }
  HostMemory& memory() { return memory_; }
  const HostPlanes& output() const { return dest_; }

  // The host's side of the procedures (public for the procedure tables).
  ps::OSErr advance();
  ps::Boolean abortRequested() const;
  void reportProgress(int32_t done, int32_t total);

 private:
  struct Rects {
    ps::VRect in{}, out{}, mask{};
  };
  struct Loaded {
    bool pending = false;
    ps::VRect rect{};
    int lo = 0, hi = -1;
    int columns = 0, rows = 0;
    int32_t rowBytes = 0;
  };

  HostSession(ps::PluginMainProc entry, Image& image, SessionOptions options);

  int16_t call(int16_t selector, void* record);
  void initialiseRecord();
  Rects currentRects() const;
  void mirrorRects(const Rects& rects);
  ps::OSErr load(const Rects& rects);
  void commitOutput();

  ps::PluginMainProc entry_;
  Image& image_;
  SessionOptions options_;
  HostMemory memory_;
  DescriptorSuite descriptors_;

  ps::FilterRecord record_{};
  ps::BigDocumentStruct big_{};
  ps::PIDescriptorParameters descriptorParameters_{};
  ps::PlatformData platform_{};
  ps::Str255 errorText_{};
  intptr_t data_ = 0;

  int filterCase_ = 1;
  bool writesOutsideSelection_ = false;
  HostPlanes source_;  // what the filter reads (after input handling)
  HostPlanes dest_;    // what it wrote
  HostPlanes mask_;    // one byte per pixel; no pixels when the case has no mask
  bool hasMask() const { return mask_.lent || !mask_.bytes.empty(); }
  std::span<const uint8_t> maskBytes() const {
    if (!hasMask()) return {};
    return {mask_.data(), size_t(mask_.width) * size_t(mask_.height)};
  }
  // Where the result may land in case 7, one byte per pixel; every other case uses the mask.
  // A layer with protected transparency and a selection also keeps its fully transparent
  // pixels, whose colours nobody sees and whose defringed stand-ins must not land.
  HostBytes resultMask_;

  std::optional<Descriptor> descriptor_;
  ps::Handle givenDescriptor_ = nullptr;

  ps::Rect mirror16In_{}, mirror16Out_{}, mirror16Mask_{};
  Rects mirror32_;
  std::vector<uint8_t> inBuffer_, outBuffer_, maskBuffer_;
  Loaded loadedOut_;
};

}  // namespace orichalcumite
