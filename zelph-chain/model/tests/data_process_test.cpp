// The worker base: Execute with its flag listener, errors by kind, ports and roles.
#include <gtest/gtest.h>

#include <boost/uuid/uuid_io.hpp>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "capturing_logger.h"
#include "test_model.h"
#include "zelph/model/port_data_scalar.h"

namespace zelph::testing {
namespace {

using Change = RecordingListener::Change;

TEST(ExecuteTest, ListenerSeesBothEdges) {
  auto worker = MakeTestWorker(Script::kNoOp);
  RecordingListener listener;
  worker->SetFlagListener(&listener);
  worker->Execute(ExecutionStage::kLoadingTime);
  EXPECT_EQ(listener.changes, (std::vector<Change>{{0, 2}, {2, 0}}));
  EXPECT_EQ(worker->GetRunCount(), 1);
  EXPECT_EQ(worker->GetLastStage(), ExecutionStage::kLoadingTime);
  EXPECT_FALSE(worker->IsFlag(worker::kExecuting));
}

// Whatever throws (the work, the listener on either edge, or both), the exception reaches
// the caller of Execute, the flag ends cleared and the listener saw the clearing edge.
TEST(ExecuteTest, FailuresReachTheCallerWithTheFlagCleared) {
  struct Case {
    const char* name;
    Script script;
    bool throw_on_set;
    bool throw_on_clear;
    const char* expected;
  };
  const Case cases[] = {
      {"work throws", Script::kThrowing, false, false, "Scripted throw"},
      {"listener throws on clear", Script::kNoOp, false, true, "listener failed on clear"},
      {"listener throws on set", Script::kNoOp, true, false, "listener failed on set"},
      {"work and listener throw", Script::kThrowing, false, true, "Scripted throw"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CapturingLogger log;
    auto worker = MakeTestWorker(c.script);
    RecordingListener listener;
    listener.throw_on_set = c.throw_on_set;
    listener.throw_on_clear = c.throw_on_clear;
    worker->SetFlagListener(&listener);
    try {
      worker->Execute(ExecutionStage::kRunTime);
      ADD_FAILURE() << "nothing thrown";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), c.expected);
    }
    EXPECT_FALSE(worker->IsFlag(worker::kExecuting));
    EXPECT_EQ(listener.changes, (std::vector<Change>{{0, 2}, {2, 0}}));
    EXPECT_EQ(worker->GetRunCount(), c.throw_on_set ? 0 : 1);
  }
}

// The busy flag is read and Interrupt called from another thread while the worker runs.
TEST(ExecuteTest, RunningWorkerIsWatchedAndInterruptedFromAnotherThread) {
  auto worker = MakeTestWorker(Script::kSlow);
  worker->GetProperties()->SetValue("delay_ms", 60000);
  std::thread watcher([&] {
    while (!worker->IsFlag(worker::kExecuting)) std::this_thread::yield();
    worker->Interrupt();
  });
  worker->Execute(ExecutionStage::kRunTime);
  watcher.join();
  EXPECT_TRUE(worker->WasInterrupted());
  EXPECT_FALSE(worker->IsFlag(worker::kExecuting));
}

TEST(ExecuteTest, ListenerOnUnownedWorkerThrowsBadWeakPtr) {
  TestWorker worker(boost::uuids::uuid{}, Script::kNoOp);
  RecordingListener listener;
  worker.SetFlagListener(&listener);
  EXPECT_THROW(worker.Execute(ExecutionStage::kRunTime), std::bad_weak_ptr);
  EXPECT_FALSE(worker.IsFlag(worker::kExecuting));
}

TEST(WorkerErrorTest, KindsMessagesAndTrace) {
  CapturingLogger log;
  auto worker = MakeTestWorker(Script::kNoOp);
  worker->SetError(ErrorKind::kExecution, "A", "", "E");
  worker->SetError(ErrorKind::kExecution, "", "T", "F");
  EXPECT_EQ(worker->GetError(ErrorKind::kExecution), "A");
  EXPECT_EQ(worker->GetStackTrace(), "T");
  EXPECT_EQ(worker->GetErrorClassName(), "F");
  EXPECT_NE(log.Text().find("[error] Class: E Error kind: 'execution' Worker: 'NoOp', id: " +
                            worker->GetId() + ", error:\nA\n"),
            std::string::npos);
  EXPECT_NE(log.Text().find("[error] Class: F Error kind: 'execution' Worker: 'NoOp', id: " +
                            worker->GetId() + ", error:\nT\n"),
            std::string::npos);

  worker->SetError(ErrorKind::kUpdateProperty, "C", "", "");
  EXPECT_EQ(worker->GetLastError(), "A");
  worker->ResetError(ErrorKind::kExecution);
  EXPECT_EQ(worker->GetLastError(), "C");
  EXPECT_TRUE(worker->HasError(ErrorKind::kUpdateProperty));
  EXPECT_FALSE(worker->HasError(ErrorKind::kExecution));
  EXPECT_EQ(worker->GetStackTrace(), "");
  EXPECT_EQ(worker->GetErrorClassName(), "");
  EXPECT_STREQ(ErrorKindToString(static_cast<ErrorKind>(7)), "unknown");
}

// Previews, status reads and statistics read a worker's errors on other threads while its
// run thread records and resets them: every text read is one that was recorded, whole.
TEST(WorkerErrorTest, ErrorsAreReadOnOtherThreadsWhileTheRunRecordsThem) {
  auto worker = MakeTestWorker(Script::kNoOp);
  const std::string kMessage(40, 'm');  // longer than a short string, so torn copies show
  const std::string kTrace(40, 't');
  const std::string kClass(40, 'c');
  std::atomic<bool> running{true};
  std::atomic<int> bad_reads{0};
  std::atomic<int> readers_started{0};
  auto one_of = [&](const std::string& text, const std::string& recorded) {
    bad_reads += !text.empty() && text != recorded;
  };
  std::vector<std::jthread> readers;
  for (int r = 0; r < 3; ++r) {
    readers.emplace_back([&] {
      ++readers_started;
      while (running) {
        one_of(worker->GetLastError(), kMessage);
        one_of(worker->GetError(ErrorKind::kExecution), kMessage);
        one_of(worker->GetStackTrace(), kTrace);
        one_of(worker->GetErrorClassName(), kClass);
        worker->HasLastError();
        worker->HasError(ErrorKind::kUpdateProperty);
      }
    });
  }
  while (readers_started < 3) std::this_thread::yield();
  for (int run = 0; run < 5000; ++run) {
    worker->ResetError(ErrorKind::kExecution);
    worker->SetError(ErrorKind::kExecution, kMessage, kTrace, kClass);
  }
  running = false;
  readers.clear();
  EXPECT_EQ(bad_reads, 0);
  EXPECT_EQ(worker->GetLastError(), kMessage);
}

TEST(WorkerPortsTest, DescriptionPortsThenControlPairsWithDerivedIds) {
  auto worker = MakeTestWorker(Script::kNoOp, "00112233-4455-6677-8899-AABBCCDDEEFF");
  ASSERT_TRUE(worker);
  EXPECT_EQ(worker->GetId(), "00112233-4455-6677-8899-aabbccddeeff");
  struct Expected {
    PortType type;
    const char* name;
  };
  const Expected expected[] = {
      {PortType::input, "input"},         {PortType::output, "output"},
      {PortType::input_control, "count"}, {PortType::output_control, "count"},
      {PortType::input_control, "label"}, {PortType::output_control, "label"},
  };
  const auto& ports = worker->GetPorts();
  ASSERT_EQ(ports.size(), std::size(expected));
  for (size_t i = 0; i < ports.size(); ++i) {
    EXPECT_EQ(ports[i]->GetType(), expected[i].type) << i;
    EXPECT_EQ(ports[i]->GetName(), expected[i].name) << i;
  }
  EXPECT_EQ(ports[1]->GetId(), "00112233-0200-0000-6416-fc948a169899");
  EXPECT_TRUE(ports[2]->IsOptional());
  EXPECT_TRUE(DataTypeScalar::Equals(ports[2]->GetDataType()));
  // The worker's ports are its own, not the description's.
  EXPECT_NE(ports[1], worker->GetStructure().GetPorts()[1]);
}

TEST(WorkerPortsTest, CleanUpDropsPointersNotTheSharedData) {
  auto worker = MakeTestWorker(Script::kPassThrough);
  auto data = std::make_shared<PortDataScalar>(std::string("kept"));
  worker->FindPortByName(PortType::input, "input", false)->SetData(data);
  worker->Execute(ExecutionStage::kRunTime);
  worker->CleanUpPorts(PortType::input);
  worker->CleanUpPorts(PortType::output);
  EXPECT_FALSE(worker->FindPortByName(PortType::output, "output", false)->GetData());
  EXPECT_TRUE(data->IsInitialized());
  EXPECT_EQ(data->GetStr(), "kept");
}

TEST(WorkerIdTest, UuidFollowsEverySetIdAndSetUuid) {
  TestWorker worker(boost::uuids::uuid{}, Script::kNoOp);
  worker.SetId("00112233-4455-6677-8899-AABBCCDDEEFF");
  EXPECT_EQ(boost::uuids::to_string(worker.GetUuid()), "00112233-4455-6677-8899-aabbccddeeff");
  worker.SetId("not a uuid");
  EXPECT_THROW(worker.GetUuid(), std::runtime_error);
  boost::uuids::uuid uuid{};
  uuid.data[15] = 7;
  worker.SetUuid(uuid);
  EXPECT_EQ(worker.GetUuid(), uuid);
  EXPECT_EQ(worker.GetId(), boost::uuids::to_string(uuid));
}

TEST(WorkerPortsTest, WorkerWithoutUuidTakesNoPorts) {
  TestWorker worker(boost::uuids::uuid{}, Script::kNoOp);
  worker.SetId("not a uuid");
  try {
    worker.AddPort(new Port());
    ADD_FAILURE() << "nothing thrown";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "invalid uuid string");
  }
  EXPECT_TRUE(worker.GetPorts().empty());
}

TEST(WorkerRoleTest, IsMainSettingNeedsBothBitsAndTheContext) {
  struct Case {
    std::uint32_t bits;
    const char* owner_context;
    bool expected;
  };
  const Case cases[] = {
      {0xC0, "7", true}, {0x40, "7", false}, {0x80, "7", false}, {0xC0, "07", false}};
  for (const Case& c : cases) {
    auto model = MakeTestModel(Script::kNoOp);
    BaseModelStructure structure = model->GetStructure();
    structure.SetOptionalFlag(static_cast<OptionalFlag>(c.bits), true);
    structure.SetOwnerContextId(c.owner_context);
    model->SetStructure(std::move(structure));
    auto worker = model->CreateAndInitializeWorker(model, "s");
    EXPECT_EQ(worker->IsMainSetting(7), c.expected) << c.bits << " " << c.owner_context;
    EXPECT_FALSE(worker->GetFlag(kCopyModel));
  }
}

}  // namespace
}  // namespace zelph::testing
