#include "app/descriptor.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace orichalcumite {
namespace {

constexpr uint32_t kTag = ps::fourCC("ODsc");
constexpr uint16_t kVersion = 1;
constexpr size_t kHeaderSize = 4 + 2 + 4;
// key, type, integer, number, code, enumValue, byte count
constexpr size_t kItemFixedSize = 4 + 4 + 4 + 8 + 4 + 4 + 4;

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
void put64(std::vector<uint8_t>& out, uint64_t v) {
  put32(out, static_cast<uint32_t>(v >> 32));
  put32(out, static_cast<uint32_t>(v));
}

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t remaining() const { return bytes_.size() - pos_; }
  bool u16(uint16_t* v) {
    if (remaining() < 2) return false;
    *v = static_cast<uint16_t>((bytes_[pos_] << 8) | bytes_[pos_ + 1]);
    pos_ += 2;
    return true;
  }
  bool u32(uint32_t* v) {
    if (remaining() < 4) return false;
    *v = (uint32_t(bytes_[pos_]) << 24) | (uint32_t(bytes_[pos_ + 1]) << 16) |
         (uint32_t(bytes_[pos_ + 2]) << 8) | uint32_t(bytes_[pos_ + 3]);
    pos_ += 4;
    return true;
  }
  bool u64(uint64_t* v) {
    uint32_t hi, lo;
    if (!u32(&hi) || !u32(&lo)) return false;
    *v = (uint64_t(hi) << 32) | lo;
    return true;
  }
  bool text(size_t n, std::string* out) {
    if (remaining() < n) return false;
    out->assign(reinterpret_cast<const char*>(bytes_.data() + pos_), n);
    pos_ += n;
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

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
  auto it = std::find_if(items.begin(), items.end(), [&](const auto& i) { return i.key == item.key; });
  if (it != items.end())
    *it = std::move(item);
  else
    items.push_back(std::move(item));
}

std::vector<uint8_t> encodeDescriptor(const Descriptor& descriptor) {
  std::vector<uint8_t> out;
  put32(out, kTag);
  out.push_back(static_cast<uint8_t>(kVersion >> 8));
  out.push_back(static_cast<uint8_t>(kVersion));
  put32(out, static_cast<uint32_t>(descriptor.items.size()));
  for (const DescriptorItem& item : descriptor.items) {
    put32(out, item.key);
    put32(out, item.type);
    put32(out, static_cast<uint32_t>(item.integer));
    put64(out, std::bit_cast<uint64_t>(item.number));
    put32(out, item.code);
    put32(out, item.enumValue);
    put32(out, static_cast<uint32_t>(item.bytes.size()));
    out.insert(out.end(), item.bytes.begin(), item.bytes.end());
  }
  return out;
}

std::optional<Descriptor> decodeDescriptor(std::span<const uint8_t> bytes, std::string* error) {
  auto fail = [&](const char* why) -> std::optional<Descriptor> {
    if (error) *error = why;
    return std::nullopt;
  };
  Reader in(bytes);
  uint32_t tag = 0, count = 0;
  uint16_t version = 0;
  if (!in.u32(&tag) || !in.u16(&version) || !in.u32(&count))
    return fail("the descriptor is shorter than its header");
  if (tag != kTag) return fail("the bytes are not a descriptor");
  if (version != kVersion) return fail("the descriptor has an unknown version");
  if (count > in.remaining() / kItemFixedSize) return fail("the descriptor's item count is larger than its data");
  Descriptor d;
  d.items.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    DescriptorItem item;
    uint32_t integer = 0, length = 0;
    uint64_t number = 0;
    if (!in.u32(&item.key) || !in.u32(&item.type) || !in.u32(&integer) || !in.u64(&number) ||
        !in.u32(&item.code) || !in.u32(&item.enumValue) || !in.u32(&length))
      return fail("the descriptor is truncated");
    item.integer = static_cast<int32_t>(integer);
    item.number = std::bit_cast<double>(number);
    if (!in.text(length, &item.bytes)) return fail("the descriptor is truncated");
    d.items.push_back(std::move(item));
  }
  if (in.remaining() != 0) return fail("the descriptor has bytes after its last item");
  return d;
}

}  // namespace orichalcumite
