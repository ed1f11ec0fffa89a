// crash_protection.cpp
#include "zelph/host/crash_protection.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <system_error>

#include "zelph/config/zelph_config.h"
#include "zelph/host/crash_report_retention.h"
#include "zelph/host/message_boxes.h"
#include "zelph/logger/log.h"
#include "zelph/platform/crash_report.h"
#include "zelph/platform/process_info.h"
#include "zelph/platform/utf8.h"

namespace zelph::host {
namespace {

std::string InstallFolderMessage(const std::filesystem::path& program_path) {
  std::error_code ignored;
  std::string root = std::filesystem::current_path(ignored).root_path().string();
  if (root.empty()) root = "/";
  return "Davodavora is located in an invalid folder:\nthe path\n\n" + program_path.string() +
         "\n\ncontains UniCode characters that cannot be represented\nin the current OS "
         "language.\n" +
         "Please reinstall Davodavora to another folder,\nfor example to a subfolder of the "
         "filesystem root " +
         root;
}

// The folder `configured` names for the reports of the program at `program_path`: relative
// to the program's folder, as given when absolute, empty when nothing is configured.
std::filesystem::path CrashReportFolder(const std::filesystem::path& program_path,
                                        const std::string& configured) {
  if (configured.empty()) return {};
  return (program_path.parent_path() / configured).lexically_normal();
}

}  // namespace

void InstallCrashReport() {
  const std::string program = sys::ExecutablePath();
  if (!program.empty()) sys::InstallCrashReportHandler(program);
}

void UseCrashReportFolder(ZelphConfig& config) {
  const std::filesystem::path program = sys::ExecutablePath();
  std::filesystem::path folder = CrashReportFolder(program, config.GetCrashReportFolder());
  if (const int error = sys::SetCrashReportFolder(folder.string())) {
    ZELPH_LOG(ZelphSeverityLevel::kWarning,
              "Crash reports stay beside the program, folder '{}' can't be used: {}",
              folder.string(), std::system_category().message(error));
    folder.clear();
  }
  if (folder.empty()) folder = program.parent_path();
  config.SetCrashReportFolder(folder.string());
  RemoveOldCrashReports(folder, program.filename().string(), config.GetCrashReportsKept());
}

bool IsPathRepresentable(std::filesystem::path path) { return sys::IsValidUtf8(path.native()); }

void CheckInstallFolder(const std::filesystem::path& program_path) {
  if (IsPathRepresentable(program_path)) return;
  const std::string message = InstallFolderMessage(program_path);
  ZELPH_LOG(ZelphSeverityLevel::kError, "{}", message);
  std::cerr << message << std::endl;
  ShowStartErrorMessageBox(message);
  std::exit(1);
}

}  // namespace zelph::host
