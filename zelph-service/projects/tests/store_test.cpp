// store_test.cpp
//
// Sessions made, found, listed and removed; projects made in them; which calls keep a
// session alive; the watchdog and its sweep; where removed projects are destroyed.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "capturing_logger.h"
#include "zelph/chain/exception.h"
#include "zelph/config/zelph_config.h"
#include "zelph/model/data_process_model.h"
#include "zelph/projects/project.h"
#include "zelph/projects/session.h"
#include "zelph/projects/store.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph {
namespace {

using Clock = std::chrono::steady_clock;
using testing::TestPluginControl;

class StoreTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::LoadServiceTestPlugin(); }
  void SetUp() override { TestPluginControl::Get().Reset(); }
  void TearDown() override {
    TestPluginControl::Get().Reset();
    ZelphConfig::GetInstance()->SetSessionIdleTimeoutMin(5);
  }

  template <typename Fn>
  static std::string ErrorOf(Fn&& fn) {
    try {
      fn();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "no error";
  }

  // The moment a session's deadline stands for.
  static Clock::time_point DeadlineOf(const Session& session) {
    return Clock::time_point(std::chrono::nanoseconds(session.GetDeadline()));
  }
};

TEST_F(StoreTest, TheDefaultSessionExistsFromTheStart) {
  Store store;
  EXPECT_TRUE(store.HasSession("default"));
  EXPECT_FALSE(store.HasSession("Default"));
  EXPECT_EQ(store.GetSession("default")->GetIdleTimeout(), 300);
  EXPECT_EQ(ErrorOf([&] { store.CreateDefaultSession(); }), "Session exists");
}

TEST_F(StoreTest, SessionsAreMadeFoundListedAndRemoved) {
  testing::CapturingLogger log;
  ZelphConfig::GetInstance()->SetSessionIdleTimeoutMin(2);
  Store store;
  store.CreateSession("a");
  store.CreateSession("b");
  store.CreateSession("c");
  EXPECT_EQ(store.GetSession("a")->GetIdleTimeout(), 120);
  EXPECT_EQ(store.FindSession("b")->GetId(), "b");

  EXPECT_EQ(ErrorOf([&] { store.CreateSession(""); }), "Session id is empty");
  const std::int64_t deadline = store.GetSession("a")->GetDeadline();
  EXPECT_EQ(ErrorOf([&] { store.CreateSession("a"); }), "Session exists");
  EXPECT_EQ(store.GetSession("a")->GetDeadline(), deadline);
  // Missing sessions are std::exception texts, not runtime errors.
  EXPECT_THROW(store.GetSession("x"), Exception);
  EXPECT_EQ(ErrorOf([&] { store.GetSession("x"); }), "Session not found: x");
  EXPECT_EQ(ErrorOf([&] { store.FindSession("x"); }), "Session not found: x");

  EXPECT_TRUE(store.RemoveSession("b"));
  EXPECT_FALSE(store.RemoveSession("b"));
  std::vector<std::string> ids;
  store.ForEachSession(
      [&](const std::shared_ptr<Session>& session) { ids.push_back(session->GetId()); });
  EXPECT_EQ(ids, (std::vector<std::string>{"default", "a", "c"}));
  const std::string text = log.Text();
  const std::string line = "[debug] Session removed: b\n";
  const auto removed = text.find(line);
  EXPECT_NE(removed, std::string::npos);
  EXPECT_EQ(text.find("Session removed", removed + line.size()), std::string::npos);
  EXPECT_NE(text.find("[debug] Session: 'a' idle timeout: 120\n"), std::string::npos);
}

// Ids are segments of object URLs: one that no URL can name, or too long to list, is refused
// at creation, with the error kind of the empty id, and nothing is made.
TEST_F(StoreTest, IdsNoUrlCanNameOrTooLongAreRefused) {
  Store store;
  std::shared_ptr<Session> session = store.GetSession("default");
  struct Case {
    std::string id;
    std::string refusal;  // after "{kind} id "; empty when the id is accepted
  };
  const Case kCases[] = {
      {"a/b", "contains '/'"},
      {"a:b", "contains ':'"},
      {std::string("a\0b", 3), "contains '\\0'"},
      {"/", "contains '/'"},
      {std::string(1, '\0'), "contains '\\0'"},
      {"x:/", "contains ':'"},  // the first one named
      {"a b.c-d_e", ""},
      {std::string(1024, 'i'), ""},
      {std::string(1025, 'i'), "is longer than 1024 bytes"},
      {std::string(1 << 20, 'i'), "is longer than 1024 bytes"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.id.substr(0, 16));
    if (c.refusal.empty()) {
      EXPECT_NO_THROW(store.CreateSession(c.id));
      EXPECT_NO_THROW(session->CreateProject(c.id));
      continue;
    }
    EXPECT_THROW(store.CreateSession(c.id), std::runtime_error);
    EXPECT_EQ(ErrorOf([&] { store.CreateSession(c.id); }), "Session id " + c.refusal);
    EXPECT_FALSE(store.HasSession(c.id));
    EXPECT_THROW(session->CreateProject(c.id), Exception);
    EXPECT_EQ(ErrorOf([&] { session->CreateProject(c.id); }), "Project id " + c.refusal);
    EXPECT_THROW(session->GetProject(c.id), Exception);
  }
}

