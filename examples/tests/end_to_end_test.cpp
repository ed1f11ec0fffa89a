// end_to_end_test.cpp
//
// The system as its users meet it: the program started from an installation with the Java
// plug-in, the demo models and the demo solutions, on a free port; the example client's
// session run against it, its outputs checked against what the chained demo models compute;
// the client program run with its options and its failures; then SIGTERM, and the program
// ends with exit code 0. The installation is the build's, or a copy of an installed tree.
#include <gtest/gtest.h>
#include <signal.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "zelph/client/example_session.h"
#include "zelph/client/frames.h"
#include "zelph/testing/program_installation.h"

namespace {

namespace fs = std::filesystem;
using zelph::testing::ChildOptions;
using zelph::testing::ChildResult;
using zelph::testing::DemoServer;
using Bytes = std::vector<unsigned char>;

constexpr char kImageCleanup[] = "Image cleanup";

// What the demo app "Image cleanup" computes, model by model, on an 8-bit image of
// `channels` channels: grey, a 3 x 3 box blur, a threshold at 128, the negative.
Bytes ImageCleanup(const Bytes& image, int width, int height, int channels) {
  Bytes grey(static_cast<size_t>(width) * height);
  for (size_t p = 0; p < grey.size(); ++p) {
    const unsigned char* bgr = &image[p * channels];
    grey[p] = channels == 1 ? bgr[0] : (29 * bgr[0] + 150 * bgr[1] + 77 * bgr[2] + 128) >> 8;
  }
  Bytes result(grey.size());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int sum = 0;
      int count = 0;
      for (int yy = std::max(0, y - 1); yy <= std::min(height - 1, y + 1); ++yy) {
        for (int xx = std::max(0, x - 1); xx <= std::min(width - 1, x + 1); ++xx) {
          sum += grey[yy * width + xx];
          ++count;
        }
      }
      const int blurred = (sum + count / 2) / count;
      result[y * width + x] = 255 - (blurred > 128 ? 255 : 0);
    }
  }
  return result;
}

Bytes BytesOf(const std::string& buffer) { return Bytes(buffer.begin(), buffer.end()); }

std::string FileText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

bool IsJpeg(const std::string& bytes) { return bytes.rfind("\xFF\xD8\xFF", 0) == 0; }

class EndToEndTest : public ::testing::Test {
 protected:
  // ZELPH_INSTALLED_HOME names an installed tree to serve in place of the build's program
  // (CI sets it to the prefix of the unpacked Debian package).
  static void SetUpTestSuite() {
    const char* installed = std::getenv("ZELPH_INSTALLED_HOME");
    demo_ = new DemoServer(installed != nullptr ? installed : "");
  }

  // A user stops the program with SIGTERM; it ends on its own, with exit code 0.
  static void TearDownTestSuite() {
    const ChildResult result = demo_->Stop(SIGTERM);
    EXPECT_TRUE(result.exited) << "signal " << result.signal << "\n" << result.err;
    EXPECT_EQ(result.exit_code, 0) << result.err;
    delete demo_;
  }

  fs::path Scratch(const std::string& name) const { return demo_->installation().Home() / name; }

  static DemoServer* demo_;
};

DemoServer* EndToEndTest::demo_ = nullptr;

TEST_F(EndToEndTest, ExampleSessionGetsWhatTheDemoModelsCompute) {
  zelph::client::ExampleOptions options;
  options.address = demo_->installation().Address();
  options.app = kImageCleanup;
  options.frame_width = 61;
  options.frame_height = 37;
  options.preview_path = Scratch("session_preview.jpg").string();
  options.session_id = "end-to-end";
  std::ostringstream log;
  const zelph::client::ExampleResult result = zelph::client::RunExampleSession(options, log);

  EXPECT_EQ(result.app.caption(), kImageCleanup);
  ASSERT_EQ(result.outputs.size(), 1u) << log.str();
  EXPECT_EQ(result.outputs[0].worker_name, "invert");
  ASSERT_EQ(result.output_data.size(), 1u);
  const zelph::GMat& output = result.output_data[0].mat();
  EXPECT_EQ(std::vector<std::int64_t>(output.dims().begin(), output.dims().end()),
            (std::vector<std::int64_t>{61, 37}));
  EXPECT_EQ(output.channels(), 1);
  EXPECT_EQ(BytesOf(output.buffer()),
            ImageCleanup(BytesOf(result.inputs.image.buffer()), 61, 37, 3));
  // Every worker of the chain has its statistic.
  EXPECT_GE(result.statistics.size(), 4u) << log.str();
  for (const zelph::GAnyData& statistic : result.statistics) {
    EXPECT_EQ(statistic.string_val().front(), '{') << statistic.url();
  }
  const std::string preview = FileText(options.preview_path);
  EXPECT_TRUE(IsJpeg(preview));
  EXPECT_EQ(preview.size(), result.preview_bytes);

  // The session went with the run: its id is free for a new one.
  zelph::client::ClientSession again(zelph::client::MakeChannel(options.address), "end-to-end");
}

