// jexecution_block.h
//
// JExecutionBlock: the worker of every Java model. Its work is done by one Java object, the
// executor, an instance of the model's Java class (a subclass of the model API's
// ExecutionBlock) made by the Java side's newExecutor. The worker turns each operation of
// IDataProcess into calls of the executor's methods, gives every data port of the model a
// Java port (JPort), hands its settings to the executor's parameters object (JParameters), and
// records the failures of its work on itself (SetError) instead of throwing them into the
// chain. Only InitializeDefaultPorts, GetCurrentDir and GetExecutionStatus let a Java
// exception out.
//
//   auto model = DataProcessModelBase::Create(&CreateJExecutionBlock);
//   DeserializeModelFromJson(description, length, JsonParser::kMiniJson, model);
//   auto worker = model->CreateAndInitializeWorker(model, session);
//   chain->AddWorker(worker);              // SetChain: a run needs its chain
//   worker->Execute(ExecutionStage::kRunTime);
//
// The valid flag (JavaClass::IsValid) goes down for good with the first initialisation
// failure (an error of kind initialization) and never comes back. Every operation that would
// call Java tests it first, so a worker whose model class cannot be bound keeps its ports and
// its error and does nothing else.
//
// One run (ExecuteImpl): the chain is locked for the run; each Java port is told whether a
// link of the chain takes it and the outputs are cleared; changed settings are pushed; on the
// first run after the reset flag went up the Java reset() runs (its failure ends the run);
// execute() runs unless a changed setting was refused; the outputs are read back, also after
// execute() failed.
//
// Threads: no lock. The worker is built and run by one thread at a time; Interrupt,
// GetExecutionStatus and GetVisibleResultsInformation may be called from other threads while
// it runs (the Java side takes them). Each call uses the calling thread's JNI environment,
// attaching the thread when needed. The executor, the model class and the Java ports are
// global references, usable on every thread; the model class is the one reference that all
// workers of the class share (see jmodel_class.h).
#pragma once

#include <jni.h>

#include <boost/uuid/uuid.hpp>

#include <memory>
#include <string>

#include "zelph/java/java_class.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/jparameters.h"
#include "zelph/model/data_process.h"

class JPort;
struct JModelClass;

class JExecutionBlock : public IDataProcess, public JavaClass {
 public:
  explicit JExecutionBlock(const boost::uuids::uuid& id);
  // Calls the Java close() when the executor exists, then releases the executor's output
  // buffers; what close() throws is logged and dropped.
  ~JExecutionBlock() override;

  // Binds the model class and makes the executor; every failure is recorded (kind
  // initialization) and clears the valid flag.
  void Initialize() override;
  // An error of kind initialization also clears the valid flag.
  void SetError(const ErrorKind& kind, const std::string& message, const std::string& stack_trace,
                const std::string& error_class_name) override;
  // The Previewable model's createPreview(), else the data of the first port of its visible
  // results; empty when there is none. Failures are recorded (kind execution).
  std::shared_ptr<IPortData> CreatePreview() override;
  // The settings go on from the new bag. Not while the worker runs or its settings are pushed.
  void SetProperties(std::unique_ptr<Property> properties) override;
  // Pushes the changed settings; a refused one is recorded (kind update_property).
  void ApplyProperties() override;
  // Keeps a weak reference: the chain owns the worker.
  void SetChain(std::shared_ptr<IDataProcessChain> chain) override;
  // The Java needToRepeat(); without an answer the last one.
  bool NeedToRepeat() override;
  bool Reset() override;
  // 1 or 0 from the Java checkInputNecessary(port); -1 for no opinion, a port that is not a
  // Java port, or a failure.
  int CheckInputNecessary(zelph::Port* port) override;
  using IDataProcess::CreatePort;
  // A JPort copied from `port`.
  zelph::Port* CreatePort(zelph::Port* port) override;
  // The model's ports, then each data port bound to the executor's Java port of that name, or
  // to a new one added to the executor. Throws jni::JavaException and std::runtime_error; the
  // ports bound before stay bound.
  void InitializeDefaultPorts() override;
  void InitializeParameters() override;
  // The executor's visible results as JSON; "{}" when it shows nothing.
  std::string GetVisibleResultsInformation() override;
  // Asks a running execute() to stop; returns without waiting for it.
  void Interrupt() override;
  void SetContextId(long long id) override;
  // An empty name is not passed on.
  void SetContextName(const std::string& name) override;
  void SetContextPath(const std::string& path) override;
  // Java's current directory only; the worker's property is left as it is.
  void SetCurrentDir(const std::string& folder) override;
  // Throws jni::JavaException.
  std::string GetCurrentDir() const override;
  // Failures are dropped.
  void SetVisibleResultNecessary(bool necessary) override;
  void SetAllOutputsNecessary(bool necessary) override;
  // The six status texts of the executor. Throws jni::JavaException.
  ExecutionStatus GetExecutionStatus() override;

  // Finds the binding of the class the description names, which the first worker of that
  // class made; a failure is recorded (kind initialization).
  void InitializeMethods(JNIEnv* env) override;
  // The executor creation: newExecutor, then the executor's parameters object for the
  // parameter wrapper. Returns the executor (a global reference the worker owns) or null.
  jobject CreateInstance(JNIEnv* env) override;
  // ExecutionBlock.newExecutor(session or null when empty, description) as a local reference;
  // null when it raised (logged) or made nothing.
  static jobject NewExecutionBlock(JNIEnv* env, const std::string& session_id,
                                   const char* description);

 protected:
  void ExecuteImpl(zelph::ExecutionStage stage) override;

 private:
  // The environment of the calling thread when the worker is valid; null otherwise.
  JNIEnv* ValidEnv() const;
  // Records a caught exception: the Java message, trace and class of a jni::JavaException,
  // the text of any other.
  void RecordFailure(ErrorKind kind, const std::exception& error);
  // The run's steps.
  void PrepareJavaPorts(JNIEnv* env, IDataProcessChain& chain);
  bool ResetJavaModel(JNIEnv* env);
  void ExecuteJavaModel(JNIEnv* env);
  void ReadJavaOutputs(JNIEnv* env);
  // Calls a void method of the executor with the arguments and checks.
  template <typename... Arguments>
  void CallExecutor(JNIEnv* env, jmethodID method, Arguments... arguments) const;
  // The Java Data object to preview (a local reference), or null.
  jobject PreviewData(JNIEnv* env);

  std::unique_ptr<JParameters> parameters_;
  std::weak_ptr<IDataProcessChain> chain_;
  // The binding of the model class, shared with every worker of the class; null until found.
  const JModelClass* model_ = nullptr;
};

template <typename... Arguments>
void JExecutionBlock::CallExecutor(JNIEnv* env, jmethodID method, Arguments... arguments) const {
  env->CallVoidMethod(GetObject(), method, arguments...);
  jni::ThrowIfJavaException(env);
}

// The factory of Java models' workers: a JExecutionBlock with that id.
std::shared_ptr<IDataProcess> CreateJExecutionBlock(const boost::uuids::uuid& id);

// The ExecutionBlock binding: the base class's instance methods and static entry points,
// Path.toString, Paths.get and the empty string array, each group once per process. Throws
// jni::JavaException for a class the VM cannot load and std::runtime_error for a missing
// member.
void BindExecutionBlockClass(JNIEnv* env);
