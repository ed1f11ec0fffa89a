// project_preview_test.cpp
//
// Previews as a client reads them from "/preview:{worker}" after a run or a request: JPEG
// images of the sizes the reduction gives, decoded back; texts cut at their limits; when a
// preview is made at all; a preview request that names no usable data; and the order the
// preview pool keeps: the newest preview of a worker stays (an empty entry is stored at
// once), and none made for a chain lands in the cache of the chain loaded after it.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "capturing_logger.h"
#include "run_support.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_type.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/model/property_keys.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/projects/statistic.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph {
namespace {

using testing::FilledImage;
using testing::LoadedProject;
using testing::WaitForBackgroundWork;

const std::string kSourcePreview = std::string("/preview:") + testing::kLineSourceId;

class ProjectPreviewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::LoadServiceTestPlugin(); }
  void SetUp() override { testing::TestPluginControl::Get().Reset(); }
  void TearDown() override { EXPECT_TRUE(WaitForBackgroundWork()); }
};

// A project of the line that asks for visible results, run once with `input` for the
// source; the source's preview is then that of `input`.
std::shared_ptr<Project> RunWithInput(std::shared_ptr<IPortData> input,
                                      bool auto_contrast = false) {
  auto project = LoadedProject("line.json", {tmp::kCreateVisibleResult});
  if (auto_contrast) {
    project->GetWorker("source")->GetSystemProperties()->SetValue(sys::kAutoContrastPreviewResult,
                                                                  true);
  }
  project->SetCache("/input:source", std::move(input));
  project->Execute();
  EXPECT_TRUE(WaitForBackgroundWork());
  return project;
}

template <typename T>
std::shared_ptr<PortDataMat> ImageOf(std::size_t width, std::size_t height, MatDepth depth,
                                     const std::vector<T>& values) {
  auto mat = std::make_shared<PortDataMat>();
  mat->SetDataAndCopy(width, height, 1, depth, reinterpret_cast<const char*>(values.data()),
                      values.size() * sizeof(T));
  return mat;
}

cv::Mat Decoded(const PortDataMat& preview) {
  return cv::imdecode(
      cv::Mat(1, static_cast<int>(preview.GetSize()), CV_8U, const_cast<char*>(preview.GetData())),
      cv::IMREAD_UNCHANGED);
}

TEST_F(ProjectPreviewTest, AnImageIsPreviewedAsAJpegOfAtMost256PixelsASide) {
  struct Case {
    const char* name;
    std::shared_ptr<PortDataMat> image;
    bool auto_contrast;
    int width, height, channels;  // of the decoded JPEG
    double value;                 // its mean value
  };
  const Case cases[] = {
      {"1000 x 10 halves twice", FilledImage(1000, 10, 1, kDepth8U, 90), false, 250, 2, 1, 90},
      {"256 x 256 stays", FilledImage(256, 256, 3, kDepth8U, 90), false, 256, 256, 3, 90},
      {"257 x 1 keeps a side of 1", FilledImage(257, 1, 1, kDepth8U, 90), false, 128, 1, 1, 90},
      {"alpha dropped", FilledImage(8, 8, 4, kDepth8U, 90), false, 8, 8, 3, 90},
      {"16-bit by 255 / 32767",
       ImageOf<std::uint16_t>(4, 4, kDepth16U, std::vector<std::uint16_t>(16, 16384)), false, 4, 4,
       1, 127.5},
      {"32-bit float by 255", ImageOf<float>(4, 4, kDepth32F, std::vector<float>(16, 0.5f)), false,
       4, 4, 1, 127.5},
      {"flat with auto contrast", FilledImage(4, 4, 1, kDepth8U, 90), true, 4, 4, 1, 90},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::CapturingLogger log;
    auto project = RunWithInput(c.image, c.auto_contrast);
    const auto preview =
        std::dynamic_pointer_cast<PortDataMat>(project->GetCache(kSourcePreview).data);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->GetEncoded(), "jpeg");
    EXPECT_EQ(preview->GetChannels(), 0);
    EXPECT_EQ(preview->GetDepth(), c.image->GetDepth());
    EXPECT_EQ(preview->GetWidth(), static_cast<std::size_t>(c.width));
    EXPECT_EQ(preview->GetHeight(), static_cast<std::size_t>(c.height));
    const cv::Mat decoded = Decoded(*preview);
    EXPECT_EQ(decoded.cols, c.width);
    EXPECT_EQ(decoded.rows, c.height);
    EXPECT_EQ(decoded.channels(), c.channels);
    EXPECT_NEAR(cv::mean(decoded)[0], c.value, 2.0);
    EXPECT_EQ(log.Text().find("Failed"), std::string::npos) << log.Text();
  }
}

