// chain_reader_log_test.cpp
//
// Names and values of a chain file in what the readers log and answer: a chain file comes
// from a client, so a newline in a property name, a type or the "app" value must not start
// a log line of its own.
#include <gtest/gtest.h>

#include <string>

#include "capturing_logger.h"
#include "chain_test_support.h"
#include "zelph/chainfiles/chain_document_reader.h"
#include "zelph/chainfiles/chain_stream_reader.h"

namespace zelph {
namespace {

using testing::FixtureText;
using testing::Replaced;

// As a chain file writes it (a JSON escape) and as a log line may show it.
const std::string kForgedJson = R"(\n[2026-12-11 05:00:00.000] [critical] Server compromised)";
const std::string kForgedRaw = "\n[2026-12-11 05:00:00.000] [critical] Server compromised";

TEST(ChainReaderLogTest, ClientTextInTheReadersLogAndErrorsIsEscaped) {
  const std::string project = FixtureText("project_form.json");
  struct Case {
    const char* name;
    std::string from;
    std::string to;
  };
  const Case kCases[] = {
      {"property name of an unsupported value", R"("name": "count", "type": "int64", "value": 7)",
       R"("name": "count)" + kForgedJson + R"(", "type": "int64", "value": {})"},
      {"property type", R"("type": "double")", R"("type": "double)" + kForgedJson + "\""},
      {"app value", R"("app": "zelph-project",
  "version")",
       R"("app": "x)" + kForgedJson + R"(",
  "version")"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string text = Replaced(project, c.from, c.to);
    ASSERT_NE(text, project);
    testing::CapturingLogger log;
    DataChain stream;
    ReadChainMiniJson(text.data(), text.size(), stream);
    DataChain document;
    ReadChainJsonText(text.data(), text.size(), document);
    const std::string seen = log.Text() + stream.error + document.error;
    EXPECT_EQ(seen.find(kForgedRaw), std::string::npos) << seen;
    EXPECT_NE(seen.find(kForgedJson), std::string::npos) << seen;
  }
}

}  // namespace
}  // namespace zelph
