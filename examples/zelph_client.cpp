// zelph_client.cpp
//
// The example client: one session against a running service, as a client application runs
// it (see client/include/zelph/client/example_session.h). Each input of the app's chain gets
// the value its data type takes: the image (or a generated frame), the numbers or the value;
// each has a default, so any app runs with no more than --app. Exit code 0 when every step
// succeeded, 1 when one failed (the failed call with its status code and text on standard
// error), 2 for bad options.
#include <boost/program_options.hpp>

#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "zelph/client/command_line.h"
#include "zelph/client/example_session.h"

namespace po = boost::program_options;

namespace {

// "1,2.5,-3" as numbers. Throws po::error for an empty list or an element that is no number.
std::vector<double> NumberList(const std::string& text) {
  std::vector<double> numbers;
  std::istringstream elements(text);
  for (std::string element; std::getline(elements, element, ',');) {
    size_t used = 0;
    try {
      numbers.push_back(std::stod(element, &used));
    } catch (const std::exception&) {
      used = 0;
    }
    if (used == 0 || element.find_first_not_of(" \t", used) != std::string::npos) {
      throw po::error("--numbers takes numbers separated by commas, not '" + element + "'");
    }
  }
  if (numbers.empty()) throw po::error("--numbers takes at least one number");
  return numbers;
}

}  // namespace

int main(int argc, char** argv) {
  zelph::client::ExampleOptions options;
  options.address = "127.0.0.1:50471";
  std::string numbers = "1,2,3";
  po::options_description described("zelph-client: one client session against the service");
  described.add_options()("help,h", "show this help")(
      "address,a", po::value(&options.address)->default_value(options.address),
      "host:port of the service")(
      "app", po::value(&options.app),
      "solution app to load, by id or caption [default: the first listed]")(
      "image,i", po::value(&options.image_path),
      "image file to send [default: a generated test frame]")(
      "width", po::value(&options.frame_width)->default_value(options.frame_width),
      "width of the generated test frame")(
      "height", po::value(&options.frame_height)->default_value(options.frame_height),
      "height of the generated test frame")(
      "preview,p", po::value(&options.preview_path)->default_value(options.preview_path),
      "file the JPEG preview of the chain's first image output is written to")(
      "numbers,n", po::value(&numbers)->default_value(numbers),
      "numbers sent as one block to inputs of numbers, separated by commas")(
      "value,v", po::value(&options.value)->default_value(options.value),
      "value sent to inputs of scalars and text")("session", po::value(&options.session_id),
                                                  "session id [default: a new one]");
  const auto check = [&] { options.numbers = NumberList(numbers); };
  if (std::optional<int> exit_code = zelph::client::ReadCommandLine(argc, argv, described, check)) {
    return *exit_code;
  }

  try {
    zelph::client::RunExampleSession(options, std::cout);
  } catch (const std::exception& error) {
    std::cerr << error.what() << std::endl;
    return 1;
  }
  return 0;
}