TEST_F(ProjectPreviewTest, OneBitImagesShowTheirBitsLeastSignificantFirst) {
  // Nine bits of a 3 x 3 image: all of the first byte and the lowest of the second.
  auto image = std::make_shared<PortDataMat>();
  const char bits[] = {0x55, 0x01};
  image->SetDataAndCopy(3, 3, 1, kDepth1Bit, bits, sizeof(bits));
  auto project = RunWithInput(image);
  const auto preview =
      std::dynamic_pointer_cast<PortDataMat>(project->GetCache(kSourcePreview).data);
  ASSERT_NE(preview, nullptr);
  const cv::Mat decoded = Decoded(*preview);
  ASSERT_EQ(decoded.rows, 3);
  ASSERT_EQ(decoded.cols, 3);
  for (int bit = 0; bit < 9; ++bit) {
    SCOPED_TRACE(bit);
    const bool set = bit == 8 || (0x55 >> bit) & 1;
    EXPECT_EQ(decoded.at<std::uint8_t>(bit / 3, bit % 3) > 128, set);
  }
}

TEST_F(ProjectPreviewTest, AMatrixShorterThanItsDimsIsNeverReadAndLeavesAnEmptyEntry) {
  auto image = std::make_shared<PortDataMat>();
  const std::vector<char> bytes(10, 1);
  image->SetDataAndCopy(1000, 1000, 3, kDepth8U, bytes.data(), bytes.size());
  testing::CapturingLogger log;
  auto project = RunWithInput(image);
  ASSERT_TRUE(project->GetServiceCache().Find(kSourcePreview));
  EXPECT_EQ(project->GetCache(kSourcePreview).data, nullptr);
  EXPECT_NE(log.Text().find("[error]"), std::string::npos);
}

TEST_F(ProjectPreviewTest, NumbersAndScalarsArePreviewedAsTextCutAtTheirLimits) {
  std::vector<std::int32_t> values(1500);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<std::int32_t>(i);
  auto numbers = std::make_shared<PortDataNumbers>();
  numbers->SetDataAndCopy(reinterpret_cast<const char*>(values.data()),
                          values.size() * sizeof(std::int32_t), DataTypeInt32::GetInstance());
  struct Case {
    const char* name;
    std::shared_ptr<IPortData> input;
    std::string expected;
  };
  const Case cases[] = {
      {"1500 numbers", numbers, numbers->Preview(1000)},
      {"500 characters", std::make_shared<PortDataScalar>(std::string(500, 'a')),
       std::string(500, 'a')},
      {"501 characters", std::make_shared<PortDataScalar>(std::string(501, 'a')),
       std::string(500, 'a') + "..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto project = RunWithInput(c.input);
    const auto preview =
        std::dynamic_pointer_cast<PortDataScalar>(project->GetCache(kSourcePreview).data);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->GetStr(), c.expected);
  }
  const std::string text = numbers->Preview(1000);
  EXPECT_TRUE(text.ends_with("...")) << text;
  EXPECT_NE(text.find("\n999, \n"), std::string::npos);
  EXPECT_EQ(text.find("\n1000, \n"), std::string::npos);
}

