// Handles, the basic suite and the descriptor procedures as a filter calls them.
#include <gtest/gtest.h>

#include <cstring>

#include "app/descriptor_procs.h"
#include "app/host_memory.h"

namespace orichalcumite {
namespace {

constexpr uint32_t key(const char (&s)[5]) { return ps::fourCC(s); }

class HostProcsTest : public ::testing::Test {
 protected:
  HostProcsTest() : memory(int64_t(1) << 20), descriptors(memory) {
    memory.activate();
    descriptors.activate();
  }

  ps::Handle handleOf(const Descriptor& d) { return descriptors.newDescriptorHandle(d); }

  HostMemory memory;
  DescriptorSuite descriptors;
  ps::HandleProcs& handles = *HostMemory::handleProcs();
  ps::ReadDescriptorProcs& read = *DescriptorSuite::readProcs();
  ps::WriteDescriptorProcs& write = *DescriptorSuite::writeProcs();
};

// ---- Handles and the basic suite

TEST_F(HostProcsTest, handleIsAMasterPointerThatFollowsResizing) {
  ps::Handle h = handles.newProc(4);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(handles.getSizeProc(h), 4);
  std::memcpy(*h, "abcd", 4);  // dereferenced without locking, as some filters do
  ASSERT_EQ(handles.setSizeProc(h, 100000), ps::noErr);
  EXPECT_EQ(handles.getSizeProc(h), 100000);
  ps::Ptr p = handles.lockProc(h, true);
  EXPECT_EQ(p, *h);
  EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
  EXPECT_EQ(p[99999], 0);  // grown part is zeroed
  handles.unlockProc(h);
  handles.disposeProc(h);
  handles.disposeProc(h);  // twice is harmless
  EXPECT_EQ(handles.getSizeProc(h), 0);
  EXPECT_EQ(handles.lockProc(h, false), nullptr);
  EXPECT_EQ(handles.setSizeProc(h, 8), ps::nilHandleErr);
}

TEST_F(HostProcsTest, unknownHandlesAndBadSizesAreRefused) {
  char* cell = nullptr;
  ps::Handle stranger = &cell;
  EXPECT_EQ(handles.lockProc(stranger, false), nullptr);
  EXPECT_EQ(handles.getSizeProc(stranger), 0);
  handles.disposeProc(stranger);
  EXPECT_EQ(handles.newProc(-1), nullptr);
  ps::Handle h = handles.newProc(0);
  ASSERT_NE(h, nullptr);
  EXPECT_NE(*h, nullptr);
  EXPECT_EQ(handles.setSizeProc(h, -5), ps::paramErr);
}

TEST_F(HostProcsTest, basicSuiteOffersOnlyItselfAndTracksBlocks) {
  ps::SPBasicSuite& basic = *HostMemory::basicSuite();
  const void* suite = nullptr;
  EXPECT_EQ(basic.AcquireSuite("SP Access Suite", 3, &suite), ps::kSPSuiteNotFoundError);
  EXPECT_EQ(suite, nullptr);
  EXPECT_EQ(basic.AcquireSuite("SP Basic Suite", 4, &suite), ps::kSPNoError);
  EXPECT_EQ(suite, &basic);
  EXPECT_TRUE(basic.IsEqual("abc", "abc"));
  EXPECT_FALSE(basic.IsEqual("abc", "abd"));
  void* block = nullptr;
  ASSERT_EQ(basic.AllocateBlock(16, &block), ps::kSPNoError);
  ASSERT_EQ(basic.ReallocateBlock(block, 4096, &block), ps::kSPNoError);
  EXPECT_EQ(basic.FreeBlock(block), ps::kSPNoError);
  EXPECT_EQ(basic.FreeBlock(block), ps::kSPBadParameterError);
}

// ---- Descriptors

TEST_F(HostProcsTest, getKeyWalksInOrderAndZeroesEachReturnedKey) {
  Descriptor d;
  d.set(DescriptorItem::integerItem(key("0008"), 40));
  d.set(DescriptorItem::enumItem(key("SGky"), key("SGty"), key("GL62")));
  d.set(DescriptorItem::integerItem(key("zzzz"), 1));  // not asked for
  ps::DescriptorKeyID keys[] = {key("0001"), key("SGky"), key("0008"), 0};
  ps::PIReadDescriptor reader = read.openReadDescriptorProc(handleOf(d), keys);
  ASSERT_NE(reader, nullptr);
  std::vector<uint32_t> seen;
  ps::DescriptorKeyID k;
  ps::DescriptorTypeID type;
  int32_t flags;
  while (read.getKeyProc(reader, &k, &type, &flags)) seen.push_back(k);
  EXPECT_EQ(seen, (std::vector<uint32_t>{key("0008"), key("SGky"), key("zzzz")}));
  EXPECT_EQ(keys[0], key("0001"));
  EXPECT_EQ(keys[1], 0u);
  EXPECT_EQ(keys[2], 0u);
  EXPECT_EQ(read.closeReadDescriptorProc(reader), ps::noErr);
}

TEST_F(HostProcsTest, numbersCoerceBetweenIntegerFloatAndBoolean) {
  Descriptor d;
  d.set(DescriptorItem::integerItem(key("0001"), 3));
  d.set(DescriptorItem::floatItem(key("0002"), -2.5));
  d.set(DescriptorItem::booleanItem(key("0003"), true));
  d.set(DescriptorItem::floatItem(key("0004"), 0.0));
  ps::PIReadDescriptor reader = read.openReadDescriptorProc(handleOf(d), nullptr);
  ps::DescriptorKeyID k;
  ps::DescriptorTypeID type;
  int32_t flags, i = 0;
  double f = 0;
  ps::Boolean b = 0;

  ASSERT_TRUE(read.getKeyProc(reader, &k, &type, &flags));
  EXPECT_EQ(type, ps::typeInteger);
  EXPECT_EQ(read.getFloatProc(reader, &f), ps::noErr);
  EXPECT_EQ(f, 3.0);
  EXPECT_EQ(read.getBooleanProc(reader, &b), ps::noErr);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(read.getPinnedIntegerProc(reader, 0, 2, &i), ps::coercedParamErr);
  EXPECT_EQ(i, 2);

  ASSERT_TRUE(read.getKeyProc(reader, &k, &type, &flags));
  EXPECT_EQ(read.getIntegerProc(reader, &i), ps::noErr);
  EXPECT_EQ(i, -3);  // -2.5 rounds away from zero
  ps::DescriptorUnitID unit = 0;
  EXPECT_EQ(read.getUnitFloatProc(reader, &unit, &f), ps::noErr);
  EXPECT_EQ(unit, kUnitNone);

  ASSERT_TRUE(read.getKeyProc(reader, &k, &type, &flags));
  EXPECT_EQ(read.getIntegerProc(reader, &i), ps::noErr);
  EXPECT_EQ(i, 1);

  ASSERT_TRUE(read.getKeyProc(reader, &k, &type, &flags));
  EXPECT_EQ(read.getBooleanProc(reader, &b), ps::noErr);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(read.closeReadDescriptorProc(reader), ps::noErr);
}

TEST_F(HostProcsTest, wrongTypeFailsAndTheFirstErrorReturnsOnClose) {
  Descriptor d;
  d.set(DescriptorItem::textItem(key("0035"), "sky.png"));
  ps::Handle h = handleOf(d);
  ps::PIReadDescriptor reader = read.openReadDescriptorProc(h, nullptr);
  int32_t i = 0;
  EXPECT_NE(read.getIntegerProc(reader, &i), ps::noErr);  // before any getKey
  ps::DescriptorKeyID k;
  ps::DescriptorTypeID type;
  int32_t flags;
  ASSERT_TRUE(read.getKeyProc(reader, &k, &type, &flags));
  EXPECT_EQ(read.getIntegerProc(reader, &i), ps::paramErr);
  ps::Str255 text{};
  EXPECT_EQ(read.getStringProc(reader, &text), ps::noErr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(text + 1), text[0]), "sky.png");
  EXPECT_EQ(read.closeReadDescriptorProc(reader), ps::paramErr);
  EXPECT_FALSE(memory.isLive(h));  // closing disposes of the descriptor
  EXPECT_EQ(read.closeReadDescriptorProc(reader), ps::paramErr);  // and the reader
  EXPECT_EQ(read.openReadDescriptorProc(h, nullptr), nullptr);
}

TEST_F(HostProcsTest, everyWrittenValueReadsBack) {
  ps::PIWriteDescriptor writer = write.openWriteDescriptorProc();
  const double half = 0.5, inches = 2.25;
  ps::Handle alias =
      memory.newHandle(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("path"), 4));
  const unsigned char name[] = "\x06<none>";
  write.putIntegerProc(writer, key("0001"), -7);
  write.putFloatProc(writer, key("0009"), &half);
  write.putUnitFloatProc(writer, key("unit"), key("#Pxl"), &inches);
  write.putBooleanProc(writer, key("0031"), 1);
  write.putEnumeratedProc(writer, key("SGky"), key("SGty"), key("GL26"));
  write.putStringProc(writer, key("0036"), name);
  write.putAliasProc(writer, key("alis"), alias);
  write.putClassProc(writer, key("clss"), key("Qzmr"));
  write.putIntegerProc(writer, key("0001"), 8);  // the same key again replaces the value
  ps::PIDescriptorHandle handle = nullptr;
  ASSERT_EQ(write.closeWriteDescriptorProc(writer, &handle), ps::noErr);

