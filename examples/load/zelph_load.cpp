// zelph_load.cpp
//
// zelph-load: N clients against a running service, each with its own channel, session and
// project, loading one solution app and then sending a test frame and evaluating the chain
// in a loop until the time is up. Prints the frames and calls per second, the 50th and 99th
// percentile latency of one frame (SetData of the frame, then the evaluation), the failures
// by status, the evaluations refused because the project was busy (a documented answer, no
// failure), and the server's resident memory and thread count at start and end, read from
// /proc of the server's process when its id is given.
//
//   zelph-load --address 127.0.0.1:50471 --clients 64 --seconds 30 --server-pid 1234
//
// Exit code 0 when no call failed, 1 when one did, 2 for bad options.
#include <boost/program_options.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "process_status.h"
#include "zelph/client/client_session.h"
#include "zelph/client/command_line.h"
#include "zelph/client/frames.h"

namespace po = boost::program_options;
using Clock = std::chrono::steady_clock;

namespace {

struct LoadOptions {
  std::string address = "127.0.0.1:50471";  // the demo installation
  int clients = 8;
  double seconds = 10;
  std::string app;  // the first listed when empty
  int width = 1920;
  int height = 1080;
  int server_pid = 0;
};

// What the clients saw, gathered under one lock at the end of each client.
struct LoadResult {
  std::mutex mutex;
  std::vector<double> frame_ms;
  std::map<std::string, long> failures;  // "<call>: <code>" -> count
  long refused = 0;                      // evaluations answered kCancelled
  long calls = 0;
};

void RunClient(const LoadOptions& options, int index, Clock::time_point end, LoadResult& result) {
  std::vector<double> frame_ms;
  std::map<std::string, long> failures;
  long refused = 0;
  long calls = 0;
  const auto fail = [&failures](const std::string& call, grpc::StatusCode code) {
    ++failures[call + ": " + zelph::client::StatusCodeText(code)];
  };
  try {
    zelph::client::InputValues frame;
    frame.image = zelph::client::TestFrame(options.width, options.height);
    zelph::client::ClientSession session(zelph::client::MakeChannel(options.address),
                                         "load-" + std::to_string(index));
    session.LoadApp(zelph::client::ChooseApp(session.ListApps(), options.app).id());
    calls += 4;  // CreateSession, CreateProject, GetList, LoadSolution (and its reads)
    while (Clock::now() < end) {
      const Clock::time_point start = Clock::now();
      try {
        session.SetInputs(frame);
        ++calls;
        const zelph::CommandStatus status = session.Evaluate();
        ++calls;
        if (status == zelph::kCancelled) ++refused;
        frame_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      } catch (const zelph::client::CallError& error) {
        ++calls;
        fail(error.call(), error.code());
      }
    }
    session.Close();
    calls += 2;
  } catch (const zelph::client::CallError& error) {
    fail(error.call(), error.code());
  } catch (const std::exception& error) {
    ++failures[std::string("client: ") + error.what()];
  }
  std::lock_guard lock(result.mutex);
  result.frame_ms.insert(result.frame_ms.end(), frame_ms.begin(), frame_ms.end());
  for (const auto& [what, count] : failures) result.failures[what] += count;
  result.refused += refused;
  result.calls += calls;
}

double Percentile(std::vector<double>& values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

void PrintServer(const char* when, int pid) {
  if (pid <= 0) return;
  const zelph::load::ProcessStatus status = zelph::load::ReadProcessStatus(pid);
  std::cout << "server at " << when << ": resident " << status.resident_kb / 1024 << " MB, "
            << status.threads << " threads\n";
}

}  // namespace

int main(int argc, char** argv) {
  LoadOptions options;
  po::options_description described("zelph-load: many clients evaluating a chain in a loop");
  described.add_options()("help,h", "show this help")(
      "address,a", po::value(&options.address)->default_value(options.address),
      "host:port of the service")("clients,n",
                                  po::value(&options.clients)->default_value(options.clients),
                                  "clients, each with its own channel, session and project")(
      "seconds,s", po::value(&options.seconds)->default_value(options.seconds),
      "how long the clients evaluate")(
      "app", po::value(&options.app),
      "solution app to load, by id or caption [default: the first listed]")(
      "width", po::value(&options.width)->default_value(options.width), "frame width")(
      "height", po::value(&options.height)->default_value(options.height), "frame height")(
      "server-pid", po::value(&options.server_pid),
      "process id of the server, for its memory and threads");
  const auto check = [&] {
    if (options.clients < 1 || options.seconds <= 0) throw po::error("clients and seconds > 0");
  };
  if (std::optional<int> exit_code = zelph::client::ReadCommandLine(argc, argv, described, check)) {
    return *exit_code;
  }

  PrintServer("start", options.server_pid);
  LoadResult result;
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(options.seconds));
  std::vector<std::thread> clients;
  for (int i = 0; i < options.clients; ++i) {
    clients.emplace_back(RunClient, std::cref(options), i, end, std::ref(result));
  }
  for (std::thread& client : clients) client.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

  long failed = 0;
  for (const auto& [what, count] : result.failures) failed += count;
  const double frames = static_cast<double>(result.frame_ms.size());
  std::cout << options.clients << " clients, " << seconds << " s: " << frames << " frames, "
            << frames / seconds << " frames/s, " << static_cast<double>(result.calls) / seconds
            << " calls/s\n"
            << "frame latency: p50 " << Percentile(result.frame_ms, 0.5) << " ms, p99 "
            << Percentile(result.frame_ms, 0.99) << " ms\n"
            << "refused (project busy): " << result.refused << "\n"
            << "failures: " << failed << "\n";
  for (const auto& [what, count] : result.failures)
    std::cout << "  " << what << ": " << count << "\n";
  PrintServer("end", options.server_pid);
  return failed == 0 ? 0 : 1;
}
