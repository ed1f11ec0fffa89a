// zelph_attack.cpp
//
// zelph-attack: one attack on a running service, beside honest clients, with its figures.
// scripts/attack.sh starts a fresh server for each attack and runs this tool against it.
//
//   zelph-attack --address 127.0.0.1:PORT --pid SERVER_PID --attack NAME
//
// Attacks (NAME):
//   unread      5 connections x 32 GetData calls of a 16 MiB matrix whose replies are never
//               read and that set no deadline, held 40 s (past the reply send timeout)
//   text16      a 100 MB text entry read by 16 clients at once
//   halfsent    8 connections each sending half of a 200 MB SetData request, held 10 s
//   rapidreset  one connection opening 100000 calls, each reset at once
//   hugeids     64 sessions with ids of 1 MiB
//   asyncruns   200 projects of the "Image cleanup" app, each with a slow blur of a 2000 x 2000
//               picture, evaluated asynchronously at once, then interrupted and removed
// Four honest clients list the sessions in a loop meanwhile (5 s deadline each). The tool
// prints one line: the attack, the server's peak resident memory and thread count while
// it ran, its resident memory and threads 2 s after it, and the honest calls refused.
#include <arpa/inet.h>
#include <grpcpp/grpcpp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "message/ZelphServiceApiV2.grpc.pb.h"
#include "process_status.h"
#include "zelph/api/transport_options.h"

namespace {

using Stub = zelph::ZelphServiceApiV2::Stub;
using namespace std::chrono_literals;

std::string address;
int server_pid = 0;

std::unique_ptr<Stub> NewConnection() {
  grpc::ChannelArguments arguments;
  zelph::ApplyTransportOptions(arguments);
  arguments.SetInt(GRPC_ARG_USE_LOCAL_SUBCHANNEL_POOL, 1);
  return zelph::ZelphServiceApiV2::NewStub(
      grpc::CreateCustomChannel(address, grpc::InsecureChannelCredentials(), arguments));
}

template <typename Request, typename Response>
grpc::Status Call(Stub& stub,
                  grpc::Status (Stub::*method)(grpc::ClientContext*, const Request&, Response*),
                  const Request& request, std::chrono::seconds deadline = 60s) {
  grpc::ClientContext context;
  context.set_deadline(std::chrono::system_clock::now() + deadline);
  Response response;
  return (stub.*method)(&context, request, &response);
}

// Samples the server's resident memory and threads until stopped; keeps the peaks.
class Sampler {
 public:
  Sampler()
      : thread_([this] {
          while (!stop_) {
            const zelph::load::ProcessStatus status = zelph::load::ReadProcessStatus(server_pid);
            peak_kb_ = std::max(peak_kb_.load(), status.resident_kb);
            peak_threads_ = std::max(peak_threads_.load(), status.threads);
            std::this_thread::sleep_for(20ms);
          }
        }) {}
  ~Sampler() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  long PeakKb() const { return peak_kb_; }
  int PeakThreads() const { return peak_threads_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<long> peak_kb_{0};
  std::atomic<int> peak_threads_{0};
  std::thread thread_;
};

// Honest clients that list the sessions in a loop until stopped, counting refusals.
class HonestClients {
 public:
  HonestClients() {
    for (int i = 0; i < 4; ++i) {
      clients_.emplace_back([this] {
        const std::unique_ptr<Stub> stub = NewConnection();
        zelph::GetListRequest list;
        list.set_url("/session");
        while (!stop_) {
          ++calls_;
          if (!Call(*stub, &Stub::GetList, list, 5s).ok()) ++refused_;
        }
      });
    }
  }
  ~HonestClients() { Stop(); }
  void Stop() {
    stop_ = true;
    for (std::thread& client : clients_) {
      if (client.joinable()) client.join();
    }
  }
  int Calls() const { return calls_; }
  int Refused() const { return refused_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> calls_{0};
  std::atomic<int> refused_{0};
  std::vector<std::thread> clients_;
};

void CreateSessionAndProject(Stub& stub, const std::string& session) {
  zelph::CreateSessionRequest create;
  create.set_id(session);
  Call(stub, &Stub::CreateSession, create);
  zelph::CreateProjectRequest project;
  project.set_url("/session:" + session + "/project:p");
  Call(stub, &Stub::CreateProject, project);
}

// A GetData call whose reply is never read.
class UnreadCall {
 public:
  UnreadCall(Stub& stub, const zelph::GetDataRequest& request)
      : call_(stub.PrepareAsyncGetData(&context_, request, &queue_)) {
    call_->StartCall();
    call_->ReadInitialMetadata(this);
  }
  ~UnreadCall() {
    context_.TryCancel();
    zelph::GetDataResponse response;
    grpc::Status status;
    call_->Finish(&response, &status, this);
    queue_.Shutdown();
    void* tag = nullptr;
    bool ok = false;
    while (queue_.Next(&tag, &ok)) {
    }
  }

