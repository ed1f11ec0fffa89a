#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "capturing_logger.h"
#include "temp_file.h"
#include "zelph/chain/exception.h"
#include "zelph/config/zelph_config.h"
#include "zelph/model/property.h"

namespace {

using zelph::testing::CapturingLogger;
using zelph::testing::TempFile;

ZelphConfig& Config() { return *ZelphConfig::GetInstance(); }

// Puts back every value a configuration file can set.
void ResetConfig() {
  ZelphConfig& config = Config();
  config.SetServerEnabled(false);
  config.SetHost("");
  config.SetPort(-1);
  config.SetSeverityLevel("");
  config.SetLogFile("log_%N.log");
  config.SetLogSink("");
  config.SetLogFormat("");
  config.SetCrashReportFolder("");
  config.SetExceptionHandle("stack-trace");
  config.SetShowMessageBoxOnExit(true);
  config.SetCacheType("none");
  config.SetSolutionAppsDir("");
  config.SetSolutionConfigurationsDir("");
  config.SetSessionIdleTimeoutMin(5);
  config.SetMaxHandlerThreads(128);
  config.SetMaxStreamsPerConnection(32);
  config.SetMaxReplyBytesInFlight(std::uint64_t{4} << 30);
  config.SetMaxRuns(64);
  config.SetReplySendTimeoutSeconds(30);
  config.SetMaxRequestBytesInFlight(std::uint64_t{4} << 30);
  config.SetCrashReportsKept(20);
  config.SetLogDaysKept(0);
  config.SetServiceName("");
  config.SetServiceEnabled(false);
  config.SetIgnoreExtInitError(false);
  config.SetDavodavoraRelativeDir("..");
  config.SetJdkHome("../jdk");
  config.SetChainImplType("linked-chain");
  config.SetExecuteStrategyType(ExecutionStrategyType::kBase);
  config.SetExceptionAction("inhert");
  config.SetChainReaderType("kRapidJson");
  config.SetChainWriterType("kRapidJson");
  config.SetInitialized(false);
}

class ConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetConfig(); }
  void TearDown() override { ResetConfig(); }
};

TEST_F(ConfigFileTest, EveryKeyOfAFullFile) {
  CapturingLogger log;
  ASSERT_TRUE(Config().ParseConfigJson(ZELPH_CONFIG_FIXTURES "/config.json"));
  const ZelphConfig& config = Config();
  EXPECT_TRUE(config.IsInitialized());
  EXPECT_EQ(config.GetProperties()->GetValueAsString("vp.frame.size", ""), "1920x1080");
  EXPECT_TRUE(config.IsServerEnabled());
  EXPECT_EQ(config.GetHost(), "0.0.0.0");
  EXPECT_EQ(config.GetPort(), 50051);
  EXPECT_EQ(config.GetSeverityLevel(), "Warning");
  EXPECT_EQ(config.GetSeverityCode(), 3);
  EXPECT_EQ(config.GetLogFileName(), "$(temp)/zelph/log_%N.log");
  EXPECT_EQ(config.GetLogSink(), "FileText");
  EXPECT_EQ(config.GetLogFormat(), "[%l] %v");
  EXPECT_EQ(config.GetCrashReportFolder(), "/var/crash/zelph");
  EXPECT_EQ(config.GetJavaExceptionHandle(), JavaExceptionHandle::kDescribe);
  EXPECT_FALSE(config.IsShowMessageBoxOnExit());
  EXPECT_EQ(config.GetCacheType(), ServerCacheType::kNone);  // "chain" wins over "server"
  EXPECT_EQ(config.GetSolutionAppsDir(), "apps");
  EXPECT_EQ(config.GetSolutionTemplateDir(), "templates");
  EXPECT_EQ(config.GetSessionIdleTimeoutMin(), 30);
  EXPECT_EQ(config.GetMaxHandlerThreads(), 16);
  EXPECT_EQ(config.GetMaxStreamsPerConnection(), 4);
  EXPECT_EQ(config.GetMaxReplyBytesInFlight(), std::uint64_t{8} << 30);
  EXPECT_EQ(config.GetMaxRuns(), 8);
  EXPECT_EQ(config.GetServiceName(), "zelph");
  EXPECT_TRUE(config.IsServiceEnabled());
  EXPECT_TRUE(config.IsIgnoreExtInitError());
  EXPECT_EQ(config.GetDavodavoraHome(true), "../product");
  EXPECT_EQ(config.GetJdkHome(), "/opt/jdk");
  EXPECT_EQ(config.GetChainImplType(), ChainImplType::kBaseChain);
  EXPECT_EQ(config.GetExecuteStrategyType(), ExecutionStrategyType::kGraph);
  EXPECT_EQ(config.GetExceptionAction(), ExceptionAction::kInterrupt);
  EXPECT_EQ(config.GetChainReaderType(), JsonParser::kMiniJson);
  EXPECT_EQ(config.GetChainWriterType(), JsonParser::kMiniJson);
  EXPECT_EQ(log.Text(), "");
}

