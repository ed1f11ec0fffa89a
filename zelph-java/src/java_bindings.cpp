// java_bindings.cpp
//
// The groups of the JDK classes and of Parameters, ExecutionVisibleResultsInformation,
// Previewable, Data and SScalar, and the start's order of every group.
#include "zelph/java/java_bindings.h"

#include "bind_group.h"
#include "zelph/java/java_data.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jnumbers.h"
#include "zelph/java/jport.h"
#include "zelph/java/jsmat.h"
#include "zelph/logger/log.h"

namespace jni {

JavaBindings bound;

void BindJdkClasses(JNIEnv* env) {
  BindGroup(env, bound.uuid, "java/util/UUID", [&](jclass cls) {
    bound.uuid.most_sig_bits = GetJavaFieldId(env, cls, "mostSigBits", "J");
    bound.uuid.least_sig_bits = GetJavaFieldId(env, cls, "leastSigBits", "J");
    bound.uuid.from_string =
        GetJavaStaticMethodId(env, cls, "fromString", "java/util/UUID", {"java/lang/String"});
  });
  BindGroup(env, bound.byte_buffer, "java/nio/ByteBuffer", [&](jclass cls) {
    bound.byte_buffer.order =
        GetMethodIdBySignature(env, cls, "order", "(Ljava/nio/ByteOrder;)Ljava/nio/ByteBuffer;");
    bound.byte_buffer.as_read_only_buffer =
        GetMethodIdBySignature(env, cls, "asReadOnlyBuffer", "()Ljava/nio/ByteBuffer;");
  });
  BindGroup(env, bound.byte_order, "java/nio/ByteOrder", [&](jclass cls) {
    bound.byte_order.native_order =
        GetStaticMethodIdBySignature(env, cls, "nativeOrder", "()Ljava/nio/ByteOrder;");
    if (bound.byte_order.native != nullptr) return;
    LocalRef<> native(env, env->CallStaticObjectMethod(cls, bound.byte_order.native_order));
    ThrowIfJavaException(env);
    bound.byte_order.native = env->NewGlobalRef(native.get());
  });
  BindGroup(env, bound.long_class, "java/lang/Long", [&](jclass cls) {
    GetStaticMethodIdBySignature(env, cls, "valueOf", "(J)Ljava/lang/Long;");
  });
  BindGroup(env, bound.boolean_class, "java/lang/Boolean", [&](jclass cls) {
    GetStaticMethodIdBySignature(env, cls, "valueOf", "(Z)Ljava/lang/Boolean;");
    bound.boolean_class.value = GetJavaFieldId(env, cls, "value", "Z");
  });
  BindGroup(env, bound.io_error, "java/io/IOError", [](jclass) {});
}

void BindParametersClass(JNIEnv* env) {
  BindGroup(env, bound.parameters, kParametersClass, [&](jclass cls) {
    ParametersClass& group = bound.parameters;
    const char* kText = "java/lang/String";
    group.set_boolean = GetJavaMethodId(env, cls, "setBoolean", kParametersClass, {kText, "Z"});
    group.set_integer = GetJavaMethodId(env, cls, "setInteger", kParametersClass, {kText, "I"});
    group.set_double = GetJavaMethodId(env, cls, "setDouble", kParametersClass, {kText, "D"});
    group.set_string = GetJavaMethodId(env, cls, "setString", kParametersClass, {kText, kText});
    group.set_long = GetJavaMethodId(env, cls, "setLong", kParametersClass, {kText, "J"});
  });
}

void BindVisibleResultsClass(JNIEnv* env) {
  BindGroup(env, bound.visible_results, kVisibleResultsClass, [&](jclass cls) {
    GetJavaMethodId(env, cls, "getModel", "java/lang/String");
    bound.visible_results.json_string = GetJavaMethodId(env, cls, "jsonString", "java/lang/String");
    bound.visible_results.get_ports =
        GetJavaMethodId(env, cls, "getPorts", "[Lnet/morvex/executors/api/data/Port;");
  });
}

void BindPreviewableClass(JNIEnv* env) {
  try {
    BindGroup(env, bound.previewable, "net/morvex/executors/api/Previewable", [](jclass) {});
  } catch (const std::exception& error) {
    ZELPH_LOG(ZelphSeverityLevel::kWarning, "Failed initialize JPreviewable: {}", error.what());
  }
}

void BindDataClass(JNIEnv* env) {
  BindGroup(env, bound.data, kDataClass, [&](jclass cls) {
    GetJavaMethodId(env, cls, "isInitialized", "Z");
    bound.data.set_initialized = GetJavaMethodId(env, cls, "setInitialized", nullptr, {"Z"});
    bound.data.type = GetJavaMethodId(env, cls, "type", kDataTypeClass);
    bound.data.get_flags = GetJavaMethodId(env, cls, "getFlags", "J");
    bound.data.set_flags = GetJavaMethodId(env, cls, "setFlags", nullptr, {"J"});
  });
}

void BindScalarClass(JNIEnv* env) {
  BindGroup(env, bound.scalar, kScalarClass, [&](jclass cls) {
    bound.scalar.constructor = GetMethodIdBySignature(env, cls, "<init>", "()V");
    bound.scalar.set_value = GetJavaMethodId(env, cls, "setValue", nullptr, {"java/lang/String"});
    bound.scalar.get_value = GetJavaMethodId(env, cls, "getValue", "java/lang/String");
  });
}

void BindModelApiClasses(JNIEnv* env) {
  BindJdkClasses(env);
  BindParametersClass(env);
  InitializeJDataTypeClass(env);
  BindVisibleResultsClass(env);
  BindPreviewableClass(env);
  BindDataClass(env);
  InitializeJSMatClass(env);
  BindScalarClass(env);
  InitializeJNumbersClass(env);
  InitializeJPortClass(env);
}

}  // namespace jni
