// example_session.h
//
// What a client application does with the service, from start to end, in one call: create a
// session and a project, list the solution apps, load one, send each input the value its
// data type takes (an image, numbers or a text), evaluate, read the outputs, the statistics
// and, for a chain with an image output, a JPEG preview (written to a file), then remove the
// project and the session. The example client program runs it with its command-line options; the
// end-to-end test runs it against the installed program and checks what it read.
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "zelph/client/client_session.h"

namespace zelph::client {

struct ExampleOptions {
  std::string address;     // "host:port" of the service
  std::string app;         // empty: the first app listed
  std::string image_path;  // empty: a generated test frame of frame_width x frame_height
  int frame_width = 640;
  int frame_height = 480;
  std::vector<double> numbers{1, 2, 3};      // one block, for inputs of numbers
  std::string value = "2.5";                 // for inputs of scalars and text
  std::string preview_path = "preview.jpg";  // the preview of the chain's first image output
  std::string session_id;                    // empty: a new id of its own
  std::chrono::milliseconds preview_timeout{10000};
};

// What the session sent and read.
struct ExampleResult {
  std::vector<GSolutionApp> apps;
  GSolutionApp app;  // the app loaded
  std::string chain_id;
  InputValues inputs;                 // what was sent to the chain's inputs
  std::vector<ChainPort> outputs;     // the chain's outputs ...
  std::vector<GAnyData> output_data;  // ... and what each held after the run
  std::vector<GAnyData> statistics;
  std::size_t preview_bytes = 0;  // the size of the JPEG file written; 0: no image output
};

// Runs the session against the service at options.address, writing a line to `log` for each
// step. Throws CallError for a failed call and std::runtime_error for anything else that
// keeps the session from its end (no apps, an unknown app, an image that cannot be read, a
// chain without inputs, a busy project, a worker that failed, no preview of an image output,
// a file that cannot be written); the
// project and the session are removed on every way out.
ExampleResult RunExampleSession(const ExampleOptions& options, std::ostream& log);

// One line on a value read from the service: its kind, shape and a summary of its data (the
// mean of an 8-bit matrix, the elements of numbers, the text of a scalar).
std::string DescribeValue(const GAnyData& value);

}  // namespace zelph::client