// Each text is read after a reset; `check` looks at what it left.
TEST_F(ConfigFileTest, TextsAndWhatTheyLeave) {
  enum Outcome { kTrue, kFalse, kThrows };
  struct Case {
    std::string text;
    Outcome outcome;
    std::function<bool(const ZelphConfig&)> check;
  };
  const Case kCases[] = {
      {"{}", kTrue, [](auto& c) { return c.GetPort() == -1 && c.IsInitialized(); }},
      {"[]", kThrows, [](auto& c) { return !c.IsInitialized(); }},
      {R"({"server":{"port":"1"}})", kThrows, [](auto& c) { return c.GetPort() == -1; }},
      {R"({"server":{"port":1.5}})", kThrows, [](auto& c) { return c.GetPort() == -1; }},
      {R"({"server":{"port":3000000000}})", kThrows, [](auto& c) { return c.GetPort() == -1; }},
      {R"({"server":{"port":8080}})", kTrue, [](auto& c) { return c.GetPort() == 8080; }},
      {R"({"server":{"session":{"idle_timeout_min":"9"}}})", kTrue,
       [](auto& c) { return c.GetSessionIdleTimeoutMin() == 5; }},
      {R"({"server":{"session":{"idle_timeout_min":9.5}}})", kThrows,
       [](auto& c) { return c.GetSessionIdleTimeoutMin() == 5; }},
      {R"({"server":{"session":{"idle_timeout_min":9}}})", kTrue,
       [](auto& c) { return c.GetSessionIdleTimeoutMin() == 9; }},
      {R"({"server":{"session":3,"service":{"name":1,"enabled":"yes"}}})", kTrue,
       [](auto& c) { return c.GetServiceName().empty() && !c.IsServiceEnabled(); }},
      {R"({"server":{"exception":{"show_message_box_on_exit":"no"}}})", kTrue,
       [](auto& c) { return c.IsShowMessageBoxOnExit(); }},
      {R"({"server":{"exception":{"handle":1}}})", kThrows, [](auto&) { return true; }},
      {R"({"server":{"solution":{"apps":"a"}}})", kTrue,
       [](auto& c) { return c.GetSolutionAppsDir().empty(); }},
      {R"({"server":{"solution":{"apps":"a","configurations":2}}})", kThrows,
       [](auto& c) { return c.GetSolutionTemplateDir().empty(); }},
      {R"({"server":{"cache":{"type":"Mem"}}})", kTrue,
       [](auto& c) { return c.GetCacheType() == ServerCacheType::kNone; }},
      {R"({"server":{"cache":{"type":"mem"}},"chain":{"cache":{"type":"none"}}})", kTrue,
       [](auto& c) { return c.GetCacheType() == ServerCacheType::kNone; }},
      {R"({"server":{"log":"warning"}})", kThrows, [](auto&) { return true; }},
      {R"({"server":{"log":{"severity":"nonsense"}}})", kTrue,
       [](auto& c) { return c.GetSeverityCode() == 0 && c.GetSeverityLevel() == "nonsense"; }},
      {R"({"server":{"dir":"x"}})", kThrows, [](auto&) { return true; }},
      {R"({"server":{"crash_reports":["x"]}})", kThrows,
       [](auto& c) { return c.GetCrashReportFolder().empty(); }},
      {R"({"server":{"host":"h"},"chain":{"type":5}})", kThrows,
       [](auto& c) { return c.GetHost() == "h"; }},
      {R"({"chain":{"type":"LINKED-chain"}})", kTrue,
       [](auto& c) { return c.GetChainImplType() == ChainImplType::kLinkedChain; }},
      {R"({"chain":{"type":"tree"}})", kTrue,
       [](auto& c) { return c.GetChainImplType() == ChainImplType::kLinkedChain; }},
      {R"({"chain":{"reader":"MINI_JSON","writer":"mini_json"}})", kTrue,
       [](auto& c) {
         return c.GetChainReaderType() == JsonParser::kRapidJson &&
                c.GetChainWriterType() == JsonParser::kMiniJson;
       }},
      {R"({"chain":{"exception":{"action":7},"reader":[]}})", kTrue,
       [](auto& c) { return c.GetChainReaderType() == JsonParser::kRapidJson; }},
      {R"({"vp":{"frame":[]}})", kThrows, [](auto&) { return true; }},
      {R"({"vp":{"frame":{"size":640}}})", kThrows, [](auto&) { return true; }},
      {R"({"chain":{"type":"base-chain","type":7}})", kTrue,
       [](auto& c) { return c.GetChainImplType() == ChainImplType::kBaseChain; }},
      {"", kFalse, [](auto& c) { return !c.IsInitialized(); }},
      {R"({"server":{"port":1})", kFalse, [](auto& c) { return c.GetPort() == -1; }},
      {std::string(1000000, '['), kFalse, [](auto&) { return true; }},
  };
  for (const Case& c : kCases) {
    ResetConfig();
    TempFile file(c.text);
    switch (c.outcome) {
      case kThrows:
        try {
          Config().ParseConfigJson(file.Path().c_str());
          ADD_FAILURE() << "no throw: " << c.text;
        } catch (const zelph::Exception& error) {
          EXPECT_STREQ(error.what(), "Something wrong in JSON file!");
        }
        break;
      default:
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(Config().ParseConfigJson(file.Path().c_str()), c.outcome == kTrue)
            << c.text.substr(0, 60);
        ::testing::internal::GetCapturedStderr();
        break;
    }
    EXPECT_TRUE(c.check(Config())) << c.text.substr(0, 60);
  }
}

