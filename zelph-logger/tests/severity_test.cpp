#include <gtest/gtest.h>
#include <spdlog/sinks/null_sink.h>

#include <atomic>
#include <thread>
#include <vector>

#include "capturing_logger.h"
#include "zelph/logger/log.h"

namespace {

using zelph::testing::CapturingLogger;

ZelphSeverityLevel Level(int value) { return static_cast<ZelphSeverityLevel>(value); }

TEST(SeverityTest, NoLoggerDropsEverything) {
  for (int level = -1; level <= 7; ++level) EXPECT_FALSE(CheckSeverity(Level(level))) << level;
}

TEST(SeverityTest, GateAgainstTheLoggerLevel) {
  struct Case {
    int logger_level;
    int level;
    bool passes;
  };
  const Case kCases[] = {
      {0, 0, true},  {0, 6, true},  {4, 3, false},  {4, 4, true},  {4, 5, true},
      {4, -1, true}, {4, 7, true},  {5, -1, false}, {5, 7, false}, {6, 0, false},
      {6, 5, false}, {2, 1, false}, {2, 2, true},
  };
  for (const Case& c : kCases) {
    CapturingLogger capture(Level(c.logger_level));
    EXPECT_EQ(CheckSeverity(Level(c.level)), c.passes)
        << "logger " << c.logger_level << " level " << c.level;
  }
}

TEST(SeverityTest, LogCallFormatsOnlyWhenTheGatePasses) {
  CapturingLogger capture(ZelphSeverityLevel::kWarning);
  int evaluated = 0;
  auto expensive = [&] {
    ++evaluated;
    return 42;
  };
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "value {}", expensive());
  EXPECT_EQ(evaluated, 0);
  ZELPH_LOG(ZelphSeverityLevel::kWarning, "value {}", expensive());
  EXPECT_EQ(evaluated, 1);
  EXPECT_EQ(capture.Text(), "[warning] value 42\n");
}

// Run threads may still log while the host releases the loggers at shutdown.
TEST(SeverityTest, LoggingWhileTheLoggerIsSwappedIsSafe) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> writers;
  for (int i = 0; i < 4; ++i) {
    writers.emplace_back([&] {
      while (!stop) ZELPH_LOG(ZelphSeverityLevel::kError, "line {}", 1);
    });
  }
  for (int i = 0; i < 200; ++i) {
    auto logger =
        std::make_shared<spdlog::logger>("swap", std::make_shared<spdlog::sinks::null_sink_mt>());
    std::atomic_store(&kFileLogger, logger);
    std::atomic_store(&kFileLogger, std::shared_ptr<spdlog::logger>());
  }
  stop = true;
  for (auto& writer : writers) writer.join();
}

}  // namespace
