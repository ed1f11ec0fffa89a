// numeric_text.cpp
//
// Number parsing over strtoll/strtod, with errno telling range errors apart.
#include "zelph/model/numeric_text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>

namespace zelph::text {
namespace {

// strtoll with the std::sto* contract: throws "invalid <name> argument" when no digits
// were read and "<name> argument out of range" when the value exceeds [min, max].
long long ParseInteger(const std::string& text, const char* name, long long min, long long max) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(begin, &end, 10);
  if (end == begin) throw std::invalid_argument(std::string("invalid ") + name + " argument");
  if (errno == ERANGE || value < min || value > max) {
    throw std::out_of_range(std::string(name) + " argument out of range");
  }
  return value;
}

}  // namespace

int StoI(const std::string& text) {
  return static_cast<int>(ParseInteger(text, "stoi", INT_MIN, INT_MAX));
}

long long StoLL(const std::string& text) {
  return ParseInteger(text, "stoll", LLONG_MIN, LLONG_MAX);
}

double StoD(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(begin, &end);
  if (end == begin) throw std::invalid_argument("invalid stod argument");
  if (errno == ERANGE) throw std::out_of_range("stod argument out of range");
  return value;
}

int AtoI(const char* text) {
  const long long value = AtoLL(text);
  if (value < INT_MIN) return INT_MIN;
  if (value > INT_MAX) return INT_MAX;
  return static_cast<int>(value);
}

long long AtoLL(const char* text) { return text ? std::strtoll(text, nullptr, 10) : 0; }

double AtoF(const char* text) { return text ? std::strtod(text, nullptr) : 0.0; }

}  // namespace zelph::text