 private:
  grpc::ClientContext context_;
  grpc::CompletionQueue queue_;
  std::unique_ptr<grpc::ClientAsyncResponseReader<zelph::GetDataResponse>> call_;
};

void Unread() {
  const std::unique_ptr<Stub> setup = NewConnection();
  CreateSessionAndProject(*setup, "a");
  const std::string url = "/session:a/project:p/input:matrix";
  zelph::SetDataRequest set;
  set.set_url(url);
  set.mutable_data()->set_url(url);
  zelph::GMat* mat = set.mutable_data()->mutable_mat();
  mat->set_channels(1);
  mat->add_dims(16 << 20);
  mat->set_buffer(std::string(16 << 20, 'm'));
  Call(*setup, &Stub::SetData, set);
  zelph::GetDataRequest get;
  get.add_url(url);
  std::vector<std::unique_ptr<Stub>> connections;
  std::vector<std::unique_ptr<UnreadCall>> calls;
  for (int c = 0; c < 5; ++c) {
    connections.push_back(NewConnection());
    for (int i = 0; i < 32; ++i)
      calls.push_back(std::make_unique<UnreadCall>(*connections.back(), get));
  }
  std::this_thread::sleep_for(40s);
}

void Text16() {
  const std::unique_ptr<Stub> setup = NewConnection();
  CreateSessionAndProject(*setup, "a");
  const std::string url = "/session:a/project:p/input:text";
  zelph::SetDataRequest set;
  set.set_url(url);
  set.mutable_data()->set_url(url);
  set.mutable_data()->set_string_val(std::string(100'000'000, 't'));
  Call(*setup, &Stub::SetData, set);
  zelph::GetDataRequest get;
  get.add_url(url);
  std::vector<std::thread> readers;
  for (int i = 0; i < 16; ++i) {
    readers.emplace_back([&] {
      const std::unique_ptr<Stub> stub = NewConnection();
      Call(*stub, &Stub::GetData, get);
    });
  }
  for (std::thread& reader : readers) reader.join();
}

void HugeIds() {
  const std::unique_ptr<Stub> stub = NewConnection();
  for (int i = 0; i < 64; ++i) {
    zelph::CreateSessionRequest create;
    create.set_id(std::string(1 << 20, static_cast<char>('a' + i % 26)) + std::to_string(i));
    Call(*stub, &Stub::CreateSession, create);
  }
  std::this_thread::sleep_for(5s);
}

// Asynchronous runs of 200 projects at once: past "max_runs" they are refused, so they cannot
// take threads without bound; once interrupted and removed, their threads end.
void AsyncRuns() {
  constexpr int kProjects = 200;
  constexpr int kSide = 2000;
  const std::unique_ptr<Stub> stub = NewConnection();
  zelph::GetListRequest apps;  // the listing makes the server scan its app folder
  apps.set_url("/app");
  Call(*stub, &Stub::GetList, apps);
  std::vector<std::string> projects;
  for (int i = 0; i < kProjects; ++i) {
    const std::string session = "runs" + std::to_string(i);
    CreateSessionAndProject(*stub, session);
    const std::string project = "/session:" + session + "/project:p";
    zelph::LoadSolutionRequest load;
    load.set_project_url(project);
    load.set_solution_id("d3e00000-0000-4000-8000-000000000001");  // "Image cleanup"
    Call(*stub, &Stub::LoadSolution, load);
    zelph::SetDataRequest size;
    size.set_url(project + "/worker:blur/property:size");
    size.mutable_data()->set_int32_val(201);
    Call(*stub, &Stub::SetData, size);
    zelph::SetDataRequest image;
    image.set_url(project + "/worker:grey/input:image");
    image.mutable_data()->set_url(image.url());
    zelph::GMat* mat = image.mutable_data()->mutable_mat();
    mat->set_channels(3);
    mat->add_dims(kSide);
    mat->add_dims(kSide);
    mat->set_buffer(std::string(std::size_t{3} * kSide * kSide, 'i'));
    Call(*stub, &Stub::SetData, image);
    projects.push_back(project);
  }
  const auto command = [&](zelph::Command which) {
    int refused = 0;
    for (const std::string& project : projects) {
      zelph::ExecuteCommandRequest request;
      request.add_url(project);
      request.set_command(which);
      if (!Call(*stub, &Stub::ExecuteCommand, request).ok()) ++refused;
    }
    return refused;
  };
  const int refused = command(zelph::kEvaluateAsync);
  std::printf("asyncruns: %d of %d runs refused at the cap\n", refused, kProjects);
  std::this_thread::sleep_for(5s);
  command(zelph::kInterrupt);
  for (int i = 0; i < kProjects; ++i) {
    zelph::RemoveRequest remove;
    remove.add_url("/session:runs" + std::to_string(i));
    Call(*stub, &Stub::Remove, remove);
  }
  std::this_thread::sleep_for(5s);
}

// A raw HTTP/2 connection: enough of the protocol to open calls, send their bytes within
// the windows the server grants, and reset them.
class RawConnection {
 public:
  RawConnection() {
    const std::size_t colon = address.rfind(':');
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<std::uint16_t>(std::stoi(address.substr(colon + 1))));
    inet_pton(AF_INET, address.substr(0, colon).c_str(), &peer.sin_addr);
    socket_ = socket(AF_INET, SOCK_STREAM, 0);
    if (connect(socket_, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
      throw std::runtime_error("cannot connect");
    }
    Write("PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n");
    Frame(4, 0, 0, "");
    reader_ = std::thread([this] { Read(); });
  }
  ~RawConnection() {
    shutdown(socket_, SHUT_RDWR);
    reader_.join();
    close(socket_);
  }

