// jdk_discovery.cpp
#include "zelph/host/jdk_discovery.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "zelph/config/split_string.h"
#include "zelph/config/zelph_config.h"
#include "zelph/host/command_line.h"
#include "zelph/logger/log.h"

namespace zelph::host {
namespace {

namespace fs = std::filesystem;

// Where the Java plug-in loads the VM from, below a Java home.
fs::path JvmLibrary(const fs::path& home) { return home / "lib" / "server" / "libjvm.so"; }

bool HoldsJvm(const fs::path& home) {
  std::error_code error;
  return fs::is_regular_file(JvmLibrary(home), error);
}

// The Java home of the first executable "java" on `path`: the folder above its real "bin".
std::optional<fs::path> JavaOnPath(const std::string& path) {
  for (const std::string& folder : SplitString(path, ":")) {
    if (folder.empty()) continue;
    const fs::path java = fs::path(folder) / "java";
    if (::access(java.c_str(), X_OK) != 0) continue;
    std::error_code error;
    const fs::path real = fs::canonical(java, error);
    if (error) continue;
    return real.parent_path().parent_path();
  }
  return std::nullopt;
}

std::string Quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

}  // namespace

SystemJava SystemJava::FromEnvironment() {
  SystemJava system;
  if (const char* java_home = std::getenv("JAVA_HOME")) system.java_home = java_home;
  if (const char* path = std::getenv("PATH")) system.path = path;
  return system;
}

std::vector<JdkCandidate> JdkCandidates(const JdkCandidate& configured, const SystemJava& system) {
  std::vector<JdkCandidate> candidates{configured};
  if (!system.java_home.empty()) candidates.push_back({system.java_home, "JAVA_HOME"});
  if (std::optional<fs::path> home = JavaOnPath(system.path)) {
    candidates.push_back({*home, "java on PATH"});
  }
  candidates.push_back({system.default_home, "the system's default"});
  return candidates;
}

std::optional<JdkCandidate> FindJdk(const std::vector<JdkCandidate>& candidates) {
  for (const JdkCandidate& candidate : candidates) {
    if (HoldsJvm(candidate.home)) return candidate;
  }
  return std::nullopt;
}

std::string NoJdkMessage(const std::vector<JdkCandidate>& candidates) {
  std::string message = "No Java runtime found. Tried (each needs lib/server/libjvm.so):";
  for (const JdkCandidate& candidate : candidates) {
    message += fmt::format("\n  {} ({})", Quoted(candidate.home), candidate.origin);
  }
  return message +
         "\nInstall a Java 17 runtime, or name its home with --jdk or with \"server\"/\"jdk\"/"
         "\"home\" in the configuration.";
}

void UseFoundJdk(ZelphConfig& config, const SystemJava& system) {
  const JdkCandidate configured{config.GetJdkHome(),
                                GetCliArguments().jdk.empty() ? "configuration" : "--jdk"};
  const std::vector<JdkCandidate> candidates = JdkCandidates(configured, system);
  const std::optional<JdkCandidate> found = FindJdk(candidates);
  if (!found) throw std::runtime_error(NoJdkMessage(candidates));
  if (found->home == configured.home) return;
  ZELPH_LOG(ZelphSeverityLevel::kInfo,
            "The JDK home of the {}, {}, holds no Java VM library; using {} ({})",
            configured.origin, Quoted(configured.home), Quoted(found->home), found->origin);
  config.SetJdkHome(found->home.string());
}

}  // namespace zelph::host
