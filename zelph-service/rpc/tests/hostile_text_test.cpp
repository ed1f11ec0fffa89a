// hostile_text_test.cpp
//
// Client text made to forge or inflate log lines and status texts, through the served
// handlers: newlines that would start a log line of their own, NUL bytes, ids and paths of
// many kilobytes. Every status keeps its reason and stays short, and every log line is one
// line of bounded length.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "capturing_logger.h"
#include "service_harness.h"
#include "status_cases.h"
#include "zelph/testing/service_fixtures.h"

namespace zelph::testing {
namespace {

using namespace std::string_literals;

// A line that would pass for one the server wrote.
const std::string kForged = "\n[2026-12-11 05:00:00.000] [critical] Server compromised";
const std::string kForgedQuoted = R"(\n[2026-12-11 05:00:00.000] [critical] Server compromised)";
const std::string kNotJson = "Invalid chain file: it is not JSON (starting '{' symbol expected)";
constexpr std::size_t kLongestLogLine = 2048;

// No line of `log` was forged or inflated by a client, and no NUL reached it.
void ExpectCleanLog(const std::string& log) {
  EXPECT_EQ(log.find('\0'), std::string::npos);
  EXPECT_EQ(log.find("\n[2026-"), std::string::npos) << log.substr(0, 4096);
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    EXPECT_LE(end - start, kLongestLogLine) << log.substr(start, 300);
    start = end + 1;
  }
}

TEST(HostileTextTest, StatusesKeepTheirReasonAndLogLinesStayLines) {
  ServiceHarness harness;
  const std::string p = harness.NewProject();
  harness.UploadChain(p, "line.json");
  const std::string source = p + "/worker:source/port:" + kLineSourceOutput;
  const std::string sink = p + "/worker:sink/port:" + kLineSinkInput;
  const std::string long_id(20000, 'l');
  const std::string long_id_quoted = std::string(256, 'l') + "...";
  const std::string long_folder(200000, 'f');

  auto get_data = [&](const std::string& url) {
    GetDataRequest request;
    request.add_url(url);
    return harness.Call(&Stub::GetData, request);
  };
  auto upload = [&](const std::string& path, const std::string& data) {
    UploadProjectRequest request;
    request.set_url(p);
    request.mutable_file()->set_path(path);
    request.mutable_file()->set_data(data);
    return harness.Call(&Stub::UploadProject, request);
  };
  auto create_link = [&](const std::string& src, const std::string& dst) {
    CreateLinkRequest request;
    request.set_url(p);
    request.set_src_url(src);
    request.set_dst_url(dst);
    return harness.Call(&Stub::CreateLink, request);
  };
  auto update_link = [&](const std::string& url) {
    UpdateLinkRequest request;
    request.set_url(url);
    request.set_src_url(source);
    request.set_dst_url(sink);
    return harness.Call(&Stub::UpdateLink, request);
  };
  const std::string kUploadFailed = "Error while loading chain from the file\n";

  CapturingLogger log;
  const StatusCase kCases[] = {
      {[&] { return get_data("/session:s" + kForged); }, kInvalidArgument,
       "Invalid url: /session:s" + kForgedQuoted + ", /session:id required"},
      // Replies the client can read: its error, not a refusal of oversized metadata.
      {[&] { return update_link(p + "/link:" + long_id); }, kInternal,
       "Link not found, link id: " + long_id_quoted},
      {[&] { return create_link(p + "/worker:source/port:" + long_id, sink); }, kInternal,
       "Port not found port id: " + long_id_quoted},
      {[&] { return create_link(p + "/worker:" + long_id + "/port:x", sink); }, kInternal,
       "Executor not found with id: " + long_id_quoted},
      {[&] { return update_link(p + "/link:" + kLineFirstLink + "\r"); }, kInternal,
       "Link not found, link id: " + std::string(kLineFirstLink) + R"(\r)"},
      // A failed upload leaves the project empty: these come last.
      {[&] { return upload("dir" + kForged + "/chain.json", "x"); }, kInternal,
       kUploadFailed + "dir" + kForgedQuoted + "/chain.json\n" + kNotJson},
      // The reason follows the path, which a NUL must not end.
      {[&] { return upload("a\0b/chain.json"s, "x"); }, kInternal,
       kUploadFailed + R"(a\0b/chain.json)" + "\n" + kNotJson},
      {[&] { return upload(long_folder + "/chain.json", "x"); }, kInternal,
       kUploadFailed + std::string(256, 'f') + "...\n" + kNotJson},
  };
  ExpectStatuses(kCases);
  const std::string text = log.Text();
  ExpectCleanLog(text);
  EXPECT_NE(text.find("[info] Set current dir: '" + std::string(256, 'f') + "...'\n"),
            std::string::npos);
}

// A worker whose model is missing is logged with its name, which the chain file gives.
TEST(HostileTextTest, NamesFromAnUploadedChainAreQuotedInTheLog) {
  ServiceHarness harness;
  const std::string p = harness.NewProject();
  std::string chain = ChainText("line.json");
  const std::string kExecutor =
      R"("executor_id": "7e570000-0000-4000-8000-000000000002", "executor_name": "Scale")";
  const std::size_t at = chain.find(kExecutor);
  ASSERT_NE(at, std::string::npos);
  const std::string name = R"(Gone\n[2026-12-11 05:00:00.000] [critical] Server compromised)" +
                           std::string(1 << 20, 'n');
  chain.replace(
      at, kExecutor.size(),
      R"("executor_id": "0000dead-0000-4000-8000-000000000000", "executor_name": ")" + name + "\"");

  CapturingLogger log;
  UploadProjectRequest request;
  request.set_url(p);
  request.mutable_file()->set_path("chain.json");
  request.mutable_file()->set_data(chain);
  harness.Call(&Stub::UploadProject, request);
  const std::string text = log.Text();
  ExpectCleanLog(text);
  EXPECT_NE(text.find("Failed create worker: name: " + std::string("Gone") + kForgedQuoted),
            std::string::npos)
      << text.substr(0, 4096);
}

}  // namespace
}  // namespace zelph::testing
