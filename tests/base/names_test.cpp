#include <gtest/gtest.h>

#include <cerrno>

#include "base/four_char_code.h"
#include "base/status.h"
#include "base/text_compare.h"

namespace orichalcumite {
namespace {

TEST(FourCharCode, FirstCharacterIsTheMostSignificantByte) {
  static_assert(fourCC("GL62") == 0x474C3632);
  EXPECT_EQ(fourCCText(0x474C3632), "GL62");
  EXPECT_EQ(fourCCFromText("GL62"), 0x474C3632u);
  EXPECT_EQ(fourCCFromText("#Nne"), fourCC("#Nne"));
  EXPECT_FALSE(fourCCFromText(""));
  EXPECT_FALSE(fourCCFromText("GL6"));
}

TEST(FourCharCode, PrintableTextMasksControlAndHighBytes) {
  EXPECT_EQ(printableFourCCText(fourCC("8BFM")), "8BFM");
  EXPECT_EQ(printableFourCCText(0x41001F7Fu), "A???");
  EXPECT_EQ(printableFourCCText(0xFF207E41u), "? ~A");
  // The plain text form passes every byte through.
  EXPECT_EQ(fourCCText(0x41000042u), std::string("A\0\0B", 4));
}

TEST(TextCompare, IgnoresTheCaseOfAsciiLettersOnly) {
  EXPECT_TRUE(equalsIgnoringCase("ScreenDim", "screendim"));
  EXPECT_TRUE(equalsIgnoringCase("", ""));
  EXPECT_FALSE(equalsIgnoringCase("screen", "screendim"));
  EXPECT_FALSE(equalsIgnoringCase("a", "b"));
  // '@' and '`' sit just before 'A' and 'a'; '[' and '{' just after 'Z' and 'z'.
  EXPECT_FALSE(equalsIgnoringCase("@", "`"));
  EXPECT_FALSE(equalsIgnoringCase("[", "{"));
  // Bytes above 127 are compared as they are.
  EXPECT_FALSE(equalsIgnoringCase("\xC4", "\xE4"));
  EXPECT_EQ(asciiLowerText("Light 1 X"), "light 1 x");
}

TEST(Status, CarriesCodeAndMessage) {
  EXPECT_TRUE(Status().ok());
  EXPECT_TRUE(Status::success().message().empty());
  const Status failed(StatusCode::damagedData, "truncated");
  EXPECT_FALSE(failed);
  EXPECT_EQ(failed.code(), StatusCode::damagedData);
  EXPECT_EQ(failed.message(), "truncated");
}

TEST(Status, FromErrnoNamesTheContextAndClassifiesTheError) {
  const Status missing = Status::fromErrno(ENOENT, "cannot open x");
  EXPECT_EQ(missing.code(), StatusCode::notFound);
  EXPECT_EQ(missing.message().rfind("cannot open x: ", 0), 0u) << missing.message();
  EXPECT_GT(missing.message().size(), std::string("cannot open x: ").size());
  EXPECT_EQ(Status::fromErrno(EACCES, "x").code(), StatusCode::permissionDenied);
  EXPECT_EQ(Status::fromErrno(EPERM, "x").code(), StatusCode::permissionDenied);
  EXPECT_EQ(Status::fromErrno(ENOSPC, "x").code(), StatusCode::ioError);
}

TEST(Result, HoldsAValueOrTheFailure) {
  Result<std::string> good(std::string("value"));
  ASSERT_TRUE(good);
  EXPECT_EQ(*good, "value");
  EXPECT_TRUE(good.status().ok());

  Result<std::string> bad(StatusCode::notFound, "no such thing");
  EXPECT_FALSE(bad);
  EXPECT_EQ(bad.status().code(), StatusCode::notFound);
  EXPECT_EQ(bad.message(), "no such thing");
}

}  // namespace
}  // namespace orichalcumite
