// client_session.cpp
//
// The calls of a client session, and how it learns a loaded chain's ends from the
// descriptions of its workers and links.
#include "zelph/client/client_session.h"

#include <grpcpp/support/channel_arguments.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "zelph/api/transport_options.h"

namespace zelph::client {
namespace {

// Previews are made in the background; this is how often a client looks again.
constexpr std::chrono::milliseconds kPreviewPollInterval{20};

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The member `key` of a link's JSON text, or "" when the link has no such end.
std::string LinkEnd(const rapidjson::Document& link, const char* key) {
  if (!link.IsObject()) return "";
  const auto member = link.FindMember(key);
  if (member == link.MemberEnd() || !member->value.IsString()) return "";
  return std::string(member->value.GetString(), member->value.GetStringLength());
}

}  // namespace

std::shared_ptr<grpc::Channel> MakeChannel(const std::string& address) {
  grpc::ChannelArguments arguments;
  ApplyTransportOptions(arguments);
  return grpc::CreateCustomChannel(address, grpc::InsecureChannelCredentials(), arguments);
}

std::string StatusCodeText(grpc::StatusCode code) {
  static const char* const kNames[] = {"OK",
                                       "CANCELLED",
                                       "UNKNOWN",
                                       "INVALID_ARGUMENT",
                                       "DEADLINE_EXCEEDED",
                                       "NOT_FOUND",
                                       "ALREADY_EXISTS",
                                       "PERMISSION_DENIED",
                                       "RESOURCE_EXHAUSTED",
                                       "FAILED_PRECONDITION",
                                       "ABORTED",
                                       "OUT_OF_RANGE",
                                       "UNIMPLEMENTED",
                                       "INTERNAL",
                                       "UNAVAILABLE",
                                       "DATA_LOSS",
                                       "UNAUTHENTICATED"};
  const int number = static_cast<int>(code);
  const bool known = number >= 0 && number < static_cast<int>(std::size(kNames));
  return std::string(known ? kNames[number] : "UNKNOWN CODE") + " (" + std::to_string(number) + ")";
}

bool ChainPort::IsMatrix() const {
  // Data type names match without regard to case.
  return EqualsIgnoringCase(data_type, "mat");
}

bool ChainPort::IsNumbers() const { return EqualsIgnoringCase(data_type, "numbers"); }

GNumbers NumberBlock(const std::vector<double>& values) {
  GNumbers numbers;
  numbers.set_element_type(kDouble);
  numbers.set_block_length(static_cast<std::int32_t>(values.size()));
  numbers.set_buffer(
      std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(double)));
  return numbers;
}

CallError::CallError(std::string call, const grpc::Status& status)
    : std::runtime_error(
          call + " failed: " + StatusCodeText(status.error_code()) + ": " +
          (status.error_message().empty() ? "(no message)" : status.error_message())),
      call_(std::move(call)),
      code_(status.error_code()),
      message_(status.error_message()) {}

ClientSession::ClientSession(std::shared_ptr<grpc::Channel> channel, std::string session_id,
                             std::chrono::milliseconds deadline)
    : stub_(ZelphServiceApiV2::NewStub(std::move(channel))), deadline_(deadline) {
  CreateSessionRequest session;
  session.set_id(session_id);
  Call("CreateSession", &ZelphServiceApiV2::Stub::CreateSession, session);
  session_url_ = "/session:" + session_id;
  try {
    CreateProjectRequest project;
    project.set_url(session_url_);
    project_url_ = Call("CreateProject", &ZelphServiceApiV2::Stub::CreateProject, project).url();
  } catch (...) {
    // No destructor runs for a half-made object: the session would stay until it idles out.
    try {
      Remove(session_url_);
    } catch (const CallError&) {
    }
    throw;
  }
}

ClientSession::~ClientSession() {
  if (closed_) return;
  try {
    Close();
  } catch (const std::exception&) {
  }
}

template <typename Request, typename Response>
Response ClientSession::Call(const char* name, Method<Request, Response> method,
                             const Request& request) {
  grpc::ClientContext context;
  context.set_deadline(std::chrono::system_clock::now() + deadline_);
  Response response;
  const grpc::Status status = (stub_.get()->*method)(&context, request, &response);
  if (!status.ok()) throw CallError(name, status);
  return response;
}

std::vector<std::string> ClientSession::List(const std::string& url) {
  GetListRequest request;
  request.set_url(url);
  const GetListResponse response = Call("GetList", &ZelphServiceApiV2::Stub::GetList, request);
  return {response.url().begin(), response.url().end()};
}

std::vector<GAnyData> ClientSession::Get(const std::vector<std::string>& urls) {
  if (urls.empty()) return {};
  GetDataRequest request;
  for (const std::string& url : urls) request.add_url(url);
  GetDataResponse response = Call("GetData", &ZelphServiceApiV2::Stub::GetData, request);
  return {std::make_move_iterator(response.mutable_data()->begin()),
          std::make_move_iterator(response.mutable_data()->end())};
}

void ClientSession::Remove(const std::string& url) {
  RemoveRequest request;
  request.add_url(url);
  Call("Remove", &ZelphServiceApiV2::Stub::Remove, request);
}

