// Pointer input over the skinned controls: hit-testing, capture, and the routing of moves and
// releases. Sliders are dragged here; the other custom widgets (light balls, the texture
// swatch, memory dots, the preview pane) are told apart and routed to their own owners.
#pragma once

#include <cstdint>

#include "ui/controls.h"
#include "ui/dialog_requests.h"

namespace orichalcumite {

// Cursor resources of the dialog; arrow is the system arrow.
enum class DialogCursor { arrow = 0, grabbing = 107, grab = 108 };

struct PointerCapture {
  int capturedId = -1;
  uint32_t pressTick = 0;
  // -999 marks "no move yet", so that the first move after a press always counts.
  int32_t previousX = -999, previousY = 0;
  int32_t x = 0, y = 0;
  bool moved = false;  // the pointer moved while captured
  bool ctrl = false;   // Ctrl was held at a left-button press
  bool rightButton = false;
};

// The first control id from 0 to 199 that is enabled, takes pointer input of its own (Slider,
// LightBall, TextureSwatch, AboutStrip, MemoryDot, MemoryDotPreview, the preview pane) and
// whose rectangle contains (x, y); -1 when none.
int hitTest(const DialogControls& controls, int32_t x, int32_t y);

struct PressResult {
  bool capture = false;          // capture the pointer
  bool startPreviewPan = false;  // the press starts panning the preview
  bool postMove = false;         // post a move at the press position so it counts at once
};

// A press at (x, y). A press on a disabled control, or on nothing, does nothing. A press on the
// preview pane pans unless the whole image is already in view.
PressResult pointerPressed(PointerCapture& state, const DialogControls& controls, int32_t x,
                           int32_t y, bool ctrl, bool rightButton, uint32_t tick,
                           bool wholeImageVisible);

// What a move asks the captured widget's owner to do.
enum class MoveAction { none, panPreview, turnLight, dragSlider, panTexture, trackMemoryDot };

struct MoveResult {
  DialogCursor cursor = DialogCursor::arrow;
  bool updateMemoryDotHover = false;  // nothing captured: the hover follows the pointer
  MoveAction action = MoveAction::none;
  DialogRequests requests;  // a slider drag's own requests
};

// A move to (x, y). `zoomedIn`: the preview's zoom is closer than its fit zoom, so the pane
// can be panned. A slider reacts only when the position changed since the previous move.
MoveResult pointerMoved(PointerCapture& state, DialogControls& controls, int32_t x, int32_t y,
                        bool zoomedIn);

// A release: ends the capture. A MemoryDot, the AboutStrip or the MemoryDotPreview released
// inside itself becomes a click command for its id. Then, if something was captured, the
// settings are read back, an undo snapshot taken and the preview rendered; not for a memory
// dot released inside (its click does the work) nor for a texture-swatch press without
// movement (which does nothing).
DialogRequests pointerReleased(PointerCapture& state);

}  // namespace orichalcumite
