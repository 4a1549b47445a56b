#include "resources/plugin_resources.h"

#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace orichalcumite {
namespace {

using Bytes = std::vector<uint8_t>;

// The bytes of a text, for comparing with a blob.
Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }
Bytes slice(const Bytes& b, size_t at, size_t n) {
  return at + n <= b.size() ? Bytes(b.begin() + at, b.begin() + at + n) : Bytes{};
}
void putLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Property offsets in the PIPL, worked out by hand: a 10-byte header, then each property is 16
// header bytes plus its data padded to 4.
//   kind  10: 4 bytes                               -> 20
//   name  30: 1 + 16 ("Orichalcumite...") = 17 -> 20 -> 36
//   catg  66: 1 + 12 ("Ferrovantine")     = 13 -> 16 -> 32
//   vers  98: 4                                     -> 20
//   8664 118: "PluginMain" + NUL          = 11 -> 12 -> 28
//   hstm 146: 4 + 4 + 4 + 2 + 26 + NUL    = 41 -> 44 -> 60
//   mode 206: 2 -> 4                                -> 20
//   enbl 226: 68 + NUL                    = 69 -> 72 -> 88
//   enbl 314: 137 + NUL                   = 138 -> 140 -> 156
//   fici 470: 7 * 4                       = 28      -> 44
//   end  514
constexpr size_t kNameAt = 30, kEntryAt = 118, kTerminologyAt = 146, kModeAt = 206,
                 kFilterCasesAt = 470, kPiplSize = 514;

const char* const kFirstEnable =
    "in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode) ";
const char* const kSecondEnable =
    "( in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode, Gray32Mode, "
    "RGB96Mode) ) && (PSHOP_ImageMode !=  MultichannelMode) ";

// ---- PIPL bytes -------------------------------------------------------------------------------

TEST(PiplBytes, headerAndHandCheckedProperties) {
  const Bytes pipl = buildPipl();
  ASSERT_EQ(pipl.size(), kPiplSize);
  EXPECT_EQ(slice(pipl, 0, 10), (Bytes{1, 0, 0, 0, 0, 0, 10, 0, 0, 0}));

  EXPECT_EQ(slice(pipl, 10, 20), bytesOf(std::string("MIB8dnik") + std::string(4, '\0') +
                                         std::string("\x04\0\0\0", 4) + "MFB8"));
  EXPECT_EQ(slice(pipl, kEntryAt, 28),
            bytesOf(std::string("MIB84668") + std::string(4, '\0') + std::string("\x0B\0\0\0", 4) +
                    std::string("PluginMain\0\0", 12)));
  EXPECT_EQ(slice(pipl, kModeAt, 20),
            bytesOf(std::string("MIB8edom") + std::string(4, '\0') + std::string("\x02\0\0\0", 4) +
                    std::string("\x50\0\0\0", 4)));
  // hstm: version 0, class and event "Qzmr" reversed, id 16000 = 0x3E80, then the scope.
  EXPECT_EQ(slice(pipl, kTerminologyAt + 12, 4), (Bytes{41, 0, 0, 0}));
  EXPECT_EQ(slice(pipl, kTerminologyAt + 16, 44),
            bytesOf(std::string(4, '\0') + "rmzQrmzQ" + std::string("\x80\x3E", 2) +
                    std::string("Ferrovantine Orichalcumite\0\0\0\0", 30)));
  EXPECT_EQ(slice(pipl, kFilterCasesAt + 4, 4), bytesOf("icif"));
  EXPECT_EQ(
      slice(pipl, kFilterCasesAt + 16, 28),
      (Bytes{1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 1, 0, 0, 5, 1, 0, 0}));
}

