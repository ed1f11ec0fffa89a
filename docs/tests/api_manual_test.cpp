// api_manual_test.cpp
//
// The API manual kept true: every call that docs/api.md writes down with its answer (the rows
// of its call tables, its setup blocks and its call sequences, the session example among
// them) is made against the demo installation served as a process, and the server must give
// the code, text and reply the manual gives. A change of the server or of the manual that
// makes them disagree fails here, row by row, named by the manual's line.
#include <google/protobuf/descriptor.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "manual_calls.h"
#include "manual_cases.h"
#include "zelph/testing/program_installation.h"

namespace zelph::manual {

// A failed case names its line of the manual (the failure message gives the calls).
void PrintTo(const ManualCase& manual_case, std::ostream* out) {
  *out << "api.md line " << manual_case.line;
}

namespace {

using testing::ChildResult;
using testing::DemoServer;

std::string ManualText() {
  std::ifstream file(ZELPH_API_MANUAL, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<ManualCase> ManualCases() {
  // A manual the reader cannot take apart gives no cases, and the suite's check below fails.
  try {
    return ReadManualCases(ManualText());
  } catch (const std::invalid_argument& error) {
    ADD_FAILURE() << error.what();
    return {};
  }
}

class ApiManualTest : public ::testing::TestWithParam<ManualCase> {
 protected:
  static void SetUpTestSuite() { demo_ = new DemoServer(); }

  static void TearDownTestSuite() {
    const ChildResult result = demo_->Stop(SIGTERM);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    delete demo_;
  }

  static DemoServer* demo_;
};

DemoServer* ApiManualTest::demo_ = nullptr;

TEST_P(ApiManualTest, AnswersAsTheManualWrites) {
  const ManualCase& manual_case = GetParam();
  demo_->DrainOutput();  // the server logs every call
  ManualCaller caller(demo_->installation().Address());
  caller.RemoveClientSessions();
  const auto run = [&](const std::vector<ManualCall>& calls, const char* part) {
    for (const ManualCall& call : calls) {
      const CallAnswer answer = caller.Call(call);
      const std::string difference =
          CompareAnswer(call.answer.empty() ? "OK" : call.answer, answer);
      if (!difference.empty()) {
        ADD_FAILURE() << "api.md line " << manual_case.line << ", " << part << ": " << call.method
                      << " {" << call.request << "}\n        " << difference;
        return false;
      }
    }
    return true;
  };
  if (run(manual_case.setup, "setup")) run(manual_case.calls, "call");
}

std::string CaseName(const ::testing::TestParamInfo<ManualCase>& info) {
  return "line_" + std::to_string(info.param.line);
}

INSTANTIATE_TEST_SUITE_P(Manual, ApiManualTest, ::testing::ValuesIn(ManualCases()), CaseName);

// The reader found the manual's session example and a call of every method of the service's
// schema: a manual whose tables lost their headers would otherwise pass with nothing checked.
TEST(ApiManualCasesTest, ManualCallsEveryMethodAndHasTheSessionExample) {
  const std::vector<ManualCase> cases = ManualCases();
  bool sequence = false;
  std::set<std::string> methods;
  for (const ManualCase& manual_case : cases) {
    sequence = sequence || (manual_case.setup.empty() && manual_case.calls.size() > 1);
    for (const ManualCall& call : manual_case.calls) methods.insert(call.method);
  }
  EXPECT_TRUE(sequence);
  const google::protobuf::ServiceDescriptor* service =
      google::protobuf::DescriptorPool::generated_pool()->FindServiceByName(
          ZelphServiceApiV2::service_full_name());
  ASSERT_NE(service, nullptr);
  for (int i = 0; i < service->method_count(); ++i) {
    EXPECT_TRUE(methods.contains(service->method(i)->name())) << service->method(i)->name();
  }
}

// Every case is read, also of a table that a block follows at once, and a manual the reader
// cannot take apart names the line at fault.
TEST(ApiManualCasesTest, ReaderTakesEveryCaseAndNamesTheLineAtFault) {
  const std::vector<ManualCase> cases = ReadManualCases(
      "| call | answer |\n"
      "| --- | --- |\n"
      "| `GetList {url: \"/a\"}` | `OK` |\n"
      "```calls\n"
      "CreateSession {id: \"s\"}\n"
      "GetList {url: \"/b\"}\n"
      "\u2192 INVALID_ARGUMENT \"Url is empty\"\n"
      "```\n");
  ASSERT_EQ(cases.size(), 2u);
  EXPECT_EQ(cases[0].line, 3);
  EXPECT_EQ(cases[0].calls[0].request, "url: \"/a\"");
  EXPECT_EQ(cases[1].line, 4);
  ASSERT_EQ(cases[1].calls.size(), 2u);
  EXPECT_EQ(cases[1].calls[1].answer, "INVALID_ARGUMENT \"Url is empty\"");

  const struct {
    const char* text;
    const char* error;
  } kFaults[] = {
      {"```calls\nGetList {}\n\u2192 INTERNAL no quotes\n```\n", "api.md line 3: "},
      {"| call | answer |\n| - | - |\n| `GetList {}` | OK |\n", "api.md line 3: "},
      {"```calls\nGetList {}\n", "api.md line 1: "},
  };
  for (const auto& fault : kFaults) {
    try {
      ReadManualCases(fault.text);
      ADD_FAILURE() << "read: " << fault.text;
    } catch (const std::invalid_argument& error) {
      EXPECT_EQ(std::string(error.what()).rfind(fault.error, 0), 0u) << error.what();
    }
  }
}

// "…" stands for any text, and only there; an answer is a code with a message or a reply.
TEST(ApiManualCasesTest, PatternsAndAnswersReadAsWritten) {
  struct Case {
    std::string pattern;
    std::string text;
    bool matches;
  };
  const Case cases[] = {
      {"Session not found: x", "Session not found: x", true},
      {"Session not found: x", "Session not found: xy", false},
      {"url: \"/session:m/project:\u2026\"", "url: \"/session:m/project:6b9f\"", true},
      {"url: \"/session:m/project:\u2026\"", "url: \"/session:n/project:6b9f\"", false},
      {"\u2026 b \u2026 c", "a b x c", true},
      {"\u2026 b \u2026 c", "a c x b", false},
      {"a\u2026a", "a", false},
      {"a } \u2026 b {", "a } b {", true},
      {"a } \u2026 b {", "a }  x b {", true},
      {"a } \u2026 b {", "a ) b {", false},
      {"\u2026", "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesPattern(c.pattern, c.text), c.matches) << c.pattern << " / " << c.text;
  }

  const ExpectedAnswer error = ParseAnswer("INTERNAL \"Session not found: x\"");
  EXPECT_EQ(error.code, "INTERNAL");
  EXPECT_TRUE(error.has_message);
  EXPECT_EQ(error.message, "Session not found: x");
  const ExpectedAnswer reply = ParseAnswer("OK {url: \"/x\"}");
  EXPECT_TRUE(reply.has_reply);
  EXPECT_EQ(reply.reply, "url: \"/x\"");
  EXPECT_THROW(ParseAnswer("INTERNAL Session not found"), std::invalid_argument);
}

}  // namespace
}  // namespace zelph::manual
