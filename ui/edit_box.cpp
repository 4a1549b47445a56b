#include "ui/edit_box.h"

#include "ui/control_transfer.h"

namespace orichalcumite {

DialogRequests editBoxTyped(DialogControls& controls, int editId, std::string_view text) {
  DialogRequests requests;
  const ControlDescriptor d = controlDescriptor(editId);
  if (!d.isPartner || editBoxOf(d.primaryId) != editId) return requests;
  controls.texts[editId] = std::string(text);
  controls.values[d.primaryId] = clampToControlRange(d.primaryId, parseEditNumber(text));
  requests.redraw.push_back(d.primaryId);
  requests.settleTimer = TimerRequest::start;
  return requests;
}

DialogRequests settleTimerFired(DialogControls& controls, EffectSettings& settings) {
  DialogRequests requests;
  requests.updateText = settingsFromControls(controls, settings);
  requests.redraw = requests.updateText;
  requests.undo = UndoSnapshot::light;
  requests.settleTimer = TimerRequest::stop;
  requests.renderPreview = true;
  return requests;
}

}  // namespace orichalcumite
