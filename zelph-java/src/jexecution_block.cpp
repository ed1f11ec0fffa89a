// jexecution_block.cpp
//
// JExecutionBlock: construction and destruction, initialisation, ports, settings and the run.
#include "zelph/java/jexecution_block.h"

#include <stdexcept>
#include <utility>

#include "jmodel_class.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/config/zelph_config.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jport.h"
#include "zelph/java/jvm.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/model/data_process_model.h"

using jni::bound;

JExecutionBlock::JExecutionBlock(const boost::uuids::uuid& id)
    : IDataProcess(id),
      JavaClass("", nullptr, nullptr),
      parameters_(std::make_unique<JParameters>(GetProperties(), this)) {}

JExecutionBlock::~JExecutionBlock() {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "JExecutionBlock ~dctor");
  try {
    JNIEnv* env = jni::GetJniEnv();
    if (env == nullptr) return;
    if (model_ != nullptr && GetObject() != nullptr) {
      try {
        CallExecutor(env, bound.execution_block.close_and_release);
      } catch (const std::exception& error) {
        ZELPH_LOG(ZelphSeverityLevel::kError, "Failed close {}: {}", ToString(), error.what());
      }
    }
  } catch (...) {
    // Nothing leaves a destructor.
  }
}

std::shared_ptr<IDataProcess> CreateJExecutionBlock(const boost::uuids::uuid& id) {
  return std::make_shared<JExecutionBlock>(id);
}

JNIEnv* JExecutionBlock::ValidEnv() const {
  if (!IsValid() || GetObject() == nullptr) return nullptr;
  return jni::GetJniEnv();
}

void JExecutionBlock::RecordFailure(ErrorKind kind, const std::exception& error) {
  if (const auto* java = dynamic_cast<const jni::JavaException*>(&error)) {
    SetError(kind, java->GetJavaMessage(), java->what(), java->GetJavaClassName());
  } else {
    SetError(kind, error.what(), "", "");
  }
}

void JExecutionBlock::Initialize() {
  JavaVM* vm = jni::GetJavaVM("");
  if (vm == nullptr) {
    SetError(ErrorKind::kInitialization, "jvm not initialized", "", "");
    return;
  }
  JNIEnv* env = jni::GetJniEnv(vm);
  if (env == nullptr) {
    SetError(ErrorKind::kInitialization, "jvm properties required", "", "");
    return;
  }
  InitializeMethods(env);
  if (!IsValid()) return;  // the binding recorded why
  if (CreateInstance(env) != nullptr) return;
  const zelph::BaseModelStructure& structure = GetStructure();
  SetError(ErrorKind::kInitialization,
           fmt::format("Can't create instance of java class, name: '{}', category: '{}'",
                       structure.GetName(), structure.GetCategory()),
           "", "");
}

void JExecutionBlock::SetError(const ErrorKind& kind, const std::string& message,
                               const std::string& stack_trace,
                               const std::string& error_class_name) {
  if (kind == ErrorKind::kInitialization) SetValid(false);
  IDataProcess::SetError(kind, message, stack_trace, error_class_name);
}

void JExecutionBlock::SetProperties(std::unique_ptr<Property> properties) {
  IDataProcess::SetProperties(std::move(properties));
  parameters_->SetProperties(GetProperties());
}

void JExecutionBlock::ApplyProperties() {
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return;
  ResetError(ErrorKind::kUpdateProperty);
  parameters_->PushChangedProperties(env);
}

void JExecutionBlock::SetChain(std::shared_ptr<IDataProcessChain> chain) { chain_ = chain; }

zelph::Port* JExecutionBlock::CreatePort(zelph::Port* port) { return new JPort(*port); }

void JExecutionBlock::InitializeDefaultPorts() {
  IDataProcess::InitializeDefaultPorts();
  // A worker without executor keeps its ports (links and data still find them) but binds
  // none of them to Java.
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return;
  const jni::ExecutionBlockClass& block = bound.execution_block;
  for (zelph::Port* port : GetPorts()) {
    auto* java_port = dynamic_cast<JPort*>(port);
    if (java_port == nullptr) continue;
    jni::LocalRef<> existing(env, nullptr);
    if (port->GetType() == zelph::PortType::input || port->GetType() == zelph::PortType::output) {
      const bool input = port->GetType() == zelph::PortType::input;
      jni::LocalRef<jstring> name(env, jni::NewJavaString(env, port->GetName()));
      const jboolean has = env->CallBooleanMethod(
          GetObject(), input ? block.has_input_port : block.has_output_port, name.get());
      jni::ThrowIfJavaException(env);
      if (has == JNI_TRUE) {
        existing = jni::LocalRef<>(
            env,
            env->CallObjectMethod(GetObject(), input ? block.get_input_port : block.get_output_port,
                                  name.get()));
        jni::ThrowIfJavaException(env);
      }
    }
    if (existing) {
      java_port->SetObject(env, existing.get());
      java_port->SetJavaUuid(env, port->GetId());
      continue;
    }
    // Throws when no Java port can be made.
    const jobject created = java_port->CreateInstance(env);
    const jboolean added = env->CallBooleanMethod(GetObject(), block.add_port, created);
    jni::ThrowIfJavaException(env);
    if (added != JNI_TRUE) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Failed add java port: {}", port->ToString());
    }
  }
}

