// statistic.h
//
// The exported interface of an execution statistic (how long something took, in which unit,
// and the error it ended with) and a partial implementation for plug-ins and hosts to derive
// from. Reference counted through the object model of query_interface.h; the stored values
// are not synchronised, only the count is.
#pragma once

#include <boost/uuid/uuid.hpp>

#include "zelph/chain/export.h"
#include "zelph/model/query_interface.h"

enum TimeUnit : int {
  kSeconds = 0,
  kMilliseconds = 1,
  kMicroseconds = 2,
  kNanoseconds = 3,
};

class ZELPH_CHAIN_API IStatistic : public virtual IQueryInterface {
 public:
  // The interface id that QueryInterface answers for this interface.
  static const boost::uuids::uuid kInterfaceId;

  IStatistic() = default;
  IStatistic(const IStatistic&) = default;
  IStatistic(IStatistic&&) = default;
  IStatistic& operator=(const IStatistic&) = default;
  IStatistic& operator=(IStatistic&&) = default;

  virtual TimeUnit GetTimeUnit() = 0;
  virtual void SetTimeUnit(TimeUnit unit) = 0;
  virtual void SetExecutionTime(double time, TimeUnit unit) = 0;
  virtual double GetExecutionTime() = 0;
  // Null when no error was set; valid until the next SetError or the statistic's end.
  virtual const char* GetError() = 0;
  virtual void SetError(const char* error) = 0;
  // What was measured (a worker id, a chain name); left to the derived class.
  virtual const char* GetName() = 0;
  virtual void SetName(const char* name) = 0;
};

class ZELPH_CHAIN_API BaseStatistic : public IStatistic, public Referable {
 public:
  BaseStatistic() = default;
  ~BaseStatistic() override;
  BaseStatistic(const BaseStatistic&) = delete;
  BaseStatistic& operator=(const BaseStatistic&) = delete;

  TimeUnit GetTimeUnit() override { return time_unit_; }
  void SetTimeUnit(TimeUnit unit) override { time_unit_ = unit; }
  void SetExecutionTime(double time, TimeUnit unit) override;
  double GetExecutionTime() override { return execution_time_; }
  const char* GetError() override { return error_; }
  // A null text leaves no error.
  void SetError(const char* error) override;

  long long AddRef() override { return Referable::AddRef(); }
  long long Release() override { return Referable::Release(); }
  // Answers 0 (after AddRef) for IStatistic::kInterfaceId, 1 for any other id.
  int QueryInterface(const boost::uuids::uuid& interface_id, void** out) override;

 private:
  char* error_ = nullptr;
  TimeUnit time_unit_ = kSeconds;
  double execution_time_ = 0;
};
