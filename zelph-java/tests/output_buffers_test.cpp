// output_buffers_test.cpp
//
// The output buffers the Java model API keeps for an executor: one per output port, the same
// memory while the size asked for fits; freed when the worker goes and when its session is
// cleared, not left for a garbage collection; and the demo image models write into them, so
// frames of changing widths do not make a new buffer each run.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "java_test_support.h"
#include "plugin_environment.h"
#include "plugin_test_support.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jni_lookup.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

jlong DirectMemoryUsed() { return CallTestStaticLong(Env(), "DirectMemory", "used"); }

// A grey image of `width` x `height` pixels of `channels` channels.
std::shared_ptr<PortDataMat> Frame(size_t width, size_t height, int channels) {
  return Image(width, height, channels,
               std::vector<unsigned char>(width * height * static_cast<size_t>(channels), 9));
}

class OutputBuffersTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(LoadedPlugin().result, 0) << LoadedPlugin().log; }

  // A worker of the model in the session, in the fixture's chain.
  std::shared_ptr<IDataProcess> Worker(const std::string& session, const std::string& model) {
    SimplePluginsManager::GetInstance()->RegisterAvailableModels(session);
    auto worker = NewJavaWorker(session, model);
    if (worker) chain_->AddWorker(worker);
    return worker;
  }

  // Runs the worker on the frame; the test fails when the run records an error.
  static void Run(IDataProcess& worker, std::shared_ptr<PortDataMat> frame) {
    PortOf(worker, PortType::input, "image")->SetData(std::move(frame));
    worker.Execute(ExecutionStage::kRunTime);
    EXPECT_FALSE(worker.HasLastError()) << worker.GetLastError();
  }

  std::shared_ptr<IDataProcessChain> chain_ = LinkedChain::Create();
};

TEST_F(OutputBuffersTest, APortKeepsItsBufferWhileTheSizeFits) {
  JNIEnv* env = Env();
  EchoRig echo(env);  // output ports "mat", "numbers" and "scalar"
  jni::LocalRef<jclass> block(env,
                              jni::FindJavaClass(env, "net/morvex/executors/api/ExecutionBlock"));
  const jmethodID output_buffer = jni::GetJavaMethodId(
      env, block.get(), "outputBuffer", "java/nio/ByteBuffer", {"java/lang/String", "J"});
  jni::LocalRef<jclass> buffer_class(env, jni::FindJavaClass(env, "java/nio/ByteBuffer"));
  const jmethodID order =
      jni::GetJavaMethodId(env, buffer_class.get(), "order", "java/nio/ByteOrder");
  struct Case {
    const char* port;
    jlong bytes;
    bool same_memory;  // as the port's last buffer
  };
  const Case cases[] = {
      {"mat", 100, false}, {"mat", 100, true},
      {"mat", 40, true},   {"mat", 112, true},     // an eighth more room than the first size asked
      {"mat", 113, false}, {"numbers", 8, false},  // a port of its own
      {"mat", 0, true},    {"mat", 127, true},
  };
  std::map<std::string, void*> memory_of;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.port) + " " + std::to_string(c.bytes));
    jni::LocalRef<jstring> port(env, jni::NewJavaString(env, c.port));
    jni::LocalRef<> buffer(
        env, env->CallObjectMethod(echo.Executor(), output_buffer, port.get(), c.bytes));
    jni::ThrowIfJavaException(env);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(env->GetDirectBufferCapacity(buffer.get()), c.bytes);
    jni::LocalRef<> buffer_order(env, env->CallObjectMethod(buffer.get(), order));
    jni::ThrowIfJavaException(env);
    EXPECT_TRUE(env->IsSameObject(buffer_order.get(), jni::bound.byte_order.native));
    void* memory = env->GetDirectBufferAddress(buffer.get());
    if (memory_of.contains(c.port)) {
      EXPECT_EQ(memory == memory_of[c.port], c.same_memory);
    }
    memory_of[c.port] = memory;
  }
  EXPECT_NE(memory_of["mat"], memory_of["numbers"]);

  // No buffer for a port that is no output, nor of a size a buffer cannot have.
  const std::pair<const char*, jlong> refused[] = {{"nothing", 8}, {"mat", -1}, {"mat", 1L << 31}};
  for (const auto& [name, bytes] : refused) {
    jni::LocalRef<jstring> port(env, jni::NewJavaString(env, name));
    jni::LocalRef<> buffer(
        env, env->CallObjectMethod(echo.Executor(), output_buffer, port.get(), bytes));
    const jni::JavaException error(env);
    EXPECT_EQ(error.GetJavaClassName(), "java.lang.IllegalArgumentException")
        << name << " " << bytes;
  }
}

// The memory goes at once, whether or not a garbage collection comes: when the worker goes
// and when its session is cleared, for that session's executors only.
TEST_F(OutputBuffersTest, BuffersAreFreedWhenTheWorkerGoesAndWhenItsSessionIsCleared) {
  constexpr jlong kFrameBytes = 1000 * 1000;
  auto cleared = Worker("buffers-cleared", "Invert");
  auto kept = Worker("buffers-kept", "Invert");
  ASSERT_TRUE(cleared && kept);
  Run(*cleared, Frame(1000, 1000, 1));
  Run(*kept, Frame(1000, 1000, 1));
  const jlong both = DirectMemoryUsed();

  SimplePluginsManager::GetInstance()->ClearRegisteredModels("buffers-cleared");
  const jlong after_clear = DirectMemoryUsed();
  EXPECT_GE(both - after_clear, kFrameBytes);
  EXPECT_LT(both - after_clear, 2 * kFrameBytes);  // the other session's buffer stays
  // What the worker published was a copy, and the worker still runs.
  EXPECT_EQ(BytesOf(PortOf(*cleared, PortType::output, "image")->GetData()).front(), 246);
  Run(*cleared, Frame(1000, 1000, 1));
  EXPECT_GE(DirectMemoryUsed() - after_clear, kFrameBytes);

  const jlong before_removal = DirectMemoryUsed();
  chain_->Clear();
  cleared.reset();
  kept.reset();
  EXPECT_GE(before_removal - DirectMemoryUsed(), 2 * kFrameBytes);
  SimplePluginsManager::GetInstance()->ClearRegisteredModels("buffers-kept");
}

TEST_F(OutputBuffersTest, DemoImageModelsKeepTheirBufferAsFramesChangeWidth) {
  const size_t widths[] = {200, 196, 204, 198, 201, 190};
  for (const char* model : {"Grey", "BoxBlur", "Threshold", "Invert"}) {
    SCOPED_TRACE(model);
    auto worker = Worker("buffers-widths", model);
    ASSERT_TRUE(worker);
    std::optional<jlong> after_first;
    for (size_t width : widths) {
      Run(*worker, Frame(width, 50, 3));
      if (!after_first) after_first = DirectMemoryUsed();
    }
    EXPECT_LE(DirectMemoryUsed(), *after_first);
  }
  SimplePluginsManager::GetInstance()->ClearRegisteredModels("buffers-widths");
}

}  // namespace
}  // namespace zelph::testing
