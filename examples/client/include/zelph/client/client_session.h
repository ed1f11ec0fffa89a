// client_session.h
//
// A client session against the service, as a client application holds one: its own session
// and one project in it, a solution app loaded into the project, images sent to the chain's
// inputs, evaluations, and the chain's outputs, statistics and previews read back. Every
// call goes through the generated client stub; a failed call throws CallError, which names
// the call, its status code and the service's text.
//
//   auto channel = zelph::client::MakeChannel("127.0.0.1:50471");
//   zelph::client::ClientSession session(channel, "my-session");  // session and project
//   session.ListApps();                  // the service finds apps only once they are listed
//   session.LoadApp(app_id);             // learns the chain's inputs and outputs
//   session.SetInputs(values);           // each input the value its data type takes
//   session.Evaluate();
//   for (const zelph::GAnyData& output : session.ReadOutputs()) ...
//   session.Close();                     // removes the project, then the session
//
// The chain's inputs are the input ports that no link feeds, its outputs the output ports
// that feed no link; both are learnt from the service when the app is loaded.
//
// Threading: one session belongs to one thread at a time. Sessions on one channel may run
// on several threads at once (a channel multiplexes its calls); a load of many clients
// gives each its own channel so that no connection is shared.
#pragma once

#include <grpcpp/grpcpp.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "message/ZelphServiceApiV2.grpc.pb.h"

namespace zelph::client {

// A channel to the service at `address` ("host:port") with the transport options every
// client of the service applies (whole matrices travel in one message).
std::shared_ptr<grpc::Channel> MakeChannel(const std::string& address);

// "UNAVAILABLE (14)": the name and number of a status code.
std::string StatusCodeText(grpc::StatusCode code);

// A call that the service answered with a status other than OK, or that could not reach it.
// what(): "<call> failed: <code name> (<number>): <service's text>".
class CallError : public std::runtime_error {
 public:
  CallError(std::string call, const grpc::Status& status);

  const std::string& call() const { return call_; }
  grpc::StatusCode code() const { return code_; }
  const std::string& message() const { return message_; }

 private:
  std::string call_;
  grpc::StatusCode code_;
  std::string message_;
};

// One port of a chain's worker, as the service describes it.
struct ChainPort {
  std::string worker_id;
  std::string worker_name;  // the worker's system name; inputs reach only named workers
  std::string port_id;
  std::string port_name;
  std::string data_type;  // "mat", "numbers", "scalar", ...

  // Whether the port carries matrices (images).
  bool IsMatrix() const;
  // Whether the port carries blocks of numbers.
  bool IsNumbers() const;
};

// What a client sends to a chain's inputs, one value for each kind of port: matrix ports
// take the image, number ports the numbers, every other port (scalars, text) the text, which
// the service converts to the port's type.
struct InputValues {
  GMat image;
  GNumbers numbers;
  std::string text;
};

// One block of doubles (block_length: the count of elements in a block).
GNumbers NumberBlock(const std::vector<double>& values);

class ClientSession {
 public:
  // A call that takes longer fails with DEADLINE_EXCEEDED rather than waiting forever.
  static constexpr std::chrono::seconds kDefaultDeadline{60};

  // Creates the session `session_id` and a project in it. Throws CallError.
  ClientSession(std::shared_ptr<grpc::Channel> channel, std::string session_id,
                std::chrono::milliseconds deadline = kDefaultDeadline);
  // Removes the project and the session unless Close ran; errors are swallowed, since the
  // session may already be gone with the service.
  ~ClientSession();
  ClientSession(const ClientSession&) = delete;
  ClientSession& operator=(const ClientSession&) = delete;

  const std::string& session_url() const { return session_url_; }
  const std::string& project_url() const { return project_url_; }

  // The solution apps (id, caption, file, description), by caption and then id. Listing
  // also makes the service rescan its app folder, so call it before LoadApp.
  std::vector<GSolutionApp> ListApps();

  // Loads the solution app `app_id` (and its configuration, when given) into the project
  // and learns the chain's inputs and outputs; answers the chain id. The service answers a
  // failed load with CANCELLED and writes the cause to its log.
  std::string LoadApp(const std::string& app_id, const std::string& configuration_id = "");

  // The chain's inputs and outputs, in chain order of their workers; empty before LoadApp.
  const std::vector<ChainPort>& inputs() const { return inputs_; }
  const std::vector<ChainPort>& outputs() const { return outputs_; }

  // Asks the service to make a JPEG preview of each worker's visible result after every
  // run (a project property), which WaitForPreview then reads.
  void EnablePreviews();

  // Sends every input of the chain the value of `values` that its data type takes; the
  // workers take them at the next run. Throws std::runtime_error when the chain has no input.
  void SetInputs(const InputValues& values);
  // Sends `value` to one input.
  void SetInput(const ChainPort& input, const GAnyData& value);

  // Runs the chain once and waits for the run to end. Answers kCancelled when the project
  // was busy (another run or a load), which is no failure of the call.
  CommandStatus Evaluate();

  // The data of every output of the chain, in the order of outputs(); an output that the
  // run left empty has no value set.
  std::vector<GAnyData> ReadOutputs();

  // The statistics of the project's objects (workers and the chain), each a JSON text in
  // `string_val`, with the object's URL.
  std::vector<GAnyData> ReadStatistics();
  // The errors of the objects whose last run failed, each in `error_info`, with the URL.
  std::vector<GAnyData> ReadErrors();

  // The preview of the worker `worker_id` once the service has stored one (previews are
  // made in the background after a run): a GMat whose `encoded` is "jpeg" and whose buffer
  // holds the JPEG file. Polls until `timeout`, then throws std::runtime_error.
  GMat WaitForPreview(const std::string& worker_id, std::chrono::milliseconds timeout);

  // Removes the project, then the session. Throws CallError; after a failure the
  // destructor tries again.
  void Close();

 private:
  template <typename Request, typename Response>
  using Method = grpc::Status (ZelphServiceApiV2::Stub::*)(grpc::ClientContext*, const Request&,
                                                           Response*);
  // One call with the session's deadline; throws CallError named `name` on failure.
  template <typename Request, typename Response>
  Response Call(const char* name, Method<Request, Response> method, const Request& request);

  std::vector<std::string> List(const std::string& url);
  std::vector<GAnyData> Get(const std::vector<std::string>& urls);
  void Remove(const std::string& url);
  void LearnChainEnds();

  std::unique_ptr<ZelphServiceApiV2::Stub> stub_;
  std::chrono::milliseconds deadline_;
  std::string session_url_;
  std::string project_url_;
  bool closed_ = false;
  std::vector<ChainPort> inputs_;
  std::vector<ChainPort> outputs_;
};

// "Image cleanup (d3e0...)", or the id alone for an app without a caption.
std::string AppName(const GSolutionApp& app);

// The app of `apps` that `wanted` names by id or caption, or the first one when `wanted` is
// empty. Throws std::runtime_error when the list is empty or names no such app (the message
// lists the apps).
const GSolutionApp& ChooseApp(const std::vector<GSolutionApp>& apps, const std::string& wanted);

}  // namespace zelph::client
