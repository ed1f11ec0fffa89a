// server.h
//
// The process's one gRPC endpoint: the service object and the server that serves it,
// created by StartServer and living until the process ends.
#pragma once

namespace zelph::host {

// Makes sure nothing listens on 127.0.0.1 at the configured port, creates the service (with
// the configured budget of reply bytes in flight, whose drain returns the allocator's free
// memory to the system) and builds and starts the server on the configured host and port,
// with the configured caps of handler threads and of streams per connection, and caps the
// runs in progress at the configured number. Throws
// std::runtime_error when the port is taken, is not a TCP port (1 to 65535), or the server cannot
// start. Call once per process, from the main or the service thread.
void StartServer();

// Stops the server, giving calls in flight five seconds; then the chains of all projects are
// interrupted until the calls have returned, so that a long evaluation cannot keep the
// server up. Returns once the server has stopped, true; does nothing and answers false when
// no server has started. Never throws; any thread, also while another thread waits in
// WaitServer.
bool ShutdownServer() noexcept;

// Blocks until the server has been shut down. Returns at once when no server has started.
void WaitServer();

}  // namespace zelph::host
