// command_line.h
//
// The program's command line: where the configuration and the home folder are, whether to
// serve or to run one chain file with parameters, debug output, extended mode, and the
// options passed through to the Java VM (JDK and Python homes, "-D" and "-X" options).
// Argument bytes are taken as UTF-8 as they are; nothing goes through the C locale.
//
// Threading: the record is written only during start-up (on the main thread, and again on
// the service thread before the service accepts controls) and read freely afterwards.
#pragma once

#include <string>
#include <vector>

namespace zelph::host {

// The program file's name, which a home folder given on the command line must hold.
inline constexpr const char* kProgramFileName = "zelph-service";

struct CliArguments {
  bool server = true;  // serve (true) or run one chain file (false)
  bool extended = false;
  bool debug = false;
  std::string config = "config.json";
  std::string home;
  std::string chain;
  std::string params;  // rewritten by ParseChainParameters when it is quoted
  std::string test;
  std::string p_delimiter = ";";
  std::string v_delimiter = "=";
  int service_enabled_override = -1;  // -1 keeps the configuration, 1 on, any other off
  int server_enabled_override = -1;
  std::string jdk;  // the JDK home of "--jdk=", UTF-8
  // Tokens of unregistered options and positional arguments, in command-line order, for
  // the Java VM. Every parse appends to it.
  std::vector<std::string> extra_args;
};

// The process-wide record.
CliArguments& GetCliArguments();

// Parses argv into the record: every option returns to its default unless given again, and
// the pass-through arguments are appended. Prints the usage and ends the process with exit
// code 0 for "help"; prints "Running in extended mode...", the custom JDK and Python homes
// and the "Additional command-line parameters:" block. An argument that is exactly "--jdk="
// or "--python=" is shortened in place by its "=". Throws the option library's errors (a
// bad value, an option given twice) and std::runtime_error for a JDK home that is not
// UTF-8.
void ParseCommandLine(int argc, char** argv);

}  // namespace zelph::host
