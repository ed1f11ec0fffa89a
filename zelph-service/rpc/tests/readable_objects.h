// readable_objects.h
//
// Two projects with something of every kind that GetData and Exists read, set up behind the
// API where no RPC writes it: the line chain (workers "source", "scale", "sink") with a user
// and a system property, the chain's and a worker's status, a statistic with an error, and
// cache entries of each kind; and the main-settings chain for the configuration. The solution
// catalogue is scanned.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "any_data_values.h"
#include "service_harness.h"

namespace zelph {
class Project;
struct Statistic;
}  // namespace zelph

namespace zelph::testing {

struct ReadableObjects {
  // In the line project: "scale" has the user property "gain" 3 and the system property
  // "weight" 0.25, "sink" the user property "label" "end"; the chain is ready and "scale"
  // executing; "scale" has a statistic (stage load) with the error "scale failed", "at
  // scale()", "ScaleError"; the cache holds "/input:x" (scalar "2.5"),
  // "/worker:scale/output:output" (eight bytes of int32 numbers) and the preview of "scale"
  // (scalar "[1, 2]").
  explicit ReadableObjects(ServiceHarness& harness);

  // The cache stamp of `key` and the status time of `id` in the line project.
  std::int64_t Stamp(const std::string& key) const;
  std::int64_t StatusTime(const std::string& id) const;

  std::string line;                      // "/session:{s}/project:{p}" of the line chain
  std::string settings;                  // the same of the main-settings chain
  std::shared_ptr<Project> project;      // the line project
  std::shared_ptr<Statistic> statistic;  // of "scale"
};

}  // namespace zelph::testing