  // Opens a call of `method` on stream `id`.
  void Open(std::uint32_t id, const std::string& method) {
    std::string block;
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {":method", "POST"},
             {":scheme", "http"},
             {":path", "/zelph.ZelphServiceApiV2/" + method},
             {":authority", "localhost"},
             {"content-type", "application/grpc"},
             {"te", "trailers"}}) {
      block += '\0';  // a literal without indexing, new name
      block += static_cast<char>(name.size());
      block += name;
      block += static_cast<char>(value.size());
      block += value;
    }
    Frame(1, 4, id, block);
  }
  void Reset(std::uint32_t id) { Frame(3, 0, id, std::string("\0\0\0\x08", 4)); }
  // Sends `bytes` of data on stream `id` as the windows allow; false when the connection
  // ended first.
  bool Send(std::uint32_t id, std::string_view bytes) {
    while (!bytes.empty()) {
      std::unique_lock lock(mutex_);
      window_changed_.wait(
          lock, [&] { return closed_ || (connection_window_ > 0 && StreamWindow(id) > 0); });
      if (closed_) return false;
      const std::int64_t size = std::min<std::int64_t>(
          {static_cast<std::int64_t>(bytes.size()), connection_window_, StreamWindow(id), 16384});
      connection_window_ -= size;
      stream_windows_[id] = StreamWindow(id) - size;
      lock.unlock();
      Frame(0, 0, id, std::string(bytes.substr(0, static_cast<std::size_t>(size))));
      bytes.remove_prefix(static_cast<std::size_t>(size));
    }
    return true;
  }

 private:
  std::int64_t StreamWindow(std::uint32_t id) {
    const auto found = stream_windows_.find(id);
    return found != stream_windows_.end() ? found->second : initial_stream_window_;
  }
  void Write(const std::string& bytes) {
    std::lock_guard lock(write_mutex_);
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t written = send(socket_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (written <= 0) return;
      done += static_cast<std::size_t>(written);
    }
  }
  void Frame(int type, int flags, std::uint32_t stream, const std::string& payload) {
    std::string frame(9, '\0');
    frame[0] = static_cast<char>(payload.size() >> 16);
    frame[1] = static_cast<char>(payload.size() >> 8);
    frame[2] = static_cast<char>(payload.size());
    frame[3] = static_cast<char>(type);
    frame[4] = static_cast<char>(flags);
    frame[5] = static_cast<char>(stream >> 24);
    frame[6] = static_cast<char>(stream >> 16);
    frame[7] = static_cast<char>(stream >> 8);
    frame[8] = static_cast<char>(stream);
    Write(frame + payload);
  }
  bool ReadExactly(char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
      const ssize_t got = recv(socket_, buffer + done, size - done, 0);
      if (got <= 0) return false;
      done += static_cast<std::size_t>(got);
    }
    return true;
  }
  static std::uint32_t Number(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
    return value;
  }
  void Read() {
    unsigned char header[9];
    std::string payload;
    while (ReadExactly(reinterpret_cast<char*>(header), 9)) {
      payload.resize(Number(header, 3));
      if (!ReadExactly(payload.data(), payload.size())) break;
      const int type = header[3];
      const int flags = header[4];
      const std::uint32_t stream = Number(header + 5, 4) & 0x7fffffff;
      const auto* bytes = reinterpret_cast<const unsigned char*>(payload.data());
      if (type == 4 && (flags & 1) == 0) {  // SETTINGS
        std::lock_guard lock(mutex_);
        for (std::size_t at = 0; at + 6 <= payload.size(); at += 6) {
          if (Number(bytes + at, 2) == 4) {
            const std::int64_t size = Number(bytes + at + 2, 4);
            for (auto& [id, window] : stream_windows_) window += size - initial_stream_window_;
            initial_stream_window_ = size;
          }
        }
        Frame(4, 1, 0, "");
      } else if (type == 6 && (flags & 1) == 0) {  // PING
        Frame(6, 1, 0, payload);
      } else if (type == 8) {  // WINDOW_UPDATE
        std::lock_guard lock(mutex_);
        const std::int64_t increment = Number(bytes, 4) & 0x7fffffff;
        if (stream == 0) {
          connection_window_ += increment;
        } else {
          stream_windows_[stream] = StreamWindow(stream) + increment;
        }
      }
      window_changed_.notify_all();
    }
    std::lock_guard lock(mutex_);
    closed_ = true;
    window_changed_.notify_all();
  }