TEST_F(StoreTest, ProjectsAreMadeWithAndWithoutAnIdAndFoundThroughTheStore) {
  testing::CapturingLogger log;
  Store store;
  std::shared_ptr<Session> session = store.GetSession("default");
  const std::string random = session->CreateProject();
  const std::string other = session->CreateProject();
  EXPECT_EQ(random.size(), 36u);
  EXPECT_NE(random, other);
  session->CreateProject("p1");
  EXPECT_EQ(ErrorOf([&] { session->CreateProject("p1"); }), "Project exist");
  EXPECT_EQ(ErrorOf([&] { session->CreateProject(""); }), "Empty project id");
  EXPECT_NE(log.Text().find("[debug] Project created: '" + random + "'\n"), std::string::npos);
  EXPECT_NE(log.Text().find("[debug] Project created: 'p1'\n"), std::string::npos);

  EXPECT_EQ(store.GetProject("default", "p1")->GetId(), "p1");
  EXPECT_EQ(session->GetProject(random)->GetId(), random);
  EXPECT_EQ(ErrorOf([&] { store.GetProject("default", "P1"); }), "Project not found: P1");
  EXPECT_EQ(ErrorOf([&] { store.GetProject("x", "p1"); }), "Session not found: x");
  EXPECT_TRUE(store.HasProject("default", "p1"));
  EXPECT_FALSE(store.HasProject("default", "x"));
  EXPECT_FALSE(store.HasProject("x", "p1"));

  std::vector<std::string> ids;
  store.ForEachProject("default",
                       [&](const std::shared_ptr<Project>& p) { ids.push_back(p->GetId()); });
  EXPECT_EQ(ids, (std::vector<std::string>{random, other, "p1"}));
  store.ForEachProject("x", [](const std::shared_ptr<Project>&) { ADD_FAILURE(); });

  EXPECT_TRUE(session->RemoveProject("p1"));
  EXPECT_FALSE(session->RemoveProject("p1"));
  EXPECT_FALSE(store.HasProject("default", "p1"));
}

TEST_F(StoreTest, AProjectHeldByARequestOutlivesItsRemovedSession) {
  Store store;
  store.CreateSession("s");
  store.GetSession("s")->CreateProject("p1");
  std::shared_ptr<Project> held = store.GetProject("s", "p1");
  const std::string key = held->GetPluginSessionKey();
  ASSERT_TRUE(store.RemoveSession("s"));
  EXPECT_EQ(TestPluginControl::Get().ClearCount(key), 0);
  held->LoadProjectFile(testing::ChainFile("line.json"));  // still works
  held.reset();
  EXPECT_EQ(TestPluginControl::Get().ClearCount(key), 2);  // its upload, then its end
}

TEST_F(StoreTest, ModelsAreFoundThroughThePluginManager) {
  Store store;
  EXPECT_EQ(store.GetModel(testing::kSourceModel)->GetId(), testing::kSourceModel);
  EXPECT_EQ(ErrorOf([&] { store.GetModel("nope"); }), "Model not found: nope");
}

