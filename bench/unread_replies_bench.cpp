// unread_replies_bench.cpp
//
// The program's resident memory while a client that stopped reading holds many calls of a
// large cached matrix, and after that client is gone. The program runs from a temporary
// installation with the default bounds, or with the budget of reply bytes in flight given:
//   UnreadReplies/calls:40/matrix_mib:64/budget_mib:0|1024
// Counters (MB and threads of the program, read from /proc):
//   rss_start_mb    the matrix stored, before the calls
//   rss_during_mb   the calls sent and never read, once the memory has settled
//   rss_after_mb    the client disconnected, once the memory has settled
//   threads_start, threads_during
// Settling is waited for by sampling, not by a condition: this is a measurement, not a test.
#include <benchmark/benchmark.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "process_status.h"
#include "zelph/api/transport_options.h"
#include "zelph/testing/program_installation.h"
#include "zelph/testing/unread_reply.h"

namespace {

using zelph::load::ProcessStatus;
using zelph::load::ReadProcessStatus;
using zelph::testing::ChildProcess;
using zelph::testing::ProgramInstallation;
using zelph::testing::UnreadReply;
using Stub = zelph::ZelphServiceApiV2::Stub;

constexpr char kMatrix[] = "/session:s/project:p/input:matrix";

// The process's status once its resident memory has stopped moving: three samples half a
// second apart within 1% of each other (the program returns memory half a second after its
// calls end), or after twenty seconds.
ProcessStatus Settled(int pid) {
  ProcessStatus last = ReadProcessStatus(pid);
  int still = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (still < 2 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const ProcessStatus now = ReadProcessStatus(pid);
    const long moved = now.resident_kb > last.resident_kb ? now.resident_kb - last.resident_kb
                                                          : last.resident_kb - now.resident_kb;
    still = moved * 100 <= now.resident_kb ? still + 1 : 0;
    last = now;
  }
  return last;
}

bool Stored(Stub& stub, std::int64_t bytes) {
  grpc::ClientContext session_context;
  zelph::CreateSessionRequest session;
  session.set_id("s");
  zelph::CreateSessionResponse session_response;
  grpc::ClientContext project_context;
  zelph::CreateProjectRequest project;
  project.set_url("/session:s/project:p");
  zelph::CreateProjectResponse project_response;
  grpc::ClientContext set_context;
  zelph::SetDataRequest set;
  set.set_url(kMatrix);
  set.mutable_data()->set_url(kMatrix);
  zelph::GMat* mat = set.mutable_data()->mutable_mat();
  mat->set_channels(1);
  mat->add_dims(bytes);
  mat->set_buffer(std::string(static_cast<size_t>(bytes), 'm'));
  zelph::SetDataResponse set_response;
  return stub.CreateSession(&session_context, session, &session_response).ok() &&
         stub.CreateProject(&project_context, project, &project_response).ok() &&
         stub.SetData(&set_context, set, &set_response).ok();
}

double Megabytes(long kilobytes) { return static_cast<double>(kilobytes) / 1024.0; }

void UnreadReplies(benchmark::State& state) {
  const int calls = static_cast<int>(state.range(0));
  const std::int64_t matrix_bytes = state.range(1) << 20;
  const std::int64_t budget_mib = state.range(2);
  for (auto _ : state) {
    ProgramInstallation installation;
    installation.WriteConfig(installation.Config(
        "info", budget_mib == 0
                    ? std::string()
                    : "\"max_reply_bytes_in_flight\": " + std::to_string(budget_mib << 20)));
    std::unique_ptr<ChildProcess> server = installation.Start({});
    if (!ProgramInstallation::WaitUntilListening(*server)) {
      state.SkipWithError(server->Wait().err.c_str());
      break;
    }
    const int pid = server->Pid();
    ProcessStatus start;
    ProcessStatus during;
    {
      grpc::ChannelArguments arguments;
      zelph::ApplyTransportOptions(arguments);
      std::unique_ptr<Stub> stub = zelph::ZelphServiceApiV2::NewStub(grpc::CreateCustomChannel(
          installation.Address(), grpc::InsecureChannelCredentials(), arguments));
      if (!Stored(*stub, matrix_bytes)) {
        state.SkipWithError("the matrix was not stored");
        break;
      }
      start = Settled(pid);
      zelph::GetDataRequest request;
      request.add_url(kMatrix);
      std::vector<std::unique_ptr<UnreadReply>> unread;
      for (int i = 0; i < calls; ++i)
        unread.push_back(std::make_unique<UnreadReply>(*stub, request));
      during = Settled(pid);
    }  // the calls cancelled, the channel closed
    const ProcessStatus after = Settled(pid);
    server->Signal(SIGINT);
    server->Wait();
    state.counters["rss_start_mb"] = Megabytes(start.resident_kb);
    state.counters["rss_during_mb"] = Megabytes(during.resident_kb);
    state.counters["rss_after_mb"] = Megabytes(after.resident_kb);
    state.counters["threads_start"] = start.threads;
    state.counters["threads_during"] = during.threads;
  }
}
BENCHMARK(UnreadReplies)
    ->ArgNames({"calls", "matrix_mib", "budget_mib"})
    ->Args({40, 64, 0})
    ->Args({40, 64, 1024})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
