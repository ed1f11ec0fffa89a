// status_cases.h
//
// Tables of calls and the status each must answer, its code and its exact text:
//
//   const StatusCase kCases[] = {
//       {[&] { return harness.Call(&Stub::Remove, request); }, kInvalidArgument, "Invalid url:
//       ..."},
//   };
//   ExpectStatuses(kCases);
#pragma once

#include <grpcpp/grpcpp.h>
#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <string>

namespace zelph::testing {

inline constexpr grpc::StatusCode kInvalidArgument = grpc::StatusCode::INVALID_ARGUMENT;
inline constexpr grpc::StatusCode kInternal = grpc::StatusCode::INTERNAL;

struct StatusCase {
  std::function<grpc::Status()> call;
  grpc::StatusCode code;
  std::string message;
};

// Makes every call in order; a mismatch names the case by its expected text.
inline void ExpectStatuses(std::span<const StatusCase> cases) {
  for (const StatusCase& c : cases) {
    const grpc::Status status = c.call();
    EXPECT_EQ(status.error_code(), c.code) << c.message;
    EXPECT_EQ(status.error_message(), c.message);
  }
}

}  // namespace zelph::testing
