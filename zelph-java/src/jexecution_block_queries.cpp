// jexecution_block_queries.cpp
//
// JExecutionBlock: the context it runs in, the working directory, what it is asked to
// produce, and what it reports (visible results, preview, status texts).
#include "jmodel_class.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_data.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jexecution_block.h"
#include "zelph/java/jnumbers.h"
#include "zelph/java/jport.h"
#include "zelph/java/jscalar.h"
#include "zelph/java/jsmat.h"

using jni::bound;

void JExecutionBlock::SetContextId(long long id) {
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return;
  try {
    CallExecutor(env, model_->set_context_id, static_cast<jlong>(id));
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kExecution, error);
  }
}

void JExecutionBlock::SetContextName(const std::string& name) {
  JNIEnv* env = ValidEnv();
  if (env == nullptr || name.empty()) return;
  try {
    jni::LocalRef<jstring> text(env, jni::NewJavaString(env, name));
    CallExecutor(env, model_->set_context_name, text.get());
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kExecution, error);
  }
}

void JExecutionBlock::SetContextPath(const std::string& path) {
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return;
  try {
    jni::LocalRef<jstring> text(env, jni::NewJavaString(env, path));
    CallExecutor(env, model_->set_context_path, text.get());
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kExecution, error);
  }
}

void JExecutionBlock::SetCurrentDir(const std::string& folder) {
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return;
  try {
    jni::LocalRef<jstring> text(env, jni::NewJavaString(env, folder));
    jni::LocalRef<> path(env,
                         env->CallStaticObjectMethod(bound.paths.cls, bound.paths.get, text.get(),
                                                     bound.paths.empty_string_array));
    jni::ThrowIfJavaException(env);
    CallExecutor(env, model_->set_current_directory, path.get());
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kExecution, error);
  }
}

std::string JExecutionBlock::GetCurrentDir() const {
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return {};
  jni::LocalRef<> path(env, env->CallObjectMethod(GetObject(), model_->get_current_directory));
  jni::ThrowIfJavaException(env);
  if (!path) return {};
  jni::LocalRef<jstring> text(
      env, static_cast<jstring>(env->CallObjectMethod(path.get(), bound.path.to_string)));
  jni::ThrowIfJavaException(env);
  return jni::JavaStringToUtf8(env, text.get());
}

void JExecutionBlock::SetVisibleResultNecessary(bool necessary) {
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return;
  try {
    CallExecutor(env, bound.execution_block.set_visible_result_necessary,
                 static_cast<jboolean>(necessary ? JNI_TRUE : JNI_FALSE));
  } catch (...) {
    // Only a wish of the caller: a model that cannot take it runs as before.
  }
}

void JExecutionBlock::SetAllOutputsNecessary(bool necessary) {
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return;
  try {
    CallExecutor(env, bound.execution_block.set_all_outputs_necessary,
                 static_cast<jboolean>(necessary ? JNI_TRUE : JNI_FALSE));
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kExecution, error);
  }
}

std::string JExecutionBlock::GetVisibleResultsInformation() {
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return "{}";
  try {
    jni::LocalRef<> information(
        env, env->CallObjectMethod(GetObject(), model_->visible_results_information));
    jni::ThrowIfJavaException(env);
    if (!information) return "{}";
    jni::LocalRef<jstring> json(env, static_cast<jstring>(env->CallObjectMethod(
                                         information.get(), bound.visible_results.json_string)));
    jni::ThrowIfJavaException(env);
    return jni::JavaStringToUtf8(env, json.get());
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kExecution, error);
    return "{}";
  }
}

jobject JExecutionBlock::PreviewData(JNIEnv* env) {
  if (model_->create_preview != nullptr) {
    jobject data = env->CallObjectMethod(GetObject(), model_->create_preview);
    jni::ThrowIfJavaException(env);
    return data;
  }
  jni::LocalRef<> information(
      env, env->CallObjectMethod(GetObject(), model_->visible_results_information));
  jni::ThrowIfJavaException(env);
  if (!information) return nullptr;
  jni::LocalRef<jobjectArray> ports(env, GetVisibleResultPorts(env, information.get()));
  if (!ports || env->GetArrayLength(ports.get()) < 1) return nullptr;
  jni::LocalRef<> port(env, env->GetObjectArrayElement(ports.get(), 0));
  if (!port) return nullptr;
  return JPort::GetJavaData(env, port.get());
}

std::shared_ptr<IPortData> JExecutionBlock::CreatePreview() {
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return nullptr;
  try {
    jni::LocalRef<> data(env, PreviewData(env));
    if (!data) return nullptr;
    const IDataType* type = GetNativeDataType(env, data.get());
    if (type == nullptr) return nullptr;
    if (DataTypeMat::Equals(type)) return JSMat::ReadMat(env, data.get());
    if (DataTypeNumbers::Equals(type)) return JNumbers::ReadNumbers(env, data.get());
    if (DataTypeScalar::Equals(type)) return JScalar::ReadScalar(env, data.get());
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kExecution, error);
  } catch (...) {
    SetError(ErrorKind::kExecution, "Unknown error", "", "");
  }
  return nullptr;
}

ExecutionStatus JExecutionBlock::GetExecutionStatus() {
  ExecutionStatus status;
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return status;
  const std::pair<int, std::string*> fields[] = {{1, &status.full},     {2, &status.information},
                                                 {3, &status.messages}, {4, &status.comments},
                                                 {-1, &status.json},    {-2, &status.custom_json}};
  for (const auto& [code, field] : fields) {
    jni::LocalRef<jstring> text(
        env, static_cast<jstring>(
                 env->CallObjectMethod(GetObject(), model_->status_data, static_cast<jint>(code))));
    jni::ThrowIfJavaException(env);
    *field = jni::JavaStringToUtf8(env, text.get());
  }
  return status;
}
