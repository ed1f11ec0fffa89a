// command_line.h
//
// The command line of the example programs, read the one way they share:
//
//   po::options_description described("zelph-client: ...");
//   described.add_options()("help,h", "show this help")(...);
//   if (std::optional<int> exit_code = zelph::client::ReadCommandLine(argc, argv, described)) {
//     return *exit_code;
//   }
#pragma once

#include <boost/program_options.hpp>

#include <functional>
#include <optional>

namespace zelph::client {

// Stores argv into the values `described` binds. Returns the exit code to end with: 0 once
// --help has printed the options, 2 once an option error (or one that `check` throws as a
// boost::program_options::error, for values no option can refuse alone) has been printed
// with the options to standard error; none when the program goes on.
std::optional<int> ReadCommandLine(int argc, char** argv,
                                   const boost::program_options::options_description& described,
                                   const std::function<void()>& check = {});

}  // namespace zelph::client
