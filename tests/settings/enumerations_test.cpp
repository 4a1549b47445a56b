#include <gtest/gtest.h>

#include <set>

#include "settings/enumerations.h"

namespace orichalcumite {
namespace {

TEST(GlueCodes, MapBothWaysAcrossTheTwoCodeFamilies) {
  EXPECT_EQ(enumIndexFromCode(Enumeration::glueMode, fourCC("SG01")), 1);
  EXPECT_EQ(enumIndexFromCode(Enumeration::glueMode, fourCC("SG15")), 15);
  EXPECT_EQ(enumIndexFromCode(Enumeration::glueMode, fourCC("GL11")), 16);
  EXPECT_EQ(enumIndexFromCode(Enumeration::glueMode, fourCC("GL62")), 67);
  EXPECT_EQ(enumIndexFromCode(Enumeration::glueMode, fourCC("GL69")), 74);
  EXPECT_EQ(enumCodeFromIndex(31, Enumeration::glueMode), fourCC("GL26"));
  for (int i = 1; i <= kGlueModeCount; ++i)
    EXPECT_EQ(enumIndexFromCode(Enumeration::glueMode, enumCodeFromIndex(i, Enumeration::glueMode)),
              i);
}

TEST(GlueCodes, UnknownCodesAndIndexes) {
  EXPECT_EQ(enumIndexFromCode(Enumeration::glueMode, fourCC("GL10")), 0);
  EXPECT_EQ(enumIndexFromCode(Enumeration::glueMode, fourCC("GL70")), 0);
  EXPECT_EQ(enumCodeFromIndex(0, Enumeration::glueMode), fourCC("<NO>"));
  EXPECT_EQ(enumCodeFromIndex(75, Enumeration::glueMode), fourCC("<NO>"));
  EXPECT_EQ(enumCodeFromIndex(15, Enumeration::bevelShape), fourCC("<NO>"));
}

TEST(Terminology, ListsSixtySixGlueModesWithTheHarshName) {
  const auto glue = terminologyEntries(Enumeration::glueMode);
  ASSERT_EQ(glue.size(), 66u);
  EXPECT_EQ(glue[63]->index, 64);
  EXPECT_EQ(glue[64]->index, 67);
  EXPECT_EQ(glue[65]->index, 68);
  EXPECT_STREQ(glue[30]->terminologyName, "harsh diff");
  EXPECT_STREQ(glue[30]->name, "hard diff");
  EXPECT_EQ(terminologyEntries(Enumeration::textureChoice).size(), 13u);
  EXPECT_EQ(terminologyEntries(Enumeration::bevelShape).size(), 14u);
}

TEST(EnumText, AcceptsNamesAndCodesWithoutRegardToCase) {
  EXPECT_EQ(enumIndexFromText(Enumeration::glueMode, "ScreenDim"), 67);
  EXPECT_EQ(enumIndexFromText(Enumeration::glueMode, "harsh diff"), 31);
  EXPECT_EQ(enumIndexFromText(Enumeration::glueMode, "hard diff"), 31);
  EXPECT_EQ(enumIndexFromText(Enumeration::glueMode, "gl62"), 67);
  EXPECT_EQ(enumIndexFromText(Enumeration::bevelShape, "crater+ramp"), 7);
  EXPECT_EQ(enumIndexFromText(Enumeration::textureChoice, "St13"), 13);
  EXPECT_EQ(enumIndexFromText(Enumeration::textureChoice, "nothing"), 0);
}

TEST(EnumNames, AreUniqueWithinEachEnumeration) {
  for (Enumeration e :
       {Enumeration::glueMode, Enumeration::bevelShape, Enumeration::textureChoice}) {
    std::set<std::string_view> names;
    std::set<uint32_t> codes;
    for (const EnumEntry& entry : enumEntries(e)) {
      names.insert(entry.name);
      codes.insert(entry.code);
    }
    EXPECT_EQ(names.size(), enumEntries(e).size());
    EXPECT_EQ(codes.size(), enumEntries(e).size());
  }
}

TEST(FourCC, TextRoundTrip) {
  EXPECT_EQ(fourCCText(fourCC("SGky")), "SGky");
  EXPECT_EQ(fourCCFromText("0075"), fourCC("0075"));
  EXPECT_FALSE(fourCCFromText("007"));
  EXPECT_FALSE(fourCCFromText("00755"));
}

}  // namespace
}  // namespace orichalcumite
