// jvm_options.cpp
//
// Assembly of the Java VM options from the option files, the Java extensions and the
// command line.
#include "zelph/java/jvm_options.h"

#include <algorithm>
#include <regex>
#include <stdexcept>

#include "zelph/config/data_jvm.h"
#include "zelph/config/zelph_config.h"
#include "zelph/logger/log.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kClassPathOption = "-Djava.class.path=";
constexpr char kPathListSeparator = ':';

// A missing file is no error; a file whose status cannot be read is.
bool IsRegularFile(const fs::path& path) { return fs::is_regular_file(fs::status(path)); }

// The path without "." and ".." elements and without a trailing separator.
fs::path Normalized(const fs::path& path) {
  fs::path normal = path.lexically_normal();
  if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
  return normal;
}

void ReadExtensionFolder(const fs::path& folder, std::vector<zelph::DataExtension>& extensions,
                         std::set<fs::path>& visited) {
  if (!visited.insert(fs::canonical(folder)).second) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Load extension. Skip folder seen before: {}",
              folder.string());
    return;
  }
  std::vector<fs::directory_entry> entries(fs::directory_iterator(folder), {});
  std::sort(entries.begin(), entries.end());
  for (const fs::directory_entry& entry : entries) {
    const fs::file_status status = entry.status();
    if (fs::is_regular_file(status)) {
      if (entry.path().filename() != "extension.json") continue;
      ZELPH_LOG(ZelphSeverityLevel::kDebug, "Read java extension. file: {}", entry.path().string());
      zelph::DataExtension extension(entry.path().parent_path().string());
      if (zelph::ParseExtensionFile(entry.path().string(), JsonParser::kRapidJson, extension) !=
          0) {
        throw std::runtime_error("Failed to parse Davodavora extension file:\n" +
                                 fs::absolute(entry.path()).string());
      }
      extensions.push_back(std::move(extension));
    } else if (fs::is_directory(status)) {
      ReadExtensionFolder(entry.path(), extensions, visited);
    } else {
      ZELPH_LOG(ZelphSeverityLevel::kDebug, "Load extension. Skip file: {}", entry.path().string());
    }
  }
}

}  // namespace

void InitializeJvmOptions(JvmOptions& options) {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "InitializeJvmOptions...");
  ZelphConfig* config = ZelphConfig::GetInstance();
  const bool in_bin_home = Normalized(fs::current_path()) == Normalized(config->GetBinHome());
  const fs::path home = config->GetDavodavoraHome(in_bin_home);

  std::vector<zelph::DataExtension> extensions;
  ReadJavaExtensions(home / "ext", extensions);
  if (const std::string folder = config->GetCrashReportFolder(); !folder.empty()) {
    options.vm_options.push_back(MakeErrorFileOption(folder));
  }
  AddJvmVariable(options, "$(running.home.directory)", home.string());
  if (IsRegularFile(home / "conf" / "jvm.json")) {
    ReadJvmFile(home, home / "conf" / "jvm.json", options);
  }
  if (config->IsExtendedMode() && IsRegularFile(home / "conf" / "jvm.extended.json")) {
    ReadJvmFile(home, home / "conf" / "jvm.extended.json", options);
  }
  for (const zelph::DataExtension& extension : extensions) {
    for (const zelph::DataExtension::DataPlatform& platform : extension.platforms) {
      if (platform.technology != "jvm" || platform.language != "java") continue;
      const fs::path folder(extension.folder);
      if (IsRegularFile(folder / "conf" / "jvm.json")) {
        ReadJvmFile(folder, folder / "conf" / "jvm.json", options);
      }
      const auto& own = platform.configuration.vm_options;
      options.vm_options.insert(options.vm_options.end(), own.begin(), own.end());
      for (const std::string& entry : platform.configuration.classpath) {
        options.class_path.insert((folder / entry).string());
      }
    }
  }
  AddCliArguments(config->GetUnrecognizedCliArgPointers(), options);
  options.vm_options.push_back(MakeRootProperty(home));
}