// Which calls keep a session with a one-second timeout alive: a sweep at the old deadline
// removes the session unless the call moved the deadline on.
TEST_F(StoreTest, ProjectAccessesKeepASessionAliveLookupsOfTheSessionDoNot) {
  struct Case {
    const char* call;
    bool refreshes;
    std::function<void(Store&)> run;
  };
  const Case cases[] = {
      {"GetSession", false, [](Store& s) { s.GetSession("s"); }},
      {"FindSession", false, [](Store& s) { s.FindSession("s"); }},
      {"HasSession", false, [](Store& s) { s.HasSession("s"); }},
      {"ForEachSession", false, [](Store& s) { s.ForEachSession([](const auto&) {}); }},
      {"Store::GetProject", true, [](Store& s) { s.GetProject("s", "p"); }},
      {"Store::GetProject of a missing project", true,
       [](Store& s) { EXPECT_THROW(s.GetProject("s", "x"), Exception); }},
      {"Store::HasProject", true, [](Store& s) { s.HasProject("s", "p"); }},
      {"Store::HasProject of a missing project", true, [](Store& s) { s.HasProject("s", "x"); }},
      {"Store::ForEachProject", true, [](Store& s) { s.ForEachProject("s", [](const auto&) {}); }},
      {"Session::GetProject", true, [](Store& s) { s.GetSession("s")->GetProject("p"); }},
      {"Session::CreateProject", true, [](Store& s) { s.GetSession("s")->CreateProject(); }},
      {"Session::RemoveProject", true, [](Store& s) { s.GetSession("s")->RemoveProject("x"); }},
      {"Session::ForEachProject", true,
       [](Store& s) { s.GetSession("s")->ForEachProject([](const auto&) {}); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    Store store;
    store.CreateSession("s");
    std::shared_ptr<Session> session = store.GetSession("s");
    session->CreateProject("p");
    session->SetIdleTimeout(1);
    const Clock::time_point deadline = DeadlineOf(*session);
    session.reset();
    std::this_thread::sleep_until(deadline - std::chrono::seconds(1) +
                                  std::chrono::milliseconds(5));
    c.run(store);
    store.RemoveIdleSessions(deadline + std::chrono::milliseconds(1));
    EXPECT_EQ(store.HasSession("s"), c.refreshes);
  }
}

TEST_F(StoreTest, IdleTimeoutsOfZeroNeverExpireNegativeOnesAlreadyHave) {
  struct Case {
    std::int64_t seconds;
    bool idle_now;
    bool idle_in_a_century;
  };
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  const Case cases[] = {
      {0, false, false},
      {-1, true, true},
      {std::numeric_limits<std::int64_t>::min(), true, true},
      {1, false, true},
      {kMax, false, false},  // saturates instead of wrapping into the past
  };
  const auto century = std::chrono::hours(24 * 365 * 100);
  for (const Case& c : cases) {
    Session session("s");
    session.SetIdleTimeout(c.seconds);
    const Clock::time_point now = Clock::now();
    EXPECT_EQ(session.IsIdle(now), c.idle_now) << c.seconds;
    EXPECT_EQ(session.IsIdle(now + century), c.idle_in_a_century) << c.seconds;
  }
  Session saturated("s");
  saturated.SetIdleTimeout(kMax);
  EXPECT_EQ(saturated.GetDeadline(), kMax);
}

TEST_F(StoreTest, ASessionRefreshedBetweenTheTwoStepsOfASweepStays) {
  Store store;
  store.CreateSession("busy");
  store.CreateSession("again");
  store.GetSession("busy")->SetIdleTimeout(1);
  store.GetSession("again")->SetIdleTimeout(1);
  const Clock::time_point sweep = Clock::now() + std::chrono::seconds(2);
  std::vector<std::string> idle = store.CollectIdleSessions(sweep);
  ASSERT_EQ(idle, (std::vector<std::string>{"busy", "again"}));
  // Meanwhile one session is used, and the other is removed and made again.
  store.GetSession("busy")->SetIdleTimeout(60);
  store.RemoveSession("again");
  store.CreateSession("again");
  for (const std::string& id : idle) EXPECT_FALSE(store.RemoveIdleSession(id, sweep)) << id;
  EXPECT_TRUE(store.HasSession("busy"));
  EXPECT_TRUE(store.HasSession("again"));
}

TEST_F(StoreTest, TheWatchdogRemovesAnIdleSessionAndStopsAtOnce) {
  Store store;
  store.CreateSession("idle");
  store.GetSession("idle")->SetIdleTimeout(1);
  const auto give_up = Clock::now() + std::chrono::seconds(10);
  while (store.HasSession("idle") && Clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_FALSE(store.HasSession("idle"));
  EXPECT_TRUE(store.HasSession("default"));

  // The watchdog sleeps a second between sweeps; the store does not wait that out.
  auto other = std::make_unique<Store>();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const Clock::time_point start = Clock::now();
  other.reset();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

// Destroying a project tells the plug-ins; meanwhile the store and the session must answer
// other requests. The plug-in asks on another thread while it is being told.
class Probe {
 public:
  // Runs `question` on a thread of its own and waits a few seconds for the answer; false
  // when none came (the thread is joined later, once whatever blocked it has let go).
  bool Ask(std::function<bool()> question) {
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> future = answer->get_future();
    threads_.emplace_back(
        [answer, question = std::move(question)] { answer->set_value(question()); });
    return future.wait_for(std::chrono::seconds(5)) == std::future_status::ready && future.get();
  }
  ~Probe() {
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  std::vector<std::thread> threads_;
};

TEST_F(StoreTest, RemovedProjectsAreDestroyedAfterTheLocksAreReleased) {
  Store store;
  Probe probe;
  store.CreateSession("other");
  store.GetSession("other")->CreateProject("q");
  store.CreateSession("s");
  store.GetSession("s")->CreateProject("p1");
  store.GetSession("s")->CreateProject("p2");
  std::vector<bool> answered;
  TestPluginControl::Get().SetClearSessionHook([&](const std::string&) {
    answered.push_back(probe.Ask([&] {
      return store.HasSession("other") && store.HasProject("s", "p2") &&
             store.HasProject("other", "q");
    }));
  });
  EXPECT_TRUE(store.GetSession("s")->RemoveProject("p1"));
  // p2 goes with its session; by then the probe finds "s" gone.
  TestPluginControl::Get().SetClearSessionHook([&](const std::string&) {
    answered.push_back(
        probe.Ask([&] { return store.HasSession("other") && !store.HasSession("s"); }));
  });
  EXPECT_TRUE(store.RemoveSession("s"));
  TestPluginControl::Get().SetClearSessionHook(nullptr);
  EXPECT_EQ(answered, (std::vector<bool>{true, true}));
}

}  // namespace
}  // namespace zelph
