// java_bindings.h
//
// The Java classes, methods and fields the bridge calls, resolved once per process and kept
// for good: classes as global references, members as IDs (both valid on every thread).
//
// Each group is one class with its members. A group counts as bound only when the class and
// every member were found, so a start that failed in the middle of a group binds that group
// again on the next start, while the groups it completed stay as they are. Members that
// nothing calls are still looked up, so that a Java model API without them fails the start.
//
//   jni::BindModelApiClasses(env);          // every group below, in start order
//   env->CallVoidMethod(data, jni::bound.data.set_flags, flags);
//
// Threads: the groups are written only by the start, on the plug-in loading thread before any
// other thread uses the bridge, and read without a lock afterwards.
#pragma once

#include <jni.h>

namespace jni {

struct UuidClass {
  bool bound = false;
  jclass cls = nullptr;
  jfieldID most_sig_bits = nullptr;
  jfieldID least_sig_bits = nullptr;
  jmethodID from_string = nullptr;
};

struct ByteBufferClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID order = nullptr;
  jmethodID as_read_only_buffer = nullptr;
};

struct ByteOrderClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID native_order = nullptr;
  // ByteOrder.nativeOrder(), asked once (a global reference).
  jobject native = nullptr;
};

struct LongClass {
  bool bound = false;
  jclass cls = nullptr;
};

struct BooleanClass {
  bool bound = false;
  jclass cls = nullptr;
  jfieldID value = nullptr;
};

struct IoErrorClass {
  bool bound = false;
  jclass cls = nullptr;
};

struct ParametersClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID set_boolean = nullptr;
  jmethodID set_integer = nullptr;
  jmethodID set_double = nullptr;
  jmethodID set_string = nullptr;
  jmethodID set_long = nullptr;
};

struct VisibleResultsClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID json_string = nullptr;
  jmethodID get_ports = nullptr;
};

// Optional: stays unbound (with a warning) for a model API without it.
struct PreviewableClass {
  bool bound = false;
  jclass cls = nullptr;
};

struct DataClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID set_initialized = nullptr;
  jmethodID type = nullptr;
  jmethodID get_flags = nullptr;
  jmethodID set_flags = nullptr;
};

struct ScalarClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID constructor = nullptr;
  jmethodID set_value = nullptr;
  jmethodID get_value = nullptr;
};

struct DataTypeClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID of_type_name = nullptr;
  jfieldID uuid = nullptr;
  // The Java kinds of the three native types that cross (global references).
  jobject mat = nullptr;
  jobject scalar = nullptr;
  jobject numbers = nullptr;
};

struct MatClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID constructor = nullptr;
  jmethodID set_byte_buffer = nullptr;  // detaches a buffer over native memory
  jmethodID get_byte_buffer = nullptr;
  jmethodID get_number_of_channels = nullptr;
  jmethodID get_depth_code = nullptr;
  jmethodID set_matrix = nullptr;  // the long[] form
  jmethodID get_dimensions = nullptr;
  jmethodID get_dim_count = nullptr;
};

struct NumbersClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID constructor = nullptr;
  jmethodID is_byte_array = nullptr;
  jmethodID is_short_array = nullptr;
  jmethodID is_int_array = nullptr;
  jmethodID is_long_array = nullptr;
  jmethodID is_double_array = nullptr;
  jmethodID is_float_array = nullptr;
  jmethodID set_array = nullptr;
  jfieldID block_length = nullptr;
  jfieldID array = nullptr;
};

struct PortClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID constructor = nullptr;
  jmethodID set_name = nullptr;
  jmethodID set_data = nullptr;
  jmethodID set_port_type_code = nullptr;
  jmethodID set_connected = nullptr;
  jmethodID set_uuid = nullptr;
  jfieldID data = nullptr;
  jfieldID data_type = nullptr;
};

// The model API's base class: the instance methods the worker calls on every executor (valid
// on every subclass) and the static entry points of the Java side.
struct ExecutionBlockClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID set_visible_result_necessary = nullptr;
  jmethodID set_all_outputs_necessary = nullptr;
  jmethodID add_port = nullptr;
  jmethodID has_input_port = nullptr;
  jmethodID has_output_port = nullptr;
  jmethodID get_input_port = nullptr;
  jmethodID get_output_port = nullptr;
  jmethodID close_and_release = nullptr;  // close(), then the executor's output buffers go
  jmethodID new_executor = nullptr;
  jmethodID clear_session = nullptr;
  jmethodID list_model_descriptions = nullptr;
  jmethodID before_executing_all = nullptr;
  jmethodID after_executing_all = nullptr;
  jmethodID initialize_execution_system = nullptr;
};

struct PathClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID to_string = nullptr;
};

struct PathsClass {
  bool bound = false;
  jclass cls = nullptr;
  jmethodID get = nullptr;
  // A String[0] (global reference): the second argument of Paths.get.
  jobjectArray empty_string_array = nullptr;
};

struct JavaBindings {
  UuidClass uuid;
  ByteBufferClass byte_buffer;
  ByteOrderClass byte_order;
  LongClass long_class;
  BooleanClass boolean_class;
  IoErrorClass io_error;
  ParametersClass parameters;
  VisibleResultsClass visible_results;
  PreviewableClass previewable;
  DataClass data;
  ScalarClass scalar;
  DataTypeClass data_type;
  MatClass mat;
  NumbersClass numbers;
  PortClass port;
  ExecutionBlockClass execution_block;
  PathClass path;
  PathsClass paths;
};

// The bindings of the process.
extern JavaBindings bound;

// The groups of the JDK classes: UUID, ByteBuffer, ByteOrder, Long, Boolean, IOError.
void BindJdkClasses(JNIEnv* env);
void BindParametersClass(JNIEnv* env);
void BindVisibleResultsClass(JNIEnv* env);
// Logs the warning "Failed initialize JPreviewable: {}" when the class is missing.
void BindPreviewableClass(JNIEnv* env);
void BindDataClass(JNIEnv* env);
void BindScalarClass(JNIEnv* env);

// Every group of the bridge's Java classes except ExecutionBlock's, in the start's order:
// the JDK groups, Parameters, DataType, ExecutionVisibleResultsInformation, Previewable,
// Data, SMat, SScalar, SNumbers, Port. Groups already bound are skipped. Throws
// jni::JavaException for a class the VM cannot load and std::runtime_error for a missing
// member; the groups completed before stay bound.
void BindModelApiClasses(JNIEnv* env);

}  // namespace jni
