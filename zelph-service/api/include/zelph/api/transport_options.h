// transport_options.h
//
// The gRPC settings of every connection to the service: the server (the program and the
// in-process test server) and its clients (the example client, tests and benchmarks) apply
// them, so that what the benchmarks measure is what clients get.
//
// A message carries whole matrices of tens or hundreds of megabytes, so message sizes are
// unlimited both ways up to gRPC's own ceiling (2 GB - 1); gRPC's default receive limit of
// 4 MB would refuse them. Flow control stays gRPC's own: gRPC opens a stream's window to
// the size of the message it is receiving and BDP probing widens the connection's window
// within the first large message, and over loopback neither wider fixed windows (with or
// without probing), larger frames, larger read chunks and write buffers nor transmit
// zero-copy made 25 MB or 100 MB round trips faster (zero-copy made them slower).
//
// The server also keeps up to one waiting thread per processor between calls, so that
// concurrent clients do not make it start and end a thread per call.
#pragma once

namespace grpc {
class ChannelArguments;
class ServerBuilder;
}  // namespace grpc

namespace zelph {

// Sets the server's options; call before BuildAndStart.
void ApplyTransportOptions(grpc::ServerBuilder& builder);

// The most threads a server with these options keeps waiting for calls.
int MostWaitingServerThreads();

// Sets a client channel's options; pass the arguments to grpc::CreateCustomChannel.
void ApplyTransportOptions(grpc::ChannelArguments& arguments);

}  // namespace zelph
