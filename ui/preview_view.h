// The preview pane's view arithmetic: zoom, pan, the fit zoom, the zoom buttons and their
// caption, and the region asked of the host. Plain records and functions over the image
// rectangle; drawing and rendering belong to the view and the preview service.
//
// Units: the zoom z is an integer reduction (1 = 100 %); the pan is in full-resolution image
// pixels, the position of the view's top-left corner within the image; visible regions are
// in reduced pixels (image / z).
#pragma once

#include <cstdint>
#include <string>

#include "base/rect.h"
#include "render/preview.h"

namespace orichalcumite {

// The preview pane on the dialog's client area, and the 2-pixel inset that leaves the
// kPreviewWidth × kPreviewHeight area the image is drawn into.
constexpr Rect32 kPreviewPaneRect{12, 460, 12 + 351, 460 + 532};
constexpr int32_t kPreviewPaneInset = 2;

// Everything the dialog keeps about the preview from opening to closing.
struct PreviewState {
  Rect32 image;        // the filter rectangle, full-resolution image coordinates
  PreviewView view;    // zoom and pan
  int32_t fit = 1;     // the fit zoom, computed once when the dialog opens
  bool shown = false;  // the host can display pixels and has not cancelled the first render
};

// The state at the dialog's opening: the fit zoom, z = fit and pan (0, 0) when the host can
// display pixels; otherwise nothing is shown and z stays 1.
PreviewState openPreview(const Rect32& image, bool hostCanDisplay);

// The first render was cancelled by the host: the preview stays off (the pane white) for the
// rest of the dialog, and the zoom controls go with it.
void switchPreviewOff(PreviewState& state);

// The pan brought into 0 ≤ px ≤ z × (⌊W / z⌋ − pw), 0 ≤ py ≤ z × (⌊H / z⌋ − ph), a negative
// bound counting as 0, so the view never shows area outside the image.
PreviewView clampPan(const Rect32& image, PreviewView view);

// Zoom commands. Each keeps the image point at the centre of the view where it was, then
// clamps the pan; each returns whether anything changed (the caller then renders). With the
// preview off they do nothing.
// Zoom out: only while z < fit; on reaching the fit zoom the pan goes back to (0, 0).
bool zoomOut(PreviewState& state);
// Zoom in: only while z ≥ 2.
bool zoomIn(PreviewState& state);
// Zoom to 100 %: z becomes 1.
bool zoomToActualSize(PreviewState& state);

// The enable state of the three zoom buttons and the caption of the 100 % button.
struct ZoomButtons {
  bool zoomOut = false;
  bool zoomIn = false;
  bool actualSize = false;
  std::string caption;  // 100 / z followed by "%": "100%", "50%", "33%", "25%" ...
};
ZoomButtons zoomButtons(const PreviewState& state);
std::string zoomCaption(int32_t zoom);

// Panning with the pointer. A press on the pane pans only when part of the image is out of
// view; the same test picks the hovering cursor.
bool canPan(const PreviewState& state);
// A pointer move of (dx, dy) client pixels while panning: the image follows the pointer, so
// the pan moves by −z × (dx, dy) and is clamped. True when the pan changed (the caller then
// shows the source pixels at the new pan).
bool panByPointer(PreviewState& state, int32_t dxPointer, int32_t dyPointer);

// The visible region (reduced pixels) for the current view; its size gives the preview buffer.
Rect32 currentVisibleRegion(const PreviewState& state);

// The host signature of the one host that wants the visible region moved by the pan a second
// time before it is offset: 'PSP8'.
constexpr uint32_t kDoublePanHostSignature = 0x50535038;

// The region a render or a source display asks the host for, in reduced pixels, sampled at
// rate z: the visible region placed at the image's origin and the pan, both divided by z.
// For the host with kDoublePanHostSignature and z > 1 the pan is applied twice, as that host
// expects.
Rect32 hostRequestRegion(const PreviewState& state, uint32_t hostSignature);

// Where a buffer of `width` × `height` pixels is drawn on the client area: centred in the pane.
Rect32 previewDrawRect(int32_t width, int32_t height);

}  // namespace orichalcumite
