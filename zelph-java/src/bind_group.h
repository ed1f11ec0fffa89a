// bind_group.h
//
// BindGroup, which binds one group of the Java bindings once per process, and the names of the
// model API classes the groups bind.
#pragma once

#include <jni.h>

#include "zelph/java/jni_lookup.h"

namespace jni {

// Finds the class (kept from an earlier attempt that failed later), then runs `members`,
// which looks the members up on it and stores them; marks the group bound only when
// `members` returned. A group already bound is skipped.
template <typename Group, typename Members>
void BindGroup(JNIEnv* env, Group& group, const char* class_name, Members&& members) {
  if (group.bound) return;
  if (group.cls == nullptr) group.cls = FindGlobalJavaClass(env, class_name);
  members(group.cls);
  group.bound = true;
}

// Class names of the Java model API.
inline constexpr const char* kExecutionBlockClass = "net/morvex/executors/api/ExecutionBlock";
inline constexpr const char* kVisibleResultsClass =
    "net/morvex/executors/api/ExecutionVisibleResultsInformation";
inline constexpr const char* kParametersClass = "net/morvex/executors/api/parameters/Parameters";
inline constexpr const char* kDataClass = "net/morvex/executors/api/data/Data";
inline constexpr const char* kDataTypeClass = "net/morvex/executors/api/data/DataType";
inline constexpr const char* kPortClass = "net/morvex/executors/api/data/Port";
inline constexpr const char* kMatClass = "net/morvex/executors/api/data/SMat";
inline constexpr const char* kScalarClass = "net/morvex/executors/api/data/SScalar";
inline constexpr const char* kNumbersClass = "net/morvex/executors/api/data/SNumbers";

}  // namespace jni
