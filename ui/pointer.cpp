#include "ui/pointer.h"

#include "ui/slider.h"

namespace orichalcumite {
namespace {

bool takesPointerInput(ControlKind kind) {
  switch (kind) {
    case ControlKind::Slider:
    case ControlKind::LightBall:
    case ControlKind::TextureSwatch:
    case ControlKind::AboutStrip:
    case ControlKind::MemoryDot:
    case ControlKind::MemoryDotPreview:
    case ControlKind::PreviewPane: return true;
    default: return false;
  }
}

ControlKind kindOf(int id) { return controlDescriptor(id).kind; }

}  // namespace

int hitTest(const DialogControls& controls, int32_t x, int32_t y) {
  for (int id = 0; id < kControlCount; ++id) {
    const ControlDescriptor d = controlDescriptor(id);
    if (d.isPartner || !controls.enabled[id] || !takesPointerInput(d.kind)) continue;
    if (layoutRect(id).contains(x, y)) return id;
  }
  return -1;
}

PressResult pointerPressed(PointerCapture& state, const DialogControls& controls, int32_t x,
                           int32_t y, bool ctrl, bool rightButton, uint32_t tick,
                           bool wholeImageVisible) {
  PressResult result;
  state.ctrl = ctrl && !rightButton;
  state.rightButton = rightButton;
  const int id = hitTest(controls, x, y);
  if (id < 0) return result;
  if (id == control::previewPane) {
    if (wholeImageVisible) return result;
    result.startPreviewPan = true;
  }
  result.capture = true;
  result.postMove = true;
  state.capturedId = id;
  state.pressTick = tick;
  state.moved = false;
  state.previousX = -999;
  state.x = x;
  state.y = y;
  return result;
}

MoveResult pointerMoved(PointerCapture& state, DialogControls& controls, int32_t x, int32_t y,
                        bool zoomedIn) {
  MoveResult result;
  const int id = state.capturedId;
  if (id == control::previewPane || id == control::textureSwatch) {
    result.cursor = DialogCursor::grabbing;
  } else if (id < 0) {
    const int under = hitTest(controls, x, y);
    if (under == control::textureSwatch || (under == control::previewPane && zoomedIn))
      result.cursor = DialogCursor::grab;
    result.updateMemoryDotHover = true;
  }
  if (id < 0) return result;

  const bool changed = state.previousX == -999 || x != state.previousX || y != state.previousY;
  // The first move after a press is the press position itself: it counts, but is no movement.
  if (changed && state.previousX != -999) state.moved = true;
  state.previousX = x;
  state.previousY = y;
  state.x = x;
  state.y = y;
  if (!changed) return result;

  switch (kindOf(id)) {
    case ControlKind::PreviewPane: result.action = MoveAction::panPreview; break;
    case ControlKind::LightBall: result.action = MoveAction::turnLight; break;
    case ControlKind::TextureSwatch: result.action = MoveAction::panTexture; break;
    case ControlKind::MemoryDot: result.action = MoveAction::trackMemoryDot; break;
    case ControlKind::Slider:
      result.action = MoveAction::dragSlider;
      result.requests = dragSlider(controls, id, x, y);
      break;
    default: break;
  }
  return result;
}

DialogRequests pointerReleased(PointerCapture& state) {
  DialogRequests requests;
  const int id = state.capturedId;
  state.capturedId = -1;
  if (id < 0) return requests;

  const ControlKind kind = kindOf(id);
  const bool inside = layoutRect(id).contains(state.x, state.y);
  if (inside && (kind == ControlKind::MemoryDot || kind == ControlKind::AboutStrip ||
                 kind == ControlKind::MemoryDotPreview))
    requests.postClick = id;

  if (kind == ControlKind::MemoryDot && inside) return requests;
  if (kind == ControlKind::TextureSwatch && !state.moved) return requests;

  requests.settingsFromControls = true;
  // A texture pan is an edit of the texture's placement and goes to the undo file; slider and
  // light changes are light snapshots; the click commands decide for the rest themselves.
  requests.undo = kind == ControlKind::TextureSwatch ? UndoSnapshot::full
                  : kind == ControlKind::Slider || kind == ControlKind::LightBall
                      ? UndoSnapshot::light
                      : UndoSnapshot::none;
  requests.settleTimer = TimerRequest::stop;
  requests.renderPreview = true;
  return requests;
}

}  // namespace orichalcumite
