// The three enumerations every part of the system uses by number: GlueMode (1..74),
// BevelShape (1..14) and TextureChoice (1..13), with their names and scripting codes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/four_char_code.h"

namespace orichalcumite {

constexpr int kGlueModeCount = 74;
constexpr int kBevelShapeCount = 14;
constexpr int kTextureChoiceCount = 13;

enum class Enumeration { glueMode, bevelShape, textureChoice };

// One entry of an enumeration: its index (as stored in the settings), the name shown in the
// dialog, the scripting code, and whether the terminology lists it (and under which name).
struct EnumEntry {
  int index;
  const char* name;
  uint32_t code;
  const char* terminologyName;  // null: exchanged by code but not declared
};

// The descriptor type code of an enumeration: "SGty", "Srty" or "Stty".
uint32_t enumTypeCode(Enumeration e);
// The enumeration whose descriptor type code is `typeCode`, if any.
std::optional<Enumeration> enumerationOfType(uint32_t typeCode);
// Every entry, in index order.
std::span<const EnumEntry> enumEntries(Enumeration e);
// Entries in the order the terminology declares them (for the glue modes: indexes 1..64,
// then screendim and starbright).
std::span<const EnumEntry* const> terminologyEntries(Enumeration e);

// Index of `code` in `e`; 0 when the code is unknown.
int enumIndexFromCode(Enumeration e, uint32_t code);
// Code of `index` in `e`; the code "<NO>" when the index has none.
uint32_t enumCodeFromIndex(int index, Enumeration e);
// Dialog name of an index, or "" when out of range.
std::string_view enumName(Enumeration e, int index);
// Index of a name (dialog or terminology name, case-insensitive) or of a four-character code;
// 0 when nothing matches.
int enumIndexFromText(Enumeration e, std::string_view text);

}  // namespace orichalcumite
