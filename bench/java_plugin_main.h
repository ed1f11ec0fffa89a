// java_plugin_main.h
//
// The main of a benchmark program that needs the Java plug-in: a plug-in home of its own,
// the plug-in loaded before any benchmark runs (the VM starts once per process), then the
// benchmarks; `loaded` runs in between. A plug-in that does not load ends the program with its
// reason.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <iostream>
#include <string>

#include "java_test_home.h"
#include "zelph/config/zelph_config.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::bench {

inline int RunWithJavaPlugin(int argc, char** argv, const std::string& home_name,
                             const std::function<void()>& loaded = {}) {
  zelph::testing::MakePluginHome(home_name, {});
  if (SimplePluginsManager::GetInstance()->LoadPlugin("plugins/zelph-java") != 0) {
    std::cerr << "The Java plug-in did not load: "
              << ZelphConfig::GetInstance()->GetInitializationExceptionReason() << "\n";
    return 1;
  }
  if (loaded) loaded();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace zelph::bench
