#include "base/byte_writer.h"

#include <algorithm>
#include <bit>

namespace orichalcumite {

void ByteWriter::store(uint8_t* at, uint64_t v, int count) const {
  for (int i = 0; i < count; ++i) {
    const int shift = order_ == ByteOrder::bigEndian ? 8 * (count - 1 - i) : 8 * i;
    at[i] = static_cast<uint8_t>(v >> shift);
  }
}

void ByteWriter::unsignedOf(uint64_t v, int count) {
  const size_t at = bytes_.size();
  bytes_.resize(at + size_t(count));
  store(bytes_.data() + at, v, count);
}

void ByteWriter::f32(float v) { u32(std::bit_cast<uint32_t>(v)); }
void ByteWriter::f64(double v) { u64(std::bit_cast<uint64_t>(v)); }

void ByteWriter::cString(std::string_view s) {
  text(s);
  u8(0);
}

void ByteWriter::pascalString(std::string_view s) {
  const size_t n = std::min<size_t>(s.size(), 255);
  u8(static_cast<uint8_t>(n));
  text(s.substr(0, n));
}

void ByteWriter::patchU32(size_t at, uint32_t v) { store(bytes_.data() + at, v, 4); }

}  // namespace orichalcumite