// The demo apps of numbers and of text run with the values given for their inputs: the
// numbers scaled by 2 and summed, the value written as a label with two decimals.
TEST_F(EndToEndTest, ExampleSessionSendsNumbersAndText) {
  struct Case {
    std::string app;
    std::string output_worker;
    std::string output;  // DescribeValue of the one output
  };
  const Case cases[] = {
      {"Number summary", "sum", "numbers of type kDouble, block length 1, 8 bytes: 13"},
      {"Label", "label", "scalar \"Total: 2.35 units\""},
  };
  for (const Case& c : cases) {
    zelph::client::ExampleOptions options;
    options.address = demo_->installation().Address();
    options.app = c.app;
    options.numbers = {1, 2.5, 3};
    options.value = "2.345";
    std::ostringstream log;
    const zelph::client::ExampleResult result = zelph::client::RunExampleSession(options, log);
    ASSERT_EQ(result.outputs.size(), 1u) << log.str();
    EXPECT_EQ(result.outputs[0].worker_name, c.output_worker);
    ASSERT_EQ(result.output_data.size(), 1u);
    EXPECT_EQ(zelph::client::DescribeValue(result.output_data[0]), c.output) << log.str();
    EXPECT_EQ(result.preview_bytes, 0u);  // no image output to preview
  }
}

// The client program as a user runs it: a picture file, then each way it can fail, each
// with its exit code and a message that names what failed.
TEST_F(EndToEndTest, ClientProgramRunsAndReportsFailures) {
  const fs::path picture = Scratch("picture.png");
  cv::Mat bgr(20, 30, CV_8UC3);
  cv::randu(bgr, 0, 256);
  ASSERT_TRUE(cv::imwrite(picture.string(), bgr));
  const fs::path preview = Scratch("program_preview.jpg");
  const std::string address = "--address=" + demo_->installation().Address();
  const std::string unused_address =
      "--address=127.0.0.1:" + std::to_string(zelph::testing::FreeLocalPort());

  struct Case {
    std::vector<std::string> arguments;
    int exit_code;
    std::string printed;  // on standard output for exit code 0, else on standard error
  };
  const Case cases[] = {
      {{address, "--app=Image cleanup", "--image=" + picture.string(),
        "--preview=" + preview.string()},
       0,
       "Output invert/image: matrix 30x20, 1 channel(s), depth kDepth8U, 600 bytes"},
      // Every demo app runs with its inputs' defaults, and with values given.
      {{address, "--app=Number summary"},
       0,
       "Output sum/sums: numbers of type kDouble, block length 1, 8 bytes: 12"},
      {{address, "--app=Number summary", "--numbers=0.5,-4"},
       0,
       "Output sum/sums: numbers of type kDouble, block length 1, 8 bytes: -7"},
      {{address, "--app=Label"}, 0, "Output label/text: scalar \"Total: 2.50 units\""},
      {{address, "--app=Label", "--value=not a number"},
       0,
       "Output label/text: scalar \"Total: not a number units\""},
      {{address, "--app=Image cleanup"},
       0,
       "Output invert/image: matrix 640x480, 1 channel(s), depth kDepth8U, 307200 bytes"},
      {{address, "--app=nope"}, 1, "No solution app 'nope'; the service lists:\n"},
      {{address, "--numbers=1,x"}, 2, "--numbers takes numbers separated by commas, not 'x'"},
      {{address, "--image=" + Scratch("missing.png").string()}, 1, "Cannot read an image from"},
      {{unused_address}, 1, "CreateSession failed: UNAVAILABLE (14): "},
      {{"--no-such-option"}, 2, "unrecognised option '--no-such-option'"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv{ZELPH_CLIENT_PROGRAM};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    ChildOptions options(ZELPH_CLIENT_PROGRAM, argv);
    options.working_directory = demo_->installation().Home().string();
    const ChildResult result = zelph::sys::testing::RunChild(options);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.arguments.back() << "\n" << result.err;
    EXPECT_NE((c.exit_code == 0 ? result.out : result.err).find(c.printed), std::string::npos)
        << c.arguments.back() << "\n"
        << result.out << result.err;
  }
  EXPECT_TRUE(IsJpeg(FileText(preview)));
}

}  // namespace
