#include "resources/plugin_resources.h"

#include <algorithm>
#include <string_view>

#include "base/byte_writer.h"
#include "base/four_char_code.h"
#include "settings/enumerations.h"
#include "settings/parameter_table.h"

namespace orichalcumite {
namespace {

// ---- What the resources say about the plug-in -------------------------------------------------

constexpr std::string_view kVendorName = "Ferrovantine";
constexpr std::string_view kProductName = "Orichalcumite";
constexpr std::string_view kEventDescription = "Makes 3D textures and reflections";
constexpr uint32_t kStandardVendor = ps::fourCC("8BIM");
constexpr uint32_t kFilterInterfaceVersion = 0x00040000;  // 4.0

constexpr uint32_t kKindKey = ps::fourCC("kind");
constexpr uint32_t kNameKey = ps::fourCC("name");
constexpr uint32_t kCategoryKey = ps::fourCC("catg");
constexpr uint32_t kVersionKey = ps::fourCC("vers");
constexpr uint32_t kEntryPointKey = ps::fourCC("8664");
constexpr uint32_t kTerminologyKey = ps::fourCC("hstm");
constexpr uint32_t kModeKey = ps::fourCC("mode");
constexpr uint32_t kEnableKey = ps::fourCC("enbl");
constexpr uint32_t kFilterCaseKey = ps::fourCC("fici");

// Greyscale and RGB in the first flag byte; the deeper modes are expressed by "enbl".
constexpr uint8_t kModeGreyScale = 0x40;
constexpr uint8_t kModeRgb = 0x10;

// The first expression is what older hosts evaluate; the second adds the 32-bit modes and shuts
// out multichannel documents. Hosts compare these texts as they stand, spaces included.
constexpr std::string_view kEnableExpressions[] = {
    "in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode) ",
    "( in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode, Gray32Mode, "
    "RGB96Mode) ) && (PSHOP_ImageMode !=  MultichannelMode) ",
};

// Filter cases 1..7: flat images are filtered straight, with or without a selection; floating
// selections and layers with editable transparency are refused; layers with protected
// transparency are filtered with transparent pixels defringed.
constexpr ps::FilterCaseInfo kFilterCases[7] = {
    {ps::filterDataHandlingNone, ps::filterDataHandlingNone, 0, 0},
    {ps::filterDataHandlingNone, ps::filterDataHandlingNone, 0, 0},
    {ps::filterDataHandlingCantFilter, ps::filterDataHandlingCantFilter, 0, 0},
    {ps::filterDataHandlingCantFilter, ps::filterDataHandlingCantFilter, 0, 0},
    {ps::filterDataHandlingCantFilter, ps::filterDataHandlingCantFilter, 0, 0},
    {ps::filterDataHandlingDefringe, ps::filterDataHandlingNone, 0, 0},
    {ps::filterDataHandlingDefringe, ps::filterDataHandlingNone, 0, 0},
};

constexpr int16_t kReservedWord = 1;  // leads every resource in its Windows form
constexpr uint32_t kPiplVersion = 0;
constexpr size_t kPiplHeaderSize = 10;      // reserved int16, version int32, count int32
constexpr size_t kPropertyHeaderSize = 16;  // vendor, key, id, length
constexpr size_t kTerminologyMinSize = 15;  // version, class, event, id, at least the NUL

// AETE constants: version 1.0 (one byte each), English, Roman script, suite level and version 1.
constexpr uint8_t kAeteMajorVersion = 1;
constexpr uint8_t kAeteMinorVersion = 0;
constexpr int16_t kLanguageEnglish = 0;
constexpr int16_t kScriptRoman = 0;
constexpr int16_t kSuiteLevel = 1;
constexpr int16_t kSuiteVersion = 1;
constexpr uint16_t kNoReplyFlags = 0x0000;
// Direct parameter: optional (bit 15), enumerated (bit 13), changes state (bit 12).
constexpr uint16_t kImageDirectParameterFlags = 0xB000;
constexpr uint16_t kOptionalParameterFlags = 0x8000;

// ---- Writing -----------------------------------------------------------------------------------

// Every integer of the Windows resource form is little-endian; a four-character code is written
// as such an integer, so its characters come out reversed.
ByteWriter resourceWriter() { return ByteWriter(ByteOrder::littleEndian); }

// Writes one PIPL property whose data `writeData` appends, then pads the data to 4 bytes.
template <typename WriteData> void property(ByteWriter& w, uint32_t key, WriteData writeData) {
  w.u32(kStandardVendor);
  w.u32(key);
  w.u32(0);  // property id
  const size_t lengthAt = w.size();
  w.u32(0);
  const size_t dataStart = w.size();
  writeData();
  const size_t length = w.size() - dataStart;
  w.patchU32(lengthAt, static_cast<uint32_t>(length));
  while ((w.size() - dataStart) % 4 != 0) w.u8(0);
}

void enumeration(ByteWriter& w, Enumeration e) {
  const auto entries = terminologyEntries(e);
  w.u32(enumTypeCode(e));
  w.u16(static_cast<uint16_t>(entries.size()));
  for (const EnumEntry* entry : entries) {
    w.pascalString(entry->terminologyName);
    w.u32(entry->code);
    w.pascalString(entry->terminologyName);  // the description repeats the name
  }
}

// ---- Bounded little-endian reading ------------------------------------------------------------

uint32_t le32(std::span<const uint8_t> b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

std::string codeText(uint32_t code) {
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about "'" + text + "'".
  std::string text(1, '\'');
  text.append(printableFourCCText(code)).push_back('\'');
  return text;
}

// The text up to the first NUL, which must lie inside `data`.
std::optional<std::string> cStringIn(std::span<const uint8_t> data) {
  const auto nul = std::find(data.begin(), data.end(), uint8_t{0});
  if (nul == data.end()) return std::nullopt;
  return std::string(data.begin(), nul);
}

// A length byte and that many characters, all inside `data`.
std::optional<std::string> pascalIn(std::span<const uint8_t> data) {
  if (data.empty() || size_t(data[0]) + 1 > data.size()) return std::nullopt;
  return std::string(data.begin() + 1, data.begin() + 1 + data[0]);
}

// Reads one "8BIM" property into `info`. Returns an empty string or what is wrong with it.
std::string readProperty(uint32_t key, std::span<const uint8_t> data, PiplInfo& info,
                         std::vector<uint32_t>& seen) {
  const bool first = std::find(seen.begin(), seen.end(), key) == seen.end();
  seen.push_back(key);
  switch (key) {
    case kKindKey:
    case kVersionKey:
      if (data.size() != 4) return "must hold 4 bytes";
      if (!first) return {};
      if (key == kKindKey) {
        info.kind = le32(data, 0);
      } else {
        info.hasInterfaceVersion = true;
        info.interfaceVersion = le32(data, 0);
      }
      return {};
    case kNameKey:
    case kCategoryKey: {
      auto text = pascalIn(data);
      if (!text) return "has a string longer than its data";
      if (first) (key == kNameKey ? info.name : info.category) = std::move(*text);
      return {};
    }
    case kEntryPointKey:
    case kEnableKey: {
      auto text = cStringIn(data);
      if (!text) return "has a string without its terminating zero";
      if (key == kEnableKey)
        info.enableExpressions.push_back(std::move(*text));
      else if (first)
        info.entryPoint = std::move(*text);
      return {};
    }
    case kModeKey:
      if (data.size() < 2) return "must hold at least 2 bytes";
      if (first) {
        info.hasModeFlags = true;
        info.modeFlags[0] = data[0];
        info.modeFlags[1] = data[1];
      }
      return {};
    case kFilterCaseKey:
      if (data.size() != info.filterCases.size() * sizeof(ps::FilterCaseInfo))
        return "must hold 7 entries of 4 bytes";
      if (first) {
        info.hasFilterCases = true;
        for (size_t i = 0; i < info.filterCases.size(); ++i) {
          const uint8_t* e = data.data() + 4 * i;
          info.filterCases[i] = {static_cast<char>(e[0]), static_cast<char>(e[1]),
                                 static_cast<char>(e[2]), static_cast<char>(e[3])};
        }
      }
      return {};
    case kTerminologyKey: {
      if (data.size() < kTerminologyMinSize) return "is shorter than 15 bytes";
      auto scope = cStringIn(data.subspan(14));
      if (!scope) return "has a scope without its terminating zero";
      if (first) {
        info.hasTerminology = true;
        info.terminologyClassId = le32(data, 4);
        info.terminologyEventId = le32(data, 8);
        info.terminologyResourceId = static_cast<int16_t>(data[12] | data[13] << 8);
        info.terminologyScope = std::move(*scope);
      }
      return {};
    }
    default: return {};
  }
}

}  // namespace

std::vector<uint8_t> buildPipl() {
  ByteWriter w = resourceWriter();
  w.i16(kReservedWord);
  w.u32(kPiplVersion);
  const size_t countAt = w.size();
  w.u32(0);
  uint32_t count = 0;
  auto add = [&](uint32_t key, auto writeData) {
    property(w, key, writeData);
    ++count;
  };

  add(kKindKey, [&] { w.u32(ps::kFilterKind); });
  add(kNameKey, [&] { w.pascalString(std::string(kProductName) + "..."); });
  add(kCategoryKey, [&] { w.pascalString(kVendorName); });
  add(kVersionKey, [&] { w.u32(kFilterInterfaceVersion); });
  add(kEntryPointKey, [&] { w.cString(ps::kEntryPointName); });
  add(kTerminologyKey, [&] {
    w.u32(0);  // terminology version
    w.u32(kScriptingClassId);
    w.u32(kScriptingEventId);
    w.u16(static_cast<uint16_t>(kResourceId));
    w.cString(std::string(kVendorName) + " " + std::string(kProductName));
  });
  add(kModeKey, [&] {
    w.u8(kModeGreyScale | kModeRgb);
    w.u8(0);
  });
  for (std::string_view expression : kEnableExpressions)
    add(kEnableKey, [&] { w.cString(expression); });
  add(kFilterCaseKey, [&] {
    for (const ps::FilterCaseInfo& c : kFilterCases) {
      w.u8(static_cast<uint8_t>(c.inputHandling));
      w.u8(static_cast<uint8_t>(c.outputHandling));
      w.u8(static_cast<uint8_t>(c.flags1));
      w.u8(static_cast<uint8_t>(c.flags2));
    }
  });

  w.patchU32(countAt, count);
  return w.take();
}

std::vector<uint8_t> buildAete() {
  ByteWriter w = resourceWriter();
  w.i16(kReservedWord);
  w.u8(kAeteMajorVersion);
  w.u8(kAeteMinorVersion);
  w.u16(kLanguageEnglish);
  w.u16(kScriptRoman);
  w.u16(1);  // suites

  // The suite shares the event's four-character code.
  w.pascalString(kVendorName);
  w.pascalString(kProductName);
  w.u32(kScriptingClassId);
  w.u16(kSuiteLevel);
  w.u16(kSuiteVersion);
  w.u16(1);  // events

  w.pascalString(kProductName);
  w.pascalString(kEventDescription);
  w.u32(kScriptingClassId);
  w.u32(kScriptingEventId);
  w.u32(ps::typeNull);  // no reply
  w.pascalString("");
  w.u16(kNoReplyFlags);
  w.u32(ps::typeImageReference);
  w.pascalString("");
  w.u16(kImageDirectParameterFlags);

  const auto table = parameterTable();
  const auto declared = std::count_if(table.begin(), table.end(),
                                      [](const ParameterInfo& p) { return p.inTerminology; });
  w.u16(static_cast<uint16_t>(declared));
  for (const ParameterInfo& p : table) {
    if (!p.inTerminology) continue;
    w.pascalString(p.name);
    w.u32(p.key);
    w.u32(p.declaredType);
    w.pascalString(p.name);  // the description repeats the name
    w.u16(kOptionalParameterFlags);
  }

  w.u16(0);  // classes
  w.u16(0);  // comparison operators
  w.u16(3);  // enumerations
  enumeration(w, Enumeration::glueMode);
  enumeration(w, Enumeration::textureChoice);
  enumeration(w, Enumeration::bevelShape);
  // The resource ends here. Some writers append an int32 0 after the enumerations; hosts do not
  // read past the last enumeration, so we leave it out.
  return w.take();
}

std::optional<PiplInfo> parsePipl(std::span<const uint8_t> blob, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<PiplInfo> {
    if (error) *error = "damaged PIPL: " + why;
    return std::nullopt;
  };
  if (blob.size() < kPiplHeaderSize)
    return fail(std::to_string(blob.size()) + " bytes are shorter than the 10-byte header");
  // The reserved word at offset 0 carries nothing a host needs.
  const uint32_t version = le32(blob, 2);
  if (version != kPiplVersion) return fail("version " + std::to_string(version) + " is not 0");
  const int32_t count = static_cast<int32_t>(le32(blob, 6));
  if (count < 0) return fail("negative property count " + std::to_string(count));

  PiplInfo info;
  std::vector<uint32_t> seen;
  size_t pos = kPiplHeaderSize;
  for (int32_t i = 0; i < count; ++i) {
    const std::string which = "property " + std::to_string(i + 1) + " of " + std::to_string(count);
    const size_t remaining = blob.size() - pos;
    if (remaining < kPropertyHeaderSize) return fail(which + " is cut off in its header");
    const uint32_t vendor = le32(blob, pos);
    const uint32_t key = le32(blob, pos + 4);
    const int32_t length = static_cast<int32_t>(le32(blob, pos + 12));
    const size_t available = remaining - kPropertyHeaderSize;
    if (length < 0 || static_cast<size_t>(length) > available)
      return fail(which + " (" + codeText(key) + ") claims " + std::to_string(length) +
                  " bytes where " + std::to_string(available) + " remain");
    const auto data = blob.subspan(pos + kPropertyHeaderSize, static_cast<size_t>(length));
    if (vendor == kStandardVendor) {
      const std::string problem = readProperty(key, data, info, seen);
      if (!problem.empty()) return fail(which + " (" + codeText(key) + ") " + problem);
    }
    // The padding of the last property may be missing without harm.
    const size_t padded = (static_cast<size_t>(length) + 3) & ~size_t{3};
    pos += kPropertyHeaderSize + std::min(padded, available);
  }
  return info;
}

}  // namespace orichalcumite
