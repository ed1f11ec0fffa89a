// manual_calls.h
//
// A call of the API manual made against a served program: the method named by its text, the
// request read from protobuf text format, and the answer written back the way the manual
// writes answers, so that the two can be compared.
//
//   ManualCaller caller(address);
//   CallAnswer answer = caller.Call({"GetList", "url: \"/app\"", ""});
//   // answer.code == "OK", answer.reply == "url: \"/app:d3e0...\" ..."
//
// Threading: one thread uses a caller.
#pragma once

#include <memory>
#include <string>

#include "manual_cases.h"
#include "message/ZelphServiceApiV2.grpc.pb.h"

namespace zelph::manual {

struct CallAnswer {
  std::string code;     // the status code's name: "OK", "INVALID_ARGUMENT", ...
  std::string message;  // the status message, escaped as text format escapes a string
  std::string reply;    // the reply in one-line text format (empty for an empty reply)
};

class ManualCaller {
 public:
  explicit ManualCaller(const std::string& address);

  // Makes the call with a deadline of a minute. Throws std::invalid_argument for a method
  // the service does not have or a request that is no text format of its message.
  CallAnswer Call(const ManualCall& call);

  // Removes every session but "default", which the server makes itself: what a case made
  // goes before the next begins.
  void RemoveClientSessions();

 private:
  std::unique_ptr<ZelphServiceApiV2::Stub> stub_;
};

// "" when `answer` is what `expected` (ManualCall::answer) writes, else what differs.
std::string CompareAnswer(const std::string& expected, const CallAnswer& answer);

// `text` escaped as protobuf's text format escapes a string's bytes (\n, \", \\, octal).
std::string EscapeText(const std::string& text);

}  // namespace zelph::manual
