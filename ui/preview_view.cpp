#include "ui/preview_view.h"

#include <algorithm>

namespace orichalcumite {
namespace {

// The offset, in full-resolution pixels, from the view's top-left corner to its centre at
// zoom z: half the visible region's size scaled back up.
struct CentreOffset {
  int32_t x, y;
};

CentreOffset centreOffset(const Rect32& image, int32_t zoom) {
  const Rect32 region = visibleRegion(image, PreviewView{zoom, 0, 0});
  return {zoom * region.width() / 2, zoom * region.height() / 2};
}

// Moves to `newZoom` keeping the image point at the centre of the view in place.
void changeZoom(PreviewState& state, int32_t newZoom) {
  const CentreOffset before = centreOffset(state.image, state.view.zoom);
  const CentreOffset after = centreOffset(state.image, newZoom);
  PreviewView view = clampPan(state.image, state.view);
  view.zoom = newZoom;
  view.panX += before.x - after.x;
  view.panY += before.y - after.y;
  state.view = clampPan(state.image, view);
}

}  // namespace

PreviewState openPreview(const Rect32& image, bool hostCanDisplay) {
  PreviewState state;
  state.image = image;
  state.shown = hostCanDisplay;
  state.fit = hostCanDisplay ? fitZoom(image) : 1;
  state.view = PreviewView{state.fit, 0, 0};
  return state;
}

void switchPreviewOff(PreviewState& state) {
  state.shown = false;
  state.fit = 1;
  state.view = PreviewView{};
}

PreviewView clampPan(const Rect32& image, PreviewView view) {
  const int32_t z = std::max(view.zoom, 1);
  const int32_t maxPanX = std::max(z * (image.width() / z - kPreviewWidth), 0);
  const int32_t maxPanY = std::max(z * (image.height() / z - kPreviewHeight), 0);
  view.panX = std::clamp(view.panX, 0, maxPanX);
  view.panY = std::clamp(view.panY, 0, maxPanY);
  return view;
}

bool zoomOut(PreviewState& state) {
  if (!state.shown || state.view.zoom >= state.fit) return false;
  changeZoom(state, state.view.zoom + 1);
  // At the fit zoom the whole image is in view; any pan left over would only offset it.
  if (state.view.zoom == state.fit) {
    state.view.panX = 0;
    state.view.panY = 0;
  }
  return true;
}

bool zoomIn(PreviewState& state) {
  if (!state.shown || state.view.zoom < 2) return false;
  changeZoom(state, state.view.zoom - 1);
  return true;
}

bool zoomToActualSize(PreviewState& state) {
  if (!state.shown || state.view.zoom == 1) return false;
  changeZoom(state, 1);
  return true;
}

std::string zoomCaption(int32_t zoom) { return std::to_string(100 / std::max(zoom, 1)) + "%"; }

ZoomButtons zoomButtons(const PreviewState& state) {
  ZoomButtons buttons;
  buttons.caption = zoomCaption(state.view.zoom);
  if (!state.shown) return buttons;
  buttons.zoomOut = state.view.zoom < state.fit;
  buttons.zoomIn = state.view.zoom > 1;
  buttons.actualSize = !(state.fit == 1 && state.view.zoom == 1);
  return buttons;
}

bool canPan(const PreviewState& state) { return state.shown && state.view.zoom < state.fit; }

bool panByPointer(PreviewState& state, int32_t dxPointer, int32_t dyPointer) {
  if (!canPan(state)) return false;
  const int32_t z = state.view.zoom;
  PreviewView moved = clampPan(state.image, state.view);
  moved.panX -= z * dxPointer;
  moved.panY -= z * dyPointer;
  moved = clampPan(state.image, moved);
  if (moved.panX == state.view.panX && moved.panY == state.view.panY) return false;
  state.view = moved;
  return true;
}

Rect32 currentVisibleRegion(const PreviewState& state) {
  return visibleRegion(state.image, state.view);
}

Rect32 hostRequestRegion(const PreviewState& state, uint32_t hostSignature) {
  Rect32 region = currentVisibleRegion(state);
  const int32_t z = std::max(state.view.zoom, 1);
  if (hostSignature == kDoublePanHostSignature && z > 1) {
    const PreviewView view = clampPan(state.image, state.view);
    const int32_t dx = view.panX / z;
    const int32_t dy = view.panY / z;
    region = {region.top + dy, region.left + dx, region.bottom + dy, region.right + dx};
  }
  return region;
}

Rect32 previewDrawRect(int32_t width, int32_t height) {
  const int32_t paneWidth = kPreviewPaneRect.width();
  const int32_t paneHeight = kPreviewPaneRect.height();
  const int32_t left = kPreviewPaneRect.left + (paneWidth - width) / 2;
  const int32_t top = kPreviewPaneRect.top + (paneHeight - height) / 2;
  return {top, left, top + height, left + width};
}

}  // namespace orichalcumite
