#include "ui/memory_dots.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "settings/settings_file.h"

namespace orichalcumite {
namespace {

uint8_t toByte(float v) {
  const float scaled = v > 0.0f ? std::min(v, 1.0f) * 255.0f + 0.5f : 0.0f;
  return static_cast<uint8_t>(scaled);
}

// The stretch of source pixels [from, to) covers along one axis, as (first pixel, weights).
struct Span {
  int first = 0;
  std::vector<float> weights;
};
Span coveredSpan(int index, int sourceSide, int targetSide) {
  const double from = double(index) * sourceSide / targetSide;
  const double to = double(index + 1) * sourceSide / targetSide;
  Span span;
  span.first = static_cast<int>(std::floor(from));
  const int last = std::min(sourceSide - 1, static_cast<int>(std::ceil(to)) - 1);
  for (int i = span.first; i <= last; ++i) {
    const double overlap = std::min(to, double(i + 1)) - std::max(from, double(i));
    span.weights.push_back(static_cast<float>(std::max(0.0, overlap) / (to - from)));
  }
  return span;
}

}  // namespace

int memoryDotFace(DotDisplay display, bool kept, bool pressed) {
  switch (display) {
    case DotDisplay::stored: return kept ? (pressed ? 216 : 215) : (pressed ? 214 : 213);
    case DotDisplay::current: return kept ? (pressed ? 212 : 208) : (pressed ? 211 : 202);
    case DotDisplay::empty: break;
  }
  return pressed ? 210 : 203;
}

DotClickCase dotClickCase(DotDisplay before, DotButton button) {
  if (before == DotDisplay::empty) return DotClickCase::store;
  switch (button) {
    case DotButton::right: return DotClickCase::clear;
    case DotButton::ctrlLeft: return DotClickCase::makeTemporary;
    case DotButton::left: break;
  }
  return DotClickCase::recall;
}

int automaticSnapshotSlot(const std::array<int32_t, kMemoryDotCount>& dotMap) {
  for (int slot = 0; slot < kMemoryDotCount; ++slot)
    if (dotMap[static_cast<size_t>(slot)] == 0) return slot;
  return -1;
}

std::vector<uint8_t> dotPreviewPixels(const Picture& thumbnail) {
  constexpr int kSide = kDotPreviewSide;
  std::vector<uint8_t> rgb(size_t{kSide} * kSide * 3, 0);
  const int w = thumbnail.width(), h = thumbnail.height();
  if (w < 1 || h < 1) return rgb;
  std::vector<Span> columns;
  for (int x = 0; x < kSide; ++x) columns.push_back(coveredSpan(x, w, kSide));
  uint8_t* out = rgb.data();
  for (int y = 0; y < kSide; ++y) {
    const Span row = coveredSpan(y, h, kSide);
    for (const Span& column : columns) {
      float sum[3] = {0, 0, 0};
      for (size_t j = 0; j < row.weights.size(); ++j) {
        for (size_t i = 0; i < column.weights.size(); ++i) {
          const Rgba p = thumbnail.readPicturePixel(column.first + static_cast<int>(i),
                                                    row.first + static_cast<int>(j), 0);
          const float weight = row.weights[j] * column.weights[i];
          sum[0] += p.red * weight;
          sum[1] += p.green * weight;
          sum[2] += p.blue * weight;
        }
      }
      for (float channel : sum) *out++ = toByte(channel);
    }
  }
  return rgb;
}

MemoryDots::MemoryDots(UserState& user, PictureContext* pictures, ThumbnailMaker thumbnails)
    : user_(user), pictures_(pictures), thumbnails_(std::move(thumbnails)) {}

void MemoryDots::startDialog(const EffectSettings& s) {
  user_.dotDisplay.fill(DotDisplay::empty);
  showStoredDots(user_);
  clearSquare();
  const int slot = automaticSnapshotSlot(user_.dotMap);
  if (slot >= 0) store(slot, false, s);
}

void MemoryDots::showInSquare(int slot, const Picture* thumbnail) {
  hovered_ = slot;
  preview_ = thumbnail ? dotPreviewPixels(*thumbnail) : std::vector<uint8_t>{};
}

void MemoryDots::clearSquare() {
  hovered_ = -1;
  preview_.clear();
}

DotClickOutcome MemoryDots::store(int slot, bool keep, const EffectSettings& s) {
  DotClickOutcome outcome;
  const std::unique_ptr<Picture> thumbnail = thumbnails_ ? thumbnails_(s) : nullptr;
  StoredDot stored = storeDot(slot + 1, s, thumbnail.get(), user_);
  // A dot that could not be written stays as it was; the square too.
  outcome.code = stored.code;
  if (stored.code != 0) {
    outcome.holdsEffect = display(slot) != DotDisplay::empty;
    return outcome;
  }
  kept(slot) = keep ? 1 : 0;
  outcome.holdsEffect = true;
  showInSquare(slot, stored.thumbnail.get());
  return outcome;
}

DotClickOutcome MemoryDots::recall(int slot, EffectSettings& s) {
  DotClickOutcome outcome;
  outcome.settingsReplaced = true;
  outcome.holdsEffect = true;
  outcome.code = pictures_ ? recallDot(slot + 1, s, user_, *pictures_) : kSettingsReadFailed;
  if (outcome.code != 0) {
    // The settings stay as they were; the dot is still named and marked as the one chosen.
    char name[32];
    std::snprintf(name, sizeof name, "dot %d", slot + 1);
    setText(s.settingsName, name);
    demoteCurrent();
    display(slot) = DotDisplay::current;
  }
  return outcome;
}

DotClickOutcome MemoryDots::click(int slot, DotButton button, EffectSettings& s) {
  if (!validSlot(slot)) return {};
  switch (dotClickCase(display(slot), button)) {
    case DotClickCase::store: return store(slot, button != DotButton::ctrlLeft, s);
    case DotClickCase::clear:
      clearDot(slot + 1, user_);
      clearSquare();
      return {};
    case DotClickCase::makeTemporary: {
      kept(slot) = 0;
      DotClickOutcome outcome;
      outcome.holdsEffect = true;
      return outcome;
    }
    case DotClickCase::recall: return recall(slot, s);
  }
  return {};
}

DotClickOutcome MemoryDots::recallHovered(EffectSettings& s) {
  if (!validSlot(hovered_) || display(hovered_) == DotDisplay::empty) return {};
  return recall(hovered_, s);
}

bool MemoryDots::hover(int slot) {
  if (!validSlot(slot)) return false;
  if (display(slot) == DotDisplay::empty) {
    if (hovered_ < 0 && preview_.empty()) return false;
    clearSquare();
    return true;
  }
  if (slot == hovered_) return false;
  EffectSettings untouched{};
  const SettingsFileResult read = readSettingsFile(stateFilePath(memoryDotFileName(slot + 1)),
                                                   SettingsReadMode::thumbnail, untouched);
  // A dot whose file cannot be read is still the hovered one, with nothing to show.
  showInSquare(slot, read.code == 0 ? read.thumbnail.get() : nullptr);
  return true;
}

bool MemoryDots::demoteCurrent() {
  bool changed = false;
  for (DotDisplay& d : user_.dotDisplay) {
    if (d == DotDisplay::current) {
      d = DotDisplay::stored;
      changed = true;
    }
  }
  return changed;
}

int MemoryDots::face(int slot, bool pressed) const {
  if (!validSlot(slot)) return memoryDotFace(DotDisplay::empty, false, pressed);
  const auto i = static_cast<size_t>(slot);
  return memoryDotFace(user_.dotDisplay[i], user_.dotMap[i] != 0, pressed);
}

}  // namespace orichalcumite
