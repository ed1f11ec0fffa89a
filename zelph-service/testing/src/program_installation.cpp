// program_installation.cpp
#include "zelph/testing/program_installation.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace zelph::testing {
namespace {

namespace fs = std::filesystem;

// The program handles SIGSEGV and friends itself (crash reports), and the Java VM lives on
// its own faults; its memory is beyond the leak checker's sight.
constexpr const char* kSanitizerOptions =
    "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0:handle_sigill=0";
constexpr const char* kJavaSanitizerOptions =
    "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0:handle_sigill=0:detect_leaks=0";

// An installation keeps the Java plug-in in bin/plugins/zelph-java and conf/, ext/ and the
// jdk link beside bin/; the build folder is laid out the same way. ext/ is a folder of its
// own, so that tests can add Java extensions.
void LinkJavaInstallation(const fs::path& home, const fs::path& bin) {
  const fs::path build = ZELPH_BUILD_HOME;
  fs::create_directories(bin / "plugins");
  fs::create_directory_symlink(build / "bin/plugins/zelph-java", bin / "plugins/zelph-java");
  fs::create_directory_symlink(build / "conf", home / "conf");
  fs::create_directory(home / "ext");
  for (const fs::directory_entry& extension : fs::directory_iterator(build / "ext")) {
    fs::create_directory_symlink(extension.path(), home / "ext" / extension.path().filename());
  }
  fs::create_directory_symlink(fs::read_symlink(build / "jdk"), home / "jdk");
}

}  // namespace

int FreeLocalPort() {
  const int socket_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket_fd < 0) throw std::system_error(errno, std::generic_category(), "socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(socket_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = errno;
    ::close(socket_fd);
    throw std::system_error(error, std::generic_category(), "bind");
  }
  ::close(socket_fd);
  return ntohs(address.sin_port);
}

ProgramInstallation::ProgramInstallation(Plugins plugins, const std::string& bin_name)
    : bin_(folder_.Path() / bin_name), plugins_(plugins), port_(FreeLocalPort()) {
  fs::create_directories(bin_);
  // A copy, not a link: the program finds its folder (and writes crash reports) by its own
  // path.
  fs::copy_file(ZELPH_SERVICE_PROGRAM, Program());
  if (plugins_ == kWithJava) LinkJavaInstallation(Home(), bin_);
  WriteConfig(Config());
}

ProgramInstallation::ProgramInstallation(const fs::path& installed_home)
    : bin_(folder_.Path() / "bin"), plugins_(kWithJava), port_(FreeLocalPort()) {
  fs::copy(installed_home, Home(), fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  fs::remove(bin_ / "config.json");
  WriteConfig(Config());
}

std::string ProgramInstallation::Address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string ProgramInstallation::Config(const std::string& severity,
                                        const std::string& extra_server_members) const {
  std::string config = R"({"server": {"host": "127.0.0.1", "port": )" + std::to_string(port_) +
                       R"(, "log": {"severity": ")" + severity + R"(", "sink": "Console"})";
  if (!extra_server_members.empty()) config += ", " + extra_server_members;
  return config + "}}";
}

std::string ProgramInstallation::DemoSolutionsMember() {
  const std::string solutions = ZELPH_BUILD_HOME "/solutions";
  return R"("solution": {"apps": ")" + solutions + R"(/apps", "configurations": ")" + solutions +
         R"(/templates"})";
}

void ProgramInstallation::Write(const fs::path& relative, const std::string& content) const {
  fs::create_directories((bin_ / relative).parent_path());
  std::ofstream(bin_ / relative, std::ios::binary) << content;
}

void ProgramInstallation::AddExtension(const fs::path& relative, const std::string& description,
                                       const std::string& library) const {
  Write(relative / "extension.json", description);
  if (!library.empty()) {
    fs::copy_file(library, bin_ / relative / (relative.filename().string() + ".so"));
  }
}

void ProgramInstallation::AddJavaModels(const std::string& name, const fs::path& jar) const {
  const fs::path folder = Home() / "ext" / name;
  fs::create_directories(folder / "lib");
  fs::create_symlink(jar, folder / "lib" / jar.filename());
  std::ofstream(folder / "extension.json", std::ios::binary)
      << R"({"app": "executors-extension", "platforms": [{"technology": "jvm", )"
      << R"("language": "java", "configuration": {"classpath": ["lib/)" << jar.filename().string()
      << R"("]}}]})";
}

void ProgramInstallation::AddJavaTestModels() const {
  AddJavaModels("test-models", ZELPH_JAVA_TEST_MODELS_JAR);
}

void ProgramInstallation::MakeProgramFolderReadOnly() const {
  constexpr fs::perms kWrite =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(bin_)) {
    if (!entry.is_symlink()) fs::permissions(entry.path(), kWrite, fs::perm_options::remove);
  }
  fs::permissions(bin_, kWrite, fs::perm_options::remove);
}

ChildOptions ProgramInstallation::Options(const std::vector<std::string>& arguments,
                                          const std::string& argv0) const {
  std::vector<std::string> argv = {argv0.empty() ? Program().string() : argv0};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  ChildOptions options(Program().string(), std::move(argv));
  options.set_environment = {
      {"ASAN_OPTIONS", plugins_ == kWithJava ? kJavaSanitizerOptions : kSanitizerOptions}};
  return options;
}

std::unique_ptr<ChildProcess> ProgramInstallation::Start(const std::vector<std::string>& arguments,
                                                         const std::string& argv0) const {
  return std::make_unique<ChildProcess>(Options(arguments, argv0));
}

ChildResult ProgramInstallation::Run(const std::vector<std::string>& arguments,
                                     const std::string& argv0,
                                     std::chrono::milliseconds timeout) const {
  return sys::testing::RunChild(Options(arguments, argv0), timeout);
}

bool ProgramInstallation::WaitUntilListening(ChildProcess& child,
                                             std::chrono::milliseconds timeout) {
  return child.WaitForError("Server starts listening on", timeout);
}

ChildResult ProgramInstallation::ServeAndStop(const std::vector<std::string>& arguments) const {
  std::unique_ptr<ChildProcess> child = Start(arguments);
  if (WaitUntilListening(*child)) child->Signal(SIGINT);
  return child->Wait();
}

DemoServer::DemoServer(const fs::path& installed_home) {
  std::string solutions;
  if (installed_home.empty()) {
    installation_ = std::make_unique<ProgramInstallation>(ProgramInstallation::kWithJava);
    solutions = ProgramInstallation::DemoSolutionsMember();
  } else {
    installation_ = std::make_unique<ProgramInstallation>(installed_home);
    solutions = R"("solution": {"apps": "../solutions/apps", )"
                R"("configurations": "../solutions/templates"})";
  }
  installation_->WriteConfig(installation_->Config("info", solutions));
  // A package's program folder is read-only to the service.
  if (!installed_home.empty()) installation_->MakeProgramFolderReadOnly();
  server_ = installation_->Start({});
  if (!ProgramInstallation::WaitUntilListening(*server_)) {
    throw std::runtime_error("the demo installation does not listen:\n" + server_->Wait().err);
  }
}

ChildResult DemoServer::Stop(int signal) {
  server_->Signal(signal);
  return server_->Wait();
}

}  // namespace zelph::testing
