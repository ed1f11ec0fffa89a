// transport_options_test.cpp
//
// Matrices larger than 64 MB pass both ways, byte for byte, between a server and a client
// that apply the transport options; a side without them refuses such a message with
// RESOURCE_EXHAUSTED, and the connection goes on serving.
#include <gtest/gtest.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

#include "loopback_server.h"
#include "message/ZelphServiceApiV2.grpc.pb.h"

namespace zelph {
namespace {

using testing::LoopbackServer;
using testing::Transport;

// Past 64 MB, and past the size up to which protobuf reserves a parsed string at once.
constexpr size_t kLargeBytes = (size_t{65} << 20) + 3;
constexpr char kUrl[] = "/session:s/project:p/input:image";

GAnyData Matrix(size_t bytes) {
  GAnyData data;
  data.set_url(kUrl);
  GMat* mat = data.mutable_mat();
  mat->set_depth(kDepth8U);
  mat->set_channels(1);
  mat->add_dims(static_cast<int64_t>(bytes));
  mat->add_dims(1);
  std::string& buffer = *mat->mutable_buffer();
  buffer.resize(bytes);
  // No period that divides a chunk or frame size, so a shifted or repeated stretch shows.
  for (size_t i = 0; i < bytes; ++i) buffer[i] = static_cast<char>((i * 31) ^ (i >> 13));
  return data;
}

const GAnyData& LargeMatrix() {
  static const GAnyData data = Matrix(kLargeBytes);
  return data;
}

// Keeps the buffer of the last matrix it was sent; answers GetData with the large matrix.
class MatrixService : public ZelphServiceApiV2::Service {
 public:
  grpc::Status SetData(grpc::ServerContext*, const SetDataRequest* request,
                       SetDataResponse*) override {
    std::lock_guard lock(mutex_);
    last_buffer_ = request->data().mat().buffer();
    return grpc::Status::OK;
  }
  grpc::Status GetData(grpc::ServerContext*, const GetDataRequest*,
                       GetDataResponse* response) override {
    *response->add_data() = LargeMatrix();
    return grpc::Status::OK;
  }
  bool LastBufferIs(const std::string& buffer) {
    std::lock_guard lock(mutex_);
    return last_buffer_ == buffer;
  }

 private:
  std::mutex mutex_;
  std::string last_buffer_;
};

grpc::Status SendMatrix(ZelphServiceApiV2::Stub& stub, const GAnyData& matrix) {
  SetDataRequest request;
  request.set_url(kUrl);
  *request.mutable_data() = matrix;
  grpc::ClientContext context;
  SetDataResponse response;
  return stub.SetData(&context, request, &response);
}

TEST(TransportOptionsTest, LargeMatricesPassOnlyWhereBothSidesApplyTheOptions) {
  const struct {
    std::string_view name;
    Transport server;
    Transport client;
    grpc::StatusCode large_request;
    grpc::StatusCode large_reply;
  } kCases[] = {
      {"both sides apply them", Transport::kService, Transport::kService, grpc::StatusCode::OK,
       grpc::StatusCode::OK},
      {"a client without them refuses the reply", Transport::kService, Transport::kGrpcDefaults,
       grpc::StatusCode::OK, grpc::StatusCode::RESOURCE_EXHAUSTED},
      {"a server without them refuses the request", Transport::kGrpcDefaults, Transport::kService,
       grpc::StatusCode::RESOURCE_EXHAUSTED, grpc::StatusCode::OK},
  };
  const std::string& large_buffer = LargeMatrix().mat().buffer();
  const GAnyData small = Matrix(1024);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    MatrixService service;
    LoopbackServer server(service, c.server);
    auto stub = server.NewStub(c.client);

    EXPECT_EQ(SendMatrix(*stub, LargeMatrix()).error_code(), c.large_request);
    // Not EXPECT_EQ on the buffers: a failure would print both of them.
    EXPECT_EQ(service.LastBufferIs(large_buffer), c.large_request == grpc::StatusCode::OK);

    {
      GetDataRequest request;
      request.add_url(kUrl);
      grpc::ClientContext context;
      GetDataResponse response;
      EXPECT_EQ(stub->GetData(&context, request, &response).error_code(), c.large_reply);
      if (c.large_reply == grpc::StatusCode::OK) {
        ASSERT_EQ(response.data_size(), 1);
        EXPECT_TRUE(response.data(0).mat().buffer() == large_buffer);
      }
    }

    EXPECT_TRUE(SendMatrix(*stub, small).ok());
    EXPECT_TRUE(service.LastBufferIs(small.mat().buffer()));
  }
}

}  // namespace
}  // namespace zelph
