// jni_references_test.cpp
//
// The global references the bridge holds: runs on threads that come and go (as asynchronous
// runs do) leave the VM's count of global references where it was, Java failures converted
// on those threads included; and the workers of one model class share one reference to it,
// also when the first of them are made on several threads at once.
// The count is the VM's own, from its thread dump, so references made by any copy of the
// bridge count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <latch>
#include <thread>

#include "java_test_support.h"
#include "plugin_environment.h"
#include "plugin_test_support.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/java/java_models.h"
#include "zelph/java/jexecution_block.h"
#include "zelph/model/data_process_model.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

constexpr const char* kSession = "jni-references";

jlong GlobalReferenceCount() { return CallTestStaticLong(Env(), "JniReferences", "globalCount"); }

class JniReferencesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(LoadedPlugin().result, 0) << LoadedPlugin().log;
    SimplePluginsManager::GetInstance()->RegisterAvailableModels(kSession);
  }

  std::shared_ptr<IDataProcess> Worker(const std::string& session, const std::string& model) {
    auto worker = NewJavaWorker(session, model);
    if (worker) chain_->AddWorker(worker);
    return worker;
  }

  std::shared_ptr<IDataProcessChain> chain_ = LinkedChain::Create();
};

TEST_F(JniReferencesTest, RunsOnThreadsThatComeAndGoLeaveTheGlobalReferenceCountFlat) {
  constexpr int kRuns = 10000;
  auto failing = Worker(kSession, "Faulty");
  auto inverting = Worker(kSession, "MatInvert");
  ASSERT_TRUE(failing && inverting);
  failing->SetPropertyValue("fail", std::string("execute"));
  failing->ApplyProperties();
  PortOf(*inverting, PortType::input, "image")->SetData(Image(2, 1, 1, {1, 2}));
  // Each run on a thread of its own, attached by its first JNI call and detached when it ends.
  const auto run_on_new_thread = [&] {
    std::thread([&] {
      failing->Execute(ExecutionStage::kRunTime);
      inverting->Execute(ExecutionStage::kRunTime);
    }).join();
  };
  run_on_new_thread();  // what the first run binds once per process
  const jlong before = GlobalReferenceCount();
  for (int run = 0; run < kRuns; ++run) run_on_new_thread();
  const jlong after = GlobalReferenceCount();
  std::printf("%d runs on new threads: %lld global references before, %lld after\n", kRuns,
              static_cast<long long>(before), static_cast<long long>(after));

  // A reference left behind per run would add kRuns.
  EXPECT_LT(after - before, kRuns / 100);
  EXPECT_EQ(failing->GetError(ErrorKind::kExecution), "execute failed");
  EXPECT_EQ(failing->GetErrorClassName(), "java.lang.IllegalStateException");
  EXPECT_EQ(BytesOf(PortOf(*inverting, PortType::output, "image")->GetData()),
            (std::vector<unsigned char>{254, 253}));
}

// Models of this program's own copy of the bridge, whose workers it can look into, under
// `session`: the plug-in's descriptions of the named models.
void RegisterOwnCopyModels(const std::vector<std::string>& names, const std::string& session) {
  SimplePluginsManager* manager = SimplePluginsManager::GetInstance();
  std::vector<std::string> descriptions;
  for (const auto& model : manager->GetModels(kSession)) {
    const std::string& name = model->GetStructure().GetName();
    if (std::find(names.begin(), names.end(), name) != names.end()) {
      descriptions.push_back(model->GetStructure().GetStructureAsJson());
    }
  }
  ASSERT_EQ(descriptions.size(), names.size());
  RegisterJavaModels(descriptions, session, *manager);
}

jclass ClassOf(const std::shared_ptr<IDataProcess>& worker) {
  const auto* java = dynamic_cast<const JExecutionBlock*>(worker.get());
  return java != nullptr ? java->GetClass() : nullptr;
}

TEST_F(JniReferencesTest, WorkersOfOneModelClassShareOneReferenceToIt) {
  constexpr const char* kOwnSession = "jni-references-own-copy";
  RegisterOwnCopyModels({"MatInvert", "Echo"}, kOwnSession);
  auto first = Worker(kOwnSession, "MatInvert");
  auto second = Worker(kOwnSession, "MatInvert");
  auto other = Worker(kOwnSession, "Echo");
  ASSERT_TRUE(first && second && other);
  ASSERT_NE(ClassOf(first), nullptr);
  EXPECT_EQ(ClassOf(first), ClassOf(second));
  EXPECT_NE(ClassOf(first), ClassOf(other));

  // The reference outlives the workers that found it: a worker made after them runs.
  const jclass shared = ClassOf(first);
  chain_->Clear();
  first.reset();
  second.reset();
  auto third = Worker(kOwnSession, "MatInvert");
  ASSERT_TRUE(third);
  EXPECT_EQ(ClassOf(third), shared);
  PortOf(*third, PortType::input, "image")->SetData(Image(1, 1, 1, {7}));
  third->Execute(ExecutionStage::kRunTime);
  EXPECT_FALSE(third->HasLastError()) << third->GetLastError();
  EXPECT_EQ(BytesOf(PortOf(*third, PortType::output, "image")->GetData()),
            (std::vector<unsigned char>{248}));
  SimplePluginsManager::GetInstance()->ClearRegisteredModels(kOwnSession);
}

// The first workers of a class, made on several threads at once, bind it side by side: one
// binding stays, and every worker ends up with it.
TEST_F(JniReferencesTest, FirstWorkersOfAClassMadeAtOnceEndWithOneBinding) {
  constexpr const char* kOwnSession = "jni-references-race";
  constexpr int kThreads = 8;
  RegisterOwnCopyModels({"ScalarJoin"}, kOwnSession);
  std::vector<std::shared_ptr<IDataProcess>> workers(kThreads);
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      start.arrive_and_wait();
      workers[i] = NewJavaWorker(kOwnSession, "ScalarJoin");
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const auto& worker : workers) {
    ASSERT_TRUE(worker);
    EXPECT_FALSE(worker->HasLastError()) << worker->GetLastError();
    EXPECT_EQ(ClassOf(worker), ClassOf(workers.front()));
  }
  EXPECT_NE(ClassOf(workers.front()), nullptr);
  workers.clear();
  SimplePluginsManager::GetInstance()->ClearRegisteredModels(kOwnSession);
}

}  // namespace
}  // namespace zelph::testing
