// command_line.cpp
//
// ParseCommandLine over Boost.Program_options' narrow parser, which hands argument bytes on
// unchanged: long options need their full name (no guessing), and unregistered options are
// allowed so that Java VM options pass through.
#include "zelph/host/command_line.h"

#include <boost/program_options.hpp>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include "zelph/platform/utf8.h"

namespace zelph::host {
namespace {

namespace po = boost::program_options;

constexpr const char* kUsage[] = {
    "Davodavora server:",
    "  -h or --help                show this help",
    "  -x or --extended            enable extended mode (\"conf/jvm.extended.json\" will be used "
    "instead of \"conf/jvm.json\")",
    "  --debug                     debug flag: writing additional diagnostic information",
    "  --home=path                 Davodavora home folder [default: current working directory]",
    "  --config=path               path to the configuration JSON file [default: \"config.json\"]",
    "  --jdk=path                  path to the JDK home folder [default: \"../jdk\"]",
    "  --python=path or --python=  path to the Python installation folder; empty value forces "
    "using PYTHONHOME environment variable",
    "  -D<name>=<value>            set Java system property, for example: "
    "-Djava.util.logging.config.file=your_logging.properties",
    "  -X...                       set Java extended options, for example: -Xmx16g (set maximum "
    "Java heap size to 16 GB)",
};

// "--jdk=" and "--python=" with nothing after the "=" mean the option without a value; the
// option library would refuse the empty value.
void ShortenEmptyValueOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--jdk=") == 0 || std::strcmp(argv[i], "--python=") == 0) {
      argv[i][std::strlen(argv[i]) - 1] = '\0';
    }
  }
}

po::options_description DeclareOptions() {
  // clang-format off
  po::options_description server("Davodavora server", 120, 40);
  server.add_options()
      ("help,h", "show this help")
      ("extended,x", "enable extended mode")
      ("config", po::value<std::string>()->default_value("config.json"),
       "path to the configuration JSON file")
      ("debug", "debug flag")
      ("home", po::value<std::string>()->default_value(""), "Davodavora home folder");
  po::options_description other;
  other.add_options()
      ("server", po::value<bool>()->default_value(true, "1"), "start the server [default \"1\"]")
      ("chain", po::value<std::string>()->default_value(""),
       "the chain JSON file to execute [default \"\"]")
      ("params", po::value<std::string>()->default_value(""),
       "parameters of the chain [default: \"\" means no parameters to set]")
      ("test", po::value<std::string>()->default_value(""),
       "the folder with Davodavora test chains [default: \"\" means no test to execute]")
      ("p_delimiter", po::value<std::string>()->default_value(";"),
       "delimiter of parameters to use [default: \";\" ]")
      ("v_delimiter", po::value<std::string>()->default_value("="),
       "delimiter of value to use [default: \"=\" ]")
      ("server/service/enabled", po::value<int>()->default_value(-1),
       "override config server/service/enabled property")
      ("server/enabled", po::value<int>()->default_value(-1),
       "override config server/enabled property");
  // clang-format on
  po::options_description all;
  all.add(server).add(other);
  return all;
}

// The JDK home is handed on as UTF-8 text; bytes that are not UTF-8 cannot be.
void CheckJdkHome(const std::string& jdk) {
  const size_t invalid = sys::FindInvalidUtf8(jdk);
  if (invalid != sys::kValidUtf8) {
    throw std::runtime_error(
        "Invalid JDK path (--jdk argument): cannot be converted to UTF-8: invalid byte at offset " +
        std::to_string(invalid));
  }
}

}  // namespace

CliArguments& GetCliArguments() {
  static CliArguments arguments;
  return arguments;
}

void ParseCommandLine(int argc, char** argv) {
  ShortenEmptyValueOptions(argc, argv);
  // The parsed options point into the description, so it outlives them.
  const po::options_description options = DeclareOptions();
  const po::parsed_options parsed =
      po::command_line_parser(argc, argv)
          .options(options)
          .style(po::command_line_style::default_style & ~po::command_line_style::allow_guessing)
          .allow_unregistered()
          .run();
  po::variables_map values;
  po::store(parsed, values);
  po::notify(values);

  if (values.count("help") != 0) {
    for (const char* line : kUsage) std::cout << line << std::endl;
    std::exit(0);
  }

  CliArguments& arguments = GetCliArguments();
  arguments.server = values["server"].as<bool>();
  arguments.service_enabled_override = values["server/service/enabled"].as<int>();
  arguments.server_enabled_override = values["server/enabled"].as<int>();
  arguments.extended = values.count("extended") != 0;
  arguments.debug = values.count("debug") != 0;
  arguments.chain = values["chain"].as<std::string>();
  arguments.config = values["config"].as<std::string>();
  arguments.home = values["home"].as<std::string>();
  arguments.test = values["test"].as<std::string>();
  arguments.params = values["params"].as<std::string>();
  arguments.p_delimiter = values["p_delimiter"].as<std::string>();
  arguments.v_delimiter = values["v_delimiter"].as<std::string>();

  if (arguments.extended) std::cout << "Running in extended mode..." << std::endl;

  std::string jdk_home;
  std::string python_home;
  bool python_given = false;
  for (const po::option& option : parsed.options) {
    const std::string value = option.value.empty() ? std::string() : option.value.front();
    if (option.string_key == "python") {
      python_home = value;
      python_given = true;
      std::cout << "Custom Python installation: \"" << value << "\"" << std::endl;
    } else if (option.string_key == "jdk") {
      jdk_home = value;
      std::cout << "Custom JDK (Java Developer Kit): \"" << value << "\"" << std::endl;
    }
  }
  CheckJdkHome(jdk_home);
  arguments.jdk = jdk_home;

  const std::vector<std::string> pass_through =
      po::collect_unrecognized(parsed.options, po::include_positional);
  if (pass_through.empty() && !python_given) return;
  arguments.extra_args.reserve(arguments.extra_args.size() + pass_through.size() + 1);
  std::cout << "Additional command-line parameters:" << std::endl;
  if (python_given) {
    const std::string property = "-Dpython.home=" + python_home;
    std::cout << "  \"" << property << "\" (added automatically based on \"--python\")"
              << std::endl;
    arguments.extra_args.push_back(property);
  }
  for (const std::string& token : pass_through) {
    if (python_given && token.rfind("-Dpython.home=", 0) == 0) continue;
    std::cout << "  \"" << token << "\"" << std::endl;
    arguments.extra_args.push_back(token);
  }
}

}  // namespace zelph::host
