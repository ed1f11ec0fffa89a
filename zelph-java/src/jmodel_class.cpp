// jmodel_class.cpp
//
// The process-wide registry of Java model class bindings.
#include "jmodel_class.h"

#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>

#include "bind_group.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/java_text.h"

namespace {

constexpr const char* kText = "java/lang/String";
constexpr const char* kPath = "java/nio/file/Path";

// Looks up every method of the binding on `cls` (a local reference here); throws for a
// missing one.
std::unique_ptr<JModelClass> BindModelClass(JNIEnv* env, jclass cls) {
  auto model = std::make_unique<JModelClass>();
  const auto method = [&](const char* name, const char* return_type,
                          std::initializer_list<const char*> arguments = {}) {
    return jni::GetJavaMethodId(env, cls, name, return_type, arguments);
  };
  model->execute = method("execute", nullptr);
  model->on_change_parameter = method("onChangeParameter", nullptr, {kText});
  model->parameters = method("parameters", jni::kParametersClass);
  model->interrupt = method("interrupt", nullptr);
  model->set_interruption_requested = method("setInterruptionRequested", nullptr, {"Z"});
  model->is_visible_result_necessary = method("isVisibleResultNecessary", "Z");
  model->is_all_outputs_necessary = method("isAllOutputsNecessary", "Z");
  model->visible_results_information =
      method("visibleResultsInformation", jni::kVisibleResultsClass);
  model->need_to_repeat = method("needToRepeat", "Z");
  model->reset = method("reset", nullptr);
  model->set_context_id = method("setContextId", nullptr, {"J"});
  model->set_context_name = method("setContextName", nullptr, {kText});
  model->set_context_path = method("setContextPath", nullptr, {kText});
  model->get_current_directory = method("getCurrentDirectory", kPath);
  model->set_current_directory = method("setCurrentDirectory", nullptr, {kPath});
  model->check_input_necessary =
      method("checkInputNecessary", "java/lang/Boolean", {jni::kPortClass});
  model->status_data = method("statusData", kText, {"I"});
  if (jni::bound.previewable.bound &&
      env->IsAssignableFrom(cls, jni::bound.previewable.cls) == JNI_TRUE) {
    model->create_preview = method("createPreview", jni::kDataClass);
  }
  model->cls = static_cast<jclass>(env->NewGlobalRef(cls));
  return model;
}

}  // namespace

const JModelClass& FindModelClass(JNIEnv* env, const std::string& class_name) {
  // Keyed by the name the description gives: the models' classes come from the system class
  // loader, which loads a class once and keeps it, so one name is one class for the VM's life.
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<JModelClass>, std::less<>> bindings;
  {
    std::scoped_lock lock(mutex);
    const auto found = bindings.find(class_name);
    if (found != bindings.end()) return *found->second;
  }
  // Bound outside the lock: class loading runs Java code (static initialisers), which must
  // not wait for other threads' bindings. Two first workers racing both bind; one binding
  // stays and the other's global reference goes.
  jni::LocalRef<jclass> cls(env, jni::FindJavaClass(env, class_name.c_str()));
  std::unique_ptr<JModelClass> made = BindModelClass(env, cls.get());
  std::scoped_lock lock(mutex);
  const auto [entry, inserted] = bindings.try_emplace(class_name, std::move(made));
  if (!inserted) env->DeleteGlobalRef(made->cls);
  return *entry->second;
}