TEST_F(ProjectPreviewTest, OnlyAProjectThatAsksForVisibleResultsGetsPreviewsOfEnabledWorkers) {
  struct Case {
    const char* name;
    PropertyVariant flag;  // "__tmp.create_visible_result"
    bool disabled;
    bool preview;
  };
  const Case cases[] = {
      {"true", true, false, true},
      {"the text true", std::string("true"), false, true},
      {"the text True", std::string("True"), false, false},
      {"false", false, false, false},
      {"a disabled worker", true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto project = LoadedProject("line.json");
    std::visit(
        [&](const auto& value) {
          project->GetChainProperties()->SetValue(tmp::kCreateVisibleResult, value);
        },
        c.flag);
    if (c.disabled) project->GetWorker("source")->GetSystemProperties()->SetValue("enabled", false);
    project->SetCache("/input:source", FilledImage(4, 4, 1, kDepth8U));
    project->Execute();
    ASSERT_TRUE(WaitForBackgroundWork());
    EXPECT_EQ(static_cast<bool>(project->GetServiceCache().Find(kSourcePreview)), c.preview);
  }
  // A project without the flag at all.
  auto project = LoadedProject("line.json");
  project->SetCache("/input:source", FilledImage(4, 4, 1, kDepth8U));
  project->Execute();
  ASSERT_TRUE(WaitForBackgroundWork());
  EXPECT_FALSE(project->GetServiceCache().Find(kSourcePreview));
}

TEST_F(ProjectPreviewTest, AnImagePreviewAddsItsSummaryToTheWorkersStatistic) {
  auto project = RunWithInput(FilledImage(4, 4, 1, kDepth8U));
  const auto statistic = project->FindStatistic(testing::kLineSourceId);
  const std::string document = statistic->GetDocument().data->GetStr();
  // The preview's summary, named by the worker, before the summaries of the ports.
  const std::size_t preview =
      document.find(std::string("{\"id\":\"") + testing::kLineSourceId + "\",\"@type\":\"Mat");
  const std::size_t port = document.find(std::string("{\"id\":\"") + testing::kLineSourceOutput);
  EXPECT_NE(preview, std::string::npos) << document;
  EXPECT_LT(preview, port);
}

TEST_F(ProjectPreviewTest, APreviewRequestNamingNoUsableDataChangesNothing) {
  struct Case {
    const char* name;
    std::string meta;  // the worker's visible-result meta information
    bool cached;       // whether "/cache:" holds the port named
    const char* log;   // the line logged, or "" when a preview is made
  };
  const std::string output = testing::kLineScaleOutput;
  const Case cases[] = {
      {"no port id", "{}", true,
       "[error] Failed find port identifier of worker visible results meta information"},
      {"port id not a text", R"({"ports":[{"id":5}]})", true,
       "[error] Unsupported port identifier json data type, string expected"},
      {"unknown port", R"({"ports":[{"id":"nope"}]})", true, "[error] Port not found: nope"},
      {"nothing cached", R"({"ports":[{"id":")" + output + "\"}]}", false,
       "[error] Cache is empty, can't build preview"},
      {"cached", R"({"ports":[{"id":")" + output + "\"}]}", true, ""},
  };
  const std::string scale_preview = std::string("/preview:") + testing::kLineScaleId;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto project = LoadedProject("line.json", {tmp::kCreateVisibleResult});
    auto scale = project->GetWorker("scale");
    scale->GetProperties()->SetValue("meta", c.meta);
    if (c.cached) project->SetCache("/cache:" + output, FilledImage(4, 4, 1, kDepth8U));
    testing::CapturingLogger log(ZelphSeverityLevel::kError);
    project->BuildPreview(scale);
    ASSERT_TRUE(WaitForBackgroundWork());
    EXPECT_EQ(log.Text(), *c.log == '\0' ? "" : std::string(c.log) + "\n");
    EXPECT_EQ(static_cast<bool>(project->GetServiceCache().Find(scale_preview)), *c.log == '\0');
  }

  auto project = LoadedProject("line.json", {tmp::kCreateVisibleResult});
  auto scale = project->GetWorker("scale");
  scale->GetProperties()->SetValue("meta", "not json");
  try {
    project->BuildPreview(scale);
    ADD_FAILURE() << "built";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Worker visible results meta information json parser error: 3");
  }
}

