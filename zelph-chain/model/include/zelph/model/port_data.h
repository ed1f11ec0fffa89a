// port_data.h
//
// Port data: the value a port holds and a link carries, shared through
// std::shared_ptr<IPortData> between ports, links, workers, caches and threads. The data
// type decides the concrete class (DataTypeScalar: PortDataScalar, DataTypeNumbers:
// PortDataNumbers, DataTypeMat: PortDataMat); the casts below rely on that.
//
// No locks: several threads may read one object at once, but once an object is shared it
// is not changed; producers make a new one.
#pragma once

#include <memory>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/model/data_type.h"

namespace zelph {
class Port;
}  // namespace zelph
class PortDataScalar;
class PortDataNumbers;
class PortDataMat;

// Bits of the 64-bit flag mask. Bits the system does not name are carried unchanged
// (the Java bridge passes whole masks through).
enum DataFlag : long long {
  kInitialized = 1,
};

class ZELPH_CHAIN_API IPortData {
 public:
  virtual ~IPortData() = default;
  virtual IDataType* GetDataType() const = 0;
  virtual bool IsInitialized() const = 0;
  virtual void SetInitialized(bool on) = 0;
  // Drops the value and marks the data uninitialised.
  virtual void ResetData() = 0;
  virtual bool GetFlag(DataFlag flag) const = 0;
  virtual void SetFlag(DataFlag flag, bool on) = 0;
  virtual long long GetFlags() const = 0;
  virtual void SetFlags(long long flags) = 0;

  // The type's name and a description by type, e.g. "scalar [5 bytes]",
  // "numbers 5 x 2 (int) [40 bytes]", "mat byte 3x4x2 (8-bit) [24 bytes]".
  std::string ToString() const;

 protected:
  IPortData() = default;
  IPortData(const IPortData&) = default;
  IPortData& operator=(const IPortData&) = default;
};

class ZELPH_CHAIN_API PortData : public IPortData {
 public:
  explicit PortData(IDataType* type) : type_(type) {}
  PortData(const PortData&) = default;
  PortData& operator=(const PortData&) = default;

  IDataType* GetDataType() const override { return type_; }
  bool IsInitialized() const override { return GetFlag(kInitialized); }
  void SetInitialized(bool on) override { SetFlag(kInitialized, on); }
  bool GetFlag(DataFlag flag) const override { return (flags_ & flag) != 0; }
  void SetFlag(DataFlag flag, bool on) override;
  long long GetFlags() const override { return flags_; }
  void SetFlags(long long flags) override { flags_ = flags; }

 private:
  IDataType* type_;
  long long flags_ = 0;
};

// `fallback` for null or non-scalar data; otherwise the scalar's GetDouble() (0 for a
// text that is not a number).
ZELPH_CHAIN_API double ExtractDouble(const IPortData* data, double fallback);
ZELPH_CHAIN_API double ExtractDouble(const std::shared_ptr<IPortData>& data, double fallback);
// `fallback` for a null port; otherwise the same for the data the port holds.
ZELPH_CHAIN_API double ExtractDouble(zelph::Port* port, double fallback);

// The object as its concrete class, or null for null or another data type.
ZELPH_CHAIN_API PortDataScalar* CastToScalar(IPortData* data);
ZELPH_CHAIN_API const PortDataScalar* CastToScalar(const IPortData* data);
ZELPH_CHAIN_API PortDataNumbers* CastToNumbers(IPortData* data);
ZELPH_CHAIN_API const PortDataNumbers* CastToNumbers(const IPortData* data);
ZELPH_CHAIN_API PortDataMat* CastToMat(IPortData* data);
ZELPH_CHAIN_API const PortDataMat* CastToMat(const IPortData* data);
