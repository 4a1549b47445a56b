// The 25 memory dots (126..150) and their preview square (158): what a click on a dot does,
// which dot the square shows, the automatic snapshot at dialog start and the dots' faces.
//
// The slot states themselves live in the module's UserState (display state and kept flag,
// the map that survives between runs); the dots' files are written and read through
// settings/user_state.h. Slots count from 0 here, the files and the preset name from 1.
// Everything runs on the dialog's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "settings/user_state.h"

namespace orichalcumite {

// The square shows the hovered dot's stored preview at this size, RGB.
constexpr int kDotPreviewSide = 88;

// The face artwork of a dot (an 8 × 8 picture "dot-<face>"), by its display state, its kept
// flag and whether it shows pressed.
int memoryDotFace(DotDisplay display, bool kept, bool pressed);

enum class DotButton { left, ctrlLeft, right };

// The four things a click on a dot can do, by the slot's state before the click.
enum class DotClickCase {
  store,          // an empty slot, any button: store the effect in it
  clear,          // a filled slot, right button
  makeTemporary,  // a filled slot, left button with Ctrl: the slot is no longer kept
  recall,         // a filled slot, plain left button
};
DotClickCase dotClickCase(DotDisplay before, DotButton button);

// The slot the automatic snapshot at dialog start goes to: the lowest whose kept flag is 0;
// -1 when all are kept.
int automaticSnapshotSlot(const std::array<int32_t, kMemoryDotCount>& dotMap);

// The square's picture from a stored thumbnail: the whole thumbnail reduced (or enlarged) to
// 88 × 88 by averaging the area each square pixel covers; RGB bytes, rows top to bottom.
std::vector<uint8_t> dotPreviewPixels(const Picture& thumbnail);

// What the dialog does after a click.
struct DotClickOutcome {
  bool settingsReplaced = false;  // controls from settings, the preset name, a render
  bool holdsEffect = false;       // the slot holds an effect after the click (undo snapshot)
  int32_t code = 0;               // a store or recall that failed: its settings-file code
};

class MemoryDots {
 public:
  // The 128 × 128 picture stored with an effect; null stores the effect without one.
  using ThumbnailMaker = std::function<std::unique_ptr<Picture>(const EffectSettings&)>;

  // `pictures` (may be null: recalls then keep the settings) is where a recalled effect finds
  // its pictures.
  MemoryDots(UserState& user, PictureContext* pictures, ThumbnailMaker thumbnails);

  // The dialog opens: every slot shows empty, then the kept ones as holding an effect; the
  // incoming effect `s` is stored into automaticSnapshotSlot (not kept) and shown in the
  // square. Nothing is stored when every slot is kept.
  void startDialog(const EffectSettings& s);

  // A click on slot 0..24 (the release of its press). A recall changes `s`.
  DotClickOutcome click(int slot, DotButton button, EffectSettings& s);
  // A plain click on the square: the hovered slot is recalled as a plain click on it would;
  // nothing happens while no slot is hovered.
  DotClickOutcome recallHovered(EffectSettings& s);

  // The pointer is over slot `slot` (-1: over none of the dots) while nothing is captured.
  // True when the square changed.
  bool hover(int slot);

  // A command changed the settings: the current slot, if any, becomes merely filled.
  // True when a slot changed.
  bool demoteCurrent();

  int hovered() const { return hovered_; }
  // The square's picture, 88 × 88 RGB; empty while it shows nothing.
  const std::vector<uint8_t>& preview() const { return preview_; }
  int face(int slot, bool pressed) const;

 private:
  bool validSlot(int slot) const { return slot >= 0 && slot < kMemoryDotCount; }
  DotDisplay& display(int slot) { return user_.dotDisplay[static_cast<size_t>(slot)]; }
  int32_t& kept(int slot) { return user_.dotMap[static_cast<size_t>(slot)]; }
  void showInSquare(int slot, const Picture* thumbnail);
  void clearSquare();
  DotClickOutcome store(int slot, bool keep, const EffectSettings& s);
  DotClickOutcome recall(int slot, EffectSettings& s);

  UserState& user_;
  PictureContext* pictures_;
  ThumbnailMaker thumbnails_;
  int hovered_ = -1;
  std::vector<uint8_t> preview_;
};

}  // namespace orichalcumite
