// command_line_checks.cpp
#include "zelph/host/command_line_checks.h"

#include <fmt/format.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "zelph/host/chain_parameters.h"
#include "zelph/host/command_line.h"

namespace zelph::host {
namespace {

namespace fs = std::filesystem;

bool IsDirectory(const std::string& path) { return fs::is_directory(fs::status(path)); }
bool IsRegularFile(const fs::path& path) { return fs::is_regular_file(fs::status(path)); }

void Require(bool holds, const std::string& failure) {
  if (!holds) throw std::runtime_error(failure);
}

}  // namespace

void ValidateCliArguments() {
  const CliArguments& arguments = GetCliArguments();
  Require(arguments.test.empty() || IsDirectory(arguments.test),
          "argument '--test' should be point to existing folder with tests or empty");
  Require(arguments.home.empty() || IsDirectory(arguments.home),
          "argument '--home' should locate to actually zelph home folder");
  Require(arguments.home.empty() || IsRegularFile(fs::path(arguments.home) / kProgramFileName),
          fmt::format("argument '--home' should locate to actually zelph home folder (folder with "
                      "\"{}\")",
                      kProgramFileName));
  Require(IsRegularFile(arguments.config),
          "argument '--config' should locate to existing zelph configuration");
  Require(arguments.chain.empty() || IsRegularFile(arguments.chain),
          "error in argument '--chain': chain not found.");
  Require(!arguments.v_delimiter.empty(), "--v_delimiter can't be empty");
  Require(!arguments.p_delimiter.empty(), "--p_delimiter can't be empty");
  Require(arguments.params.empty() || !ParseChainParameters().empty(),
          fmt::format("--params should be formatter as key1{}value1{}key2{}value2 format",
                      arguments.v_delimiter, arguments.p_delimiter, arguments.v_delimiter));
}

}  // namespace zelph::host
