// program_installation.h
//
// Test support for tests that run the zelph-service program as a process: a temporary
// installation (the product home) whose bin/ holds a copy of the built program and a
// config.json that listens on 127.0.0.1 at a port that was free when the installation was
// made, and the program run from there as a child process with a timeout and its output
// captured. The folder goes with the object; every child is killed and reaped before its
// ChildProcess goes, so nothing a test starts outlives it.
//
//   ProgramInstallation installation;                  // config: severity "error", console
//   installation.WriteConfig(installation.Config("info"));
//   auto server = installation.Start({});
//   ASSERT_TRUE(installation.WaitUntilListening(*server));
//   ... a client on installation.Address() ...
//   server->Signal(SIGINT);
//   ChildResult result = server->Wait();               // result.exit_code == 0
//
// With WithJava the installation also holds the build's Java plug-in (bin/plugins/zelph-java),
// conf/jvm.json, ext/ (the model API and the demo models) and the jdk link, as an
// installation keeps them; the Java VM then starts with the program.
//
// Made from an installed tree (the prefix of an unpacked package), the installation is a
// copy of that tree, Java plug-in and all, with no JDK of its own: the program finds the
// system's Java runtime, as it does where it is installed.
//
// Threading: one test thread uses an installation and its children.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "zelph/platform/testing/child_process.h"
#include "zelph/platform/testing/temp_folder.h"

namespace zelph::testing {

using sys::testing::ChildOptions;
using sys::testing::ChildProcess;
using sys::testing::ChildResult;

class ProgramInstallation {
 public:
  enum Plugins { kNoPlugins, kWithJava };

  // Throws std::system_error or std::filesystem::filesystem_error when the folder, the copy
  // or the port cannot be made. `bin_name` names the program's folder below the home.
  explicit ProgramInstallation(Plugins plugins = kNoPlugins, const std::string& bin_name = "bin");
  // A copy of the installed tree `installed_home` (bin/, conf/, ext/, solutions/) whose
  // bin/config.json, a link to the system's configuration in a package, is replaced by
  // Config(). Throws std::filesystem::filesystem_error when the tree cannot be copied.
  explicit ProgramInstallation(const std::filesystem::path& installed_home);

  const std::filesystem::path& Home() const { return folder_.Path(); }
  const std::filesystem::path& Bin() const { return bin_; }
  std::filesystem::path Program() const { return bin_ / "zelph-service"; }
  int Port() const { return port_; }
  // "127.0.0.1:<port>", what a client connects to.
  std::string Address() const;

  // A configuration that listens on 127.0.0.1 at Port() and logs at `severity` to the
  // console (standard error) only; `extra_server_members` (JSON members, without braces)
  // join the "server" object.
  std::string Config(const std::string& severity = "error",
                     const std::string& extra_server_members = "") const;
  void WriteConfig(const std::string& json) const { Write("config.json", json); }
  // The "solution" member that points the catalogue at the demo installation's solutions
  // as the build lays them out, for Config's `extra_server_members`.
  static std::string DemoSolutionsMember();
  // Writes `content` to the file `relative` below bin/, making its folders.
  void Write(const std::filesystem::path& relative, const std::string& content) const;
  // An extension folder below bin/ with its extension.json and, when given, the plug-in
  // library `library` copied in under the folder's name ("<folder>/<folder>.so").
  void AddExtension(const std::filesystem::path& relative, const std::string& description,
                    const std::string& library = "") const;

  // A Java extension ext/<name> of the installation (WithJava) whose class path is `jar`.
  void AddJavaModels(const std::string& name, const std::filesystem::path& jar) const;
  // The Java test models of the build as ext/test-models (among them "Slow", which runs
  // until it is interrupted).
  void AddJavaTestModels() const;
  // Takes the write permission from bin/ and all below it, as a package installs it: the
  // program must then write nothing there (a process with the capability to override file
  // permissions, root's, still can). Links are left as they are.
  void MakeProgramFolderReadOnly() const;

  // The program started from bin/ with `arguments` after argv[0] (the program's full path
  // unless `argv0` is given). The environment keeps the sanitizers' hands off the signals
  // the program handles itself.
  ChildOptions Options(const std::vector<std::string>& arguments,
                       const std::string& argv0 = "") const;
  std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& arguments,
                                      const std::string& argv0 = "") const;
  // Runs the program to its end, killing it after `timeout`.
  ChildResult Run(const std::vector<std::string>& arguments, const std::string& argv0 = "",
                  std::chrono::milliseconds timeout = sys::testing::kChildTimeout) const;

  // Waits until the started program logs "Server starts listening on" (info level, on the
  // console logger's standard error); false when it ended or the timeout passed first.
  static bool WaitUntilListening(ChildProcess& child,
                                 std::chrono::milliseconds timeout = sys::testing::kChildTimeout);
  // Starts the program, waits until it listens (the configuration must log at info), stops
  // it with SIGINT and returns all it wrote; a program that ends by itself is not signalled.
  ChildResult ServeAndStop(const std::vector<std::string>& arguments) const;

 private:
  sys::testing::TempFolder folder_;
  std::filesystem::path bin_;
  Plugins plugins_;
  int port_;
};

// A TCP port on 127.0.0.1 that nothing listened on a moment ago.
int FreeLocalPort();

// The demo installation served, as a suite of client tests uses it: the program with the
// Java plug-in and the demo solutions, logging at info, listening on a free port. Given an
// installed tree, the installation is a copy of that tree and serves its own solutions.
//
//   static DemoServer* demo = new DemoServer();   // SetUpTestSuite
//   ... clients of demo->installation().Address() ...
//   EXPECT_EQ(demo->Stop(SIGTERM).exit_code, 0);  // TearDownTestSuite
class DemoServer {
 public:
  // Throws std::runtime_error, with what the program wrote, when it does not listen.
  // `installed_home` empty: the build's program and demo solutions.
  explicit DemoServer(const std::filesystem::path& installed_home = {});
  const ProgramInstallation& installation() const { return *installation_; }
  // Reads what the program has logged so far; a suite that makes many calls does this now
  // and then, or the program blocks on a full pipe.
  void DrainOutput() { server_->DrainOutput(); }
  // Sends `signal` and waits for the program to end; answers all it wrote and how it ended.
  ChildResult Stop(int signal);

 private:
  std::unique_ptr<ProgramInstallation> installation_;
  std::unique_ptr<ChildProcess> server_;
};

}  // namespace zelph::testing
