// Settings given as NAME=VALUE on the command line.
#include <gtest/gtest.h>

#include "app/setting_arguments.h"

namespace orichalcumite {
namespace {

constexpr uint32_t key(const char (&s)[5]) { return ps::fourCC(s); }

DescriptorItem item(const std::string& assignment) {
  std::string error;
  auto result = settingItem(assignment, &error);
  EXPECT_TRUE(result) << assignment << ": " << error;
  return result.value_or(DescriptorItem{});
}

std::string refusal(const std::string& assignment) {
  std::string error;
  EXPECT_FALSE(settingItem(assignment, &error)) << assignment;
  return error;
}

TEST(SettingArguments, namesAndKeysGiveTypedItems) {
  EXPECT_EQ(item("radius=40"), DescriptorItem::integerItem(key("0008"), 40));
  EXPECT_EQ(item("RADIUS = 2"), DescriptorItem::integerItem(key("0008"), 2));
  EXPECT_EQ(item("light 2 X=0.25"), DescriptorItem::floatItem(key("0013"), 0.25));
  EXPECT_EQ(item("0075=true"), DescriptorItem::booleanItem(key("0075"), true));
  EXPECT_EQ(item("wet rain=0"), DescriptorItem::booleanItem(key("0057"), false));
  EXPECT_EQ(item("light 1 red=255"), DescriptorItem::integerItem(key("0016"), 255));
  EXPECT_EQ(item("texture file=bricks.png"), DescriptorItem::textItem(key("0036"), "bricks.png"));
}

TEST(SettingArguments, enumerationsByDialogNameTerminologyNameOrCode) {
  const DescriptorItem screendim = DescriptorItem::enumItem(key("SGky"), key("SGty"), key("GL62"));
  EXPECT_EQ(item("glue=screendim"), screendim);
  EXPECT_EQ(item("glue=ScreenDim"), screendim);
  EXPECT_EQ(item("glue=GL62"), screendim);
  EXPECT_EQ(item("glue=harsh diff"),
            DescriptorItem::enumItem(key("SGky"), key("SGty"), key("GL26")));
  EXPECT_EQ(item("shape=sigmoid"), DescriptorItem::enumItem(key("Srky"), key("Srty"), key("Sr13")));
}

// `orichalcumite info` shows each choice's index beside its name; the index works too.
TEST(SettingArguments, enumerationsByIndex) {
  EXPECT_EQ(item("shape=1"), DescriptorItem::enumItem(key("Srky"), key("Srty"), key("Sr01")));
  EXPECT_EQ(item("shape = 14"), DescriptorItem::enumItem(key("Srky"), key("Srty"), key("Sr14")));
  EXPECT_EQ(item("Srky=7"), DescriptorItem::enumItem(key("Srky"), key("Srty"), key("Sr07")));
  // Index 16 is the first of the glue modes with a "GL" code, 67 is screendim.
  EXPECT_EQ(item("glue=16"), DescriptorItem::enumItem(key("SGky"), key("SGty"), key("GL11")));
  EXPECT_EQ(item("glue=67"), DescriptorItem::enumItem(key("SGky"), key("SGty"), key("GL62")));
  EXPECT_EQ(item("texture choice=13"),
            DescriptorItem::enumItem(key("Stky"), key("Stty"), key("St13")));
}

TEST(SettingArguments, enumerationIndexesOutsideTheListAreRefusedWithTheRange) {
  for (const char* bad : {"shape=0", "shape=15", "shape=-1", "glue=75", "texture choice=14"}) {
    const std::string why = refusal(bad);
    EXPECT_NE(why.find("from 1 to "), std::string::npos) << bad << ": " << why;
  }
  EXPECT_EQ(refusal("shape=15"), "\"shape\" takes a choice from 1 to 14 or its name, not \"15\"");
  EXPECT_EQ(refusal("glue=0"), "\"glue\" takes a choice from 1 to 74 or its name, not \"0\"");
  // Not a whole number: looked up as a name, and refused as one.
  EXPECT_NE(refusal("shape=1.5").find("has no choice"), std::string::npos);
}

TEST(SettingArguments, valuesOfTheWrongTypeOrRangeAreRefused) {
  for (const char* bad :
       {"radius=4.5", "radius=", "radius=forty", "radius=101", "radius=1", "light 1 X=1.5",
        "light 1 X=nan", "wet rain=yes", "0075=2", "glue=SG99", "light 1 red=256", "radius"}) {
    EXPECT_FALSE(refusal(bad).empty()) << bad;
  }
  EXPECT_FALSE(refusal("texture file=" + std::string(256, 'a')).empty());
}

TEST(SettingArguments, unknownNamesSuggestTheClosestOnes) {
  EXPECT_NE(refusal("radus=4").find("\"radius\""), std::string::npos);
  EXPECT_NE(refusal("glue=screendimm").find("\"screendim\""), std::string::npos);
  const std::string far = refusal("qqqqqqqq=1");
  EXPECT_NE(far.find("unknown setting"), std::string::npos);
  EXPECT_EQ(far.find("did you mean"), std::string::npos);
  // Keys are codes: their case matters.
  EXPECT_FALSE(settingItem("sgky=GL62", nullptr));
}

TEST(SettingArguments, editDistanceIgnoresCase) {
  EXPECT_EQ(editDistance("Radius", "radius"), 0u);
  EXPECT_EQ(editDistance("radus", "radius"), 1u);
  EXPECT_EQ(editDistance("", "abc"), 3u);
  EXPECT_EQ(editDistance("kitten", "sitting"), 3u);
}

// A refusal quotes what was typed, but a value of any length leaves a message of one short line;
// a whole number too long for any integer is out of range, not "not a whole number".
TEST(SettingArguments, refusalsStayShortAndHugeNumbersAreOutOfRange) {
  const std::string huge(100000, '9');
  for (const std::string& assignment :
       {"radius=" + huge, huge + "=1", "glue=x" + huge, "light 2 X=x" + huge, "wet rain=" + huge}) {
    const std::string why = refusal(assignment);
    EXPECT_LT(why.size(), 200u) << why.substr(0, 300);
    EXPECT_NE(why.find("..."), std::string::npos) << why.substr(0, 300);
  }
  EXPECT_EQ(refusal("radius=12345678901234567890123456"),
            "\"radius\" is out of range: it must be from 2 to 100, not "
            "\"12345678901234567890123456\"");
  EXPECT_NE(refusal("radius=-12345678901234567890123456").find("out of range"), std::string::npos);
  EXPECT_NE(refusal("light 2 X=1e999").find("out of range"), std::string::npos);
  EXPECT_NE(refusal("glue=12345678901234567890123456").find("takes a choice from 1 to"),
            std::string::npos);
}

// A picture name goes into the descriptor the module hands back and from there into an action
// file, which holds UTF-8 only.
TEST(SettingArguments, pictureNamesMustBeUtf8) {
  EXPECT_EQ(item("texture file=br\xc3\xa9que.png"),
            DescriptorItem::textItem(key("0036"), "br\xc3\xa9que.png"));
  for (const char* name : {"\xff.png", "a\xc3", "\xc0\xaf", "\xed\xa0\x80"})
    EXPECT_NE(refusal(std::string("texture file=") + name).find("UTF-8"), std::string::npos)
        << name;
}

}  // namespace
}  // namespace orichalcumite
