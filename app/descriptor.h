// A scripting descriptor as the host keeps it: an ordered list of (key, type, value) items.
// The host hands a filter its descriptor as a handle whose bytes are the encoded form below,
// and reads back the handle a filter's write procedures produce.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/filter_protocol.h"

namespace orichalcumite {

// Type codes beyond the ones of the filter protocol header.
constexpr uint32_t kTypeScopedClass = ps::fourCC("GlbC");
constexpr uint32_t kTypeScopedObject = ps::fourCC("GlbO");
constexpr uint32_t kTypeReference = ps::fourCC("obj ");
constexpr uint32_t kUnitNone = ps::fourCC("#Nne");

// One item. Which fields carry the value depends on `type`:
//   long, bool       integer (bool as 0/1)
//   doub             number
//   UntF             number, code = unit
//   enum             code = enumeration type, enumValue = value
//   type, GlbC       code = class
//   TEXT, alis       bytes
//   Objc, GlbO       code = class, bytes = the encoded inner descriptor
//   obj              bytes = the simple reference record
struct DescriptorItem {
  uint32_t key = 0;
  uint32_t type = 0;
  int32_t integer = 0;
  double number = 0;
  uint32_t code = 0;
  uint32_t enumValue = 0;
  std::string bytes;

  bool operator==(const DescriptorItem&) const = default;

  static DescriptorItem integerItem(uint32_t key, int32_t value);
  static DescriptorItem floatItem(uint32_t key, double value);
  static DescriptorItem booleanItem(uint32_t key, bool value);
  static DescriptorItem enumItem(uint32_t key, uint32_t enumType, uint32_t value);
  static DescriptorItem textItem(uint32_t key, std::string text);
};

struct Descriptor {
  std::vector<DescriptorItem> items;

  const DescriptorItem* find(uint32_t key) const;
  // Replaces the item with the same key in place, or appends it.
  void set(DescriptorItem item);

  bool operator==(const Descriptor&) const = default;
};

// The bytes of a descriptor handle: a tag, a version and the items, integers big-endian.
std::vector<uint8_t> encodeDescriptor(const Descriptor& descriptor);
// Reads encodeDescriptor's bytes back. Every length is checked; damaged or truncated bytes
// give nothing, with the reason in `*error` when it is not null.
std::optional<Descriptor> decodeDescriptor(std::span<const uint8_t> bytes, std::string* error);

}  // namespace orichalcumite
