// statistic_concurrency_test.cpp
//
// One statistic changed by the run thread and by a preview thread while request threads
// read its document and its error texts: every document a reader gets is complete JSON of
// this statistic. And one matrix first read by several statistics at once: all get the one
// scan's ranges (run under the thread sanitizer as well).
#include <gtest/gtest.h>

#include "zelph/config/rapidjson.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "port_data_builders.h"
#include "test_model.h"
#include "zelph/projects/statistic.h"

namespace zelph::testing {
namespace {

constexpr int kRuns = 300;
constexpr int kReaders = 3;

TEST(StatisticConcurrencyTest, ReadersAlwaysGetACompleteDocument) {
  const auto worker = MakeTestWorker(Script::kFailing);
  worker->Execute(ExecutionStage::kRunTime);
  worker->FindPortByName(PortType::output, "output", false)
      ->SetData(MakeMat(kDepth8U, 3, std::vector<char>(300, 7), 100));
  Statistic statistic(worker->GetId(), "worker");
  statistic.ResetFromWorker(*worker, kStageLoad, 0);
  const auto preview = MakeMat(kDepth8U, 1, std::vector<char>(64, 1), 64);

  std::atomic<int> writers_running{2};
  std::atomic<long> documents_read{0};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    for (int run = 1; run <= kRuns; ++run) {
      statistic.ResetFromWorker(*worker, kStageInit, 0);
      statistic.BeginWorkerExecution(Statistic::Clock::now());
      statistic.FinishFromWorker(*worker, Statistic::Clock::now(), run);
    }
    --writers_running;
  });
  threads.emplace_back([&] {
    for (int run = 0; run < kRuns; ++run) {
      statistic.AddDetail(std::make_shared<MatStatisticDetail>(worker->GetId(), preview));
    }
    --writers_running;
  });
  for (int reader = 0; reader < kReaders; ++reader) {
    threads.emplace_back([&] {
      // Each reader reads at least once, however soon the writers finish.
      do {
        const StatisticDocument document = statistic.GetDocument();
        const std::string text = document.data->GetStr();
        rapidjson::Document parsed;
        ASSERT_FALSE(json::ParseJsonText(text.data(), text.size(), parsed).IsError()) << text;
        ASSERT_EQ(std::string(parsed["object_id"].GetString()), worker->GetId());
        std::string error;
        {
          std::shared_lock guard(statistic.lock);
          error = statistic.error_message;
        }
        ASSERT_EQ(error, kScriptedFailure);
        ++documents_read;
      } while (writers_running > 0);
    });
  }
  for (std::thread& thread : threads) thread.join();

  EXPECT_GT(documents_read.load(), 0);
  EXPECT_EQ(statistic.order, kRuns);
  const std::string last = statistic.GetDocument().data->GetStr();
  EXPECT_NE(last.find(R"("stage":"executed")"), std::string::npos);
}

TEST(StatisticConcurrencyTest, AMatrixFirstReadByManyAtOnceIsScannedOnce) {
  constexpr int kReadersOfOneMatrix = 4;
  const auto frame = MakeMat(kDepth8U, 3, std::vector<char>(3000, 9), 1000);
  std::vector<std::shared_ptr<const std::vector<ChannelRange>>> seen(kReadersOfOneMatrix);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int reader = 0; reader < kReadersOfOneMatrix; ++reader) {
    threads.emplace_back([&, reader] {
      Statistic statistic("w", "worker");
      statistic.AddDetail(std::make_shared<MatStatisticDetail>("port", frame));
      ++ready;
      while (ready < kReadersOfOneMatrix) std::this_thread::yield();
      EXPECT_NE(statistic.GetDocument().data->GetStr().find(R"("min":9.0,"max":9.0)"),
                std::string::npos);
      seen[static_cast<std::size_t>(reader)] = frame->GetChannelRanges();
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const auto& ranges : seen) EXPECT_EQ(ranges, seen.front());
}

}  // namespace
}  // namespace zelph::testing
