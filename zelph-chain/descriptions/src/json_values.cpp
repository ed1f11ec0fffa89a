// json_values.cpp
#include "json_values.h"

#include <limits>
#include <stdexcept>

namespace zelph::descriptions {

namespace {

// The text the stream reader gives a nested value that a reader left unread, so either
// way the failure reads the same.
void RequireScalar(const json::StreamValue& value) {
  if (value.IsObjectOrArray()) throw std::runtime_error("Nested object or array not parsed");
}

}  // namespace

std::string TextOf(const json::StreamValue& value) {
  RequireScalar(value);
  return std::string(value.Text());
}

bool FlagOf(const json::StreamValue& value) {
  RequireScalar(value);
  return value.Flag();
}

double NumberOf(const json::StreamValue& value) {
  RequireScalar(value);
  return value.Number();
}

int IntegerOf(const json::StreamValue& value) {
  RequireScalar(value);
  const long long integer = value.Integer();
  // The fields read as integers are 32-bit; a value beyond that counts as no integer.
  if (integer < std::numeric_limits<int>::min() || integer > std::numeric_limits<int>::max()) {
    return 0;
  }
  return static_cast<int>(integer);
}

}  // namespace zelph::descriptions
