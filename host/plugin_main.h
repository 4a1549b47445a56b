// The module's one exported entry point.
#pragma once

#include <cstdint>

extern "C" {
// Called by the host once per selector (0 About … 5 Finish) on its main thread. `record` is
// the host's FilterRecord, or its AboutRecord for About; `data` is the host-kept slot that
// holds the plug-in's data-block handle between calls; the outcome is left in `*result`.
__attribute__((visibility("default"))) void PluginMain(int16_t selector, void* record,
                                                       intptr_t* data, int16_t* result) noexcept;
}
