#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/host_suites.h"

namespace orichalcumite {
namespace {

std::vector<std::string> gAcquired, gReleased;
int gSuiteObject = 0;

ps::SPErr acquire(const char* name, int32_t, const void** suite) {
  gAcquired.emplace_back(name);
  if (std::strcmp(name, "SP Access Suite") != 0) return ps::kSPSuiteNotFoundError;
  *suite = &gSuiteObject;
  return ps::kSPNoError;
}

ps::SPErr release(const char* name, int32_t) {
  gReleased.emplace_back(name);
  return ps::kSPNoError;
}

TEST(HostSuites, AreAcquiredOnceOnFirstUseAndReleasedTogether) {
  ps::SPBasicSuite basic{};
  basic.AcquireSuite = &acquire;
  basic.ReleaseSuite = &release;
  EXPECT_EQ(suiteHolder(HostSuite::access).version, 3);

  EXPECT_EQ(acquireSuite(HostSuite::access, &basic), &gSuiteObject);
  EXPECT_EQ(acquireSuite(HostSuite::access, &basic), &gSuiteObject);
  EXPECT_EQ(gAcquired.size(), 1u);

  ps::SPErr error = 0;
  EXPECT_EQ(acquireSuite(HostSuite::runtime, &basic, &error), nullptr);
  EXPECT_EQ(error, ps::kSPSuiteNotFoundError);
  EXPECT_EQ(suiteHolder(HostSuite::runtime).lastError, ps::kSPSuiteNotFoundError);

  EXPECT_EQ(acquireSuite(HostSuite::buffer, nullptr, &error), nullptr);
  EXPECT_EQ(error, ps::kSPSuiteNotFoundError);

  releaseAllSuites(&basic);
  ASSERT_EQ(gReleased.size(), 1u);
  EXPECT_EQ(gReleased[0], "SP Access Suite");
  EXPECT_EQ(suiteHolder(HostSuite::access).suite, nullptr);
}

}  // namespace
}  // namespace orichalcumite
