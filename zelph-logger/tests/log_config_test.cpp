#include "zelph/logger/log_config.h"

#include <gtest/gtest.h>

namespace {

TEST(LogConfigTest, DefaultsAndEmptySettersKeepValues) {
  LogConfig config;
  EXPECT_EQ(config.GetSink(), "Console");
  EXPECT_EQ(config.GetFile(), "$(temp)/log.log");
  EXPECT_EQ(config.GetLogFormat(), "[%Y-%m-%d %H:%M:%S.%e] [%l] %v");
  EXPECT_EQ(config.GetSeverity(), ZelphSeverityLevel::kError);

  config.SetSink("");
  config.SetFile("");
  config.SetLogFormat("");
  EXPECT_EQ(config.GetSink(), "Console");
  EXPECT_EQ(config.GetFile(), "$(temp)/log.log");
  EXPECT_EQ(config.GetLogFormat(), "[%Y-%m-%d %H:%M:%S.%e] [%l] %v");

  config.SetSeverity(static_cast<ZelphSeverityLevel>(9));
  EXPECT_EQ(static_cast<int>(config.GetSeverity()), 9);
}

TEST(LogConfigTest, ConsoleFormatColoursEveryLevelField) {
  LogConfig config;
  EXPECT_EQ(config.GetConsoleLogFormat(), "[%Y-%m-%d %H:%M:%S.%e] [%^%l%$] %v");
  config.SetLogFormat("%l|%l %v");
  EXPECT_EQ(config.GetConsoleLogFormat(), "%^%l%$|%^%l%$ %v");
}

TEST(LogConfigTest, CopiesCarryTheFieldsButNotTheDebugFlag) {
  LogConfig config;
  config.SetSink("FileText");
  config.SetSeverity(ZelphSeverityLevel::kTrace);
  LogConfig copy = config;
  EXPECT_EQ(copy.GetSink(), "FileText");
  EXPECT_EQ(copy.GetSeverity(), ZelphSeverityLevel::kTrace);
  LogConfig moved = std::move(copy);
  EXPECT_EQ(moved.GetSink(), "FileText");

  EXPECT_FALSE(LogConfig::IsDebugMode());
  LogConfig::SetDebugMode(true);
  EXPECT_TRUE(LogConfig::IsDebugMode());
  LogConfig::SetDebugMode(false);
}

}  // namespace