void JExecutionBlock::InitializeParameters() {
  if (IDataProcessModel* model = GetDataProcessModel()) {
    parameters_->InitializeDefaults(model->GetStructure());
  }
}

void JExecutionBlock::ExecuteImpl(zelph::ExecutionStage) {
  if (!IsValid()) return;
  try {
    // Held for the whole run: the chain cannot go while its worker runs.
    const std::shared_ptr<IDataProcessChain> chain = chain_.lock();
    if (!chain) throw std::runtime_error("Chain not available");
    JNIEnv* env = ValidEnv();
    if (env == nullptr) return;
    PrepareJavaPorts(env, *chain);
    ResetError(ErrorKind::kUpdateProperty);
    parameters_->PushChangedProperties(env);
    if (GetResetFlag() && !ResetJavaModel(env)) return;
    // A setting the model refused leaves it in no state to run.
    if (!HasError(ErrorKind::kUpdateProperty)) ExecuteJavaModel(env);
    ReadJavaOutputs(env);
  } catch (const std::exception& error) {
    SetError(ErrorKind::kExecution, error.what(), "", "");
  }
}

void JExecutionBlock::PrepareJavaPorts(JNIEnv* env, IDataProcessChain& chain) {
  for (zelph::Port* port : GetPorts()) {
    const zelph::PortType type = port->GetType();
    if (type != zelph::PortType::input && type != zelph::PortType::output) continue;
    auto* java_port = dynamic_cast<JPort*>(port);
    if (java_port == nullptr) continue;
    const bool connected = chain.HasLinksConnectedWithPort(port->GetId());
    if (type == zelph::PortType::output) java_port->ResetJavaData(env);
    java_port->SetConnected(env, connected);
  }
}

bool JExecutionBlock::ResetJavaModel(JNIEnv* env) {
  try {
    CallExecutor(env, model_->reset);
  } catch (const jni::JavaException& error) {
    RecordFailure(ErrorKind::kExecution, error);
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed reset worker state {}", ToString());
    return false;
  }
  SetResetFlag(false);
  return true;
}

void JExecutionBlock::ExecuteJavaModel(JNIEnv* env) {
  try {
    CallExecutor(env, model_->set_interruption_requested, static_cast<jboolean>(JNI_FALSE));
    zelph::Timer timer("JExecutionBlock::Execute");
    CallExecutor(env, model_->execute);
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kExecution, error);
  } catch (...) {
    SetError(ErrorKind::kExecution, "Unknown error during execution", "", "");
  }
}

void JExecutionBlock::ReadJavaOutputs(JNIEnv* env) {
  for (zelph::Port* port : GetPorts()) {
    if (port->GetType() != zelph::PortType::output) continue;
    if (auto* java_port = dynamic_cast<JPort*>(port)) java_port->ReadData(env);
  }
}

bool JExecutionBlock::NeedToRepeat() {
  if (JNIEnv* env = ValidEnv()) {
    // A call that raised answers false, which is what the flag keeps.
    repeat_request_ = env->CallBooleanMethod(GetObject(), model_->need_to_repeat) == JNI_TRUE;
    try {
      jni::ThrowIfJavaException(env);
    } catch (const std::exception& error) {
      RecordFailure(ErrorKind::kExecution, error);
    }
  }
  return repeat_request_;
}

bool JExecutionBlock::Reset() {
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return false;
  try {
    CallExecutor(env, model_->reset);
    return true;
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kExecution, error);
    return false;
  }
}

void JExecutionBlock::Interrupt() {
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return;
  try {
    CallExecutor(env, model_->interrupt);
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kExecution, error);
  }
}

int JExecutionBlock::CheckInputNecessary(zelph::Port* port) {
  JNIEnv* env = ValidEnv();
  if (env == nullptr) return -1;
  int answer = -1;
  try {
    {
      zelph::Timer timer("JavaCheckInputNecessary");
      if (auto* java_port = dynamic_cast<JPort*>(port)) {
        jni::LocalRef<> necessary(env,
                                  env->CallObjectMethod(GetObject(), model_->check_input_necessary,
                                                        java_port->GetObject()));
        jni::ThrowIfJavaException(env);
        if (necessary) {
          answer = env->GetBooleanField(necessary.get(), bound.boolean_class.value) ? 1 : 0;
        }
      }
    }
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Check input necessary {}[{}]: {}", GetName(),
              port != nullptr ? port->GetName() : "", answer);
  } catch (const std::exception& error) {
    RecordFailure(ErrorKind::kExecution, error);
    answer = -1;
  }
  return answer;
}
