// worker_property_text.h
//
// A text written into a worker property as the value type of the worker model's control of
// that name asks, for values that reach a worker as text (the main-settings values document,
// scalar data pushed into a control):
//
//   int control           read like atoi ("12abc" gives 12, "abc" 0), saturated to 32 bits
//   long control          read like atoll, saturated to 64 bits
//   double, float control read like atof, stored as double
//   boolean control       true only for exactly "true" ("True", "1" and "yes" give false)
//   scalar, String, or no control of that name: the text as it is
//   any other type        the text as it is, after the warning
//                         "Unsupported data type {type} property: {name} saved as is"
//
// Threading: the store takes the property bag's exclusive lock; callable from any thread.
#pragma once

#include <string>

class IDataProcess;

namespace zelph {

// Stores `text`, converted by the table above, as the property `name` of `worker` and marks
// it changed. `worker` needs its model description (every worker made by a model has one).
void SetWorkerPropertyFromString(IDataProcess& worker, const std::string& name,
                                 const std::string& text);

}  // namespace zelph
