#include "ui/pointer.h"

#include <gtest/gtest.h>

namespace orichalcumite {
namespace {

struct Pointer {
  DialogControls controls;
  PointerCapture state;

  PressResult press(int32_t x, int32_t y, bool wholeImageVisible = false) {
    return pointerPressed(state, controls, x, y, false, false, 0, wholeImageVisible);
  }
  MoveResult move(int32_t x, int32_t y) { return pointerMoved(state, controls, x, y, false); }
  DialogRequests release() { return pointerReleased(state); }
};

TEST(PointerHitTest, findsOnlyEnabledControlsThatTakeThePointer) {
  const struct {
    int32_t x, y;
    int id;
  } cases[] = {
      {120, 60, control::radius},
      {90, 440, control::gobo1},
      {150, 440, 33},
      {20, 300, control::aboutStrip},
      {443, 448, 126},
      {559, 471, 150},
      {500, 500, control::memoryDotPreview},
      {600, 100, control::previewPane},
      {350, 60, control::textureSwatch},  // inside its frame too, which takes no input
      {80, 60, -1},                       // a label
      {265, 55, -1},                      // an edit box
      {400, 700, -1},                     // outside the client area
  };
  DialogControls controls;
  for (const auto& c : cases) EXPECT_EQ(hitTest(controls, c.x, c.y), c.id) << c.x << "," << c.y;
}

TEST(PointerPress, onADisabledControlIsNotCapturedAndDoesNothing) {
  Pointer p;
  p.controls.enabled[control::radius] = false;
  p.controls.values[control::radius] = 35;
  const PressResult r = p.press(200, 60);
  EXPECT_FALSE(r.capture);
  EXPECT_EQ(p.state.capturedId, -1);
  p.move(5000, 60);
  EXPECT_EQ(p.controls.values[control::radius], 35);
  EXPECT_FALSE(p.release().renderPreview);
}

TEST(PointerPress, dragsASliderAndRendersOnRelease) {
  Pointer p;
  const PressResult r = p.press(120, 60);
  EXPECT_TRUE(r.capture && r.postMove);
  EXPECT_EQ(p.state.previousX, -999);
  EXPECT_EQ(p.move(120, 60).action, MoveAction::dragSlider);  // the posted first move counts
  EXPECT_EQ(p.move(120, 60).action, MoveAction::none);        // an unchanged position does not
  EXPECT_FALSE(p.move(900, 60).requests.renderPreview);
  EXPECT_EQ(p.controls.values[control::radius], 100);
  EXPECT_EQ(p.controls.texts[control::radiusEdit], "100");
  const DialogRequests done = p.release();
  EXPECT_TRUE(done.settingsFromControls && done.renderPreview);
  EXPECT_EQ(done.undo, UndoSnapshot::light);
  EXPECT_EQ(p.state.capturedId, -1);
}

TEST(PointerPress, previewPanePansOnlyWhenPartOfTheImageIsHidden) {
  Pointer p;
  EXPECT_FALSE(p.press(600, 100, true).capture);
  EXPECT_EQ(p.state.capturedId, -1);
  const PressResult r = p.press(600, 100, false);
  EXPECT_TRUE(r.capture && r.startPreviewPan);
  EXPECT_EQ(p.move(610, 110).cursor, DialogCursor::grabbing);
  EXPECT_EQ(p.move(620, 110).action, MoveAction::panPreview);
  EXPECT_TRUE(p.release().renderPreview);
}

TEST(PointerRelease, textureSwatchWithoutMovementDoesNothing) {
  Pointer p;
  p.press(350, 60);
  p.move(350, 60);
  EXPECT_FALSE(p.state.moved);
  EXPECT_FALSE(p.release().renderPreview);

  p.press(350, 60);
  p.move(350, 60);
  EXPECT_EQ(p.move(360, 70).action, MoveAction::panTexture);
  const DialogRequests r = p.release();
  EXPECT_TRUE(r.renderPreview);
  EXPECT_EQ(r.undo, UndoSnapshot::full);
}

TEST(PointerRelease, clickWidgetsReleasedInsideBecomeClicks) {
  struct Case {
    int32_t pressX, pressY, releaseX, releaseY;
    int click;
    bool renders;
  };
  const Case cases[] = {
      {443, 448, 444, 449, 126, false},  // a memory dot: its click does the work
      {443, 448, 700, 449, -1, true},    // released outside it
      {20, 300, 25, 310, control::aboutStrip, true},
      {500, 500, 501, 501, control::memoryDotPreview, true},
  };
  for (const Case& c : cases) {
    Pointer p;
    p.press(c.pressX, c.pressY);
    p.move(c.pressX, c.pressY);
    p.move(c.releaseX, c.releaseY);
    const DialogRequests r = p.release();
    EXPECT_EQ(r.postClick, c.click) << c.pressX;
    EXPECT_EQ(r.renderPreview, c.renders) << c.pressX;
  }
}

TEST(PointerMove, cursorShowsWhatCanBeDragged) {
  DialogControls controls;
  PointerCapture state;
  EXPECT_EQ(pointerMoved(state, controls, 350, 60, false).cursor, DialogCursor::grab);
  EXPECT_EQ(pointerMoved(state, controls, 600, 100, false).cursor, DialogCursor::arrow);
  EXPECT_EQ(pointerMoved(state, controls, 600, 100, true).cursor, DialogCursor::grab);
  EXPECT_TRUE(pointerMoved(state, controls, 10, 10, false).updateMemoryDotHover);
}

}  // namespace
}  // namespace orichalcumite
