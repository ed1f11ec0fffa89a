// plugin_entry_points.h
//
// The five functions a plug-in library exports under plain (extern "C") names, and the
// signatures the plug-in manager calls them with. Each is optional: the manager warns
// about a missing one and skips its calls. They pass standard-library objects, so a
// plug-in must be built with the same compiler and standard library as zelph-chain.
//
//   ZELPH_PLUGIN_ENTRY int LoadModels(PluginModels* models, const std::string& bin_home,
//                                     const std::string& plugin_folder) { ... return 0; }
#pragma once

#include <memory>
#include <string>
#include <vector>

class IDataProcessModel;
class SimplePluginsManager;

// Declares a plug-in entry point: unmangled and visible despite -fvisibility=hidden.
#define ZELPH_PLUGIN_ENTRY extern "C" __attribute__((visibility("default")))

using PluginModels = std::vector<std::shared_ptr<IDataProcessModel>>;

// Called once, right after the library is loaded. The plug-in may append its own models
// (registered under the empty session). 0 means success; anything else fails the plug-in.
using LoadModelsPtr = int (*)(PluginModels* models, const std::string& bin_home,
                              const std::string& plugin_folder);
// Registers, through manager->AddModel(model, session), the models offered to a session.
using RegisterAvailableModelsPtr = void (*)(const std::string& session,
                                            SimplePluginsManager* manager);
// Drops what the plug-in keeps for a session; its models have already left the registry.
using ClearSessionPtr = void (*)(const std::string& session);
// Called around each run of a session's chain.
using BeforeExecutingAllPtr = void (*)(const std::string& session);
using AfterExecutingAllPtr = void (*)(const std::string& session);
