#include "ui/slider.h"

#include <algorithm>

#include "ui/control_transfer.h"

namespace orichalcumite {
namespace {

// A range that is not positive counts as 1, so that no division is by zero.
int32_t rangeOf(int32_t minimum, int32_t maximum) {
  const int64_t r = int64_t{maximum} - minimum;
  return r > 0 ? static_cast<int32_t>(std::min<int64_t>(r, INT32_MAX)) : 1;
}

}  // namespace

ControlRect sliderThumbRect(const ControlRect& track, int32_t minimum, int32_t maximum,
                            int32_t value) {
  const int64_t r = rangeOf(minimum, maximum);
  const int64_t offset = int64_t{value} - minimum;
  // Integer divisions truncate toward zero, as the drawing has always done.
  if (isVerticalSlider(track)) {
    const int64_t top = track.y + track.height - 14 - offset * (track.height - 15) / r;
    return {track.x + 1, static_cast<int32_t>(top), 10, 10};
  }
  const int64_t left = track.x + 1 + offset * (track.width - 15) / r;
  return {static_cast<int32_t>(left), track.y + 1, 12, 10};
}

int32_t sliderValueAt(const ControlRect& track, int32_t minimum, int32_t maximum, int32_t px,
                      int32_t py) {
  const int64_t r = rangeOf(minimum, maximum);
  int64_t v;
  // The 4-pixel offset puts the thumb's centre under the pointer; a track too short for its
  // thumb still maps every position to an end of the range.
  if (isVerticalSlider(track)) {
    const int64_t span = std::max(track.height - 12, 1);
    v = int64_t{maximum} - (int64_t{py} - track.y - 1) * r / span;
  } else {
    const int64_t span = std::max(track.width - 14, 1);
    v = int64_t{minimum} + (int64_t{px} - 4 - track.x - 1) * r / span;
  }
  return static_cast<int32_t>(std::clamp<int64_t>(v, minimum, std::max(minimum, maximum)));
}

SliderAppearance sliderAppearance(const DialogControls& controls, int sliderId) {
  const ControlDescriptor d = controlDescriptor(sliderId);
  SliderAppearance a;
  a.track = layoutRect(sliderId);
  const bool enabled = sliderId >= 0 && sliderId < kControlCount && controls.enabled[sliderId];
  if (!enabled || d.bitmap == 0) {
    a.fill = enabled ? RgbColour{222, 222, 255} : RgbColour{222, 222, 222};
    a.frame = enabled ? RgbColour{255, 255, 255} : RgbColour{140, 140, 140};
    return a;
  }
  a.trackBitmap = d.bitmap;
  a.thumb = sliderThumbRect(a.track, d.minimum, d.maximum, controls.values[sliderId]);
  a.thumbBitmap = isVerticalSlider(a.track) ? kVerticalThumbBitmap : kHorizontalThumbBitmap;
  return a;
}

DialogRequests dragSlider(DialogControls& controls, int sliderId, int32_t px, int32_t py) {
  DialogRequests requests;
  const ControlDescriptor d = controlDescriptor(sliderId);
  if (d.kind != ControlKind::Slider || d.isPartner) return requests;
  const int32_t value = sliderValueAt(layoutRect(sliderId), d.minimum, d.maximum, px, py);
  controls.values[sliderId] = value;
  // Rewriting the value display is not typing: it cancels a pending settle timer rather than
  // arming it, and the release renders with every value as it then stands.
  requests.settleTimer = TimerRequest::stop;
  requests.redraw.push_back(sliderId);
  if (d.partnerId >= 0) {
    controls.texts[d.partnerId] = formatControlValue(value);
    requests.updateText.push_back(d.partnerId);
  }
  return requests;
}

}  // namespace orichalcumite
