#include "zelph/config/zelph_config.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "capturing_logger.h"
#include "zelph/config/config_log.h"
#include "zelph/model/property.h"
#include "zelph/platform/known_folders.h"

namespace {

using zelph::testing::CapturingLogger;

ZelphConfig& Config() { return *ZelphConfig::GetInstance(); }

// Runs in a process of its own, so no other test has changed the singleton.
TEST(ZelphConfigTest, FreshObjectHoldsTheDefaults) {
  const ZelphConfig& config = Config();
  EXPECT_EQ(&config, ZelphConfig::GetInstance());
  EXPECT_FALSE(config.IsExtendedMode());
  EXPECT_FALSE(config.IsServerEnabled());
  EXPECT_EQ(config.GetHost(), "");
  EXPECT_EQ(config.GetPort(), -1);
  EXPECT_EQ(config.GetBinHome(), std::filesystem::path());
  EXPECT_EQ(config.GetDavodavoraHome(true), "..");
  EXPECT_EQ(config.GetJdkHome(), "../jdk");
  EXPECT_EQ(config.GetSeverityLevel(), "");
  EXPECT_EQ(config.GetSeverityCode(), 0);
  EXPECT_EQ(config.GetLogFileName(), "log_%N.log");
  EXPECT_EQ(config.GetLogSink(), "");
  EXPECT_EQ(config.GetLogFormat(), "");
  EXPECT_EQ(config.GetCacheType(), ServerCacheType::kNone);
  EXPECT_EQ(config.GetJavaExceptionHandle(), JavaExceptionHandle::kStackTrace);
  EXPECT_EQ(config.GetChainImplType(), ChainImplType::kLinkedChain);
  ASSERT_NE(config.GetProperties(), nullptr);
  EXPECT_EQ(config.GetProperties()->GetValueAsString("vp.frame.size", "none"), "none");
  EXPECT_FALSE(config.IsInitialized());
  EXPECT_EQ(config.GetExecuteStrategyType(), ExecutionStrategyType::kBase);
  EXPECT_EQ(config.GetSolutionAppsDir(), "");
  EXPECT_EQ(config.GetSolutionTemplateDir(), "");
  EXPECT_EQ(config.GetExceptionAction(), ExceptionAction::kInhert);
  EXPECT_EQ(config.GetChainReaderType(), JsonParser::kRapidJson);
  EXPECT_EQ(config.GetChainWriterType(), JsonParser::kRapidJson);
  EXPECT_EQ(config.GetSessionIdleTimeoutMin(), 5);
  EXPECT_FALSE(config.IsServiceEnabled());
  EXPECT_EQ(config.GetServiceName(), "");
  EXPECT_TRUE(Config().GetUnrecognizedCliArgPointers().empty());
  EXPECT_FALSE(config.IsIgnoreExtInitError());
  EXPECT_TRUE(config.IsShowMessageBoxOnExit());
  EXPECT_EQ(config.GetInitializationExceptionReason(), "");
}

TEST(ZelphConfigTest, SeverityNamesAndTheOwnTest) {
  struct Case {
    const char* name;
    int code;
  };
  const Case kCases[] = {{"trace", 0},   {"DEBUG", 1},    {"Info", 2},  {"WARNING", 3},
                         {"error", 4},   {"critical", 5}, {"Fatal", 5}, {"disabled", 6},
                         {"verbose", 0}, {"", 0},         {nullptr, 0}};
  for (const Case& c : kCases) {
    Config().SetSeverityLevel(c.name);
    EXPECT_EQ(Config().GetSeverityCode(), c.code) << (c.name ? c.name : "null");
    EXPECT_EQ(Config().GetSeverityLevel(), c.name ? c.name : "");
  }
  Config().SetSeverityLevel("error");
  EXPECT_FALSE(Config().CheckSeverity(3));
  EXPECT_TRUE(Config().CheckSeverity(ZelphSeverityLevel::kError));
  Config().SetSeverityLevel("disabled");
  for (int level = 0; level <= 5; ++level) EXPECT_FALSE(Config().CheckSeverity(level));
  Config().SetSeverityLevel("");
}

TEST(ZelphConfigTest, TextSettersFollowTheirOwnCaseRules) {
  ZelphConfig& config = Config();
  config.SetCacheType("MEM");
  EXPECT_EQ(config.GetCacheType(), ServerCacheType::kNone);
  config.SetCacheType("mem");
  EXPECT_EQ(config.GetCacheType(), ServerCacheType::kMem);
  config.SetCacheType(nullptr);
  EXPECT_EQ(config.GetCacheType(), ServerCacheType::kMem);
  config.SetCacheType("none");

  config.SetExceptionHandle("IGNORE");
  EXPECT_EQ(config.GetJavaExceptionHandle(), JavaExceptionHandle::kIgnore);
  config.SetExceptionHandle("print");
  EXPECT_EQ(config.GetJavaExceptionHandle(), JavaExceptionHandle::kIgnore);
  config.SetExceptionHandle("Stack-Trace");
  EXPECT_EQ(config.GetJavaExceptionHandle(), JavaExceptionHandle::kStackTrace);

  config.SetChainImplType("BASE-CHAIN");
  EXPECT_EQ(config.GetChainImplType(), ChainImplType::kBaseChain);
  config.SetChainImplType("tree");
  EXPECT_EQ(config.GetChainImplType(), ChainImplType::kBaseChain);
  config.SetChainImplType("linked-chain");

  EXPECT_FALSE(config.SetExceptionAction("Ignore"));
  EXPECT_EQ(config.GetExceptionAction(), ExceptionAction::kInhert);
  EXPECT_TRUE(config.SetExceptionAction("ignore"));
  EXPECT_EQ(config.GetExceptionAction(), ExceptionAction::kIgnore);
  EXPECT_TRUE(config.SetExceptionAction("inhert"));

  config.SetExecuteStrategyType("Output_Broadcast");
  EXPECT_EQ(config.GetExecuteStrategyType(), ExecutionStrategyType::kOutputBroadcast);
  config.SetExecuteStrategyType("Graph");
  EXPECT_EQ(config.GetExecuteStrategyType(), ExecutionStrategyType::kGraph);
  config.SetExecuteStrategyType("sideways");
  EXPECT_EQ(config.GetExecuteStrategyType(), ExecutionStrategyType::kGraph);
  config.SetExecuteStrategyType(ExecutionStrategyType::kBase);
}

TEST(ZelphConfigTest, SettersLogThroughTheConfiguredLevelOnly) {
  CapturingLogger log(ZelphSeverityLevel::kTrace);
  Config().SetSeverityLevel("error");
  Config().SetExecuteStrategyType("sideways");  // warning: below the configured level
  EXPECT_FALSE(Config().SetExceptionAction("stop"));
  Config().SetSeverityLevel("warning");
  Config().SetExecuteStrategyType("sideways");
  Config().SetSeverityLevel("");
  EXPECT_EQ(log.Text(),
            "[error] Failed set exception action, unsupported action setting: stop\n"
            "[warning] Unsupported execute strategy: sideways\n");
}

TEST(ZelphConfigTest, SettersWithoutLoggersDropTheirLines) {
  Config().SetExecuteStrategyType("sideways");
  EXPECT_FALSE(Config().SetExceptionAction("stop"));
}

TEST(ZelphConfigTest, ConfigLogNeedsBothGates) {
  CapturingLogger log(ZelphSeverityLevel::kWarning);
  int evaluated = 0;
  auto count = [&] { return ++evaluated; };
  Config().SetSeverityLevel("error");
  ZELPH_CONFIG_LOG(ZelphSeverityLevel::kWarning, "a {}", count());  // configuration refuses
  Config().SetSeverityLevel("info");
  ZELPH_CONFIG_LOG(ZelphSeverityLevel::kInfo, "b {}", count());  // logger refuses
  ZELPH_CONFIG_LOG(ZelphSeverityLevel::kWarning, "c {}", count());
  Config().SetSeverityLevel("");
  EXPECT_EQ(log.Text(), "[warning] c 1\n");
  EXPECT_EQ(evaluated, 1);
}

TEST(ZelphConfigTest, EnumerationTexts) {
  EXPECT_EQ(StringToJsonParser("mini_json"), JsonParser::kMiniJson);
  EXPECT_EQ(StringToJsonParser("kMiniJson"), JsonParser::kMiniJson);
  EXPECT_EQ(StringToJsonParser("MINI_JSON"), JsonParser::kRapidJson);
  EXPECT_EQ(StringToJsonParser(""), JsonParser::kRapidJson);
  EXPECT_EQ(JsonParserToString(JsonParser::kMiniJson), "kMiniJson");
  EXPECT_EQ(JsonParserToString(JsonParser::kRapidJson), "kRapidJson");
  EXPECT_EQ(JsonParserToString(static_cast<JsonParser>(2)), "");

  const char* kStrategies[] = {"base", "graph", "rgraph", "output_broadcast"};
  for (int type = 0; type < 4; ++type) {
    const auto strategy = static_cast<ExecutionStrategyType>(type);
    EXPECT_EQ(ExecutionStrategyToString(strategy), kStrategies[type]);
    EXPECT_EQ(ExecutionStrategyFromString(kStrategies[type]), strategy);
  }
  EXPECT_EQ(ExecutionStrategyFromString("Graph"), ExecutionStrategyType::kRGraph);
  EXPECT_EQ(ExecutionStrategyFromString(""), ExecutionStrategyType::kRGraph);
  try {
    ExecutionStrategyToString(static_cast<ExecutionStrategyType>(4));
    FAIL();
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Unsupported execution strategy type");
  }
}

TEST(ZelphConfigTest, FoldersResolveAgainstTheBinHome) {
  ZelphConfig& config = Config();
  config.SetBinHome("/opt/zelph/bin");
  EXPECT_EQ(config.GetJdkHome(), "/opt/zelph/bin/../jdk");
  config.SetJdkHome("/usr/lib/jvm/java-17");
  EXPECT_EQ(config.GetJdkHome(), "/usr/lib/jvm/java-17");
  EXPECT_EQ(config.GetDavodavoraHome(false), "/opt/zelph/bin/..");
  config.SetDavodavoraRelativeDir("");
  EXPECT_EQ(config.GetDavodavoraHome(true), "..");
  EXPECT_EQ(config.GetDavodavoraHome(false), "/opt/zelph/bin/");

  config.SetDavodavoraRelativeDir("..");
  struct Case {
    const char* pattern;
    std::string directory;
  };
  const std::string temp = zelph::sys::TempFolder();
  const Case kCases[] = {
      {"log_%N.log", ""},
      {"", ""},
      {"$(running.home.directory)/logs/log_%N.log", "/opt/zelph/bin/../logs"},
      {"$(temp)zelph/log.log", temp + "zelph"},
      {"/var/log/zelph/", "/var/log/zelph"},
      {"/log.log", "/"},
  };
  for (const Case& c : kCases) {
    config.SetLogFile(c.pattern);
    EXPECT_EQ(config.GetLogDirectory(), c.directory) << c.pattern;
  }
  config.SetLogFile("log_%N.log");
  config.SetJdkHome("../jdk");

  ::testing::internal::CaptureStdout();
  config.PrintFolderInformation();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Server binary folder: /opt/zelph/bin\nDavodavora folder: /opt/zelph/bin/..\n");
  config.SetBinHome("");
}

TEST(ZelphConfigTest, FirstInitializationReasonIsKept) {
  ZelphConfig& config = Config();
  config.SetInitializationExceptionReasonIfFirst("");
  EXPECT_EQ(config.GetInitializationExceptionReason(), "");
  config.SetInitializationExceptionReasonIfFirst("first");
  config.SetInitializationExceptionReasonIfFirst("second");
  EXPECT_EQ(config.GetInitializationExceptionReason(), "first");

  config.SetServiceName("z\xE9");
  EXPECT_EQ(config.GetServiceNameW(), std::wstring(L"z\u00e9"));
  config.SetUnrecognizedCliArgPointers({"-Dx=1", "--flag"});
  EXPECT_EQ(config.GetUnrecognizedCliArgPointers(), (std::vector<std::string>{"-Dx=1", "--flag"}));
}

}  // namespace
