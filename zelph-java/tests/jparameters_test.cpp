// jparameters_test.cpp
//
// Settings pushed into a Java model: once each, in key order, the right setter per value,
// skipped keys, failures of a setter and of onChangeParameter, and overlapping pushes.
#include <gtest/gtest.h>

#include <barrier>
#include <thread>

#include "capturing_logger.h"
#include "java_test_support.h"
#include "quiet_worker.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jni_lookup.h"
#include "zelph/java/jparameters.h"
#include "zelph/model/uuid.h"

namespace zelph::testing {
namespace {

constexpr const char* kProbeClass = "net/morvex/executors/tests/ParameterProbe";

// A ParameterProbe executor whose parameters a JParameters pushes to, for a quiet worker.
class JParametersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    executor_ = NewExecutor(env_, "net.morvex.executors.tests.ParameterProbe");
    jni::LocalRef<jclass> probe(env_, jni::FindJavaClass(env_, kProbeClass));
    const jmethodID get_parameters = jni::GetJavaMethodId(
        env_, probe.get(), "parameters", "net/morvex/executors/api/parameters/Parameters");
    jni::LocalRef<> parameters(env_, env_->CallObjectMethod(executor_, get_parameters));
    jni::ThrowIfJavaException(env_);
    parameters_.SetObject(env_, parameters.get());
    parameters_.SetExecutor(executor_, jni::GetJavaMethodId(env_, probe.get(), "onChangeParameter",
                                                            nullptr, {"java/lang/String"}));
    take_journal_ = jni::GetJavaMethodId(env_, probe.get(), "takeJournal", "java/lang/String");
  }
  void TearDown() override { DeleteExecutor(env_, executor_); }

  // What the probe received since the last call, one entry a line.
  std::string Journal() {
    jni::LocalRef<jstring> text(
        env_, static_cast<jstring>(env_->CallObjectMethod(executor_, take_journal_)));
    jni::ThrowIfJavaException(env_);
    return jni::JavaStringToUtf8(env_, text.get());
  }

  JNIEnv* env_ = Env();
  jobject executor_ = nullptr;
  jmethodID take_journal_ = nullptr;
  QuietWorker worker_{zelph::NewUuid()};
  JParameters parameters_{worker_.GetProperties(), &worker_};
};

TEST_F(JParametersTest, ChangedEntriesArePushedOnceInKeyOrder) {
  zelph::BaseModelStructure structure;
  const std::pair<const char*, PropertyVariant> defaults[] = {
      {"e", std::string("text")}, {"b", 2}, {"a", true}, {"f", 5LL}, {"d", 0.5}};
  for (const auto& [name, value] : defaults) {
    zelph::BaseControl control;
    control.SetName(name);
    control.SetDefault(PropertyValue{false, value});
    structure.AddControl(control);
  }
  parameters_.InitializeDefaults(structure);
  Property& bag = *worker_.GetProperties();
  bag.SetValue("$__system.enabled", true);
  bag.SetValue("$__system.name", "shown name");
  bag.SetValue("__tmp.command", "run");
  bag.SetValue("a.__tmp.b", 1);

  CapturingLogger logger(ZelphSeverityLevel::kTrace);
  parameters_.PushChangedProperties(env_);
  EXPECT_EQ(Journal(),
            "boolean a=true\nchanged a\nint b=2\nchanged b\ndouble d=0.5\nchanged d\n"
            "string e=text\nchanged e\nlong f=5\nchanged f");
  const std::string log = logger.Text();
  EXPECT_NE(log.find("[trace] Update property name=a, val=true"), std::string::npos) << log;
  EXPECT_NE(log.find("[trace] Update property name=d, val=0.5"), std::string::npos) << log;

  parameters_.PushChangedProperties(env_);
  EXPECT_EQ(Journal(), "");  // nothing is marked any more
  bag.SetValue("b", 3);
  parameters_.PushChangedProperties(env_);
  EXPECT_EQ(Journal(), "int b=3\nchanged b");
}

// Values and names come from clients: a newline in one does not start a log line.
TEST_F(JParametersTest, ClientTextInTheTraceIsEscaped) {
  zelph::BaseModelStructure structure;
  zelph::BaseControl control;
  control.SetName("e");
  control.SetDefault(PropertyValue{false, std::string("text")});
  structure.AddControl(control);
  parameters_.InitializeDefaults(structure);
  worker_.GetProperties()->SetValue("e", std::string("v\n[2026-12-11] [critical] x"));

  CapturingLogger logger(ZelphSeverityLevel::kTrace);
  parameters_.PushChangedProperties(env_);
  const std::string log = logger.Text();
  EXPECT_NE(log.find(R"([trace] Update property name=e, val=v\n[2026-12-11] [critical] x)"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("\n[2026"), std::string::npos) << log;
}

TEST_F(JParametersTest, FailedSetterIsLoggedAndTriedAgain) {
  worker_.GetProperties()->SetValue("fail.set.x", 1);
  for (int attempt = 0; attempt < 2; ++attempt) {
    CapturingLogger logger(ZelphSeverityLevel::kError);
    parameters_.PushChangedProperties(env_);
    EXPECT_EQ(logger.Text().rfind("[error] Failed update property: fail.set.x, error: "
                                  "java.lang.IllegalArgumentException: setting refused: fail.set.x",
                                  0),
              0u)
        << logger.Text();
    EXPECT_EQ(Journal(), "");  // no onChangeParameter
    EXPECT_FALSE(worker_.HasError(ErrorKind::kUpdateProperty));
  }
}

TEST_F(JParametersTest, FailedChangeNoticeRecordsTheWorkerError) {
  worker_.GetProperties()->SetValue("fail.change.y", 1.5);
  for (int attempt = 0; attempt < 2; ++attempt) {
    parameters_.PushChangedProperties(env_);
    EXPECT_EQ(Journal(), "double fail.change.y=1.5");  // the mark stays: pushed again
    EXPECT_EQ(worker_.GetError(ErrorKind::kUpdateProperty), "change refused: fail.change.y");
    EXPECT_EQ(worker_.GetErrorClassName(), "java.lang.IllegalStateException");
    EXPECT_EQ(worker_.GetStackTrace().rfind(
                  "java.lang.IllegalStateException: change refused: fail.change.y\n    ", 0),
              0u);
  }
}

TEST_F(JParametersTest, OverlappingPushesNeverPushAnEntryTwice) {
  constexpr int kEntries = 200;
  Property& bag = *worker_.GetProperties();
  for (int round = 0; round < 10; ++round) {
    for (int i = 0; i < kEntries; ++i) bag.SetValue("key" + std::to_string(i), round);
    std::barrier start(2);
    auto push = [&] {
      start.arrive_and_wait();
      parameters_.PushChangedProperties(Env());
    };
    std::thread other(push);
    push();
    other.join();
    const std::string journal = Journal();
    int notices = 0;
    for (size_t at = journal.find("changed "); at != std::string::npos;
         at = journal.find("changed ", at + 1)) {
      ++notices;
    }
    ASSERT_EQ(notices, kEntries) << "round " << round;
  }
}

}  // namespace
}  // namespace zelph::testing
