// manual_cases.h
//
// The calls that the API manual writes down, read from its Markdown text so that the manual
// itself is the test data:
//
// - A table whose first two columns are headed `call` and `answer` holds one case per row:
//   the call (`Method {request}`, the request in protobuf text format) and the answer
//   (`CODE`, `CODE "message"` or `OK {reply}`), each in one code span. A row runs after the
//   calls of the nearest `setup` block above its table, on a server without client sessions.
// - A fenced block marked `setup` holds such calls, one per line (indented lines continue
//   the line before); an answer written after a call on a line of its own, beginning with
//   "→", must be met, and a call without one must answer OK.
// - A fenced block marked `calls` is one case: its calls run in order, without a setup, and
//   each must give the answer written after it.
//
// In a message or a reply, "…" stands for any text (ids the server makes, time stamps).
#pragma once

#include <string>
#include <vector>

namespace zelph::manual {

// One call and the answer the manual gives for it (empty: OK, reply unchecked).
struct ManualCall {
  std::string method;   // "GetList"
  std::string request;  // text format of the request, without the outer braces
  std::string answer;   // "INVALID_ARGUMENT \"Url is empty\"", "OK {url: \"…\"}", ...
};

// A row of a call table, or a whole `calls` block.
struct ManualCase {
  int line = 0;                   // of the row or of the block's opening fence
  std::vector<ManualCall> setup;  // run first; each must answer as written
  std::vector<ManualCall> calls;  // the case itself
};

// The cases of the Markdown `text`, in the order the manual has them. Throws
// std::invalid_argument, naming the line, for a call table row or a block the reader cannot
// take apart (so a typing error in the manual fails rather than drops a case).
std::vector<ManualCase> ReadManualCases(const std::string& text);

// The answer `answer` (as ManualCall::answer) split into its status code name and the rest:
// a quoted message, or a reply in braces. Throws std::invalid_argument when it is neither.
struct ExpectedAnswer {
  std::string code;  // "OK", "INTERNAL", ...
  bool has_message = false;
  std::string message;  // as written between the quotes, escapes and all
  bool has_reply = false;
  std::string reply;  // as written between the braces
};
ExpectedAnswer ParseAnswer(const std::string& answer);

// Whether `text` is `pattern`, where each "…" of the pattern, with the spaces beside it,
// stands for any text.
bool MatchesPattern(const std::string& pattern, const std::string& text);

}  // namespace zelph::manual
