#include "app/descriptor.h"

#include <algorithm>

#include "base/byte_reader.h"
#include "base/byte_writer.h"

namespace orichalcumite {
namespace {

constexpr uint32_t kTag = ps::fourCC("ODsc");
constexpr uint16_t kVersion = 1;
// key, type, integer, number, code, enumValue, byte count
constexpr size_t kItemFixedSize = 4 + 4 + 4 + 8 + 4 + 4 + 4;

}  // namespace

DescriptorItem DescriptorItem::integerItem(uint32_t key, int32_t value) {
  DescriptorItem item;
  item.key = key;
  item.type = ps::typeInteger;
  item.integer = value;
  return item;
}

DescriptorItem DescriptorItem::floatItem(uint32_t key, double value) {
  DescriptorItem item;
  item.key = key;
  item.type = ps::typeFloat;
  item.number = value;
  return item;
}

DescriptorItem DescriptorItem::booleanItem(uint32_t key, bool value) {
  DescriptorItem item;
  item.key = key;
  item.type = ps::typeBoolean;
  item.integer = value ? 1 : 0;
  return item;
}

DescriptorItem DescriptorItem::enumItem(uint32_t key, uint32_t enumType, uint32_t value) {
  DescriptorItem item;
  item.key = key;
  item.type = ps::typeEnumerated;
  item.code = enumType;
  item.enumValue = value;
  return item;
}

DescriptorItem DescriptorItem::textItem(uint32_t key, std::string text) {
  DescriptorItem item;
  item.key = key;
  item.type = ps::typeText;
  item.bytes = std::move(text);
  return item;
}

const DescriptorItem* Descriptor::find(uint32_t key) const {
  auto it = std::find_if(items.begin(), items.end(), [&](const auto& i) { return i.key == key; });
  return it == items.end() ? nullptr : &*it;
}

void Descriptor::set(DescriptorItem item) {
  auto it =
      std::find_if(items.begin(), items.end(), [&](const auto& i) { return i.key == item.key; });
  if (it != items.end())
    *it = std::move(item);
  else
    items.push_back(std::move(item));
}

std::vector<uint8_t> encodeDescriptor(const Descriptor& descriptor) {
  ByteWriter out;
  out.u32(kTag);
  out.u16(kVersion);
  out.u32(static_cast<uint32_t>(descriptor.items.size()));
  for (const DescriptorItem& item : descriptor.items) {
    out.u32(item.key);
    out.u32(item.type);
    out.i32(item.integer);
    out.f64(item.number);
    out.u32(item.code);
    out.u32(item.enumValue);
    out.u32(static_cast<uint32_t>(item.bytes.size()));
    out.text(item.bytes);
  }
  return out.take();
}

std::optional<Descriptor> decodeDescriptor(std::span<const uint8_t> bytes, std::string* error) {
  auto fail = [&](const char* why) -> std::optional<Descriptor> {
    if (error) *error = why;
    return std::nullopt;
  };
  ByteReader in(bytes);
  uint32_t tag = 0, count = 0;
  uint16_t version = 0;
  if (!in.u32(&tag) || !in.u16(&version) || !in.u32(&count))
    return fail("the descriptor is shorter than its header");
  if (tag != kTag) return fail("the bytes are not a descriptor");
  if (version != kVersion) return fail("the descriptor has an unknown version");
  if (count > in.remaining() / kItemFixedSize)
    return fail("the descriptor's item count is larger than its data");
  Descriptor d;
  d.items.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    DescriptorItem item;
    uint32_t length = 0;
    in.u32(&item.key);
    in.u32(&item.type);
    in.i32(&item.integer);
    in.f64(&item.number);
    in.u32(&item.code);
    in.u32(&item.enumValue);
    in.u32(&length);
    if (!in.text(length, &item.bytes)) return fail("the descriptor is truncated");
    d.items.push_back(std::move(item));
  }
  if (in.remaining() != 0) return fail("the descriptor has bytes after its last item");
  return d;
}

}  // namespace orichalcumite
