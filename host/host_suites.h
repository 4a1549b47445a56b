// The host suites the plug-in may use, each acquired through the basic suite on first use and
// released when the module is unloaded.
#pragma once

#include <cstdint>

#include "protocol/filter_protocol.h"

namespace orichalcumite {

enum class HostSuite {
  suite0,  // "df135115-c769-11d0-8079-00c04fd7ec47"
  suite1,
  suite2,
  suite3,
  suite4,
  suite5,
  uiHooks,
  handle,
  zString,
  access,
  getFileList,
  buffer,
  channelPorts,
  runtime,
  property,
  aliasUtility,
  resource,
  javaScript,
  count
};

struct SuiteHolder {
  const char* name;
  int32_t version;
  const void* suite = nullptr;  // null until first use
  ps::SPErr lastError = 0;
};

// The holder of a suite, for reading its name, version and state.
const SuiteHolder& suiteHolder(HostSuite which);

// The suite, acquired on first use through `basic`. Returns null when the host has no basic
// suite or refuses; the host's error code is then in the holder's lastError (and `error`).
const void* acquireSuite(HostSuite which, ps::SPBasicSuite* basic, ps::SPErr* error = nullptr);

// Releases every acquired suite through `basic`. Called when the module is unloaded.
void releaseAllSuites(ps::SPBasicSuite* basic);

}  // namespace orichalcumite
