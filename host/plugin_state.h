// PluginState, the plug-in's private record in the host's 91712-byte data block, and the
// process-wide pointers of the current PluginMain call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/rect.h"
#include "protocol/filter_protocol.h"

namespace orichalcumite {

struct EffectSettings;

constexpr size_t kDataBlockSize = 91712;

// The record in the data block. Its layout is ours; only its size is fixed by the host's
// allocation. Pointers here are run-time values that never outlive one run.
struct PluginState {
  // Working geometry of the image.
  Rect32 filterRect;
  Rect32 previewRegion;
  int32_t imageWidth;
  int32_t imageHeight;

  // The region most recently requested from the host and its sampling factor.
  Rect32 requestedRegion;
  int32_t requestedFactor;
  int32_t maskNotNeeded;  // ask the host for a one-pixel mask only

  int32_t showDialogOnStart;
  int32_t parametersJustRun;
  float scaleFactor;

  // The 8-bit planar copy of the whole image for the preview: planes × width × height bytes.
  uint8_t* previewPixels;
  int32_t previewWidth;
  int32_t previewHeight;
  int32_t previewPlanes;

  int32_t runInitialised;
};

static_assert(sizeof(PluginState) <= kDataBlockSize, "PluginState must fit the data block");

// Clears the run-time values of a freshly allocated block: empty region, scale 1, dialog wanted.
void resetPluginState(PluginState& state);

// The process-wide state of the current call. Written at the start of every PluginMain call,
// before any render runs; render workers only read it.
struct CallState {
  void* hostRecord = nullptr;  // FilterRecord, or AboutRecord for About
  intptr_t* dataSlot = nullptr;
  int16_t* resultSlot = nullptr;
  ps::SPBasicSuite* basicSuite = nullptr;
  EffectSettings* settings = nullptr;  // the locked parameters block, or null
  PluginState* state = nullptr;        // the locked data block, or null

  ps::FilterRecord* filterRecord() const { return static_cast<ps::FilterRecord*>(hostRecord); }
  void setResult(int16_t code) const {
    if (resultSlot) *resultSlot = code;
  }
  int16_t result() const { return resultSlot ? *resultSlot : int16_t(0); }
};

CallState& callState();

}  // namespace orichalcumite
