// plugin_entry_points.cpp
//
// The five functions through which the plug-in manager drives the Java plug-in. LoadModels
// checks the JDK, starts (or reuses) the Java VM and the Java execution system; the others
// reach the Java side through the static methods of ExecutionBlock. Without a VM (none could
// be created) every entry point but LoadModels returns at once, silently, so the plug-in
// then serves no Java models.
//
// Threads: LoadModels runs once, on the thread that loads plug-ins; the others run on any
// thread, several at once, each attaching itself to the VM on first use. No lock is taken.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "zelph/config/zelph_config.h"
#include "zelph/java/execution_system.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/java_models.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jvm.h"
#include "zelph/java/jvm_options.h"
#include "zelph/logger/log.h"
#include "zelph/plugins/plugin_entry_points.h"

namespace fs = std::filesystem;
using jni::bound;

namespace {

std::string Quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

// The JDK the configuration names, and its Java VM library; throws when either is missing.
fs::path CheckedJvmLibrary(const fs::path& jdk_home) {
  if (!fs::exists(jdk_home)) {
    throw std::runtime_error("JDK home folder does not exist: " + Quoted(jdk_home));
  }
  if (!fs::is_directory(jdk_home)) {
    throw std::runtime_error("JDK home path is not a directory: " + Quoted(jdk_home));
  }
  const fs::path library = jni::JvmLibraryPath(jdk_home);
  if (!fs::exists(library)) {
    throw std::runtime_error("JVM library file does not exist: " + Quoted(library));
  }
  return library;
}

// The environment of the calling thread for the VM, or null without one.
JNIEnv* SessionEnv() { return jni::GetJniEnv(jni::GetJavaVM("")); }

// Calls a static "()V" method of ExecutionBlock around a run; a Java failure is only logged.
void CallRunHook(jmethodID hook, const char* announcement, const char* failure) {
  JNIEnv* env = jni::GetJniEnv();
  if (env == nullptr) return;
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "{}", announcement);
  if (hook == nullptr) return;
  env->CallStaticVoidMethod(bound.execution_block.cls, hook);
  if (env->ExceptionCheck()) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "{}", failure);
    env->ExceptionClear();
  }
}

}  // namespace

ZELPH_PLUGIN_ENTRY int LoadModels(PluginModels* /*models*/, const std::string& /*bin_home*/,
                                  const std::string& /*plugin_folder*/) {
  ZelphConfig* config = ZelphConfig::GetInstance();
  const fs::path jdk_home = config->GetJdkHome();
  const fs::path library = CheckedJvmLibrary(jdk_home);
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "Using JDK (Java Developer Kit): {})", Quoted(jdk_home));
  try {
    JvmOptions options;
    InitializeJvmOptions(options);
    const std::vector<std::string> option_list =
        DropEmptyAndCommentedOptions(BuildJvmOptionList(options));
    JavaVM* vm = jni::CreateJvm(library.string(), option_list, "");
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Before StaticJavaInitialization");
    InitializeExecutionSystem(vm);
    return 0;
  } catch (const jni::JavaException& error) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Catch zelph-java jni::JavaException");
    config->SetInitializationExceptionReasonIfFirst("Error while initializing Java sub-system:\n" +
                                                    error.GetJavaMessage());
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed initialize execution system\n{}",
              error.GetJavaMessage());
    ZELPH_LOG(ZelphSeverityLevel::kError, "{}", error.what());
    return 1;
  } catch (const std::exception& error) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Catch zelph-java std::exception");
    config->SetInitializationExceptionReasonIfFirst(
        "Cannot initialize Java virtual machine DLL:\n" + fs::absolute(library).string() + "\n" +
        error.what());
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed initialize execution system\n{}", error.what());
    return 1;
  }
}

ZELPH_PLUGIN_ENTRY void RegisterAvailableModels(const std::string& session,
                                                SimplePluginsManager* manager) {
  JNIEnv* env = SessionEnv();
  if (env == nullptr || manager == nullptr) return;
  const jmethodID list = bound.execution_block.list_model_descriptions;
  if (list == nullptr) return;
  std::vector<std::string> descriptions;
  {
    jni::LocalRef<jstring> key(env, jni::NewJavaString(env, session));
    jni::LocalRef<jobjectArray> array(env, static_cast<jobjectArray>(env->CallStaticObjectMethod(
                                               bound.execution_block.cls, list, key.get())));
    if (array && !env->ExceptionCheck()) descriptions = ReadModelDescriptions(env, array.get());
    jni::ThrowIfJavaException(env);
  }
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "ZelphJava session: {}, available models: {}", session,
            descriptions.size());
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Register available models session: {}", session);
  RegisterJavaModels(descriptions, session, *manager);
}

ZELPH_PLUGIN_ENTRY void ClearSession(const std::string& session) {
  JNIEnv* env = SessionEnv();
  if (env == nullptr) return;
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Clear Java plugin session: {}", session);
  if (bound.execution_block.clear_session == nullptr) return;
  jni::LocalRef<jstring> key(env, jni::NewJavaString(env, session));
  env->CallStaticVoidMethod(bound.execution_block.cls, bound.execution_block.clear_session,
                            key.get());
  jni::ThrowIfJavaException(env);
}

ZELPH_PLUGIN_ENTRY void BeforeExecutingAll(const std::string& /*session*/) {
  CallRunHook(bound.execution_block.before_executing_all, "Java plugin BeforeExecutingAll",
              "Failed execute 'BeforeExecutingAll'");
}

ZELPH_PLUGIN_ENTRY void AfterExecutingAll(const std::string& /*session*/) {
  CallRunHook(bound.execution_block.after_executing_all, "Java plugin AfterExecutingAll",
              "Failed execute 'AfterExecutingAll'");
}
