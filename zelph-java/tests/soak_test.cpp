// soak_test.cpp
//
// Many runs of a small chain of Java workers, each thread running its chain a few times and
// ending: afterwards the VM has as many threads as before (threads the bridge attached are
// detached when they end), no thread held more local references than JNI promises it (the VM
// under -Xcheck:jni reports the first thread that does), and the resident memory stopped
// growing after a warm-up. The VM runs with a heap of fixed size that is touched at its start,
// so the resident memory shows what the bridge and the chains keep.
//
// ZELPH_JAVA_SOAK_RUNS sets the count of chain runs: 100000 by default; ctest runs fewer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "java_test_support.h"
#include "plugin_environment.h"
#include "plugin_test_support.h"
#include "zelph/chainfiles/chain_builder.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

constexpr const char* kSession = "soak";
constexpr int kChains = 4;          // run side by side, each by a thread of its own
constexpr int kRunsPerThread = 25;  // then the thread ends
constexpr long kMiB = 1024 * 1024;

int SoakRuns() {
  const char* runs = std::getenv("ZELPH_JAVA_SOAK_RUNS");
  return runs != nullptr ? std::atoi(runs) : 100000;
}

long ResidentBytes() {
  long pages = 0;
  long resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

int JavaThreadCount() {
  JNIEnv* env = Env();
  const TestStatic count = FindTestStatic(env, "JavaThreads", "count", "()I");
  const jint threads = env->CallStaticIntMethod(count.cls, count.method);
  env->DeleteLocalRef(count.cls);
  jni::ThrowIfJavaException(env);
  return threads;
}

// One chain of the chain file and the outputs of its last run.
struct SoakChain {
  std::shared_ptr<IDataProcessChain> chain = LinkedChain::Create();
  OutputRecorder outputs;

  void RunOnce() {
    const auto feed = [&](const char* worker, const char* port, std::shared_ptr<IPortData> data) {
      PortOf(*chain->FindWorker(worker), PortType::input, port)->SetData(std::move(data));
    };
    feed("c4a10000-0000-4000-8000-000000000001", "image", Image(8, 8, 1, Bytes(64)));
    feed("c4a10000-0000-4000-8000-000000000003", "values", Doubles({1, 2, 3}));
    feed("c4a10000-0000-4000-8000-000000000005", "first", Scalar("a"));
    feed("c4a10000-0000-4000-8000-000000000005", "second", Scalar("b"));
    feed("c4a10000-0000-4000-8000-000000000006", "second", Scalar("c"));
    feed("c4a10000-0000-4000-8000-000000000007", "image", Image(4, 4, 3, Bytes(48)));
    chain->Execute(ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
  }

  static std::vector<unsigned char> Bytes(size_t count) {
    std::vector<unsigned char> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    return bytes;
  }
};

TEST(JavaSoak, ShortLivedThreadsLeaveNoThreadsReferencesOrMemoryBehind) {
  ASSERT_EQ(LoadedPlugin().result, 0) << LoadedPlugin().log;
  SimplePluginsManager::GetInstance()->RegisterAvailableModels(kSession);
  std::vector<SoakChain> chains(kChains);
  for (SoakChain& soak : chains) {
    soak.chain->SetSessionId(kSession);
    ASSERT_TRUE(ParseChainFile(ZELPH_JAVA_TEST_FIXTURES "/java_chain.json", JsonParser::kMiniJson,
                               soak.chain));
    for (const auto& worker : soak.chain->GetWorkers()) worker->SetFlagListener(&soak.outputs);
  }
  const int runs = SoakRuns();
  const int waves = std::max(2, runs / (kChains * kRunsPerThread));
  const int warm_up_waves = std::max(1, waves / 5);
  int threads_before = 0;
  long resident_after_warm_up = 0;
  const std::string vm_output = CapturedStandardOutput([&] {
    for (int wave = 0; wave < waves; ++wave) {
      if (wave == 1) threads_before = JavaThreadCount();
      if (wave == warm_up_waves) resident_after_warm_up = ResidentBytes();
      std::vector<std::thread> threads;
      for (SoakChain& soak : chains) {
        threads.emplace_back([&soak] {
          for (int run = 0; run < kRunsPerThread; ++run) soak.RunOnce();
        });
      }
      for (std::thread& thread : threads) thread.join();
    }
  });
  const long resident_growth = ResidentBytes() - resident_after_warm_up;
  std::printf(
      "%d runs by %d threads: Java threads %d before, %d after; resident memory %ld MiB "
      "after the warm-up, grown by %ld KiB since\n",
      waves * kChains * kRunsPerThread, waves * kChains, threads_before, JavaThreadCount(),
      resident_after_warm_up / kMiB, resident_growth / 1024);

  EXPECT_EQ(JavaThreadCount(), threads_before);
  EXPECT_EQ(vm_output.find("JNI local refs"), std::string::npos) << vm_output.substr(0, 300);
#if !defined(__SANITIZE_ADDRESS__)
  // The address sanitizer keeps freed memory in quarantine, which grows the resident set.
  // Without it, a leak of 100 bytes a run would show as about 8 MiB at the default count.
  EXPECT_LT(resident_growth, 8 * kMiB);
#endif
  for (SoakChain& soak : chains) {
    EXPECT_EQ(TextOf(soak.outputs.Output("c4a10000-0000-4000-8000-000000000006", "joined")),
              "a+b-c");
    for (const auto& worker : soak.chain->GetWorkers()) {
      EXPECT_FALSE(worker->HasLastError()) << worker->GetLastError();
      worker->SetFlagListener(nullptr);
    }
  }
}

}  // namespace
}  // namespace zelph::testing
