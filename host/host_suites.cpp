#include "host/host_suites.h"

namespace orichalcumite {
namespace {

SuiteHolder gHolders[static_cast<int>(HostSuite::count)] = {
    {"df135115-c769-11d0-8079-00c04fd7ec47", 3},
    {"bc1e4d70-f953-11d0-8d9f-00c04fd5f7ee", 3},
    {"3eb7c480-8797-11d1-8da7-00c04fd5f7ee", 2},
    {"df135117-c769-11d0-8079-00c04fd7ec47", 3},
    {"df135116-c769-11d0-8079-00c04fd7ec47", 2},
    {"61e608b0-40fd-11d1-8da3-00c04fd5f7ee", 1},
    {"Photoshop UIHooks Suite for Plug-ins", 1},
    {"Photoshop Handle Suite for Plug-ins", 2},
    {"AS ZString Suite", 1},
    {"SP Access Suite", 3},
    {"Photoshop GetFileList Suite for Plug-ins", 4},
    {"Photoshop Buffer Suite for Plug-ins", 1},
    {"Photoshop ChannelPorts Suite for Plug-ins", 3},
    {"SP Runtime Suite", 5},
    {"Photoshop Property Suite for Plug-ins", 1},
    {"Photoshop Alias Utility Suite", 1},
    {"Photoshop Resource Suite for Plug-ins", 3},
    {"JavaScript Scripting Suite", 2},
};

}  // namespace

const SuiteHolder& suiteHolder(HostSuite which) { return gHolders[static_cast<int>(which)]; }

const void* acquireSuite(HostSuite which, ps::SPBasicSuite* basic, ps::SPErr* error) {
  SuiteHolder& h = gHolders[static_cast<int>(which)];
  if (h.suite) return h.suite;
  if (!basic || !basic->AcquireSuite) {
    h.lastError = ps::kSPSuiteNotFoundError;
  } else {
    const void* suite = nullptr;
    h.lastError = basic->AcquireSuite(h.name, h.version, &suite);
    if (h.lastError == ps::kSPNoError && suite)
      h.suite = suite;
    else if (h.lastError == ps::kSPNoError)
      h.lastError = ps::kSPSuiteNotFoundError;
  }
  if (error) *error = h.lastError;
  return h.suite;
}

void releaseAllSuites(ps::SPBasicSuite* basic) {
  for (SuiteHolder& h : gHolders) {
    if (h.suite && basic && basic->ReleaseSuite) basic->ReleaseSuite(h.name, h.version);
    h.suite = nullptr;
  }
}

}  // namespace orichalcumite
