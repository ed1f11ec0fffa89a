// exception.h
//
// The project's exception with a text, derived directly from std::exception so that a
// handler for std::runtime_error does not catch it.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "zelph/chain/export.h"

namespace zelph {

class ZELPH_CHAIN_API Exception : public std::exception {
 public:
  explicit Exception(std::string text);
  const char* what() const noexcept override;

 private:
  std::string text_;
};

inline Exception::Exception(std::string text) : text_(std::move(text)) {}

inline const char* Exception::what() const noexcept { return text_.c_str(); }

}  // namespace zelph
