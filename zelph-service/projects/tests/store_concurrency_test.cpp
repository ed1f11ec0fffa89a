// store_concurrency_test.cpp
//
// The store under load: a session in steady use never expires while the watchdog sweeps,
// and a session removed while others are read disturbs nobody.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/project.h"
#include "zelph/projects/session.h"
#include "zelph/projects/store.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph {
namespace {

using Clock = std::chrono::steady_clock;

class StoreConcurrencyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::LoadServiceTestPlugin(); }
  void SetUp() override { testing::TestPluginControl::Get().Reset(); }
};

TEST_F(StoreConcurrencyTest, ASessionTouchedEveryTenMillisecondsNeverExpires) {
  Store store;
  store.CreateSession("busy");
  store.GetSession("busy")->SetIdleTimeout(1);
  store.GetSession("busy")->CreateProject("p");
  std::atomic<bool> done{false};
  // Sweeps of its own beside the watchdog's, so that many fall between a touch and the next.
  std::thread sweeper([&] {
    while (!done) store.RemoveIdleSessions(Clock::now());
  });
  const Clock::time_point end = Clock::now() + std::chrono::seconds(3);
  int created = 0;
  while (Clock::now() < end) {
    ASSERT_NE(store.GetProject("busy", "p"), nullptr);
    if (++created % 10 == 0) {
      // A project made successfully is reachable afterwards.
      const std::string id = store.GetSession("busy")->CreateProject();
      ASSERT_TRUE(store.HasProject("busy", id));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  done = true;
  sweeper.join();
  EXPECT_TRUE(store.HasSession("busy"));
}

TEST_F(StoreConcurrencyTest, ASessionRemovedWhileOthersAreReadDisturbsNobody) {
  Store store;
  store.CreateSession("read");
  store.GetSession("read")->CreateProject("p");
  store.GetProject("read", "p")->LoadProjectFile(testing::ChainFile("line.json"));
  store.GetProject("read", "p")
      ->SetCache("/input:source", std::make_shared<PortDataScalar>(std::string("x")));
  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      while (!done) {
        std::shared_ptr<Project> project = store.GetProject("read", "p");
        EXPECT_NE(project->GetCache("/input:source").data, nullptr);
        EXPECT_TRUE(project->HasWorker("scale"));
        store.ForEachSession([](const std::shared_ptr<Session>& session) { session->GetId(); });
        ++reads;
      }
    });
  }
  for (int round = 0; round < 20; ++round) {
    // Every round overlaps reads.
    const int reads_before = reads;
    while (reads == reads_before) std::this_thread::yield();
    store.CreateSession("gone");
    std::shared_ptr<Session> gone = store.GetSession("gone");
    gone->CreateProject("a");
    gone->CreateProject("b");
    gone->GetProject("a")->LoadProjectFile(testing::ChainFile("main_settings.json"));
    gone.reset();
    if (round % 2 == 0) {
      EXPECT_TRUE(store.RemoveSession("gone"));
    } else {
      store.GetSession("gone")->SetIdleTimeout(-1);
      store.RemoveIdleSessions(Clock::now());
      EXPECT_FALSE(store.HasSession("gone"));
    }
  }
  done = true;
  for (std::thread& reader : readers) reader.join();
}

}  // namespace
}  // namespace zelph