// The server's bounds: whole numbers in their ranges, or the start-up stops with a text that
// names the key and the value; an absent key keeps the default.
TEST_F(ConfigFileTest, ServerBoundsAreWholeNumbersInTheirRanges) {
  struct Case {
    std::string server;
    std::string error;  // empty: read
    std::function<bool(const ZelphConfig&)> check;
  };
  const Case kCases[] = {
      {"", "",
       [](auto& c) {
         return c.GetMaxHandlerThreads() == 128 && c.GetMaxStreamsPerConnection() == 32 &&
                c.GetMaxReplyBytesInFlight() == std::uint64_t{4} << 30 && c.GetMaxRuns() == 64 &&
                c.GetCrashReportsKept() == 20 && c.GetLogDaysKept() == 0 &&
                c.GetReplySendTimeoutSeconds() == 30 &&
                c.GetMaxRequestBytesInFlight() == std::uint64_t{4} << 30;
       }},
      {R"("reply_send_timeout_s":1,"max_request_bytes_in_flight":1)", "",
       [](auto& c) {
         return c.GetReplySendTimeoutSeconds() == 1 && c.GetMaxRequestBytesInFlight() == 1;
       }},
      {R"("reply_send_timeout_s":86401)",
       R"(Invalid configuration: "server": "reply_send_timeout_s" must be a whole number from 1 to 86400, not 86401)",
       [](auto& c) { return c.GetReplySendTimeoutSeconds() == 30; }},
      {R"("max_request_bytes_in_flight":0)",
       R"(Invalid configuration: "server": "max_request_bytes_in_flight" must be a whole number from 1 to 9223372036854775807, not 0)",
       [](auto& c) { return c.GetMaxRequestBytesInFlight() == std::uint64_t{4} << 30; }},
      {R"("crash_reports_kept":0,"log":{"days_kept":0})", "",
       [](auto& c) { return c.GetCrashReportsKept() == 0 && c.GetLogDaysKept() == 0; }},
      {R"("crash_reports_kept":36500,"log":{"days_kept":36500})", "",
       [](auto& c) { return c.GetCrashReportsKept() == 36500 && c.GetLogDaysKept() == 36500; }},
      {R"("crash_reports_kept":-1)",
       R"(Invalid configuration: "server": "crash_reports_kept" must be a whole number from 0 to 36500, not -1)",
       [](auto& c) { return c.GetCrashReportsKept() == 20; }},
      {R"("log":{"days_kept":36501})",
       R"(Invalid configuration: "server": "log": "days_kept" must be a whole number from 0 to 36500, not 36501)",
       [](auto& c) { return c.GetLogDaysKept() == 0; }},
      {R"("log":{"days_kept":"7"})",
       R"(Invalid configuration: "server": "log": "days_kept" must be a whole number from 0 to 36500, not "7")",
       [](auto& c) { return c.GetLogDaysKept() == 0; }},
      {R"("max_handler_threads":1,"max_streams_per_connection":1,"max_reply_bytes_in_flight":1,"max_runs":1)",
       "",
       [](auto& c) {
         return c.GetMaxHandlerThreads() == 1 && c.GetMaxStreamsPerConnection() == 1 &&
                c.GetMaxReplyBytesInFlight() == 1 && c.GetMaxRuns() == 1;
       }},
      {R"("max_runs":100000)", "", [](auto& c) { return c.GetMaxRuns() == 100000; }},
      {R"("max_runs":0)",
       R"(Invalid configuration: "server": "max_runs" must be a whole number from 1 to 100000, not 0)",
       [](auto& c) { return c.GetMaxRuns() == 64; }},
      {R"("max_runs":100001)",
       R"(Invalid configuration: "server": "max_runs" must be a whole number from 1 to 100000, not 100001)",
       [](auto&) { return true; }},
      {R"("max_handler_threads":100000,"max_streams_per_connection":2147483647)", "",
       [](auto& c) {
         return c.GetMaxHandlerThreads() == 100000 && c.GetMaxStreamsPerConnection() == 2147483647;
       }},
      {R"("max_handler_threads":0)",
       R"(Invalid configuration: "server": "max_handler_threads" must be a whole number from 1 to 100000, not 0)",
       [](auto& c) { return c.GetMaxHandlerThreads() == 128; }},
      {R"("max_handler_threads":100001)",
       R"(Invalid configuration: "server": "max_handler_threads" must be a whole number from 1 to 100000, not 100001)",
       [](auto&) { return true; }},
      {R"("max_streams_per_connection":-4)",
       R"(Invalid configuration: "server": "max_streams_per_connection" must be a whole number from 1 to 2147483647, not -4)",
       [](auto& c) { return c.GetMaxStreamsPerConnection() == 32; }},
      {R"("max_streams_per_connection":2147483648)",
       R"(Invalid configuration: "server": "max_streams_per_connection" must be a whole number from 1 to 2147483647, not 2147483648)",
       [](auto&) { return true; }},
      {R"("max_reply_bytes_in_flight":"1GB")",
       R"(Invalid configuration: "server": "max_reply_bytes_in_flight" must be a whole number from 1 to 9223372036854775807, not "1GB")",
       [](auto& c) { return c.GetMaxReplyBytesInFlight() == std::uint64_t{4} << 30; }},
      {R"("max_reply_bytes_in_flight":1.5e9)",
       R"(Invalid configuration: "server": "max_reply_bytes_in_flight" must be a whole number from 1 to 9223372036854775807, not 1500000000.0)",
       [](auto&) { return true; }},
      {R"("max_handler_threads":true)",
       R"(Invalid configuration: "server": "max_handler_threads" must be a whole number from 1 to 100000, not true)",
       [](auto&) { return true; }},
  };
  for (const Case& c : kCases) {
    ResetConfig();
    TempFile file(R"({"server":{)" + c.server + "}}");
    try {
      EXPECT_TRUE(Config().ParseConfigJson(file.Path().c_str())) << c.server;
      EXPECT_EQ(c.error, "") << c.server;
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(error.what(), c.error) << c.server;
    }
    EXPECT_TRUE(c.check(Config())) << c.server;
  }
}

