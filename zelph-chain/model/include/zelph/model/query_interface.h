// query_interface.h
//
// The reference-counted object model shared with plug-ins and hosts. Every interface takes
// IQueryInterface as a virtual base, so one object has one count however many interfaces it
// implements. Objects start at count 1, owned by their creator; the last Release deletes them.
// Objects that live on the stack or are owned otherwise are simply never released to 0.
#pragma once

#include <boost/uuid/uuid.hpp>

#include <atomic>

#include "zelph/chain/export.h"

class ZELPH_CHAIN_API IQueryInterface {
 public:
  virtual ~IQueryInterface() = default;
  // Both return the count after the change. Safe from any thread.
  virtual long long AddRef() = 0;
  virtual long long Release() = 0;
  // Answers 0 and stores the interface pointer in *out (after AddRef) when the object
  // supports interface_id; answers 1 and leaves *out untouched otherwise.
  virtual int QueryInterface(const boost::uuids::uuid& interface_id, void** out) = 0;
};

// The atomic count that concrete classes inherit; QueryInterface stays to the concrete class.
class ZELPH_CHAIN_API Referable : public virtual IQueryInterface {
 public:
  Referable();
  Referable(const Referable&) = delete;
  Referable& operator=(const Referable&) = delete;

  long long AddRef() override;
  // Deletes the object through its virtual destructor when the count reaches 0.
  long long Release() override;

 private:
  std::atomic<long long> count_;
};
