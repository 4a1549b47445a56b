// Which documents a module accepts: enable expressions and mode flags.
#include <gtest/gtest.h>

#include "app/enable_expression.h"
#include "app/host_session.h"
#include "app/plugin_module.h"

namespace orichalcumite {
namespace {

constexpr const char* kOlder =
    "in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode) ";
constexpr const char* kNewer =
    "( in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode, Gray32Mode, RGB96Mode) "
    ") "
    "&& (PSHOP_ImageMode !=  MultichannelMode) ";

bool accepts(const char* expression, int mode, int depth) {
  std::string error;
  auto result = evaluateEnableExpression(expression, {mode, depth}, &error);
  EXPECT_TRUE(result) << expression << ": " << error;
  return result.value_or(false);
}

TEST(EnableExpressions, modeListsAndComparisons) {
  EXPECT_TRUE(accepts(kOlder, 11, 16));
  EXPECT_FALSE(accepts(kOlder, 16, 32));
  EXPECT_TRUE(accepts(kNewer, 16, 32));
  EXPECT_FALSE(accepts(kNewer, 7, 8));
  EXPECT_FALSE(accepts(kNewer, 4, 8));
  EXPECT_TRUE(accepts("PSHOP_ImageDepth == 16 || !(PSHOP_ImageMode >= 3)", 1, 8));
  EXPECT_FALSE(accepts("pshop_imagedepth != 8 && true", 3, 8));
}

TEST(EnableExpressions, unknownNamesAndBrokenTextAreUnusable) {
  for (const char* bad : {"PSHOP_ImageWidth > 10", "in (PSHOP_ImageMode, RGBMode",
                          "RGBMode ==", "in PSHOP_ImageMode", "(((", "3 $ 4", ""}) {
    std::string error;
    EXPECT_FALSE(evaluateEnableExpression(bad, {3, 8}, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_FALSE(evaluateEnableExpression(std::string(10000, '('), {3, 8}, nullptr));
}

TEST(ModeDecisions, lastUsableExpressionDecidesThenModeFlags) {
  PiplInfo pipl;
  pipl.enableExpressions = {kOlder, kNewer};
  EXPECT_TRUE(moduleAccepts(pipl, documentMode(false, SampleType::float32)).accepted);
  pipl.enableExpressions = {kOlder, "PSHOP_Unknown == 1"};
  EXPECT_FALSE(moduleAccepts(pipl, documentMode(false, SampleType::float32)).accepted);
  EXPECT_TRUE(moduleAccepts(pipl, documentMode(true, SampleType::uint16)).accepted);

  PiplInfo flags;
  flags.hasModeFlags = true;
  flags.modeFlags[0] = 0x10;  // RGB only
  EXPECT_TRUE(moduleAccepts(flags, documentMode(false, SampleType::uint8)).accepted);
  EXPECT_FALSE(moduleAccepts(flags, documentMode(true, SampleType::uint8)).accepted);
  EXPECT_FALSE(moduleAccepts(flags, documentMode(false, SampleType::uint16)).accepted);
}

}  // namespace
}  // namespace orichalcumite
