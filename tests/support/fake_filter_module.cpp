// A small filter module for end-to-end tests of the host program: a shared object with its
// own PIPL in the section .pipl (written out byte by byte below) and an entry point named
// FakeFilterMain, as that PIPL says.
//
// What it does is chosen by the environment variable ORICHALCUMITE_FAKE_FILTER:
//   copy (default)  requests the image band by band in 32-bit coordinates and copies it
//   invert          the same, writing white minus each sample
//   fail            sets an error string and returns errReportString
//   wait            creates the file named by ORICHALCUMITE_FAKE_MARKER, then waits for the
//                   host's cancel and returns userCanceledErr
// Whatever descriptor Start is given, Finish writes back item for item.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "protocol/filter_protocol.h"

namespace {

// ---- The PIPL, little-endian as the Windows resource form has it.

struct Blob {
  uint8_t bytes[512] = {};
  size_t size = 0;
  constexpr void u8(uint8_t v) { bytes[size++] = v; }
  constexpr void u16(uint16_t v) {
    u8(uint8_t(v));
    u8(uint8_t(v >> 8));
  }
  constexpr void u32(uint32_t v) {
    u16(uint16_t(v));
    u16(uint16_t(v >> 16));
  }
  constexpr void property(const char (&key)[5], const uint8_t* data, size_t n) {
    u32(ps::fourCC("8BIM"));
    u32(ps::fourCC(key));
    u32(0);
    u32(uint32_t(n));
    for (size_t i = 0; i < n; ++i) u8(data[i]);
    for (size_t i = n; i % 4 != 0; ++i) u8(0);  // data padded to 4, counted without the padding
  }
  template <size_t N> constexpr void text(const char (&key)[5], const char (&s)[N], bool withNul) {
    uint8_t data[N] = {};
    for (size_t i = 0; i < N; ++i) data[i] = uint8_t(s[i]);
    property(key, data, withNul ? N : N - 1);
  }
};

constexpr Blob makePipl() {
  Blob b;
  b.u16(1);  // reserved
  b.u32(0);  // version
  b.u32(6);  // properties
  const uint32_t kind = ps::kFilterKind;
  const uint8_t kindBytes[4] = {uint8_t(kind), uint8_t(kind >> 8), uint8_t(kind >> 16),
                                uint8_t(kind >> 24)};
  b.property("kind", kindBytes, 4);
  b.text("name",
         "\x0b"
         "Fake filter",
         false);
  b.text("8664", "FakeFilterMain", true);
  const uint8_t modes[2] = {0x50, 0x00};
  b.property("mode", modes, 2);
  b.text(
      "enbl",
      "in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode, Gray32Mode, RGB96Mode)",
      true);
  // Flat images straight, floating selections and editable transparency refused, protected
  // transparency defringed.
  const uint8_t cases[28] = {1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0,
                             0, 0, 0, 0, 0, 0, 5, 1, 0, 0, 5, 1, 0, 0};
  b.property("fici", cases, 28);
  return b;
}

constexpr Blob kPiplBlob = makePipl();

struct PiplBytes {
  uint8_t bytes[kPiplBlob.size];
};

constexpr PiplBytes piplBytes() {
  PiplBytes p{};
  for (size_t i = 0; i < kPiplBlob.size; ++i) p.bytes[i] = kPiplBlob.bytes[i];
  return p;
}

__attribute__((section(".pipl"), used)) const PiplBytes kPipl = piplBytes();

// ---- Behaviour

struct Item {
  uint32_t key, type;
  int32_t integer = 0;
  double number = 0;
  uint32_t enumType = 0, enumValue = 0;
  ps::Str255 text{};
};
std::vector<Item> gItems;

std::string mode() {
  const char* m = std::getenv("ORICHALCUMITE_FAKE_FILTER");
  return m ? m : "copy";
}

void readDescriptor(ps::FilterRecord& r) {
  gItems.clear();
  ps::PIDescriptorParameters* d = r.descriptorParameters;
  if (!d || !d->descriptor) return;
  ps::ReadDescriptorProcs& read = *d->readDescriptorProcs;
  ps::PIReadDescriptor reader = read.openReadDescriptorProc(d->descriptor, nullptr);
  if (!reader) return;
  Item item{};
  int32_t flags = 0;
  while (read.getKeyProc(reader, &item.key, &item.type, &flags)) {
    if (item.type == ps::typeInteger) read.getIntegerProc(reader, &item.integer);
    if (item.type == ps::typeFloat) read.getFloatProc(reader, &item.number);
    if (item.type == ps::typeBoolean) {
      ps::Boolean b = 0;
      read.getBooleanProc(reader, &b);
      item.integer = b;
    }
    if (item.type == ps::typeEnumerated) {
      read.getEnumeratedProc(reader, &item.enumValue);
      // The reading procedures give the value only; the type follows from the key.
      item.enumType = item.key == ps::fourCC("SGky")   ? ps::fourCC("SGty")
                      : item.key == ps::fourCC("Srky") ? ps::fourCC("Srty")
                                                       : ps::fourCC("Stty");
    }
    if (item.type == ps::typeText) read.getStringProc(reader, &item.text);
    gItems.push_back(item);
    item = Item{};
  }
  read.closeReadDescriptorProc(reader);
  d->descriptor = nullptr;
}

int16_t writeDescriptor(ps::FilterRecord& r) {
  ps::PIDescriptorParameters* d = r.descriptorParameters;
  if (!d) return ps::noErr;
  ps::WriteDescriptorProcs& write = *d->writeDescriptorProcs;
  ps::PIWriteDescriptor writer = write.openWriteDescriptorProc();
  for (const Item& item : gItems) {
    if (item.type == ps::typeInteger) write.putIntegerProc(writer, item.key, item.integer);
    if (item.type == ps::typeFloat) write.putFloatProc(writer, item.key, &item.number);
    if (item.type == ps::typeBoolean)
      write.putBooleanProc(writer, item.key, ps::Boolean(item.integer));
    if (item.type == ps::typeEnumerated)
      write.putEnumeratedProc(writer, item.key, item.enumType, item.enumValue);
    if (item.type == ps::typeText) write.putStringProc(writer, item.key, item.text);
  }
  return write.closeWriteDescriptorProc(writer, &d->descriptor);
}

template <typename T>
void transform(const void* in, void* out, size_t count, bool invert, T white) {
  const T* src = static_cast<const T*>(in);
  T* dst = static_cast<T*>(out);
  for (size_t i = 0; i < count; ++i) dst[i] = invert ? T(white - src[i]) : src[i];
}

int16_t filterImage(ps::FilterRecord& r, bool invert) {
  ps::BigDocumentStruct& big = *r.bigDocumentData;
  big.PluginUsing32BitCoordinates = 1;
  const ps::VRect whole = big.filterRect32;
  const int32_t band = 7;
  r.inLoPlane = r.outLoPlane = 0;
  r.inHiPlane = r.outHiPlane = int16_t(r.planes - 1);
  for (int32_t top = whole.top; top < whole.bottom; top += band) {
    if (r.abortProc()) return ps::userCanceledErr;
    const int32_t bottom = std::min(top + band, whole.bottom);
    big.inRect32 = big.outRect32 = {top, whole.left, bottom, whole.right};
    if (const int16_t e = r.advanceState()) return e;
    const size_t samples = size_t(whole.right - whole.left) * size_t(r.planes);
    for (int32_t y = 0; y < bottom - top; ++y) {
      const char* in = static_cast<const char*>(r.inData) + size_t(y) * size_t(r.inRowBytes);
      char* out = static_cast<char*>(r.outData) + size_t(y) * size_t(r.outRowBytes);
      if (r.depth == 8) transform<uint8_t>(in, out, samples, invert, 255);
      if (r.depth == 16) transform<uint16_t>(in, out, samples, invert, 32768);
      if (r.depth == 32) transform<float>(in, out, samples, invert, 1.0f);
    }
    r.progressProc(bottom - whole.top, whole.bottom - whole.top);
  }
  big.inRect32 = big.outRect32 = {};
  return ps::noErr;
}

int16_t start(ps::FilterRecord& r) {
  readDescriptor(r);
  const std::string m = mode();
  if (m == "fail") {
    const char text[] = "the fake filter failed on purpose";
    (*r.errorString)[0] = sizeof text - 1;
    std::memcpy(*r.errorString + 1, text, sizeof text - 1);
    return ps::errReportString;
  }
  if (m == "wait") {
    if (const char* marker = std::getenv("ORICHALCUMITE_FAKE_MARKER"))
      std::ofstream(marker) << "waiting\n";
    // Bounded, so that a host that never reports the cancel fails the test instead of hanging.
    for (int i = 0; i < 60000; ++i) {
      if (r.abortProc()) return ps::userCanceledErr;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return ps::noErr;
  }
  return filterImage(r, m == "invert");
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void FakeFilterMain(int16_t selector,
                                                                      void* record, intptr_t*,
                                                                      int16_t* result) {
  auto& r = *static_cast<ps::FilterRecord*>(record);
  switch (selector) {
    case ps::selectorStart: *result = start(r); break;
    case ps::selectorFinish: *result = writeDescriptor(r); break;
    default: break;
  }
}
