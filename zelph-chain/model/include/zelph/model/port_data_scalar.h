// port_data_scalar.h
//
// Scalar port data: one value of any kind held as text (bools as "true"/"false", integers
// in decimal, doubles as "%f"), parsed again when a number is asked for. A text that is
// not a number is logged and read as 0; nothing throws.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/model/port_data.h"

class ZELPH_CHAIN_API PortDataScalar : public PortData {
 public:
  // Uninitialised, empty text.
  PortDataScalar();
  // Every constructor with a value marks the data initialised.
  explicit PortDataScalar(bool value);
  explicit PortDataScalar(int value);
  explicit PortDataScalar(long long value);
  explicit PortDataScalar(double value);  // "%f": 2.5 gives "2.500000"
  explicit PortDataScalar(const std::string& value);
  explicit PortDataScalar(std::string&& value);
  PortDataScalar(const PortDataScalar&) = default;
  PortDataScalar& operator=(const PortDataScalar&) = default;
  ~PortDataScalar() override;

  // Replace the text with the form the constructor of that type makes; mark initialised.
  void Set(bool value);
  void Set(int value);
  void Set(long long value);
  void Set(double value);
  void Set(const std::string& value);
  void Set(std::string&& value);

  std::string GetStr() const { return value_; }
  size_t GetSize() const { return value_.size(); }
  // True only for the exact text "true".
  bool GetBool() const;
  // Parse like std::stoi / stoll / stod; a failure is logged and gives 0.
  int GetInt32() const;
  long long GetInt64() const;
  double GetDouble() const;
  // The first `max` bytes and "..." when the text is longer, otherwise the whole text.
  std::string Preview(size_t max) const;

  void ResetData() override;

  // Shared uninitialised object, built at library load and never changed.
  static std::shared_ptr<PortDataScalar> empty;

 private:
  std::string value_;
};
