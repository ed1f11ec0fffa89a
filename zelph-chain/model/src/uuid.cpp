// uuid.cpp
//
// New random uuids from one generator per thread (the generator is not thread-safe).
#include "zelph/model/uuid.h"

#include <boost/uuid/random_generator.hpp>
#include <boost/uuid/uuid_io.hpp>

namespace zelph {

boost::uuids::uuid NewUuid() {
  thread_local boost::uuids::random_generator generator;
  return generator();
}

std::string NewUuidText() { return boost::uuids::to_string(NewUuid()); }

}  // namespace zelph