// Keeps every thread of the preview pool busy while it lives, so that previews submitted
// meanwhile wait in the pool's queue.
class PoolBlocker {
 public:
  PoolBlocker() {
    const std::size_t threads = BackgroundTasks::DefaultPreviewThreads();
    for (std::size_t i = 0; i < threads; ++i) {
      EXPECT_TRUE(ServiceBackgroundTasks().SubmitPreview("blocker/" + std::to_string(i), [this] {
        std::unique_lock lock(mutex_);
        ++started_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
        ++finished_;
        changed_.notify_all();
      }));
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return started_ == static_cast<int>(threads); });
  }
  // Releases the pool and waits until no blocking task uses this object any more.
  ~PoolBlocker() {
    std::unique_lock lock(mutex_);
    released_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return finished_ == started_; });
  }
  PoolBlocker(const PoolBlocker&) = delete;
  PoolBlocker& operator=(const PoolBlocker&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int started_ = 0;
  int finished_ = 0;
  bool released_ = false;
};

TEST_F(ProjectPreviewTest, TheNewestPreviewOfAWorkerIsTheOneThatStays) {
  auto project = LoadedProject("line.json", {tmp::kCreateVisibleResult});
  {
    PoolBlocker blocker;
    for (const std::uint8_t value : {30, 60, 200}) {
      project->SetCache("/input:source", FilledImage(4, 4, 1, kDepth8U, value));
      project->Execute();
    }
  }
  ASSERT_TRUE(WaitForBackgroundWork());
  const auto preview =
      std::dynamic_pointer_cast<PortDataMat>(project->GetCache(kSourcePreview).data);
  ASSERT_NE(preview, nullptr);
  EXPECT_NEAR(cv::mean(Decoded(*preview))[0], 200, 2.0);
}

TEST_F(ProjectPreviewTest, NothingToShowEmptiesTheEntryAtOnceAndNoOlderPreviewRefillsIt) {
  auto project = LoadedProject("line.json", {tmp::kCreateVisibleResult});
  project->SetCache("/input:source", FilledImage(4, 4, 1, kDepth8U));
  project->Execute();
  ASSERT_TRUE(WaitForBackgroundWork());
  ASSERT_NE(project->GetCache(kSourcePreview).data, nullptr);
  {
    PoolBlocker blocker;
    project->SetCache("/input:source", FilledImage(4, 4, 1, kDepth8U, 90));
    project->Execute();  // its preview waits in the pool
    project->SetCache("/input:source", std::make_shared<PortDataMat>());
    project->Execute();
    // Emptied on this thread, while the pool is still blocked.
    ASSERT_TRUE(project->GetServiceCache().Find(kSourcePreview));
    EXPECT_EQ(project->GetCache(kSourcePreview).data, nullptr);
  }
  ASSERT_TRUE(WaitForBackgroundWork());
  ASSERT_TRUE(project->GetServiceCache().Find(kSourcePreview));
  EXPECT_EQ(project->GetCache(kSourcePreview).data, nullptr);
}

TEST_F(ProjectPreviewTest, APreviewOfAnEarlierChainNeverLandsInTheCacheOfTheNextOne) {
  auto project = LoadedProject("line.json", {tmp::kCreateVisibleResult});
  {
    PoolBlocker blocker;
    project->SetCache("/input:source", FilledImage(4, 4, 1, kDepth8U));
    project->Execute();
    // The same chain again: same worker ids, so a late preview would look current.
    project->LoadProjectFile(testing::ChainFile("line.json"));
  }
  ASSERT_TRUE(WaitForBackgroundWork());
  EXPECT_FALSE(project->GetServiceCache().Find(kSourcePreview));
}

}  // namespace
}  // namespace zelph
