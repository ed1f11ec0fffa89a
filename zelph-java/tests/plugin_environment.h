// plugin_environment.h
//
// The Java plug-in of a test process, loaded the way the program loads it: a global test
// environment makes a plug-in home (MakePluginHome) and has SimplePluginsManager load
// bin/plugins/zelph-java from it once, before the first test, with -Xcheck:jni and the
// arguments the program names (ZELPH_JAVA_PLUGIN_ARGUMENTS, comma-separated, may be empty).
//
// The test's own copy of the bridge (the code the plug-in is built from) is then joined to the
// plug-in's VM and bound, so tests can call Java themselves; the plug-in's copy keeps its own
// bindings, as it would in the program.
#pragma once

#include <filesystem>
#include <string>

#include "java_test_home.h"

namespace zelph::testing {

struct PluginLoad {
  std::filesystem::path home;
  int result = -1;  // LoadPlugin's
  std::string log;  // every line logged while loading, "[level] text"
};

// The outcome of the load; valid while the tests run.
const PluginLoad& LoadedPlugin();

// The plug-in folder's library, as the manager loaded it.
std::filesystem::path PluginLibrary();

}  // namespace zelph::testing