  std::string error;
  auto d = descriptors.descriptorOf(handle, &error);
  ASSERT_TRUE(d) << error;
  ASSERT_EQ(d->items.size(), 8u);
  EXPECT_EQ(d->items[0], DescriptorItem::integerItem(key("0001"), 8));
  EXPECT_EQ(d->items[1], DescriptorItem::floatItem(key("0009"), 0.5));
  EXPECT_EQ(d->items[2].type, ps::typeUnitFloat);
  EXPECT_EQ(d->items[2].code, key("#Pxl"));
  EXPECT_EQ(d->items[3], DescriptorItem::booleanItem(key("0031"), true));
  EXPECT_EQ(d->items[4], DescriptorItem::enumItem(key("SGky"), key("SGty"), key("GL26")));
  EXPECT_EQ(d->items[5], DescriptorItem::textItem(key("0036"), "<none>"));

  ps::PIReadDescriptor reader = read.openReadDescriptorProc(handle, nullptr);
  ps::DescriptorKeyID k;
  ps::DescriptorTypeID type;
  int32_t flags;
  for (int skip = 0; skip < 7; ++skip) read.getKeyProc(reader, &k, &type, &flags);
  ps::Handle aliasBack = nullptr;
  EXPECT_EQ(read.getAliasProc(reader, &aliasBack), ps::noErr);
  EXPECT_EQ(memory.contents(aliasBack), memory.contents(alias));
  ASSERT_TRUE(read.getKeyProc(reader, &k, &type, &flags));
  ps::DescriptorTypeID cls = 0;
  EXPECT_EQ(read.getClassProc(reader, &cls), ps::noErr);
  EXPECT_EQ(cls, key("Qzmr"));
  EXPECT_FALSE(read.getKeyProc(reader, &k, &type, &flags));
  EXPECT_EQ(read.closeReadDescriptorProc(reader), ps::noErr);
}

