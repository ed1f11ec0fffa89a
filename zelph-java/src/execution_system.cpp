// execution_system.cpp
#include "zelph/java/execution_system.h"

#include "zelph/java/java_bindings.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/jexecution_block.h"
#include "zelph/java/jvm.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"

void InitializeExecutionSystem(JavaVM* vm) {
  zelph::InstantTimer timer("Initializing execution system");
  JNIEnv* env = jni::GetJniEnv(vm);
  if (env == nullptr) return;
  jni::BindModelApiClasses(env);
  BindExecutionBlockClass(env);
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "InitializeExecutionSystem");
  env->CallStaticVoidMethod(jni::bound.execution_block.cls,
                            jni::bound.execution_block.initialize_execution_system);
  jni::ThrowIfJavaException(env);
}
