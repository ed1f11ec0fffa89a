// failing_plugin.cpp
//
// A plug-in whose LoadModels reports failure.
#include "zelph/plugins/plugin_entry_points.h"

ZELPH_PLUGIN_ENTRY int LoadModels(PluginModels*, const std::string&, const std::string&) {
  return 1;
}