std::vector<GSolutionApp> ClientSession::ListApps() {
  std::vector<GSolutionApp> apps;
  for (GAnyData& app : Get(List("/app"))) apps.push_back(std::move(*app.mutable_solution()));
  std::sort(apps.begin(), apps.end(), [](const GSolutionApp& a, const GSolutionApp& b) {
    return std::tie(a.caption(), a.id()) < std::tie(b.caption(), b.id());
  });
  return apps;
}

std::string ClientSession::LoadApp(const std::string& app_id, const std::string& configuration_id) {
  LoadSolutionRequest request;
  request.set_project_url(project_url_);
  request.set_solution_id(app_id);
  request.set_solution_template_id(configuration_id);
  std::string chain_id =
      Call("LoadSolution", &ZelphServiceApiV2::Stub::LoadSolution, request).chain_id();
  LearnChainEnds();
  return chain_id;
}

void ClientSession::LearnChainEnds() {
  std::set<std::string> fed_ports;      // destinations of links
  std::set<std::string> feeding_ports;  // sources of links
  for (const GAnyData& link : Get(List(project_url_ + "/link"))) {
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(link.string_val().c_str());
    if (document.HasParseError()) continue;
    fed_ports.insert(LinkEnd(document, "dest_port_id"));
    feeding_ports.insert(LinkEnd(document, "src_port_id"));
  }
  inputs_.clear();
  outputs_.clear();
  for (const GAnyData& data : Get(List(project_url_ + "/worker"))) {
    const GWorker& worker = data.worker();
    for (const GPort& port : worker.ports()) {
      ChainPort end{worker.id(), worker.system_name(), port.id(), port.name(), port.data_type()};
      if (port.port_kind() == kPortInput && !fed_ports.contains(port.id())) {
        inputs_.push_back(std::move(end));
      } else if (port.port_kind() == kPortOutput && !feeding_ports.contains(port.id())) {
        outputs_.push_back(std::move(end));
      }
    }
  }
}

void ClientSession::EnablePreviews() {
  SetDataRequest request;
  request.set_url(project_url_ + "/property:__tmp.create_visible_result");
  request.mutable_data()->set_bool_val(true);
  Call("SetData", &ZelphServiceApiV2::Stub::SetData, request);
}

void ClientSession::SetInputs(const InputValues& values) {
  if (inputs_.empty()) throw std::runtime_error("The chain of " + project_url_ + " has no input");
  for (const ChainPort& input : inputs_) {
    GAnyData value;
    if (input.IsMatrix()) {
      *value.mutable_mat() = values.image;
    } else if (input.IsNumbers()) {
      *value.mutable_numbers() = values.numbers;
    } else {
      value.set_string_val(values.text);
    }
    SetInput(input, value);
  }
}

void ClientSession::SetInput(const ChainPort& input, const GAnyData& value) {
  SetDataRequest request;
  // A worker takes the input that names it by system name and port name when it starts.
  const std::string url =
      project_url_ + "/worker:" + input.worker_name + "/input:" + input.port_name;
  request.set_url(url);
  *request.mutable_data() = value;
  request.mutable_data()->set_url(url);
  Call("SetData", &ZelphServiceApiV2::Stub::SetData, request);
}

CommandStatus ClientSession::Evaluate() {
  ExecuteCommandRequest request;
  request.add_url(project_url_);
  request.set_command(kEvaluate);
  return Call("ExecuteCommand", &ZelphServiceApiV2::Stub::ExecuteCommand, request).status();
}

std::vector<GAnyData> ClientSession::ReadOutputs() {
  std::vector<std::string> urls;
  urls.reserve(outputs_.size());
  for (const ChainPort& output : outputs_) {
    urls.push_back(project_url_ + "/worker:" + output.worker_id + "/output:" + output.port_id);
  }
  return Get(urls);
}

std::vector<GAnyData> ClientSession::ReadStatistics() {
  return Get(List(project_url_ + "/statistic"));
}

std::vector<GAnyData> ClientSession::ReadErrors() { return Get(List(project_url_ + "/error")); }

GMat ClientSession::WaitForPreview(const std::string& worker_id,
                                   std::chrono::milliseconds timeout) {
  const std::string url = project_url_ + "/preview:" + worker_id;
  const auto give_up = std::chrono::steady_clock::now() + timeout;
  while (true) {
    std::vector<GAnyData> preview = Get({url});
    if (!preview.empty() && preview.front().has_mat())
      return std::move(*preview.front().mutable_mat());
    if (std::chrono::steady_clock::now() >= give_up) {
      throw std::runtime_error("No preview of " + url + " within " +
                               std::to_string(timeout.count()) + " ms");
    }
    std::this_thread::sleep_for(kPreviewPollInterval);
  }
}

void ClientSession::Close() {
  Remove(project_url_);
  Remove(session_url_);
  closed_ = true;
}

std::string AppName(const GSolutionApp& app) {
  return app.caption().empty() ? app.id() : app.caption() + " (" + app.id() + ")";
}

const GSolutionApp& ChooseApp(const std::vector<GSolutionApp>& apps, const std::string& wanted) {
  if (apps.empty()) throw std::runtime_error("The service lists no solution apps");
  if (wanted.empty()) return apps.front();
  for (const GSolutionApp& app : apps) {
    if (app.id() == wanted || app.caption() == wanted) return app;
  }
  std::string listed;
  for (const GSolutionApp& app : apps) listed += "\n  " + AppName(app);
  throw std::runtime_error("No solution app '" + wanted + "'; the service lists:" + listed);
}

}  // namespace zelph::client
