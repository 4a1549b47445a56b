#include "app/elf_sections.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <new>

namespace orichalcumite {
namespace {

constexpr size_t kFileHeaderSize = 64;
constexpr size_t kSectionHeaderSize = 64;
constexpr uint8_t kClass64 = 2;
constexpr uint8_t kLittleEndian = 1;
constexpr uint16_t kExtendedIndex = 0xffff;  // the real value lives in section header 0
constexpr uint32_t kNoBits = 8;              // a section that occupies no file space
constexpr uint64_t kMaxFileBytes = uint64_t(1) << 30;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) { return uint32_t(le16(p)) | (uint32_t(le16(p + 2)) << 16); }
uint64_t le64(const uint8_t* p) { return uint64_t(le32(p)) | (uint64_t(le32(p + 4)) << 32); }

// True when [offset, offset + size) lies inside a file of `fileSize` bytes.
bool inside(uint64_t offset, uint64_t size, uint64_t fileSize) {
  return offset <= fileSize && size <= fileSize - offset;
}

struct SectionHeader {
  uint32_t name;
  uint32_t type;
  uint64_t offset;
  uint64_t size;
  uint32_t link;
};

}  // namespace

std::optional<std::span<const uint8_t>> elfSection(std::span<const uint8_t> file,
                                                   std::string_view name, std::string* error) {
  auto fail = [&](std::string why) -> std::optional<std::span<const uint8_t>> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  const uint8_t* base = file.data();
  const uint64_t fileSize = file.size();
  if (fileSize < kFileHeaderSize || std::memcmp(base,
                                                "\x7f"
                                                "ELF",
                                                4) != 0)
    return fail("not an ELF file");
  if (base[4] != kClass64 || base[5] != kLittleEndian)
    return fail("not a 64-bit little-endian ELF file");

  const uint64_t tableOffset = le64(base + 40);
  const uint16_t entrySize = le16(base + 58);
  uint64_t count = le16(base + 60);
  uint32_t namesIndex = le16(base + 62);
  if (tableOffset == 0) return fail("the ELF file has no section table");
  if (entrySize < kSectionHeaderSize) return fail("the ELF section headers are too small");
  if (!inside(tableOffset, entrySize, fileSize))
    return fail("the ELF section table lies outside the file");

  auto header = [&](uint64_t index) {
    const uint8_t* p = base + tableOffset + index * entrySize;
    return SectionHeader{le32(p), le32(p + 4), le64(p + 24), le64(p + 32), le32(p + 40)};
  };
  // Large section counts and name-table indexes are kept in section header 0.
  if (count == 0) count = header(0).size;
  if (namesIndex == kExtendedIndex) namesIndex = header(0).link;
  if (count > (fileSize - tableOffset) / entrySize)
    return fail("the ELF section table is truncated");
  if (namesIndex >= count) return fail("the ELF section-name table index is out of range");

  const SectionHeader names = header(namesIndex);
  if (names.type == kNoBits || !inside(names.offset, names.size, fileSize))
    return fail("the ELF section-name table lies outside the file");

  for (uint64_t i = 0; i < count; ++i) {
    const SectionHeader s = header(i);
    if (s.name >= names.size) continue;  // a damaged name cannot be the one we want
    const char* text = reinterpret_cast<const char*>(base + names.offset + s.name);
    const size_t room = size_t(names.size - s.name);
    const void* end = std::memchr(text, 0, room);
    if (!end) continue;
    if (std::string_view(text, size_t(static_cast<const char*>(end) - text)) != name) continue;
    if (s.type == kNoBits) return fail("the ELF section " + std::string(name) + " holds no data");
    if (!inside(s.offset, s.size, fileSize))
      return fail("the ELF section " + std::string(name) + " lies outside the file");
    return file.subspan(size_t(s.offset), size_t(s.size));
  }
  return fail("the file has no ELF section " + std::string(name));
}

std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path, std::string* error) {
  auto fail = [&](std::string why) -> std::optional<std::vector<uint8_t>> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return fail(std::strerror(errno));
  const std::streamoff size = in.tellg();
  if (size < 0) return fail("cannot tell the file's size");
  if (uint64_t(size) > kMaxFileBytes) return fail("the file is larger than 1 GiB");
  in.seekg(0);
  try {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size))
      return fail("cannot read the file");
    return bytes;
  } catch (const std::bad_alloc&) {
    return fail("not enough memory to read the file");
  }
}

}  // namespace orichalcumite
