// manual_calls.cpp
//
// Making the manual's calls through the generated stub.
#include "manual_calls.h"

#include <google/protobuf/text_format.h>
#include <grpcpp/grpcpp.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "zelph/client/client_session.h"

namespace zelph::manual {
namespace {

using Stub = ZelphServiceApiV2::Stub;
constexpr std::chrono::seconds kCallDeadline{60};

std::string CodeName(grpc::StatusCode code) {
  // "INVALID_ARGUMENT (3)" without the number.
  const std::string text = client::StatusCodeText(code);
  return text.substr(0, text.find(' '));
}

template <typename Request, typename Response>
CallAnswer Invoke(Stub& stub,
                  grpc::Status (Stub::*method)(grpc::ClientContext*, const Request&, Response*),
                  const std::string& request_text) {
  Request request;
  if (!google::protobuf::TextFormat::ParseFromString(request_text, &request)) {
    throw std::invalid_argument("not a " + request.GetTypeName() + ": " + request_text);
  }
  grpc::ClientContext context;
  context.set_deadline(std::chrono::system_clock::now() + kCallDeadline);
  Response response;
  const grpc::Status status = (stub.*method)(&context, request, &response);
  return {CodeName(status.error_code()), EscapeText(status.error_message()),
          status.ok() ? response.ShortDebugString() : ""};
}

struct Method {
  const char* name;
  CallAnswer (*invoke)(Stub&, const std::string&);
};

// Every method of the service, so that the manual may write any of them.
// clang-format off
#define ZELPH_MANUAL_METHOD(Name) \
  {#Name, [](Stub& stub, const std::string& request) { return Invoke(stub, &Stub::Name, request); }}
// clang-format on
constexpr Method kMethods[] = {
    ZELPH_MANUAL_METHOD(CreateSession),
    ZELPH_MANUAL_METHOD(CreateProject),
    ZELPH_MANUAL_METHOD(GetList),
    ZELPH_MANUAL_METHOD(GetListEx),
    ZELPH_MANUAL_METHOD(Exists),
    ZELPH_MANUAL_METHOD(ExecuteCommand),
    ZELPH_MANUAL_METHOD(Remove),
    ZELPH_MANUAL_METHOD(CreateWorker),
    ZELPH_MANUAL_METHOD(SetData),
    ZELPH_MANUAL_METHOD(GetData),
    ZELPH_MANUAL_METHOD(UploadProject),
    ZELPH_MANUAL_METHOD(LoadSolution),
    ZELPH_MANUAL_METHOD(LoadSolutionTemplate),
    ZELPH_MANUAL_METHOD(GetProjectConfiguration),
    ZELPH_MANUAL_METHOD(GetProjectConfigurationSettings),
    ZELPH_MANUAL_METHOD(UploadProjectConfiguration),
    ZELPH_MANUAL_METHOD(CreateLink),
    ZELPH_MANUAL_METHOD(UpdateLink),
};
#undef ZELPH_MANUAL_METHOD

}  // namespace

std::string EscapeText(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '"':
        escaped += "\\\"";
        break;
      case '\\':
        escaped += "\\\\";
        break;
      default:
        if (byte < 0x20 || byte == 0x7f) {
          char octal[5];
          std::snprintf(octal, sizeof(octal), "\\%03o", byte);
          escaped += octal;
        } else {
          escaped += c;  // UTF-8 stays as it is, as in the manual's text
        }
    }
  }
  return escaped;
}

ManualCaller::ManualCaller(const std::string& address)
    : stub_(ZelphServiceApiV2::NewStub(client::MakeChannel(address))) {}

CallAnswer ManualCaller::Call(const ManualCall& call) {
  for (const Method& method : kMethods) {
    if (call.method == method.name) return method.invoke(*stub_, call.request);
  }
  throw std::invalid_argument("no method " + call.method);
}

void ManualCaller::RemoveClientSessions() {
  GetListRequest list;
  list.set_url("/session");
  GetListResponse sessions;
  grpc::ClientContext list_context;
  list_context.set_deadline(std::chrono::system_clock::now() + kCallDeadline);
  const grpc::Status listed = stub_->GetList(&list_context, list, &sessions);
  if (!listed.ok()) throw std::runtime_error("GetList /session: " + listed.error_message());
  RemoveRequest remove;
  for (const std::string& url : sessions.url()) {
    if (url != "/session:default") remove.add_url(url);
  }
  if (remove.url().empty()) return;
  grpc::ClientContext remove_context;
  remove_context.set_deadline(std::chrono::system_clock::now() + kCallDeadline);
  RemoveResponse removed;
  const grpc::Status status = stub_->Remove(&remove_context, remove, &removed);
  if (!status.ok()) throw std::runtime_error("Remove of the sessions: " + status.error_message());
}

std::string CompareAnswer(const std::string& expected_text, const CallAnswer& answer) {
  const ExpectedAnswer expected = ParseAnswer(expected_text);
  const std::string actual = answer.code +
                             (answer.message.empty() ? "" : " \"" + answer.message + "\"") +
                             (answer.reply.empty() ? "" : " {" + answer.reply + "}");
  if (expected.code != answer.code ||
      (expected.has_message && !MatchesPattern(expected.message, answer.message)) ||
      (!expected.has_message && expected.code != "OK" && !answer.message.empty()) ||
      (expected.has_reply && !MatchesPattern(expected.reply, answer.reply))) {
    return "the manual writes " + expected_text + "\n        the server answers " + actual;
  }
  return "";
}

}  // namespace zelph::manual
