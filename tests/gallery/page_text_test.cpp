// Escaping names for the pages' HTML and addresses, and thumbnail file names.
#include "gallery/page_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace orichalcumite {
namespace {

struct EscapeCase {
  std::string name;
  std::string entities;
  std::string url;
  std::string fileName;
};

TEST(PageText, EscapesNamesForTextAddressesAndFiles) {
  const EscapeCase cases[] = {
      {"Gold & Silver", "Gold &amp; Silver", "Gold%20%26%20Silver", "Gold & Silver"},
      {"a\"b", "a&quot;b", "a%22b", "a\"b"},
      {"<script>alert(1)<\\script>", "&lt;script&gt;alert(1)&lt;\\script&gt;",
       "%3cscript%3ealert%281%29%3c%5cscript%3e", "<script>alert(1)<_script>"},
      {"x.y", "x.y", "x%2ey", "x.y"},
      {"{|}~", "&#123;&#124;&#125;&#126;", "%7b%7c%7d%7e", "{|}~"},
      // UTF-8 names: Latin-1 letters by their entities, others by number; the address carries
      // the UTF-8 bytes, and the file keeps its UTF-8 name.
      {"Caf\xC3\xA9", "Caf&eacute;", "Caf%c3%a9", "Caf\xC3\xA9"},
      {"\xC2\xA0\xC3\xBF", "&nbsp;&yuml;", "%c2%a0%c3%bf", "\xC2\xA0\xC3\xBF"},
      {"\xE2\x82\xAC 5", "&#8364; 5", "%e2%82%ac%205", "\xE2\x82\xAC 5"},
      {"\xF0\x9F\x99\x82", "&#128578;", "%f0%9f%99%82", "\xF0\x9F\x99\x82"},
      {"\xC2\x85", "&#133;", "%c2%85", "\xC2\x85"},
      // Bytes that are not UTF-8 count as ISO-8859-1; file names fold them into ASCII.
      {"Caf\xE9", "Caf&eacute;", "Caf%e9", "Caf_"},
      {"a\x8E"
       "b\xFF",
       "a&#142;b&yuml;", "a%8eb%ff", "a_b_"},
      {"\xC0\xAF", "&Agrave;&macr;", "%c0%af", "`O"},
      {"tab\there\x7f", "tab\there&#127;", "tab%09here%7f", "tab here\x7f"},
      {"a/b:c\\d", "a/b:c\\d", "a%2fb%3ac%5cd", "a_b_c_d"},
  };
  for (const EscapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(entityEscape(c.name), c.entities);
    EXPECT_EQ(urlEscape(c.name), c.url);
    EXPECT_EQ(sanitisedFileName(c.name), c.fileName);
  }
}

TEST(PageText, Latin1EntitiesCoverTheUpperHalf) {
  EXPECT_EQ(latin1EntityName(160), "nbsp");
  EXPECT_EQ(latin1EntityName(169), "copy");
  EXPECT_EQ(latin1EntityName(215), "times");
  EXPECT_EQ(latin1EntityName(223), "szlig");
  EXPECT_EQ(latin1EntityName(247), "divide");
  EXPECT_EQ(latin1EntityName(255), "yuml");
  EXPECT_EQ(latin1EntityName(159), "");
  EXPECT_EQ(latin1EntityName(256), "");
}

TEST(PageText, ExtensionIsTheLastOne) {
  EXPECT_EQ(withoutExtension("Gold & Silver.q5q"), "Gold & Silver");
  EXPECT_EQ(withoutExtension("a.b.png"), "a.b");
  EXPECT_EQ(withoutExtension("plain"), "plain");
  EXPECT_EQ(withoutExtension(".q5q"), "");
}

// Whatever bytes a name holds, the escaped text is plain ASCII without markup characters, the
// address holds only letters, digits and escapes, and the file name is one UTF-8 name
// without separators.
TEST(PageText, AnyNameEscapesToSafeText) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(1, 255);
  std::uniform_int_distribution<int> length(0, 40);
  for (int round = 0; round < 2000; ++round) {
    std::string name;
    for (int i = length(random); i > 0; --i) name += static_cast<char>(byte(random));
    const std::string text = entityEscape(name);
    for (const char c : text) {
      ASSERT_LT(static_cast<unsigned char>(c), 128u) << text;
      ASSERT_TRUE(c != '<' && c != '>' && c != '"') << text;
    }
    for (const char c : urlEscape(name))
      ASSERT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '%');
    const std::string file = sanitisedFileName(name);
    EXPECT_EQ(file.find_first_of("/\\:"), std::string::npos);
    // A second pass finds nothing left to change.
    EXPECT_EQ(sanitisedFileName(file), file);
  }
}

}  // namespace
}  // namespace orichalcumite
