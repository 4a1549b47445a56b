// The two resources that describe the plug-in to a host without running it: the property list
// (PIPL: kind, menu name and category, entry point, supported modes and filter cases, where the
// terminology is) and the terminology (AETE: the scripting dictionary of the filter's event,
// its parameters and the three enumerations).
//
// Both are built in their Windows resource form: a leading reserved int16 of 1, every integer
// and four-character code little-endian (so a code's characters appear reversed), strings as
// plain bytes. The module carries them in its ELF sections .pipl and .aete.
//
// The parser is for hosts: it needs nothing of the plug-in beyond this header and the filter
// protocol. Building and parsing are pure functions, safe from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/filter_protocol.h"

namespace orichalcumite {

// Identity shared by both resources: the resource id of each and the class and event of the
// filter's scripting event.
constexpr int16_t kResourceId = 16000;
constexpr uint32_t kScriptingClassId = ps::fourCC("Qzmr");
constexpr uint32_t kScriptingEventId = ps::fourCC("Qzmr");

// The PIPL of the plug-in, byte for byte. Property data is padded with zeros to a multiple of 4;
// each property's length field counts the data without the padding.
std::vector<uint8_t> buildPipl();

// The AETE of the plug-in, byte for byte: version 1.0, one suite with one event whose 74
// parameters follow the parameter table, no classes, no comparison operators, and the
// enumerations of glue modes, texture choices and bevel shapes in terminology order.
std::vector<uint8_t> buildAete();

// What a host needs from a PIPL. Properties of another vendor than "8BIM" and unknown keys
// are skipped; a property that appears twice keeps its first value (except "enbl", which
// collects every expression in order).
struct PiplInfo {
  uint32_t kind = 0;  // "kind": "8BFM" for a filter; 0 when absent
  bool hasInterfaceVersion = false;
  uint32_t interfaceVersion = 0;  // "vers": (major << 16) | minor
  std::string name;               // "name": the menu item
  std::string category;           // "catg": the sub-menu
  std::string entryPoint;         // "8664": the x86-64 entry point; empty when absent
  bool hasModeFlags = false;
  uint8_t modeFlags[2] = {0, 0};               // "mode": byte 0 grey 0x40, RGB 0x10, ...
  std::vector<std::string> enableExpressions;  // "enbl", in order
  bool hasFilterCases = false;
  std::array<ps::FilterCaseInfo, 7> filterCases{};  // "fici", filter cases 1..7
  bool hasTerminology = false;                      // "hstm"
  uint32_t terminologyClassId = 0;
  uint32_t terminologyEventId = 0;
  int16_t terminologyResourceId = 0;
  std::string terminologyScope;
};

// Reads a PIPL in the Windows resource form. Every count and length is checked against the
// blob before it is used; a damaged or truncated blob gives nothing, with the reason in
// `*error` when `error` is not null. Bytes after the last property are ignored.
std::optional<PiplInfo> parsePipl(std::span<const uint8_t> blob, std::string* error);

}  // namespace orichalcumite
