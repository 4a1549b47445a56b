// Building binary records: integers, IEEE floats and strings appended to a byte vector in a
// chosen byte order. Our own files and descriptor handles are big-endian (the default); the
// Windows resource forms of the PIPL and AETE are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace orichalcumite {

enum class ByteOrder { bigEndian, littleEndian };

class ByteWriter {
 public:
  explicit ByteWriter(ByteOrder order = ByteOrder::bigEndian) : order_(order) {}

  void u8(uint8_t v) { bytes_.push_back(v); }
  void u16(uint16_t v) { unsignedOf(v, 2); }
  void u32(uint32_t v) { unsignedOf(v, 4); }
  void u64(uint64_t v) { unsignedOf(v, 8); }
  void i16(int16_t v) { u16(static_cast<uint16_t>(v)); }
  void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
  // IEEE 754 binary32 and binary64, in the writer's byte order.
  void f32(float v);
  void f64(double v);
  void bytes(std::span<const uint8_t> data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
  }
  // The characters of `s` without a length or terminator.
  void text(std::string_view s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
  // The characters of `s` and a terminating zero byte.
  void cString(std::string_view s);
  // A length byte and the characters. Text beyond 255 bytes is cut off: a Pascal string
  // cannot say more.
  void pascalString(std::string_view s);

  // Overwrites four bytes written earlier at offset `at` (a count or length known only later).
  // `at` + 4 must not exceed size().
  void patchU32(size_t at, uint32_t v);

  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& data() const { return bytes_; }
  // The bytes written so far; the writer is empty afterwards.
  std::vector<uint8_t> take() { return std::move(bytes_); }

 private:
  void unsignedOf(uint64_t v, int count);
  void store(uint8_t* at, uint64_t v, int count) const;

  ByteOrder order_;
  std::vector<uint8_t> bytes_;
};

}  // namespace orichalcumite
