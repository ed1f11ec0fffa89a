// jdk_discovery.h
//
// Which Java runtime the Java plug-in starts. An installation need not carry a JDK of its
// own: the configured JDK home (the configuration's "server"/"jdk"/"home", or --jdk, which
// overrides it; "../jdk" by default) is taken when it holds a Java VM library, else the
// system's default Java runtime is looked for: JAVA_HOME, then the "java" command found on
// PATH (through its links), then /usr/lib/jvm/default-java.
//
// Runs on the start-up thread before any plug-in is loaded.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class ZelphConfig;

namespace zelph::host {

// One place a Java runtime was looked for: its home and where that home came from.
struct JdkCandidate {
  std::filesystem::path home;
  std::string origin;  // "configuration", "--jdk", "JAVA_HOME", "java on PATH", ...
};

// What the system offers beside the configuration: the environment's JAVA_HOME and PATH
// (empty when unset) and the distribution's default Java home.
struct SystemJava {
  std::string java_home;
  std::string path;
  std::filesystem::path default_home = "/usr/lib/jvm/default-java";

  // The values of the running process's environment.
  static SystemJava FromEnvironment();
};

// The candidates in the order they are tried: `configured` first, then those of `system`
// that are set. The home of "java on PATH" is the folder above the "bin" folder of the first
// executable "java" of PATH, links resolved.
std::vector<JdkCandidate> JdkCandidates(const JdkCandidate& configured, const SystemJava& system);

// The first candidate whose home holds the Java VM library (lib/server/libjvm.so), or none.
std::optional<JdkCandidate> FindJdk(const std::vector<JdkCandidate>& candidates);

// The start-up error when no candidate holds a Java VM library: names each home tried with
// its origin, and what to do about it.
std::string NoJdkMessage(const std::vector<JdkCandidate>& candidates);

// Points the configuration's JDK home at the first candidate that holds a Java VM library;
// a configured home passed over is logged at info level. Throws std::runtime_error with
// NoJdkMessage when none does.
void UseFoundJdk(ZelphConfig& config, const SystemJava& system);

}  // namespace zelph::host
