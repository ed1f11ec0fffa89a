// cache_key.h
//
// The project cache key that a project object URL reads: the URL of its deepest matched
// node without the project's own "/session:{s}/project:{p}", so
//
//   /session:s/project:p/input:i              -> "/input:i"
//   /session:s/project:p/worker:w/output:o    -> "/worker:w/output:o"
//   /session:s/project:p/in:i                 -> "/input:i"   (kind words in full)
//   /session:s/project:p                      -> ""
//
// The key is rebuilt from the matched nodes (object_url.h), not cut from the text the client
// sent: it names every kind in full and keeps only the segments the URL selected. GetData
// and Exists answer by this key; SetData stores under the text the client wrote, which
// agrees with it for every URL whose segments name their kinds in full, one id each.
//
// A run stores a worker's ports under the worker's id with the port's id and name, and under
// its system name with the port's name; FindCacheEntry also finds the fourth form, the
// system name with the port's id, by the worker's id.
#pragma once

#include <optional>
#include <string>

#include "zelph/projects/service_cache.h"

class ObjectUrl;

namespace zelph {
class Project;
}

namespace zelph::rpc {

// The key of `url`; empty when the URL selected no node below its project node.
std::string CacheKeyOf(const ObjectUrl& url);

// The project's entry under CacheKeyOf(url); when there is none and the URL names a worker
// that the chain knows by that system name, the entry under the worker's id instead. Takes
// the project's lock shared to look the worker up, only when the first key is missing.
std::optional<DataEx> FindCacheEntry(const zelph::Project& project, const ObjectUrl& url);

}  // namespace zelph::rpc
