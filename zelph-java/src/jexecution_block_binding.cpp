// jexecution_block_binding.cpp
//
// The model class binding of a Java worker, the creation of its executor, and the
// process-wide binding of ExecutionBlock, Path and Paths.
#include "bind_group.h"
#include "jmodel_class.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jexecution_block.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"

using jni::bound;

namespace {

constexpr const char* kText = "java/lang/String";
constexpr const char* kPath = "java/nio/file/Path";

}  // namespace

void JExecutionBlock::InitializeMethods(JNIEnv* env) {
  if (model_ != nullptr) return;
  try {
    model_ = &FindModelClass(env, GetStructure().GetJavaClass());
    SetClass(model_->cls);
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kInitialization, error);
  }
}

jobject JExecutionBlock::CreateInstance(JNIEnv* env) {
  const std::string description = GetStructure().GetStructureAsJson();
  jni::LocalRef<> executor(env, NewExecutionBlock(env, GetSessionId(), description.c_str()));
  if (!executor) {
    const zelph::BaseModelStructure& structure = GetStructure();
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Java execution block instance not created, name: '{}', category: '{}'",
              structure.GetName(), structure.GetCategory());
    return nullptr;
  }
  try {
    SetObject(env, executor.get());
    jni::LocalRef<> parameters(env, env->CallObjectMethod(GetObject(), model_->parameters));
    jni::ThrowIfJavaException(env);
    parameters_->SetObject(env, parameters.get());
    parameters_->SetExecutor(GetObject(), model_->on_change_parameter);
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kInitialization, error);
  }
  return GetObject();
}

jobject JExecutionBlock::NewExecutionBlock(JNIEnv* env, const std::string& session_id,
                                           const char* description) {
  zelph::Timer timer("JExecutionBlock::NewExecutionBlock");
  jobject executor = nullptr;
  try {
    if (!bound.execution_block.bound) throw std::runtime_error("ExecutionBlock is not bound");
    jni::LocalRef<jstring> session(
        env, session_id.empty() ? nullptr : jni::NewJavaString(env, session_id));
    jni::LocalRef<jstring> text(env,
                                jni::NewJavaString(env, description != nullptr ? description : ""));
    executor = env->CallStaticObjectMethod(
        bound.execution_block.cls, bound.execution_block.new_executor, session.get(), text.get());
    jni::ThrowIfJavaException(env);
  } catch (const std::exception& error) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed create new execution block, error: {}",
              error.what());
  }
  return executor;
}

void BindExecutionBlockClass(JNIEnv* env) {
  jni::BindGroup(env, bound.execution_block, jni::kExecutionBlockClass, [&](jclass cls) {
    jni::ExecutionBlockClass& group = bound.execution_block;
    const char* kPort = jni::kPortClass;
    group.set_visible_result_necessary =
        jni::GetMethodIdBySignature(env, cls, "setVisibleResultNecessary", "(Z)V");
    group.set_all_outputs_necessary =
        jni::GetMethodIdBySignature(env, cls, "setAllOutputsNecessary", "(Z)V");
    group.add_port = jni::GetJavaMethodId(env, cls, "addPort", "Z", {kPort});
    group.has_input_port = jni::GetJavaMethodId(env, cls, "hasInputPort", "Z", {kText});
    group.has_output_port = jni::GetJavaMethodId(env, cls, "hasOutputPort", "Z", {kText});
    group.get_input_port = jni::GetJavaMethodId(env, cls, "getInputPort", kPort, {kText});
    group.get_output_port = jni::GetJavaMethodId(env, cls, "getOutputPort", kPort, {kText});
    group.close_and_release = jni::GetJavaMethodId(env, cls, "closeAndRelease", nullptr);
    group.new_executor = jni::GetJavaStaticMethodId(env, cls, "newExecutor",
                                                    jni::kExecutionBlockClass, {kText, kText});
    group.clear_session = jni::GetJavaStaticMethodId(env, cls, "clearSession", nullptr, {kText});
    group.list_model_descriptions = jni::GetJavaStaticMethodId(
        env, cls, "allSerializedSpecificationsArray", "[Ljava/lang/String;", {kText});
    group.before_executing_all =
        jni::GetJavaStaticMethodId(env, cls, "beforeExecutingAll", nullptr);
    group.after_executing_all = jni::GetJavaStaticMethodId(env, cls, "afterExecutingAll", nullptr);
    group.initialize_execution_system =
        jni::GetJavaStaticMethodId(env, cls, "initializeExecutionSystem", nullptr);
  });
  jni::BindGroup(env, bound.path, kPath, [&](jclass cls) {
    bound.path.to_string = jni::GetJavaMethodId(env, cls, "toString", kText);
  });
  jni::BindGroup(env, bound.paths, "java/nio/file/Paths", [&](jclass cls) {
    bound.paths.get =
        jni::GetJavaStaticMethodId(env, cls, "get", kPath, {kText, "[Ljava/lang/String;"});
    if (bound.paths.empty_string_array != nullptr) return;
    jni::LocalRef<jclass> text_class(env, jni::FindJavaClass(env, kText));
    jni::LocalRef<jobjectArray> empty(env, env->NewObjectArray(0, text_class.get(), nullptr));
    jni::ThrowIfJavaException(env);
    bound.paths.empty_string_array = static_cast<jobjectArray>(env->NewGlobalRef(empty.get()));
  });
}
