// extensions.h
//
// Loading the native plug-ins of the installation at start. Every plug-in ships an
// "extension.json" in its own folder somewhere below the "plugins" or "ext" folder of the
// bin home; an extension with a platform of technology "native" and language "cpp" has its
// folder's plug-in loaded by the plug-in manager, which runs the plug-in's LoadModels.
//
// Runs on the start-up thread before the server exists; the plug-in manager guards its own
// registry.
#pragma once

#include <filesystem>
#include <vector>

#include "zelph/config/data_extension.h"

namespace zelph::host {

// Collects the extensions of the bin home and loads their plug-ins. When the product home's
// "ext" folder holds a Java extension (Java models), first settles the Java runtime the
// Java plug-in starts (UseFoundJdk), which throws std::runtime_error naming every home tried
// when there is none. Throws
// std::runtime_error "Failed parse extension file: <path>" for an extension file that does
// not parse (unless the configuration ignores extension errors, then that file is logged and
// skipped), "Failed load plugin: {}, rc: {}" for a plug-in that fails whatever that setting
// (the plug-in manager has recorded the reason in the configuration), and the standard
// library's file-system errors.
void InitializeExtensions();

// The extensions below "plugins", then below "ext", of `bin_home`.
std::vector<DataExtension> CollectExtensions(const std::filesystem::path& bin_home);

// Appends the extensions of every "extension.json" below `folder`, depth first, to
// `extensions`; a missing folder adds nothing.
void ReadExtensionFiles(const std::filesystem::path& folder,
                        std::vector<DataExtension>& extensions);

// Whether one of `extensions` has a platform of technology "jvm" (Java models), which needs
// a Java runtime.
bool HasJavaExtension(const std::vector<DataExtension>& extensions);

// Loads the plug-in of every native C++ platform, in list and platform order.
void LoadExtensionPlugins(const std::vector<DataExtension>& extensions);

}  // namespace zelph::host
