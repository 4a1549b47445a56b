#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "base/byte_writer.h"

namespace orichalcumite {
namespace {

using Bytes = std::vector<uint8_t>;

// The expected bytes are written out by hand: 0x01020304 big-endian is 01 02 03 04.
TEST(ByteWriter, BigEndianPutsTheMostSignificantByteFirst) {
  ByteWriter w;
  w.u8(0xAB);
  w.u16(0x0102);
  w.u32(0x01020304);
  w.i32(-2);
  w.u64(0x0102030405060708ull);
  EXPECT_EQ(w.take(), (Bytes{0xAB, 0x01, 0x02, 0x01, 0x02, 0x03, 0x04, 0xFF, 0xFF, 0xFF, 0xFE, 0x01,
                             0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}));
}

TEST(ByteWriter, LittleEndianPutsTheLeastSignificantByteFirst) {
  ByteWriter w(ByteOrder::littleEndian);
  w.u16(0x0102);
  w.u32(0x01020304);
  w.i16(-2);
  EXPECT_EQ(w.take(), (Bytes{0x02, 0x01, 0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF}));
}

TEST(ByteWriter, FloatsAreTheirIeeeBitPatterns) {
  ByteWriter w;
  w.f32(1.0f);  // 0x3F800000
  w.f64(-2.0);  // 0xC000000000000000
  EXPECT_EQ(w.take(), (Bytes{0x3F, 0x80, 0x00, 0x00, 0xC0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ByteWriter, StringsCarryTheirLengthOrTerminator) {
  ByteWriter w;
  w.pascalString("ab");
  w.cString("cd");
  w.text("e");
  w.pascalString("");
  EXPECT_EQ(w.take(), (Bytes{2, 'a', 'b', 'c', 'd', 0, 'e', 0}));

  // A Pascal string cannot say more than 255: the rest is cut off, the length stays true.
  ByteWriter longer;
  longer.pascalString(std::string(300, 'x'));
  const Bytes bytes = longer.take();
  ASSERT_EQ(bytes.size(), 256u);
  EXPECT_EQ(bytes[0], 255);
}

TEST(ByteWriter, PatchOverwritesInTheWritersOrder) {
  ByteWriter big;
  big.u32(0);
  big.u8(9);
  big.patchU32(0, 0x0A0B0C0D);
  EXPECT_EQ(big.take(), (Bytes{0x0A, 0x0B, 0x0C, 0x0D, 9}));
  ByteWriter little(ByteOrder::littleEndian);
  little.u8(9);
  little.u32(0);
  little.patchU32(1, 0x0A0B0C0D);
  EXPECT_EQ(little.take(), (Bytes{9, 0x0D, 0x0C, 0x0B, 0x0A}));
}

TEST(ByteReader, ReadsBackWhatTheWriterWroteInEitherOrder) {
  for (ByteOrder order : {ByteOrder::bigEndian, ByteOrder::littleEndian}) {
    ByteWriter w(order);
    w.u8(7);
    w.u16(0xBEEF);
    w.i16(-300);
    w.u32(0xDEADBEEF);
    w.i32(std::numeric_limits<int32_t>::min());
    w.u64(0x0123456789ABCDEFull);
    w.f32(-0.15625f);
    w.f64(std::numeric_limits<double>::denorm_min());
    w.pascalString("name");
    w.text("tail");
    const Bytes bytes = w.take();

    ByteReader r(bytes, order);
    uint8_t a = 0;
    uint16_t b = 0;
    int16_t c = 0;
    uint32_t d = 0;
    int32_t e = 0;
    uint64_t f = 0;
    float g = 0;
    double h = 0;
    std::string name, tail;
    ASSERT_TRUE(r.u8(&a) && r.u16(&b) && r.i16(&c) && r.u32(&d) && r.i32(&e) && r.u64(&f) &&
                r.f32(&g) && r.f64(&h) && r.pascalString(&name) && r.text(4, &tail));
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 0xBEEF);
    EXPECT_EQ(c, -300);
    EXPECT_EQ(d, 0xDEADBEEFu);
    EXPECT_EQ(e, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(f, 0x0123456789ABCDEFull);
    EXPECT_EQ(g, -0.15625f);
    EXPECT_EQ(h, std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(name, "name");
    EXPECT_EQ(tail, "tail");
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_FALSE(r.shortRead());
  }
}

TEST(ByteReader, NaNKeepsItsBits) {
  ByteWriter w;
  w.f64(std::numeric_limits<double>::quiet_NaN());
  const Bytes bytes = w.take();
  ByteReader r(bytes);
  double v = 0;
  ASSERT_TRUE(r.f64(&v));
  EXPECT_TRUE(std::isnan(v));
}

// Every read of every width, cut one byte short, must fail without moving and without
// touching the destination.
TEST(ByteReader, AShortReadReadsNothingAndIsReported) {
  const Bytes bytes = {1, 2, 3, 4, 5, 6, 7, 8};
  for (size_t available = 0; available < bytes.size(); ++available) {
    const std::span<const uint8_t> data(bytes.data(), available);
    auto check = [&](auto read, size_t width) {
      ByteReader r(data);
      const bool ok = read(r);
      EXPECT_EQ(ok, width <= available) << "width " << width << ", " << available << " bytes";
      EXPECT_EQ(r.shortRead(), !ok);
      EXPECT_EQ(r.position(), ok ? width : 0u);
    };
    check(
        [](ByteReader& r) {
          uint8_t v = 0xEE;
          return r.u8(&v) || v != 0xEE;
        },
        1);
    check(
        [](ByteReader& r) {
          uint16_t v = 0xEE;
          return r.u16(&v) || v != 0xEE;
        },
        2);
    check(
        [](ByteReader& r) {
          uint32_t v = 0xEE;
          return r.u32(&v) || v != 0xEE;
        },
        4);
    check(
        [](ByteReader& r) {
          double v = 0.5;
          return r.f64(&v) || v != 0.5;
        },
        8);
    check(
        [](ByteReader& r) {
          std::string s = "keep";
          return r.text(3, &s) || s != "keep";
        },
        3);
  }
}

TEST(ByteReader, APascalStringLongerThanItsDataIsAShortRead) {
  const Bytes bytes = {5, 'a', 'b'};
  ByteReader r(bytes);
  std::string s;
  EXPECT_FALSE(r.pascalString(&s));
  EXPECT_TRUE(r.shortRead());
  EXPECT_EQ(r.position(), 0u);
}

TEST(ByteReader, AHugeLengthDoesNotWrapAround) {
  const Bytes bytes = {1, 2, 3, 4};
  ByteReader r(bytes);
  ASSERT_TRUE(r.skip(2));
  std::span<const uint8_t> view;
  EXPECT_FALSE(r.bytes(std::numeric_limits<size_t>::max(), &view));
  EXPECT_TRUE(r.shortRead());
}

TEST(ByteReader, OnceShortEveryLaterReadFails) {
  const Bytes bytes = {1, 2, 3};
  ByteReader r(bytes);
  uint32_t big = 0;
  uint8_t small = 0;
  EXPECT_FALSE(r.u32(&big));
  // Three bytes remain, but a record that already ran short is not read further.
  EXPECT_FALSE(r.u8(&small));
  EXPECT_TRUE(r.shortRead());
}

}  // namespace
}  // namespace orichalcumite
