#include "base/byte_reader.h"

#include <bit>

namespace orichalcumite {

bool ByteReader::has(size_t n) {
  if (!short_ && n <= remaining()) return true;
  short_ = true;
  return false;
}

uint64_t ByteReader::load(int count) {
  uint64_t v = 0;
  for (int i = 0; i < count; ++i) {
    const uint64_t byte = bytes_[pos_ + size_t(i)];
    v |= order_ == ByteOrder::bigEndian ? byte << (8 * (count - 1 - i)) : byte << (8 * i);
  }
  pos_ += size_t(count);
  return v;
}

bool ByteReader::u8(uint8_t* v) {
  if (!has(1)) return false;
  *v = static_cast<uint8_t>(load(1));
  return true;
}

bool ByteReader::u16(uint16_t* v) {
  if (!has(2)) return false;
  *v = static_cast<uint16_t>(load(2));
  return true;
}

bool ByteReader::u32(uint32_t* v) {
  if (!has(4)) return false;
  *v = static_cast<uint32_t>(load(4));
  return true;
}

bool ByteReader::u64(uint64_t* v) {
  if (!has(8)) return false;
  *v = load(8);
  return true;
}

bool ByteReader::i16(int16_t* v) {
  uint16_t u = 0;
  if (!u16(&u)) return false;
  *v = static_cast<int16_t>(u);
  return true;
}

bool ByteReader::i32(int32_t* v) {
  uint32_t u = 0;
  if (!u32(&u)) return false;
  *v = static_cast<int32_t>(u);
  return true;
}

bool ByteReader::f32(float* v) {
  uint32_t u = 0;
  if (!u32(&u)) return false;
  *v = std::bit_cast<float>(u);
  return true;
}

bool ByteReader::f64(double* v) {
  uint64_t u = 0;
  if (!u64(&u)) return false;
  *v = std::bit_cast<double>(u);
  return true;
}

bool ByteReader::bytes(size_t n, std::span<const uint8_t>* out) {
  if (!has(n)) return false;
  *out = bytes_.subspan(pos_, n);
  pos_ += n;
  return true;
}

bool ByteReader::text(size_t n, std::string* out) {
  std::span<const uint8_t> data;
  if (!bytes(n, &data)) return false;
  out->assign(data.begin(), data.end());
  return true;
}

bool ByteReader::pascalString(std::string* out) {
  // The length byte is only consumed together with its characters.
  if (!has(1) || !has(size_t(bytes_[pos_]) + 1)) return false;
  const size_t n = bytes_[pos_++];
  return text(n, out);
}

bool ByteReader::skip(size_t n) {
  if (!has(n)) return false;
  pos_ += n;
  return true;
}

}  // namespace orichalcumite