TEST_F(HostProcsTest, objectsNestWholeDescriptors) {
  Descriptor inner;
  inner.set(DescriptorItem::integerItem(key("Rd  "), 200));
  ps::PIWriteDescriptor writer = write.openWriteDescriptorProc();
  ASSERT_EQ(write.putObjectProc(writer, key("Clr "), key("RGBC"), handleOf(inner)), ps::noErr);
  char* junk = nullptr;
  EXPECT_NE(write.putObjectProc(writer, key("bad "), key("RGBC"), &junk), ps::noErr);
  ps::PIDescriptorHandle outer = nullptr;
  ASSERT_EQ(write.closeWriteDescriptorProc(writer, &outer), ps::noErr);

  ps::PIReadDescriptor reader = read.openReadDescriptorProc(outer, nullptr);
  ps::DescriptorKeyID k;
  ps::DescriptorTypeID type;
  int32_t flags;
  ASSERT_TRUE(read.getKeyProc(reader, &k, &type, &flags));
  ps::DescriptorTypeID cls = 0;
  ps::PIDescriptorHandle nested = nullptr;
  ASSERT_EQ(read.getObjectProc(reader, &cls, &nested), ps::noErr);
  EXPECT_EQ(cls, key("RGBC"));
  auto back = descriptors.descriptorOf(nested, nullptr);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, inner);
  read.closeReadDescriptorProc(reader);
}

