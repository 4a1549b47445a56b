// The 8-bit character sets of settings files against UTF-8.
#include "base/character_sets.h"

#include <gtest/gtest.h>

#include "base/utf8_text.h"

namespace orichalcumite {
namespace {

TEST(CharacterSets, macOsRomanBytesBecomeTheirWindows1252Counterparts) {
  struct Case {
    uint8_t mac, windows;
  };
  for (const Case c : {Case{'A', 'A'}, Case{0x00, 0x00}, Case{0x7F, 0x7F}, Case{0x80, 0xC4},
                       Case{0x8E, 0xE9}, Case{0xA5, 0x95}, Case{0xCA, 0xA0}, Case{0xD2, 0x93},
                       Case{0xDB, 0x80}, Case{0xD9, 0x9F}, Case{0xFF, 0xFF} /* caron: none */,
                       Case{0xAD, 0xAD} /* not-equal sign: none */, Case{0xF0, 0xF0}}) {
    EXPECT_EQ(macRomanToWindows1252(c.mac), c.windows) << int(c.mac);
  }
  EXPECT_EQ(macRomanToWindows1252(std::string_view("Caf\x8e")), "Caf\xe9");
}

TEST(CharacterSets, everyWindows1252ByteSurvivesAUtf8RoundTrip) {
  for (int c = 1; c < 256; ++c) {
    const std::string one(1, static_cast<char>(c));
    const std::string utf8 = windows1252ToUtf8(one);
    EXPECT_TRUE(isUtf8(utf8)) << c;
    EXPECT_EQ(utf8ToWindows1252(utf8), one) << c;
  }
  EXPECT_EQ(windows1252ToUtf8("\x80 \xe9 \x9f"), "\xe2\x82\xac \xc3\xa9 \xc5\xb8");
}

TEST(CharacterSets, textWithoutAWindows1252FormBecomesQuestionMarks) {
  struct Case {
    const char* utf8;
    const char* windows;
  };
  for (const Case c : {Case{"plain", "plain"}, Case{"\xce\xa9mega", "?mega"},  // Omega
                       Case{"\xf0\x9f\x98\x80!", "?!"},                        // an emoji
                       Case{"\xff\xfe", "??"},                                 // not UTF-8
                       Case{"a\xe2\x82", "a??"},                               // a cut sequence
                       Case{"\xc0\xaf", "??"},                                 // overlong '/'
                       Case{"\xed\xa0\x80", "???"}}) {                         // a surrogate
    EXPECT_EQ(utf8ToWindows1252(c.utf8), c.windows) << c.utf8;
  }
}

}  // namespace
}  // namespace orichalcumite
