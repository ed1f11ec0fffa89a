// reply_memory_test.cpp
//
// Process test of what concurrent readers of one large entry cost the program: each reply is
// counted against the budget of reply bytes in flight before its copy of the entry is made,
// so sixteen readers of a 100 MB text under a 256 MiB budget never hold more copies than
// the budget lets through. The program's peak resident memory is read from /proc (VmHWM),
// reset once the entry is stored, so that the bound is about the reads alone; the bound
// (the budget and 200 MB) is generous, far below what sixteen copies take.
#include <grpcpp/grpcpp.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "message/ZelphServiceApiV2.grpc.pb.h"
#include "zelph/testing/program_client.h"
#include "zelph/testing/program_installation.h"

namespace {

using zelph::testing::Call;
using zelph::testing::ChildProcess;
using zelph::testing::NewConnection;
using zelph::testing::ProgramInstallation;
using Stub = zelph::ZelphServiceApiV2::Stub;

constexpr std::uint64_t kMB = 1000 * 1000;
constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// A field of /proc/<pid>/status in bytes ("VmHWM", "VmRSS"); 0 when it cannot be read.
std::uint64_t StatusBytes(int pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    if (key == field + ":") {
      std::uint64_t kilobytes = 0;
      status >> kilobytes;
      return kilobytes * 1024;
    }
    status.ignore(1 << 16, '\n');
  }
  return 0;
}

// Lets the peak resident memory of `pid` start again from what it holds now.
bool ResetPeakResident(int pid) {
  std::ofstream clear_refs("/proc/" + std::to_string(pid) + "/clear_refs");
  clear_refs << "5";
  return static_cast<bool>(clear_refs.flush());
}

struct Reader {
  const char* name;
  const char* url;
  // Stores the entry that `url` reads.
  void (*store)(Stub& stub, std::uint64_t bytes);
};

void StoreText(Stub& stub, std::uint64_t bytes) {
  zelph::SetDataRequest set;
  set.set_url("/session:s/project:p/input:text");
  set.mutable_data()->set_url(set.url());
  set.mutable_data()->set_string_val(std::string(bytes, 't'));
  const grpc::Status status = Call(stub, &Stub::SetData, set);
  ASSERT_TRUE(status.ok()) << status.error_code() << " " << status.error_message();
}

void StoreMatrix(Stub& stub, std::uint64_t bytes) {
  zelph::SetDataRequest set;
  set.set_url("/session:s/project:p/input:matrix");
  set.mutable_data()->set_url(set.url());
  zelph::GMat* mat = set.mutable_data()->mutable_mat();
  mat->set_channels(1);
  mat->add_dims(static_cast<std::int64_t>(bytes));
  mat->set_buffer(std::string(bytes, 'm'));
  const grpc::Status status = Call(stub, &Stub::SetData, set);
  ASSERT_TRUE(status.ok()) << status.error_code() << " " << status.error_message();
}

TEST(ReplyMemoryTest, ConcurrentReadersOfALargeEntryStayWithinTheBudget) {
#ifdef ZELPH_SANITIZED
  GTEST_SKIP() << "the sanitizers' shadow memory and quarantine are no figure of the program";
#endif
  constexpr std::uint64_t kEntryBytes = 100 * kMB;
  constexpr std::uint64_t kBudgetBytes = 256 * kMiB;
  constexpr int kReaders = 16;
  const Reader kEntries[] = {
      {"text", "/session:s/project:p/input:text", &StoreText},
      {"matrix", "/session:s/project:p/input:matrix", &StoreMatrix},
  };
  for (const Reader& reader : kEntries) {
    SCOPED_TRACE(reader.name);
    ProgramInstallation installation;
    installation.WriteConfig(installation.Config(
        "info", "\"max_reply_bytes_in_flight\": " + std::to_string(kBudgetBytes)));
    const std::unique_ptr<ChildProcess> server = installation.Start({});
    ASSERT_TRUE(ProgramInstallation::WaitUntilListening(*server));
    const std::unique_ptr<Stub> stub = NewConnection(installation.Address());
    zelph::CreateSessionRequest session;
    session.set_id("s");
    ASSERT_TRUE(Call(*stub, &Stub::CreateSession, session).ok());
    zelph::CreateProjectRequest project;
    project.set_url("/session:s/project:p");
    ASSERT_TRUE(Call(*stub, &Stub::CreateProject, project).ok());
    reader.store(*stub, kEntryBytes);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(ResetPeakResident(server->Pid()));
    const std::uint64_t resident_before = StatusBytes(server->Pid(), "VmRSS");

    // Each reader on a connection of its own, all at once; refusals for the budget are
    // expected, and any other answer but the entry is a fault.
    std::vector<std::thread> readers;
    std::vector<grpc::StatusCode> codes(kReaders, grpc::StatusCode::OK);
    for (int i = 0; i < kReaders; ++i) {
      readers.emplace_back([&, i] {
        const std::unique_ptr<Stub> own = NewConnection(installation.Address());
        zelph::GetDataRequest get;
        get.add_url(reader.url);
        zelph::GetDataResponse response;
        codes[i] = Call(*own, &Stub::GetData, get, &response).error_code();
      });
    }
    for (std::thread& thread : readers) thread.join();
    const std::uint64_t peak = StatusBytes(server->Pid(), "VmHWM");
    for (const grpc::StatusCode code : codes) {
      EXPECT_TRUE(code == grpc::StatusCode::OK || code == grpc::StatusCode::RESOURCE_EXHAUSTED)
          << code;
    }
    RecordProperty(std::string(reader.name) + "_peak_resident_mb", std::to_string(peak / kMB));
    std::printf("%s: resident %llu MB before the reads, peak %llu MB during them\n", reader.name,
                static_cast<unsigned long long>(resident_before / kMB),
                static_cast<unsigned long long>(peak / kMB));
    EXPECT_LE(peak, kBudgetBytes + 200 * kMB);
    server->Signal(SIGINT);
    EXPECT_EQ(server->Wait().exit_code, 0);
  }
}

}  // namespace