void ReadJvmFile(const fs::path& home, const fs::path& file, JvmOptions& options) {
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "Reading jvm.json: {}", file.string());
  zelph::DataJvm jvm(home.string());
  if (zelph::ParseJvmFile(file.string(), JsonParser::kRapidJson, jvm) != 0) {
    throw std::runtime_error("Failed to parse JVM JSON-file:\n" + fs::absolute(file).string());
  }
  for (const std::string& text : jvm.classpath) {
    const fs::path entry(text);
    options.class_path.insert(
        (entry.is_absolute() ? entry : home / entry).lexically_normal().string());
  }
  options.vm_options.insert(options.vm_options.end(), jvm.vm_options.begin(), jvm.vm_options.end());
  for (const std::string& exclude : jvm.vm_options_exclude) {
    ZELPH_LOG(ZelphSeverityLevel::kTrace, "add property exclude: {}", exclude);
    options.excludes.insert(exclude);
  }
}

void ReadJavaExtensions(const fs::path& folder, std::vector<zelph::DataExtension>& extensions) {
  if (!fs::exists(folder)) {
    throw std::runtime_error("Java extensions folder " + folder.string() +
                             " not found (absolute path: " + fs::absolute(folder).string() + ")");
  }
  std::set<fs::path> visited;
  ReadExtensionFolder(folder, extensions, visited);
}

void AddJvmVariable(JvmOptions& options, const std::string& name, const std::string& value) {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Key: '{}', Replace: '{}'", name, value);
  options.variables[name] = value;
}

void AddCliArguments(const std::vector<std::string>& arguments, JvmOptions& options) {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Adding CLI arguments");
  for (const std::string& argument : arguments) {
    if (argument.starts_with("-D") || argument.starts_with("-X")) {
      options.vm_options.push_back(argument);
    }
  }
}

std::string MakeErrorFileOption(const fs::path& folder) {
  return "-XX:ErrorFile=" + (folder / "hs_err_pid%p.log").string();
}

std::string MakeRootProperty(const fs::path& home) {
  return "-Dnet.morvex.executors.root=" + (home / "ext").string();
}

void AddClassPathOption(JvmOptions& options) {
  std::erase_if(options.vm_options,
                [](const std::string& option) { return option.starts_with(kClassPathOption); });
  options.vm_options.push_back(kClassPathOption + JoinClassPath(options.class_path));
}

std::string JoinClassPath(const std::set<std::string>& class_path) {
  std::string joined;
  for (const std::string& entry : class_path) {
    if (!joined.empty()) joined += kPathListSeparator;
    joined += entry;
  }
  return joined;
}

std::string ReplaceJvmVariables(const JvmOptions& options, const std::string& option) {
  std::string text = option;
  for (const auto& [name, value] : options.variables) {
    if (name.empty()) continue;
    for (size_t at = text.find(name); at != std::string::npos;
         at = text.find(name, at + value.size())) {
      text.replace(at, name.size(), value);
    }
  }
  return text;
}

std::vector<std::string> BuildJvmOptionList(JvmOptions& options) {
  AddClassPathOption(options);
  std::vector<std::regex> excludes;
  for (const std::string& pattern : options.excludes) {
    excludes.emplace_back(pattern, std::regex::ECMAScript);
  }
  std::vector<std::string> list;
  for (const std::string& option : options.vm_options) {
    bool excluded = false;
    auto pattern = options.excludes.begin();
    for (const std::regex& exclude : excludes) {
      ZELPH_LOG(ZelphSeverityLevel::kTrace, "test exclude property: {}, exclude: {}", option,
                *pattern++);
      if (std::regex_match(option, exclude)) {
        ZELPH_LOG(ZelphSeverityLevel::kTrace, "skip property: {}", option);
        excluded = true;
        break;
      }
    }
    if (!excluded) list.push_back(ReplaceJvmVariables(options, option));
  }
  return list;
}

std::vector<std::string> DropEmptyAndCommentedOptions(const std::vector<std::string>& options) {
  std::vector<std::string> kept;
  for (const std::string& option : options) {
    if (!option.empty() && option.front() != '#') kept.push_back(option);
  }
  return kept;
}
