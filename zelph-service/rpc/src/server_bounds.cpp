// server_bounds.cpp
//
// The gRPC settings of the bounds and the service's own.
#include "zelph/rpc/server_bounds.h"

#include <grpcpp/resource_quota.h>
#include <grpcpp/server_builder.h>

#include "zelph/api/transport_options.h"
#include "zelph/config/zelph_config.h"
#include "zelph/rpc/zelph_service.h"

namespace zelph::rpc {

ServerBounds ConfiguredServerBounds(const ZelphConfig& config) {
  return {config.GetMaxHandlerThreads(), config.GetMaxStreamsPerConnection(),
          std::chrono::seconds(config.GetReplySendTimeoutSeconds()),
          config.GetMaxRequestBytesInFlight()};
}

void ApplyServerBounds(const ServerBounds& bounds, grpc::ServerBuilder& builder,
                       ZelphServiceV2Impl& service) {
  // gRPC's own thread cap refuses a call that finds no thread, counting a thread until it is
  // back waiting for calls. It is sized beyond the handler cap so that threads on their way
  // back never reach it: the handlers, as many threads again whose handlers have returned
  // (sending their replies, each within the send timeout, or returning), the waiting threads
  // and the one that takes a new call. It still bounds the threads a flood of calls makes.
  grpc::ResourceQuota quota("zelph-service");
  quota.SetMaxThreads(2 * bounds.max_handler_threads + MostWaitingServerThreads() + 1);
  // The memory gRPC's transport allocates, mostly requests read but not yet handled: under
  // pressure gRPC narrows the connections' flow-control windows, so that senders wait.
  quota.Resize(static_cast<std::size_t>(bounds.max_request_bytes_in_flight));
  builder.SetResourceQuota(quota);
  builder.AddChannelArgument(GRPC_ARG_MAX_CONCURRENT_STREAMS, bounds.max_streams_per_connection);
  service.BoundCalls(bounds.max_handler_threads, bounds.reply_send_timeout);
}

}  // namespace zelph::rpc