TEST_F(ConfigFileTest, SyntaxErrorsGoToStandardError) {
  struct Case {
    std::string text;
    std::string error;
  };
  const Case kCases[] = {
      {"",
       "Zelph config json parser error: 1, offset: 0\n"
       "parser error details: The document is empty."},
      {"\xEF\xBB\xBF{}",
       "Zelph config json parser error: 3, offset: 0\n"
       "parser error details: Invalid value."},
      {std::string(300, '['),
       "Zelph config json parser error: 16, offset: 256\n"
       "parser error details: Terminate parsing due to Handler error."},
  };
  for (const Case& c : kCases) {
    TempFile file(c.text);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(Config().ParseConfigJson(file.Path().c_str()));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.error);
  }
}

TEST_F(ConfigFileTest, MissingFileOrFolderThrowsAndKeepsTheInitializedFlag) {
  Config().SetInitialized(true);
  for (const char* path : {"/nonexistent/config.json", "/tmp", ""}) {
    EXPECT_THROW(Config().ParseConfigJson(path), zelph::Exception) << path;
    EXPECT_TRUE(Config().IsInitialized());
  }
}

TEST_F(ConfigFileTest, UnknownExceptionActionLogsTwiceAndStillSucceeds) {
  CapturingLogger log;
  TempFile file(R"({"chain":{"exception":{"action":"Ignore"}}})");
  EXPECT_TRUE(Config().ParseConfigJson(file.Path().c_str()));
  EXPECT_EQ(Config().GetExceptionAction(), ExceptionAction::kInhert);
  EXPECT_EQ(log.Text(),
            "[error] Failed set exception action, unsupported action setting: Ignore\n"
            "[error] Failed set exception action\n");
}

}  // namespace
