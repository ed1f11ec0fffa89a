// port_data_scalar.cpp
//
// Scalar port data: text forms of the stored kinds and the logged number parsing.
#include "zelph/model/port_data_scalar.h"

#include <cstdio>
#include <exception>

#include "zelph/logger/log.h"
#include "zelph/model/numeric_text.h"

namespace {

std::string FixedSixDecimals(double value) {
  // "%f" of the largest double is 316 characters; measure first so nothing is cut.
  const int length = std::snprintf(nullptr, 0, "%f", value);
  std::string text(static_cast<size_t>(length), '\0');
  std::snprintf(text.data(), text.size() + 1, "%f", value);
  return text;
}

// Runs `parse` on the text; a failure is logged with `message` and gives 0.
template <typename Parse>
auto ParseLogged(const std::string& text, Parse parse, const char* message)
    -> decltype(parse(text)) {
  try {
    return parse(text);
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "{}, {}", message, e.what());
    return 0;
  }
}

}  // namespace

PortDataScalar::PortDataScalar() : PortData(DataTypeScalar::GetInstance()) {}
PortDataScalar::PortDataScalar(bool value) : PortDataScalar() { Set(value); }
PortDataScalar::PortDataScalar(int value) : PortDataScalar() { Set(value); }
PortDataScalar::PortDataScalar(long long value) : PortDataScalar() { Set(value); }
PortDataScalar::PortDataScalar(double value) : PortDataScalar() { Set(value); }
PortDataScalar::PortDataScalar(const std::string& value) : PortDataScalar() { Set(value); }
PortDataScalar::PortDataScalar(std::string&& value) : PortDataScalar() { Set(std::move(value)); }

PortDataScalar::~PortDataScalar() = default;

void PortDataScalar::Set(bool value) { Set(std::string(value ? "true" : "false")); }
void PortDataScalar::Set(int value) { Set(std::to_string(value)); }
void PortDataScalar::Set(long long value) { Set(std::to_string(value)); }
void PortDataScalar::Set(double value) { Set(FixedSixDecimals(value)); }
void PortDataScalar::Set(const std::string& value) {
  value_ = value;
  SetInitialized(true);
}
void PortDataScalar::Set(std::string&& value) {
  value_ = std::move(value);
  SetInitialized(true);
}

bool PortDataScalar::GetBool() const { return value_ == "true"; }

int PortDataScalar::GetInt32() const {
  return ParseLogged(value_, zelph::text::StoI, "Failed convert string to int32");
}

long long PortDataScalar::GetInt64() const {
  return ParseLogged(value_, zelph::text::StoLL, "Failed convert string to long long");
}

double PortDataScalar::GetDouble() const {
  return ParseLogged(value_, zelph::text::StoD, "Failed convert string to double");
}

std::string PortDataScalar::Preview(size_t max) const {
  if (value_.size() <= max) return value_;
  return value_.substr(0, max) + "...";
}

void PortDataScalar::ResetData() {
  value_.clear();
  SetInitialized(false);
}
