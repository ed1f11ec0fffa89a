// extensions.cpp
#include "zelph/host/extensions.h"

#include <fmt/format.h>

#include <stdexcept>

#include "zelph/config/zelph_config.h"
#include "zelph/host/debug_print.h"
#include "zelph/host/jdk_discovery.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/platform/crash_report.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::host {
namespace {

namespace fs = std::filesystem;

constexpr const char* kExtensionFileName = "extension.json";

void ReadExtensionFile(const fs::path& file, std::vector<DataExtension>& extensions) {
  const std::string path = file.string();
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Read extension. file: {}", path);
  DataExtension extension(file.parent_path().string());
  DebugPrint("  Parsing " + path + "...");
  const int result = ParseExtensionFile(path, JsonParser::kRapidJson, extension);
  DebugPrint("  Parsed " + path);
  if (result == 0) {
    extensions.push_back(std::move(extension));
    return;
  }
  const std::string failure = "Failed parse extension file: " + path;
  if (!ZelphConfig::GetInstance()->IsIgnoreExtInitError()) throw std::runtime_error(failure);
  ZELPH_LOG(ZelphSeverityLevel::kError, "{}", failure);
}

bool IsNativeCpp(const DataExtension::DataPlatform& platform) {
  return platform.technology == "native" && platform.language == "cpp";
}

}  // namespace

void InitializeExtensions() {
  ZelphConfig* config = ZelphConfig::GetInstance();
  const std::vector<DataExtension> extensions = CollectExtensions(config->GetBinHome());
  // The Java models lie in the product home's ext/, where the Java plug-in reads them.
  std::vector<DataExtension> product_extensions;
  ReadExtensionFiles(config->GetDavodavoraHome(false) / "ext", product_extensions);
  if (HasJavaExtension(product_extensions)) UseFoundJdk(*config, SystemJava::FromEnvironment());
  LoadExtensionPlugins(extensions);
  // Crash reports name the functions of the plug-ins too.
  sys::ReadCrashReportSymbols();
}

bool HasJavaExtension(const std::vector<DataExtension>& extensions) {
  for (const DataExtension& extension : extensions) {
    for (const DataExtension::DataPlatform& platform : extension.platforms) {
      if (platform.technology == "jvm") return true;
    }
  }
  return false;
}

std::vector<DataExtension> CollectExtensions(const fs::path& bin_home) {
  std::vector<DataExtension> extensions;
  ReadExtensionFiles(bin_home / "plugins", extensions);
  ReadExtensionFiles(bin_home / "ext", extensions);
  return extensions;
}

void ReadExtensionFiles(const fs::path& folder, std::vector<DataExtension>& extensions) {
  if (!fs::exists(fs::status(folder))) return;
  DebugPrint("Reading plugins from " + folder.string() + "...");
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const fs::file_status status = entry.status();
    if (fs::is_regular_file(status)) {
      if (entry.path().filename() == kExtensionFileName)
        ReadExtensionFile(entry.path(), extensions);
    } else if (fs::is_directory(status)) {
      ReadExtensionFiles(entry.path(), extensions);
    } else {
      ZELPH_LOG(ZelphSeverityLevel::kDebug, "Load extension. Skip file: {}", entry.path().string());
    }
  }
}

void LoadExtensionPlugins(const std::vector<DataExtension>& extensions) {
  DebugPrint("Loading plugins...");
  SimplePluginsManager* manager = SimplePluginsManager::GetInstance();
  for (const DataExtension& extension : extensions) {
    for (const DataExtension::DataPlatform& platform : extension.platforms) {
      if (!IsNativeCpp(platform)) continue;
      InstantTimer timer("Load extension");
      DebugPrint("Loading plugin " + extension.folder + "...");
      // The folder was found relative to the working directory; the manager would take a
      // relative folder as relative to the bin home, which is the same place only while
      // the bin home is the working directory.
      const int result = manager->LoadPlugin(fs::absolute(extension.folder).string());
      if (result != 0) {
        throw std::runtime_error(
            fmt::format("Failed load plugin: {}, rc: {}", extension.folder, result));
      }
    }
  }
}

}  // namespace zelph::host