TEST(PiplBytes, parserReadsBackEverything) {
  std::string error;
  const auto info = parsePipl(buildPipl(), &error);
  ASSERT_TRUE(info) << error;
  EXPECT_EQ(info->kind, ps::fourCC("8BFM"));
  EXPECT_TRUE(info->hasInterfaceVersion);
  EXPECT_EQ(info->interfaceVersion, 0x00040000u);
  EXPECT_EQ(info->name, "Orichalcumite...");
  EXPECT_EQ(info->category, "Ferrovantine");
  EXPECT_EQ(info->entryPoint, "PluginMain");
  ASSERT_TRUE(info->hasModeFlags);
  EXPECT_EQ(info->modeFlags[0], 0x50);
  EXPECT_EQ(info->modeFlags[1], 0x00);
  ASSERT_EQ(info->enableExpressions.size(), 2u);
  EXPECT_EQ(info->enableExpressions[0], kFirstEnable);
  EXPECT_EQ(info->enableExpressions[1], kSecondEnable);
  ASSERT_TRUE(info->hasFilterCases);
  const char expectedIn[7] = {1, 1, 0, 0, 0, 5, 5};
  const char expectedOut[7] = {1, 1, 0, 0, 0, 1, 1};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(info->filterCases[i].inputHandling, expectedIn[i]) << "case " << i + 1;
    EXPECT_EQ(info->filterCases[i].outputHandling, expectedOut[i]) << "case " << i + 1;
    EXPECT_EQ(info->filterCases[i].flags1, 0);
    EXPECT_EQ(info->filterCases[i].flags2, 0);
  }
  ASSERT_TRUE(info->hasTerminology);
  EXPECT_EQ(info->terminologyClassId, ps::fourCC("Qzmr"));
  EXPECT_EQ(info->terminologyEventId, ps::fourCC("Qzmr"));
  EXPECT_EQ(info->terminologyResourceId, 16000);
  EXPECT_EQ(info->terminologyScope, "Ferrovantine Orichalcumite");
}

// ---- PIPL parsing of damaged input ------------------------------------------------------------

TEST(PiplParsing, everyTruncationIsRejectedWithAMessage) {
  const Bytes pipl = buildPipl();
  for (size_t n = 0; n < pipl.size(); ++n) {
    std::string error;
    EXPECT_FALSE(parsePipl(std::span(pipl.data(), n), &error)) << n << " bytes";
    EXPECT_FALSE(error.empty()) << n << " bytes";
  }
}

TEST(PiplParsing, damagedCountsAndLengthsAreRejected) {
  struct Damage {
    const char* what;
    size_t at;
    uint32_t value;
  };
  const Damage damages[] = {
      {"version 1", 2, 1},
      {"negative count", 6, 0xFFFFFFFFu},
      {"count one too many", 6, 11},
      {"huge count", 6, 0x7FFFFFFFu},
      {"name length past the end", kNameAt + 12, 0xFFFF},
      {"negative name length", kNameAt + 12, 0x80000000u},
      {"name string longer than its data", kNameAt + 16, 200},  // length byte, rest kept
      {"kind of 3 bytes", 10 + 12, 3},
      {"entry point without its zero", kEntryAt + 16 + 8, 0x78787878},  // "in" + NUL + pad
      {"fici of 6 entries", kFilterCasesAt + 12, 24},
      {"hstm of 14 bytes", kTerminologyAt + 12, 14},
  };
  for (const Damage& d : damages) {
    Bytes pipl = buildPipl();
    if (d.at == kNameAt + 16)
      pipl[d.at] = static_cast<uint8_t>(d.value);
    else
      putLe32(pipl, d.at, d.value);
    std::string error;
    EXPECT_FALSE(parsePipl(pipl, &error)) << d.what;
    EXPECT_FALSE(error.empty()) << d.what;
  }
}

TEST(PiplParsing, scopeWithoutItsZeroIsRejected) {
  Bytes pipl = buildPipl();
  // The scope's terminating zero and the three padding bytes after it.
  for (size_t i = kTerminologyAt + 16 + 14 + 26; i < kTerminologyAt + 16 + 44; ++i) pipl[i] = 'x';
  EXPECT_FALSE(parsePipl(pipl, nullptr));
}

TEST(PiplParsing, anySingleByteDamageNeverReadsOutOfBounds) {
  // Whatever the parser concludes, it must finish without touching bytes beyond the blob, and a
  // rejection must say why. Each damaged copy is an exactly sized heap buffer, so an address
  // sanitiser build catches any overrun.
  const Bytes pipl = buildPipl();
  for (size_t i = 0; i < pipl.size(); ++i) {
    for (uint8_t flip : {uint8_t{0xFF}, uint8_t{0x80}, uint8_t{0x01}}) {
      Bytes damaged = pipl;
      damaged[i] ^= flip;
      std::string error;
      const auto info = parsePipl(damaged, &error);
      EXPECT_TRUE(info || !error.empty()) << "byte " << i;
    }
  }
}

