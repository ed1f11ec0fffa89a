// command_line.cpp
//
// Reading the example programs' command lines.
#include "zelph/client/command_line.h"

#include <iostream>

namespace zelph::client {

namespace po = boost::program_options;

std::optional<int> ReadCommandLine(int argc, char** argv, const po::options_description& described,
                                   const std::function<void()>& check) {
  try {
    po::variables_map values;
    po::store(po::parse_command_line(argc, argv, described), values);
    po::notify(values);
    if (values.count("help") != 0) {
      std::cout << described;
      return 0;
    }
    if (check) check();
  } catch (const po::error& error) {
    std::cerr << error.what() << "\n" << described;
    return 2;
  }
  return std::nullopt;
}

}  // namespace zelph::client
