// The demo solutions as a client meets them: the program with the Java plug-in and the demo
// models serves each demo app (and the template) from the demo solution folders, and an
// evaluation gives what the chained models compute.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zelph/testing/program_client.h"
#include "zelph/testing/program_installation.h"

namespace {

using zelph::testing::ChildResult;
using zelph::testing::DemoServer;
using zelph::testing::ProgramClient;
using Stub = zelph::testing::ProgramStub;

constexpr char kImageCleanup[] = "d3e00000-0000-4000-8000-000000000001";
constexpr char kNumberSummary[] = "d3e00000-0000-4000-8000-000000000002";
constexpr char kLabel[] = "d3e00000-0000-4000-8000-000000000003";

class DemoInstallationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { demo_ = new DemoServer(); }
  static void TearDownTestSuite() {
    const ChildResult result = demo_->Stop(SIGINT);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    delete demo_;
  }

  void SetUp() override {
    client_ = std::make_unique<ProgramClient>(demo_->installation().Address());
  }

  template <typename Request, typename Response>
  grpc::Status Call(grpc::Status (Stub::*method)(grpc::ClientContext*, const Request&, Response*),
                    const Request& request, Response* response) {
    return client_->Call(method, request, response);
  }

  // A new project of a new session with the solution loaded.
  std::string LoadedProject(const std::string& app) {
    const std::string session = "demo-" + std::to_string(++projects_);
    // The catalogue is read from the solution folders when a client lists the apps.
    zelph::GetListRequest list;
    list.set_url("/app");
    zelph::GetListResponse listed;
    const grpc::Status listing = Call(&Stub::GetList, list, &listed);
    EXPECT_TRUE(listing.ok()) << listing.error_message();
    zelph::CreateSessionRequest create_session;
    create_session.set_id(session);
    zelph::CreateSessionResponse session_created;
    EXPECT_TRUE(Call(&Stub::CreateSession, create_session, &session_created).ok());
    zelph::CreateProjectRequest create_project;
    create_project.set_url("/session:" + session + "/project:p");
    zelph::CreateProjectResponse project_created;
    const grpc::Status created = Call(&Stub::CreateProject, create_project, &project_created);
    EXPECT_TRUE(created.ok()) << created.error_message();
    zelph::LoadSolutionRequest load;
    load.set_project_url(project_created.url());
    load.set_solution_id(app);
    zelph::LoadSolutionResponse loaded;
    const grpc::Status status = Call(&Stub::LoadSolution, load, &loaded);
    EXPECT_TRUE(status.ok()) << status.error_code() << " " << status.error_message();
    EXPECT_EQ(loaded.chain_id(), app);
    return project_created.url();
  }

  // Sets `input` on the project's input key, evaluates the project and returns the value of
  // `output`.
  zelph::GAnyData Evaluate(const std::string& project, const std::string& input,
                           const zelph::GAnyData& value, const std::string& output) {
    zelph::SetDataRequest set;
    set.set_url(project + input);
    *set.mutable_data() = value;
    set.mutable_data()->set_url(input);
    zelph::SetDataResponse set_response;
    const grpc::Status set_status = Call(&Stub::SetData, set, &set_response);
    EXPECT_TRUE(set_status.ok()) << set_status.error_message();
    zelph::ExecuteCommandRequest run;
    run.add_url(project);
    run.set_command(zelph::kEvaluate);
    zelph::ExecuteCommandResponse run_response;
    const grpc::Status run_status = Call(&Stub::ExecuteCommand, run, &run_response);
    EXPECT_TRUE(run_status.ok()) << run_status.error_message();
    EXPECT_EQ(run_response.status(), zelph::kOk);
    zelph::GetDataRequest get;
    get.add_url(project + output);
    zelph::GetDataResponse got;
    const grpc::Status get_status = Call(&Stub::GetData, get, &got);
    EXPECT_TRUE(get_status.ok()) << get_status.error_message();
    return got.data_size() == 1 ? got.data(0) : zelph::GAnyData();
  }

  static DemoServer* demo_;
  static int projects_;
  std::unique_ptr<ProgramClient> client_;
};

DemoServer* DemoInstallationTest::demo_ = nullptr;
int DemoInstallationTest::projects_ = 0;

zelph::GAnyData Image(unsigned char value) {
  zelph::GAnyData data;
  zelph::GMat* mat = data.mutable_mat();
  mat->set_depth(zelph::kDepth8U);
  mat->set_channels(1);
  mat->add_dims(4);
  mat->add_dims(4);
  mat->set_buffer(std::string(16, static_cast<char>(value)));
  return data;
}

// Grey, blur, threshold at 128, invert: an even 100 is below the level (black), inverted to
// white, and an even 200 above it.
TEST_F(DemoInstallationTest, ImageCleanupThresholdsAndInverts) {
  const std::string project = LoadedProject(kImageCleanup);
  for (const auto& [pixel, expected] : {std::pair{100, 255}, std::pair{200, 0}}) {
    const zelph::GAnyData result =
        Evaluate(project, "/worker:grey/input:image", Image(static_cast<unsigned char>(pixel)),
                 "/worker:invert/output:image");
    ASSERT_TRUE(result.has_mat()) << result.DebugString();
    EXPECT_EQ(result.mat().buffer(), std::string(16, static_cast<char>(expected)));
  }
}

TEST_F(DemoInstallationTest, NumberSummaryScalesAndSumsBlocks) {
  const std::string project = LoadedProject(kNumberSummary);
  const std::vector<int32_t> values = {1, 2, 3, 4};
  zelph::GAnyData input;
  input.mutable_numbers()->set_block_length(2);
  input.mutable_numbers()->set_element_type(zelph::kInt32);
  input.mutable_numbers()->set_buffer(
      std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(int32_t)));
  const zelph::GAnyData result =
      Evaluate(project, "/worker:scale/input:values", input, "/worker:sum/output:sums");
  ASSERT_TRUE(result.has_numbers()) << result.DebugString();
  ASSERT_EQ(result.numbers().element_type(), zelph::kDouble);
  std::vector<double> sums(result.numbers().buffer().size() / sizeof(double));
  std::memcpy(sums.data(), result.numbers().buffer().data(), sums.size() * sizeof(double));
  EXPECT_EQ(sums, (std::vector<double>{6, 14}));
}

TEST_F(DemoInstallationTest, LabelFormatsAScalar) {
  const std::string project = LoadedProject(kLabel);
  zelph::GAnyData input;
  input.set_string_val("3.14159");
  const zelph::GAnyData result =
      Evaluate(project, "/worker:label/input:value", input, "/worker:label/output:text");
  ASSERT_TRUE(result.has_scalar()) << result.DebugString();
  EXPECT_EQ(result.scalar().value(), "Total: 3.14 units");
}

}  // namespace