TEST(PiplParsing, foreignPropertiesAreSkippedAndTrailingPaddingIsOptional) {
  // Header with two properties: one of another vendor, then a kind with no padding after it.
  Bytes pipl = {1, 0, 0, 0, 0, 0, 2, 0, 0, 0};
  const std::string foreign = std::string("ABCD") + "eman" + std::string(4, '\0') +
                              std::string("\x03\0\0\0", 4) + "xyz" + std::string(1, '\0');
  const std::string kind =
      std::string("MIB8dnik") + std::string(4, '\0') + std::string("\x04\0\0\0", 4) + "MFB8";
  pipl.insert(pipl.end(), foreign.begin(), foreign.end());
  pipl.insert(pipl.end(), kind.begin(), kind.end());
  std::string error;
  const auto info = parsePipl(pipl, &error);
  ASSERT_TRUE(info) << error;
  EXPECT_EQ(info->kind, ps::fourCC("8BFM"));
  EXPECT_TRUE(info->name.empty());
  EXPECT_FALSE(info->hasFilterCases);
  EXPECT_FALSE(info->hasTerminology);
}

// ---- AETE -------------------------------------------------------------------------------------

// Walks an AETE the slow way, failing the test on any overrun.
class AeteWalker {
 public:
  explicit AeteWalker(const Bytes& b) : b_(b) {}
  uint16_t u16() {
    if (!has(2)) return 0;
    const uint16_t v = static_cast<uint16_t>(b_[pos_] | b_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
  }
  // A four-character code, stored reversed.
  std::string code() {
    if (!has(4)) return {};
    std::string s{char(b_[pos_ + 3]), char(b_[pos_ + 2]), char(b_[pos_ + 1]), char(b_[pos_])};
    pos_ += 4;
    return s;
  }
  std::string pascal() {
    if (!has(1) || !has(1u + b_[pos_])) return {};
    std::string s(b_.begin() + pos_ + 1, b_.begin() + pos_ + 1 + b_[pos_]);
    pos_ += 1 + s.size();
    return s;
  }
  bool atEnd() const { return pos_ == b_.size(); }
  bool overran() const { return overran_; }

 private:
  bool has(size_t n) {
    if (b_.size() - pos_ >= n) return true;
    overran_ = true;
    return false;
  }
  const Bytes& b_;
  size_t pos_ = 0;
  bool overran_ = false;
};

struct AeteEntry {
  std::string name, code, description;
};

TEST(AeteBytes, headerSuiteAndEventAreAsDeclared) {
  const Bytes aete = buildAete();
  const Bytes expectedStart = {1,   0,   1,   0,   0,   0,   0,   0,   1,   0,   12,  'F',
                               'e', 'r', 'r', 'o', 'v', 'a', 'n', 't', 'i', 'n', 'e', 13,
                               'O', 'r', 'i', 'c', 'h', 'a', 'l', 'c', 'u', 'm', 'i', 't',
                               'e', 'r', 'm', 'z', 'Q', 1,   0,   1,   0,   1,   0};
  EXPECT_EQ(slice(aete, 0, expectedStart.size()), expectedStart);

  AeteWalker w(aete);
  for (size_t i = 0; i < 5; ++i) w.u16();  // reserved, version, language, script, suites
  EXPECT_EQ(w.pascal(), "Ferrovantine");
  EXPECT_EQ(w.pascal(), "Orichalcumite");
  EXPECT_EQ(w.code(), "Qzmr");
  EXPECT_EQ(w.u16(), 1);  // level
  EXPECT_EQ(w.u16(), 1);  // version
  EXPECT_EQ(w.u16(), 1);  // events
  EXPECT_EQ(w.pascal(), "Orichalcumite");
  EXPECT_EQ(w.pascal(), "Makes 3D textures and reflections");
  EXPECT_EQ(w.code(), "Qzmr");
  EXPECT_EQ(w.code(), "Qzmr");
  EXPECT_EQ(w.code(), "null");
  EXPECT_EQ(w.pascal(), "");
  EXPECT_EQ(w.u16(), 0x0000);
  EXPECT_EQ(w.code(), "#ImR");
  EXPECT_EQ(w.pascal(), "");
  EXPECT_EQ(w.u16(), 0xB000);

  const uint16_t parameterCount = w.u16();
  ASSERT_EQ(parameterCount, 74);
  std::vector<AeteEntry> parameters;
  std::vector<std::string> types;
  for (int i = 0; i < parameterCount; ++i) {
    AeteEntry p;
    p.name = w.pascal();
    p.code = w.code();
    types.push_back(w.code());
    p.description = w.pascal();
    EXPECT_EQ(w.u16(), 0x8000) << p.name;
    EXPECT_EQ(p.description, p.name);
    parameters.push_back(p);
  }
  EXPECT_EQ(parameters[0].name, "texture strength");
  EXPECT_EQ(parameters[0].code, "0001");
  EXPECT_EQ(types[0], "long");
  EXPECT_EQ(parameters[1].name, "shape");
  EXPECT_EQ(parameters[1].code, "Srky");
  EXPECT_EQ(types[1], "Srty");
  EXPECT_EQ(parameters[6].code, "Stky");
  EXPECT_EQ(types[6], "Stty");
  EXPECT_EQ(parameters[8].name, "light 1 X");
  EXPECT_EQ(types[8], "long");  // declared long though exchanged as a float
  EXPECT_EQ(parameters[29].name, "glue");
  EXPECT_EQ(types[29], "SGty");
  EXPECT_EQ(parameters[73].name, "random seed");
  EXPECT_EQ(parameters[73].code, "0074");

  EXPECT_EQ(w.u16(), 0);  // classes
  EXPECT_EQ(w.u16(), 0);  // comparison operators
  ASSERT_EQ(w.u16(), 3);  // enumerations
  struct Expected {
    const char* type;
    size_t count;
    AeteEntry first, last;
  };
  const Expected expected[] = {
      {"SGty", 66, {"normal", "SG01", "normal"}, {"starbright", "GL63", "starbright"}},
      {"Stty", 13, {"none", "St01", "none"}, {"texture file", "St13", "texture file"}},
      {"Srty", 14, {"ramp", "Sr01", "ramp"}, {"edgeless", "Sr14", "edgeless"}},
  };
  for (const Expected& e : expected) {
    EXPECT_EQ(w.code(), e.type);
    const uint16_t count = w.u16();
    ASSERT_EQ(count, e.count) << e.type;
    std::vector<AeteEntry> entries;
    for (int i = 0; i < count; ++i) entries.push_back({w.pascal(), w.code(), w.pascal()});
    for (const AeteEntry& entry : entries) EXPECT_EQ(entry.description, entry.name);
    EXPECT_EQ(entries.front().name, e.first.name);
    EXPECT_EQ(entries.front().code, e.first.code);
    EXPECT_EQ(entries.back().name, e.last.name);
    EXPECT_EQ(entries.back().code, e.last.code);
    if (std::string(e.type) == "SGty") {
      EXPECT_EQ(entries[30].name, "harsh diff");
      EXPECT_EQ(entries[30].code, "GL26");
      EXPECT_EQ(entries[63].name, "sinister");
      EXPECT_EQ(entries[64].name, "screendim");
    }
  }
  EXPECT_FALSE(w.overran());
  EXPECT_TRUE(w.atEnd());  // no trailing int32
}

// ---- The built module -------------------------------------------------------------------------

// The contents of a named section of a 64-bit little-endian ELF file, every offset checked.
std::optional<Bytes> elfSection(const Bytes& file, const std::string& name) {
  Elf64_Ehdr eh;
  if (file.size() < sizeof eh) return std::nullopt;
  std::memcpy(&eh, file.data(), sizeof eh);
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
      eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shstrndx >= eh.e_shnum)
    return std::nullopt;
  auto header = [&](size_t i) -> std::optional<Elf64_Shdr> {
    const size_t at = eh.e_shoff + i * sizeof(Elf64_Shdr);
    if (eh.e_shoff > file.size() || at + sizeof(Elf64_Shdr) > file.size()) return std::nullopt;
    Elf64_Shdr sh;
    std::memcpy(&sh, file.data() + at, sizeof sh);
    return sh;
  };
  const auto names = header(eh.e_shstrndx);
  if (!names || names->sh_offset + names->sh_size > file.size()) return std::nullopt;
  for (size_t i = 0; i < eh.e_shnum; ++i) {
    const auto sh = header(i);
    if (!sh || sh->sh_name >= names->sh_size) return std::nullopt;
    const char* start = reinterpret_cast<const char*>(file.data() + names->sh_offset + sh->sh_name);
    const std::string sectionName(start, strnlen(start, names->sh_size - sh->sh_name));
    if (sectionName != name) continue;
    if (sh->sh_offset + sh->sh_size > file.size()) return std::nullopt;
    return slice(file, sh->sh_offset, sh->sh_size);
  }
  return std::nullopt;
}

TEST(ModuleSections, moduleCarriesExactlyTheBuiltResources) {
  std::ifstream in(ORICHALCUMITE_MODULE_PATH, std::ios::binary);
  ASSERT_TRUE(in) << "cannot open " << ORICHALCUMITE_MODULE_PATH;
  const Bytes module((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto pipl = elfSection(module, ps::kPiplSectionName);
  const auto aete = elfSection(module, ps::kAeteSectionName);
  ASSERT_TRUE(pipl);
  ASSERT_TRUE(aete);
  EXPECT_EQ(*pipl, buildPipl());
  EXPECT_EQ(*aete, buildAete());
}

}  // namespace
}  // namespace orichalcumite