TEST(DescriptorBytes, damagedOrTruncatedBytesAreRejected) {
  Descriptor d;
  d.set(DescriptorItem::textItem(key("0035"), "environment.png"));
  d.set(DescriptorItem::floatItem(key("0009"), -0.25));
  const std::vector<uint8_t> bytes = encodeDescriptor(d);
  std::string error;
  ASSERT_EQ(decodeDescriptor(bytes, &error), d) << error;
  for (size_t n = 0; n < bytes.size(); ++n)
    EXPECT_FALSE(decodeDescriptor(std::span(bytes.data(), n), nullptr)) << "length " << n;
  std::vector<uint8_t> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(decodeDescriptor(longer, nullptr));
  std::vector<uint8_t> hugeCount = bytes;
  hugeCount[6] = hugeCount[7] = 0xff;  // item count
  EXPECT_FALSE(decodeDescriptor(hugeCount, &error));
  std::vector<uint8_t> wrongTag = bytes;
  wrongTag[0] ^= 1;
  EXPECT_FALSE(decodeDescriptor(wrongTag, nullptr));
}

// A Pascal string holds 255 bytes; a longer text is cut before the character the limit would
// split, so that what the filter keeps and hands back is still UTF-8.
TEST_F(HostProcsTest, longStringsAreCutOnACharacterBoundary) {
  const std::string twoBytes = "\xc3\xa9", fourBytes = "\xf0\x9f\x94\xa5";
  struct Case {
    std::string text;
    size_t expected;
  };
  std::string evenAccents = std::string(1, 'a');  // 1 + 2k bytes: 255 ends a character
  std::string oddAccents = std::string(2, 'a');   // 2 + 2k bytes: 255 splits one
  std::string fires = std::string(1, 'a');        // 1 + 4k bytes: 255 splits one after 2 bytes
  for (int i = 0; i < 200; ++i) {
    evenAccents += twoBytes;
    oddAccents += twoBytes;
    fires += fourBytes;
  }
  for (const Case& c : {Case{evenAccents, 255}, Case{oddAccents, 254}, Case{fires, 253},
                        Case{std::string(300, 'x'), 255}}) {
    Descriptor d;
    d.set(DescriptorItem::textItem(key("0035"), c.text));
    ps::PIReadDescriptor reader = read.openReadDescriptorProc(handleOf(d), nullptr);
    ASSERT_NE(reader, nullptr);
    ps::DescriptorKeyID k;
    ps::DescriptorTypeID type;
    int32_t flags;
    ASSERT_TRUE(read.getKeyProc(reader, &k, &type, &flags));
    ps::Str255 text{};
    ASSERT_EQ(read.getStringProc(reader, &text), ps::noErr);
    EXPECT_EQ(text[0], c.expected);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(text + 1), text[0]),
              c.text.substr(0, c.expected));
    EXPECT_EQ(read.closeReadDescriptorProc(reader), ps::noErr);
  }
}

}  // namespace
}  // namespace orichalcumite
