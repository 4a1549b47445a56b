// Reading a named section of an ELF file: a small file built byte by byte here, then damaged.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "app/elf_sections.h"

namespace orichalcumite {
namespace {

// Offsets of the fields we damage.
constexpr size_t kShoff = 40, kShentsize = 58, kShnum = 60, kShstrndx = 62;
constexpr size_t kTable = 96, kEntry = 64;

void put(std::vector<uint8_t>& f, size_t at, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) f[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// A little-endian ELF64 file: ".pipl" holding "PIPLDATA" at 64, the name table at 72, and the
// section table (null, .pipl, .shstrtab) at 96.
std::vector<uint8_t> smallElf() {
  std::vector<uint8_t> f(kTable + 3 * kEntry, 0);
  std::memcpy(f.data(),
              "\x7f"
              "ELF\x02\x01\x01",
              7);
  put(f, 16, 3, 2);   // shared object
  put(f, 18, 62, 2);  // x86-64
  put(f, kShoff, kTable, 8);
  put(f, kShentsize, kEntry, 2);
  put(f, kShnum, 3, 2);
  put(f, kShstrndx, 2, 2);
  std::memcpy(f.data() + 64, "PIPLDATA", 8);
  std::memcpy(f.data() + 72, "\0.pipl\0.shstrtab", 17);
  auto section = [&](size_t index, uint32_t name, uint32_t type, uint64_t offset, uint64_t size) {
    const size_t at = kTable + index * kEntry;
    put(f, at, name, 4);
    put(f, at + 4, type, 4);
    put(f, at + 24, offset, 8);
    put(f, at + 32, size, 8);
  };
  section(1, 1, 1, 64, 8);
  section(2, 7, 3, 72, 17);
  return f;
}

std::string sectionText(const std::vector<uint8_t>& file, const char* name, std::string* error) {
  auto s = elfSection(file, name, error);
  return s ? std::string(s->begin(), s->end()) : "";
}

TEST(ElfSections, findsTheNamedSection) {
  std::string error;
  EXPECT_EQ(sectionText(smallElf(), ".pipl", &error), "PIPLDATA") << error;
  EXPECT_FALSE(elfSection(smallElf(), ".aete", &error));
  EXPECT_NE(error.find("no ELF section .aete"), std::string::npos) << error;
}

TEST(ElfSections, extendedNameTableIndexIsFollowed) {
  std::vector<uint8_t> f = smallElf();
  put(f, kShstrndx, 0xffff, 2);
  put(f, kTable + 40, 2, 4);  // section 0's link holds the index
  EXPECT_EQ(sectionText(f, ".pipl", nullptr), "PIPLDATA");
}

TEST(ElfSections, everyTruncationFailsCleanly) {
  const std::vector<uint8_t> whole = smallElf();
  for (size_t n = 0; n < whole.size(); ++n) {
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(n));
    std::string error;
    EXPECT_FALSE(elfSection(cut, ".pipl", &error)) << "length " << n;
    EXPECT_FALSE(error.empty());
  }
}

TEST(ElfSections, damagedHeadersAndSectionsAreReported) {
  struct Damage {
    const char* what;
    size_t at;
    uint64_t value;
    int bytes;
  };
  const uint64_t huge = std::numeric_limits<uint64_t>::max() - 8;
  const Damage damages[] = {
      {"magic", 1, 'X', 1},
      {"32-bit class", 4, 1, 1},
      {"big-endian", 5, 2, 1},
      {"table offset past the end", kShoff, huge, 8},
      {"no table", kShoff, 0, 8},
      {"entries too small", kShentsize, 16, 2},
      {"too many sections", kShnum, 0xfff0, 2},
      {"name table index out of range", kShstrndx, 7, 2},
      {"section offset past the end", kTable + kEntry + 24, huge, 8},
      {"section size past the end", kTable + kEntry + 32, huge, 8},
      {"section without file data", kTable + kEntry + 4, 8, 4},
      {"name table past the end", kTable + 2 * kEntry + 32, 1000, 8},
  };
  for (const Damage& d : damages) {
    std::vector<uint8_t> f = smallElf();
    put(f, d.at, d.value, d.bytes);
    std::string error;
    EXPECT_FALSE(elfSection(f, ".pipl", &error)) << d.what;
    EXPECT_FALSE(error.empty()) << d.what;
  }
}

TEST(ElfSections, namesOutsideTheNameTableMatchNothing) {
  std::vector<uint8_t> f = smallElf();
  put(f, kTable + kEntry, 5000, 4);  // .pipl's name offset
  EXPECT_FALSE(elfSection(f, ".pipl", nullptr));
  f = smallElf();
  put(f, kTable + 2 * kEntry + 32, 3, 8);  // the table ends inside ".pipl", without its NUL
  EXPECT_FALSE(elfSection(f, ".pipl", nullptr));
}

TEST(ElfSections, readsARealExecutable) {
  std::string error;
  auto self = readWholeFile("/proc/self/exe", &error);
  ASSERT_TRUE(self) << error;
  auto text = elfSection(*self, ".text", &error);
  ASSERT_TRUE(text) << error;
  EXPECT_GT(text->size(), 0u);
  EXPECT_FALSE(readWholeFile("/nonexistent/module.8bf", &error));
}

}  // namespace
}  // namespace orichalcumite
