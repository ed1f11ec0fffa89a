// recording_plugin.cpp
//
// A plug-in that prints "LoadModels <plugin folder>" to standard output when it is loaded,
// so a test sees which plug-ins loaded and in which order. It provides no models.
#include <iostream>

#include "zelph/plugins/plugin_entry_points.h"

ZELPH_PLUGIN_ENTRY int LoadModels(PluginModels*, const std::string&,
                                  const std::string& plugin_folder) {
  std::cout << "LoadModels " << plugin_folder << std::endl;
  return 0;
}
