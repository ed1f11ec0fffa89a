// exception.h
//
// The exception this library throws where a failure carries only a message. It derives
// directly from std::exception (not std::runtime_error), so handlers that catch
// std::runtime_error for other reasons do not swallow it.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "zelph/chain/export.h"

namespace zelph {

class ZELPH_CHAIN_API Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

}  // namespace zelph
