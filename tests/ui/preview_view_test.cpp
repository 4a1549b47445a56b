#include "ui/preview_view.h"

#include <gtest/gtest.h>

namespace orichalcumite {
namespace {

Rect32 imageOf(int32_t width, int32_t height) { return {0, 0, height, width}; }

TEST(PreviewOpening, FitZoomAndCaptionFollowTheImageSize) {
  struct Case {
    int32_t width, height, fit;
    const char* caption;
  };
  const Case cases[] = {
      {2000, 1000, 4, "25%"},  // max(ceil(2000 / 528), ceil(1000 / 347)) = max(4, 3)
      {528, 347, 1, "100%"},  {529, 347, 2, "50%"}, {528, 348, 2, "50%"},
      {100, 60, 1, "100%"},   {1584, 10, 3, "33%"}, {10, 2429, 7, "14%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height);
    const PreviewState state = openPreview(imageOf(c.width, c.height), true);
    EXPECT_EQ(state.fit, c.fit);
    EXPECT_EQ(state.view.zoom, c.fit);
    EXPECT_EQ(state.view.panX, 0);
    EXPECT_EQ(state.view.panY, 0);
    EXPECT_EQ(zoomButtons(state).caption, c.caption);
  }
}

TEST(PreviewOpening, WithoutPixelDisplayEverythingIsOffAtZoomOne) {
  PreviewState state = openPreview(imageOf(2000, 1000), false);
  EXPECT_EQ(state.view.zoom, 1);
  const ZoomButtons buttons = zoomButtons(state);
  EXPECT_FALSE(buttons.zoomIn || buttons.zoomOut || buttons.actualSize);
  EXPECT_FALSE(zoomOut(state) || zoomIn(state) || zoomToActualSize(state));
  EXPECT_FALSE(canPan(state));
}

TEST(PreviewOpening, CancelledFirstRenderSwitchesThePreviewOff) {
  PreviewState state = openPreview(imageOf(2000, 1000), true);
  switchPreviewOff(state);
  const ZoomButtons buttons = zoomButtons(state);
  EXPECT_FALSE(buttons.zoomIn || buttons.zoomOut || buttons.actualSize);
  EXPECT_EQ(state.view.zoom, 1);
  EXPECT_FALSE(zoomOut(state));
  EXPECT_FALSE(panByPointer(state, 5, 5));
}

TEST(ZoomButtons, EnableStatesAcrossTheZoomRange) {
  struct Case {
    int32_t width, zoom;
    bool out, in, actual;
  };
  const Case cases[] = {
      {2000, 4, false, true, true},  // at the fit zoom
      {2000, 2, true, true, true},
      {2000, 1, true, false, true},
      {300, 1, false, false, false},  // a small image: nothing to zoom
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << " at zoom " << c.zoom);
    PreviewState state = openPreview(imageOf(c.width, 300), true);
    state.view.zoom = c.zoom;
    const ZoomButtons buttons = zoomButtons(state);
    EXPECT_EQ(buttons.zoomOut, c.out);
    EXPECT_EQ(buttons.zoomIn, c.in);
    EXPECT_EQ(buttons.actualSize, c.actual);
  }
}

TEST(ZoomCommands, DoNothingBeyondTheirLimits) {
  PreviewState state = openPreview(imageOf(2000, 1000), true);
  EXPECT_FALSE(zoomOut(state));  // already at the fit zoom
  EXPECT_EQ(state.view.zoom, 4);
  EXPECT_TRUE(zoomToActualSize(state));
  EXPECT_EQ(state.view.zoom, 1);
  const PreviewView before = state.view;
  EXPECT_FALSE(zoomIn(state));
  EXPECT_FALSE(zoomToActualSize(state));
  EXPECT_EQ(state.view.zoom, before.zoom);
  EXPECT_EQ(state.view.panX, before.panX);
  EXPECT_EQ(state.view.panY, before.panY);
}

TEST(ZoomCommands, KeepTheCentreOfTheViewInPlace) {
  // 2000 × 1000 fits at 4, where the whole image shows: its centre is (1000, 500).
  PreviewState state = openPreview(imageOf(2000, 1000), true);
  ASSERT_TRUE(zoomIn(state));
  // At 3 the view is 528 × 333 reduced pixels, 1584 × 999 full ones: centred on x it starts at
  // 1000 − 792; vertically the image only just fits, so the pan is clamped to 0.
  EXPECT_EQ(state.view.zoom, 3);
  EXPECT_EQ(state.view.panX, 208);
  EXPECT_EQ(state.view.panY, 0);
  ASSERT_TRUE(zoomToActualSize(state));
  // Centre (1000, 499) with a 528 × 347 view.
  EXPECT_EQ(state.view.panX, 1000 - 264);
  EXPECT_EQ(state.view.panY, 499 - 173);
}

TEST(ZoomCommands, ZoomingOutToTheFitZoomResetsThePan) {
  PreviewState state = openPreview(imageOf(2000, 1000), true);
  state.view = PreviewView{3, 400, 0};
  ASSERT_TRUE(zoomOut(state));
  EXPECT_EQ(state.view.zoom, 4);
  EXPECT_EQ(state.view.panX, 0);
  EXPECT_EQ(state.view.panY, 0);
}

TEST(Panning, OnlyWhenPartOfTheImageIsOutOfView) {
  PreviewState fitted = openPreview(imageOf(2000, 1000), true);
  EXPECT_FALSE(canPan(fitted));
  EXPECT_FALSE(panByPointer(fitted, -20, -20));
  PreviewState small = openPreview(imageOf(300, 200), true);
  EXPECT_FALSE(canPan(small));
  fitted.view.zoom = 2;
  EXPECT_TRUE(canPan(fitted));
}

TEST(Panning, TheImageFollowsThePointerAndStopsAtItsEdges) {
  // 2000 × 1000 at zoom 2: 1000 × 500 reduced, the view 528 × 347, so the pan reaches
  // 2 × (1000 − 528) = 944 across and 2 × (500 − 347) = 306 down.
  struct Case {
    int32_t startX, startY, dx, dy, panX, panY;
    bool changed;
  };
  const Case cases[] = {
      {100, 100, 10, 5, 80, 90, true},           // dragging right and down shows what is left
      {100, 100, -10, -5, 120, 110, true},       // and up
      {100, 100, 1000, 1000, 0, 0, true},        // beyond the top-left corner
      {100, 100, -1000, -1000, 944, 306, true},  // beyond the bottom-right corner
      {0, 0, 10, 10, 0, 0, false},               // already at the edge
      {944, 306, -3, -3, 944, 306, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "from " << c.startX << ", " << c.startY << " by " << c.dx << ", " << c.dy);
    PreviewState state = openPreview(imageOf(2000, 1000), true);
    state.view = PreviewView{2, c.startX, c.startY};
    EXPECT_EQ(panByPointer(state, c.dx, c.dy), c.changed);
    EXPECT_EQ(state.view.panX, c.panX);
    EXPECT_EQ(state.view.panY, c.panY);
  }
}

TEST(Panning, ClampedViewNeverLeavesTheImage) {
  const int32_t sizes[][2] = {{2000, 1000}, {999, 2501}, {531, 351}, {4097, 3001}};
  for (const auto& size : sizes) {
    const Rect32 image = imageOf(size[0], size[1]);
    for (int32_t zoom = 1; zoom <= fitZoom(image); ++zoom) {
      for (int32_t pan : {-5000, -1, 0, 7, 333, 1999, 100000}) {
        SCOPED_TRACE(::testing::Message()
                     << size[0] << " x " << size[1] << " zoom " << zoom << " pan " << pan);
        const PreviewView view = clampPan(image, PreviewView{zoom, pan, pan});
        EXPECT_GE(view.panX, 0);
        EXPECT_GE(view.panY, 0);
        const Rect32 region = visibleRegion(image, view);
        EXPECT_GE(region.left, 0);
        EXPECT_GE(region.top, 0);
        EXPECT_LE(region.right, size[0] / zoom);
        EXPECT_LE(region.bottom, size[1] / zoom);
      }
    }
  }
}

TEST(HostRegion, IsTheVisibleRegionExceptForTheDoublePanHost) {
  PreviewState state = openPreview(Rect32{40, 60, 1040, 2060}, true);
  state.view = PreviewView{2, 300, 101};
  const Rect32 visible = currentVisibleRegion(state);
  // Origin and pan both divided by the zoom.
  EXPECT_EQ(visible.left, 30 + 150);
  EXPECT_EQ(visible.top, 20 + 50);
  EXPECT_EQ(hostRequestRegion(state, 0x3842494D), visible);
  const Rect32 moved = hostRequestRegion(state, kDoublePanHostSignature);
  EXPECT_EQ(moved.left, visible.left + 150);
  EXPECT_EQ(moved.top, visible.top + 50);
  EXPECT_EQ(moved.width(), visible.width());
  EXPECT_EQ(moved.height(), visible.height());
  state.view = PreviewView{1, 300, 101};
  EXPECT_EQ(hostRequestRegion(state, kDoublePanHostSignature), currentVisibleRegion(state));
}

TEST(DrawPlacement, TheImageIsCentredInThePane) {
  // A full view fills the pane less its 2-pixel border.
  const Rect32 full = previewDrawRect(kPreviewWidth, kPreviewHeight);
  EXPECT_EQ(full.left, kPreviewPaneRect.left + kPreviewPaneInset);
  EXPECT_EQ(full.top, kPreviewPaneRect.top + kPreviewPaneInset);
  EXPECT_EQ(full.right, kPreviewPaneRect.right - kPreviewPaneInset);
  EXPECT_EQ(full.bottom, kPreviewPaneRect.bottom - kPreviewPaneInset);
  const Rect32 small = previewDrawRect(100, 51);
  EXPECT_EQ(small.left - kPreviewPaneRect.left, kPreviewPaneRect.right - small.right);
  EXPECT_EQ(small.top - kPreviewPaneRect.top, kPreviewPaneRect.bottom - small.bottom);
}

}  // namespace
}  // namespace orichalcumite
