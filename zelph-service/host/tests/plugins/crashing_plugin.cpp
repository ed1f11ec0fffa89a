// crashing_plugin.cpp
//
// A plug-in that crashes in LoadModels with a store to an unmapped address.
#include <cstdint>

#include "zelph/plugins/plugin_entry_points.h"

namespace {
volatile std::uintptr_t unmapped_address = 16;
}

ZELPH_PLUGIN_ENTRY int LoadModels(PluginModels*, const std::string&, const std::string&) {
  *reinterpret_cast<volatile int*>(unmapped_address) = 1;
  return 0;
}
