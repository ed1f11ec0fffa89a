// worker_document.h
//
// The worker document ("app": "zelph-worker") that clients get with a worker: its id, the
// model it was made from, its system name, its ports and the visible-result description
// that the worker reports, in one compact JSON text:
//
//   {"app":"zelph-worker","id":"...","executor_id":"<model uuid>","executor_name":"Blur",
//    "system_name":"blur","ports":[{"id":"...","type":1,"data_type_id":"<uuid>",
//    "name":"input","caption":"","is_optional":false,"advanced":false}],
//    "visible_result_meta_information":{...}}
//
// "system_name" is left out when the worker has none, "visible_result_meta_information"
// when the worker's text is not JSON. This is not the worker object of the chain settings
// document, which is shaped differently.
//
// Threading: reads the worker through its getters, on the caller's thread, without a lock
// of its own; a worker that is running meanwhile gives the values of the moment.
#pragma once

#include <iosfwd>
#include <memory>

#include "zelph/model/data_process.h"

namespace zelph {

// Writes the document to `out` without a trailing line break; returns true. Throws
// std::invalid_argument for an empty worker.
bool WriteWorkerAsJson(std::shared_ptr<IDataProcess> worker, std::ostream& out);

}  // namespace zelph
