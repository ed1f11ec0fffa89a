// configuration_startup.h
//
// The two start-up steps that turn the command line into a configuration and running
// loggers. Both run on the start-up thread while no other thread reads the configuration;
// the service entry runs them a second time with its own arguments.
#pragma once

class ZelphConfig;

namespace zelph::host {

// Sets the bin home ("home" as given, else the working directory), reads the configuration
// file into the process-wide configuration, then applies the command-line overrides (the
// service and server switches, the JDK home), also when the file did not parse. Returns the
// configuration. Throws std::runtime_error "Can't load zelph configuration zelph_home: {},
// config: {}" when the file does not parse, and passes on the reader's exception for a file
// that cannot be opened or holds a value of the wrong type.
ZelphConfig* InitializeConfiguration();

// Starts the file and console loggers from the configuration, printing each setting as a
// debug line. With the "debug" option a configured severity above debug is lowered to
// debug. The logging library refuses a second start, so a second call only prints. Passes
// on the logging library's exception when the file logger cannot be made.
void InitializeLogger(const ZelphConfig& config);

}  // namespace zelph::host
