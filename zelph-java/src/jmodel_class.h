// jmodel_class.h
//
// JModelClass: the binding of one Java model class (a subclass of the model API's
// ExecutionBlock) that every worker of the class shares: the class, held by one global
// reference for the life of the process, and the IDs of the methods a worker calls on its
// executor. Made by the first worker of the class; the workers after it only find it.
//
//   const JModelClass& model = FindModelClass(env, "net.morvex.executors.demo.Invert");
//   env->CallVoidMethod(executor, model.execute);
//
// Threads: FindModelClass may be called from any thread; a binding, once made, never changes
// and never goes, so workers keep a pointer to it without a lock.
#pragma once

#include <jni.h>

#include <string>

struct JModelClass {
  jclass cls = nullptr;  // a global reference the registry owns
  jmethodID execute = nullptr;
  jmethodID on_change_parameter = nullptr;
  jmethodID parameters = nullptr;
  jmethodID interrupt = nullptr;
  jmethodID set_interruption_requested = nullptr;
  jmethodID is_visible_result_necessary = nullptr;
  jmethodID is_all_outputs_necessary = nullptr;
  jmethodID visible_results_information = nullptr;
  jmethodID need_to_repeat = nullptr;
  jmethodID reset = nullptr;
  jmethodID set_context_id = nullptr;
  jmethodID set_context_name = nullptr;
  jmethodID set_context_path = nullptr;
  jmethodID get_current_directory = nullptr;
  jmethodID set_current_directory = nullptr;
  jmethodID check_input_necessary = nullptr;
  jmethodID status_data = nullptr;
  jmethodID create_preview = nullptr;  // only for Previewable classes
};

// The binding of the class of that name ("." or "/" separated), made on the first call for
// it. Throws jni::JavaException for a class the VM cannot load and std::runtime_error for a
// missing method; a class that failed is looked up again by the next call, since its failure
// is recorded by each worker that meets it.
const JModelClass& FindModelClass(JNIEnv* env, const std::string& class_name);
