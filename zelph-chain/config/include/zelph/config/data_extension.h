// data_extension.h
//
// Extension descriptions: what an "extension.json" says about each platform an extension
// serves (technology, language, sub-folders, class path and Java VM options, free
// properties), and the reader that fills them. The host loads the native plug-ins they
// name; the Java plug-in adds the class paths and options of the Java ones.
#pragma once

#include <list>
#include <map>
#include <string>
#include <vector>

#include "zelph/chain/export.h"
#include "zelph/config/zelph_config.h"

namespace zelph {

// The configuration key whose class path entries apply to this platform only.
inline constexpr const char* kPlatformClasspathKey = "classpath_linux-x86_64";

struct ZELPH_CHAIN_API DataExtension {
  struct DataPlatformDir {
    std::string specifications;
    std::string modules;
    std::string libraries;
    std::string resources;
  };

  struct DataPlatformConfiguration {
    std::vector<std::string> classpath;
    std::vector<std::string> vm_options;
  };

  struct DataPlatform {
    std::string id;
    std::string name;
    std::string description;
    std::string technology;
    std::string language;
    DataPlatformDir folders;
    DataPlatformConfiguration configuration;
    std::map<std::string, std::string> properties;
  };

  explicit DataExtension(const std::string& folder) : folder(folder) {}

  // The folder that holds the extension file; the reader never changes it.
  std::string folder;
  std::list<DataPlatform> platforms;
};

// Appends the platforms of the extension file at `path` (UTF-8) to `extension`. Returns 0
// when the file was read, 1 when not (the reason is logged at error level); after a
// failure `extension` may hold the platforms read before it. Only kRapidJson reads files.
// Members of a platform with the wrong type are logged and skipped. Thread-safe.
ZELPH_CHAIN_API int ParseExtensionFile(const std::string& path, JsonParser parser,
                                       DataExtension& extension);

}  // namespace zelph
