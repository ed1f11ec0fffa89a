// demo_models_test.cpp
//
// The demo models the installation ships, each run as a Java worker on a small input, with
// the output its description promises.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "plugin_environment.h"
#include "plugin_test_support.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

constexpr const char* kSession = "demo-models";

using Bytes = std::vector<unsigned char>;

std::shared_ptr<PortDataNumbers> Ints(const std::vector<int>& values, int block_length) {
  auto numbers = std::make_shared<PortDataNumbers>();
  numbers->SetDataAndCopy(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(int),
                          DataTypeInt32::GetInstance());
  numbers->SetBlockLength(block_length);
  return numbers;
}

class DemoModelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(LoadedPlugin().result, 0) << LoadedPlugin().log;
    SimplePluginsManager::GetInstance()->RegisterAvailableModels(kSession);
  }

  // Runs a new worker of `model` with the settings on `input` fed to `in` and returns what
  // its output `out` holds afterwards.
  std::shared_ptr<IPortData> Run(
      const std::string& model,
      const std::vector<std::pair<std::string, PropertyVariant>>& settings, const std::string& in,
      std::shared_ptr<IPortData> input, const std::string& out) {
    auto worker = NewJavaWorker(kSession, model);
    if (!worker) return nullptr;
    chain_->AddWorker(worker);
    for (const auto& [name, value] : settings) {
      std::visit([&](const auto& v) { worker->SetPropertyValue(name, v); }, value);
    }
    PortOf(*worker, PortType::input, in)->SetData(std::move(input));
    worker->Execute(ExecutionStage::kRunTime);
    EXPECT_FALSE(worker->HasLastError()) << model << ": " << worker->GetLastError();
    return PortOf(*worker, PortType::output, out)->GetData();
  }

  std::shared_ptr<IDataProcessChain> chain_ = LinkedChain::Create();
};

TEST_F(DemoModelTest, ImageModelsGiveTheDescribedPixels) {
  struct Case {
    const char* model;
    std::vector<std::pair<std::string, PropertyVariant>> settings;
    size_t width, height;
    int channels;
    Bytes input;
    int out_channels;
    Bytes output;
  };
  const Case cases[] = {
      {"Invert", {}, 2, 1, 3, {0, 1, 2, 253, 254, 255}, 3, {255, 254, 253, 2, 1, 0}},
      // (29 B + 150 G + 77 R + 128) / 256, alpha ignored, one channel kept as it is.
      {"Grey", {}, 2, 1, 3, {10, 20, 30, 200, 210, 220}, 1, {22, 212}},
      {"Grey", {}, 1, 1, 4, {10, 20, 30, 99}, 1, {22}},
      {"Grey", {}, 2, 1, 1, {5, 6}, 1, {5, 6}},
      // The mean over the box inside the image, rounded half up.
      {"BoxBlur",
       {},
       3,
       3,
       1,
       {0, 0, 0, 0, 90, 0, 0, 0, 0},
       1,
       {23, 15, 23, 15, 10, 15, 23, 15, 23}},
      {"BoxBlur", {{"size", 1}}, 2, 1, 2, {1, 2, 3, 4}, 2, {1, 2, 3, 4}},
      {"BoxBlur", {{"size", 5}}, 3, 1, 1, {0, 3, 6}, 1, {3, 3, 3}},
      {"Threshold", {}, 2, 1, 1, {128, 129}, 1, {0, 255}},
      {"Threshold", {{"level", 100}}, 2, 2, 1, {99, 100, 101, 255}, 1, {0, 0, 255, 255}},
  };
  for (const Case& c : cases) {
    const auto output = std::dynamic_pointer_cast<PortDataMat>(
        Run(c.model, c.settings, "image", Image(c.width, c.height, c.channels, c.input), "image"));
    ASSERT_TRUE(output) << c.model;
    EXPECT_EQ(BytesOf(output), c.output) << c.model;
    EXPECT_EQ(output->GetWidth(), c.width) << c.model;
    EXPECT_EQ(output->GetHeight(), c.height) << c.model;
    EXPECT_EQ(output->GetChannels(), c.out_channels) << c.model;
    EXPECT_EQ(output->GetDepth(), kDepth8U) << c.model;
  }
}

// A demo model's long loop polls its interrupt: a blur that would take minutes ends within
// moments of the interrupt, with its output left unwritten. The interrupt is repeated until
// the run ends, since the worker clears it as its run begins.
TEST_F(DemoModelTest, ALongBlurEndsSoonAfterItsInterrupt) {
  constexpr size_t kSide = 1500;  // with a box of 201 x 201: about 10^11 values to add
  auto worker = NewJavaWorker(kSession, "BoxBlur");
  ASSERT_TRUE(worker);
  chain_->AddWorker(worker);
  worker->SetPropertyValue("size", 201);
  PortOf(*worker, PortType::input, "image")
      ->SetData(Image(kSide, kSide, 1, Bytes(kSide * kSide, 7)));
  std::atomic<bool> ended{false};
  std::thread run([&] {
    worker->Execute(ExecutionStage::kRunTime);
    ended = true;
  });
  const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!ended && std::chrono::steady_clock::now() < bound) {
    worker->Interrupt();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(ended.load());
  run.join();
  EXPECT_FALSE(worker->HasLastError()) << worker->GetLastError();
  const auto output =
      std::dynamic_pointer_cast<PortDataMat>(PortOf(*worker, PortType::output, "image")->GetData());
  EXPECT_TRUE(!output || BytesOf(output).empty());
}

TEST_F(DemoModelTest, NumberModelsGiveDoubles) {
  const auto scaled = Run("Scale", {}, "values", Doubles({1, -2.5, 3, 4}, 2), "values");
  EXPECT_EQ(DoublesOf(scaled), (std::vector<double>{2, -5, 6, 8}));
  EXPECT_EQ(std::dynamic_pointer_cast<PortDataNumbers>(scaled)->GetBlockLength(), 2);
  EXPECT_EQ(DoublesOf(Run("Scale", {{"factor", 0.5}}, "values", Ints({3, -4}, 1), "values")),
            (std::vector<double>{1.5, -2}));

  const auto sums = Run("Sum", {}, "values", Doubles({1, 2, 3, 4, 5}, 2), "sums");
  EXPECT_EQ(DoublesOf(sums), (std::vector<double>{3, 7, 5}));
  EXPECT_EQ(std::dynamic_pointer_cast<PortDataNumbers>(sums)->GetBlockLength(), 1);
  EXPECT_EQ(DoublesOf(Run("Sum", {}, "values", Ints({1, 2, 3, 4}, 3), "sums")),
            (std::vector<double>{6, 4}));
}

TEST_F(DemoModelTest, FormatWritesPrefixValueAndSuffix) {
  struct Case {
    std::vector<std::pair<std::string, PropertyVariant>> settings;
    const char* value;
    const char* text;
  };
  const Case cases[] = {
      {{}, "3.14159", "3.14159"},
      {{{"decimals", 2}, {"prefix", std::string("pi=")}, {"suffix", std::string("!")}},
       "3.14159",
       "pi=3.14!"},
      {{{"decimals", 2}}, "2.345", "2.35"},
      {{{"decimals", 0}}, " 7.5 ", "8"},
      {{{"decimals", 2}}, "not a number", "not a number"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextOf(Run("Format", c.settings, "value", Scalar(c.value), "text")), c.text)
        << c.value;
  }
}

}  // namespace
}  // namespace zelph::testing
