// working_folder.cpp
#include "zelph/host/working_folder.h"

#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "zelph/platform/process_info.h"

namespace zelph::host {

void ChangeToProgramFolder(const std::string& program_path) {
  const std::string folder = std::filesystem::path(program_path).parent_path().string();
  if (const int error = sys::ChangeWorkingDirectory(folder); error != 0) {
    throw std::runtime_error(
        fmt::format("Failed change current working dir to: '{}', error: {}", folder, error));
  }
  std::cout << "Setting current OS directory to " << folder << std::endl;
}

}  // namespace zelph::host