  int socket_ = -1;
  std::mutex write_mutex_;
  std::mutex mutex_;
  std::condition_variable window_changed_;
  std::int64_t connection_window_ = 65535;
  std::int64_t initial_stream_window_ = 65535;
  std::map<std::uint32_t, std::int64_t> stream_windows_;
  bool closed_ = false;
  std::thread reader_;
};

void HalfSent() {
  constexpr std::uint32_t kMessage = 200'000'000;
  std::string prefix(5, '\0');
  prefix[1] = static_cast<char>(kMessage >> 24);
  prefix[2] = static_cast<char>(kMessage >> 16);
  prefix[3] = static_cast<char>(kMessage >> 8);
  prefix[4] = static_cast<char>(kMessage);
  const std::string half(kMessage / 2, 'h');
  std::vector<std::unique_ptr<RawConnection>> connections;
  std::vector<std::thread> senders;
  for (int i = 0; i < 8; ++i) connections.push_back(std::make_unique<RawConnection>());
  for (auto& connection : connections) {
    senders.emplace_back([&, raw = connection.get()] {
      raw->Open(1, "SetData");
      raw->Send(1, prefix);
      raw->Send(1, half);
    });
  }
  std::this_thread::sleep_for(10s);
  connections.clear();  // closing the sockets ends the senders that still wait for windows
  for (std::thread& sender : senders) sender.join();
  std::this_thread::sleep_for(3s);
}

void RapidReset() {
  RawConnection connection;
  for (std::uint32_t i = 0; i < 100000; ++i) {
    const std::uint32_t id = 2 * i + 1;
    connection.Open(id, "GetList");
    connection.Reset(id);
  }
  std::this_thread::sleep_for(3s);
}

// The whole number `text` from 1 to `most`, or 0.
int WholeNumber(std::string_view text, int most) {
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc() && end == text.data() + text.size() && number >= 1 && number <= most
             ? number
             : 0;
}

// HOST:PORT with a port from 1 to 65535: the raw connections take the address apart.
bool HasPort(const std::string& host_port) {
  const std::size_t colon = host_port.rfind(':');
  return colon != std::string::npos && colon > 0 &&
         WholeNumber(std::string_view(host_port).substr(colon + 1), 65535) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string attack;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--address") address = argv[i + 1];
    if (option == "--pid") server_pid = WholeNumber(argv[i + 1], INT_MAX);
    if (option == "--attack") attack = argv[i + 1];
  }
  const std::map<std::string, std::function<void()>> attacks = {
      {"unread", Unread},         {"text16", Text16},   {"halfsent", HalfSent},
      {"rapidreset", RapidReset}, {"hugeids", HugeIds}, {"asyncruns", AsyncRuns}};
  const auto found = attacks.find(attack);
  if (!HasPort(address) || server_pid == 0 || found == attacks.end()) {
    std::fprintf(stderr,
                 "usage: zelph-attack --address HOST:PORT --pid PID --attack "
                 "unread|text16|halfsent|rapidreset|hugeids|asyncruns\n");
    return 2;
  }
  const zelph::load::ProcessStatus before = zelph::load::ReadProcessStatus(server_pid);
  Sampler sampler;
  HonestClients honest;
  found->second();
  honest.Stop();
  // The memory of drained replies goes back once gRPC has finished sending them.
  std::this_thread::sleep_for(2s);
  sampler.Stop();
  const zelph::load::ProcessStatus after = zelph::load::ReadProcessStatus(server_pid);
  std::printf(
      "%-10s resident MB: before %ld, peak %ld, after %ld; threads: before %d, peak %d, after "
      "%d; honest calls refused: %d of %d\n",
      attack.c_str(), before.resident_kb / 1024, sampler.PeakKb() / 1024, after.resident_kb / 1024,
      before.threads, sampler.PeakThreads(), after.threads, honest.Refused(), honest.Calls());
  return 0;
}
