// The enable expressions a module declares ("enbl"): which documents its filter accepts.
//
// This host understands integer expressions over two variables, PSHOP_ImageMode and
// PSHOP_ImageDepth, the mode names (BitmapMode, GrayScaleMode, IndexedMode, RGBMode, CMYKMode,
// HSLMode, HSBMode, MultichannelMode, DuotoneMode, LabMode, Gray16Mode, RGB48Mode, Lab48Mode,
// CMYK64Mode, DeepMultichannelMode, Duotone16Mode, RGB96Mode, Gray32Mode), integer literals,
// true and false, built with
//   in (value, candidate, candidate, ...)      true when value equals a candidate
//   == != < <= > >=   && || !   ( )
// Names are matched without regard to case. Anything else makes the expression unusable, and
// the caller falls back on the module's mode flags.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orichalcumite {

struct EnableContext {
  int imageMode = 0;  // the filter protocol's mode number (1 grey, 3 RGB, 10, 11, 16, 17 ...)
  int depth = 8;      // bits per sample: 8, 16 or 32
};

// Whether the document described by `context` is accepted; nothing, with the reason in
// `*error`, when the expression cannot be evaluated.
std::optional<bool> evaluateEnableExpression(std::string_view text, const EnableContext& context,
                                             std::string* error);

}  // namespace orichalcumite
