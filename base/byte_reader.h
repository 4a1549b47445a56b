// Reading binary records without trusting them: every read checks that its bytes are there.
// A read that would pass the end reads nothing, returns false and marks the reader as short;
// every later read fails too, so a run of reads can be checked once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/byte_writer.h"  // ByteOrder

namespace orichalcumite {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes, ByteOrder order = ByteOrder::bigEndian)
      : bytes_(bytes), order_(order) {}

  bool u8(uint8_t* v);
  bool u16(uint16_t* v);
  bool u32(uint32_t* v);
  bool u64(uint64_t* v);
  bool i16(int16_t* v);
  bool i32(int32_t* v);
  bool f32(float* v);
  bool f64(double* v);
  // The next `n` bytes, as a view into the reader's data.
  bool bytes(size_t n, std::span<const uint8_t>* out);
  // The next `n` bytes as text.
  bool text(size_t n, std::string* out);
  // A length byte and that many characters.
  bool pascalString(std::string* out);
  bool skip(size_t n);

  size_t position() const { return pos_; }
  size_t remaining() const { return bytes_.size() - pos_; }
  // True once a read has asked for more bytes than remained.
  bool shortRead() const { return short_; }

 private:
  // True when `n` more bytes are there; otherwise marks the reader short.
  bool has(size_t n);
  uint64_t load(int count);

  std::span<const uint8_t> bytes_;
  ByteOrder order_;
  size_t pos_ = 0;
  bool short_ = false;
};

}  // namespace orichalcumite
