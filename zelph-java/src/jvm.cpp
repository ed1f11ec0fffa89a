// jvm.cpp
//
// The VM registry, libjvm loading, VM creation and thread attachment.
#include "zelph/java/jvm.h"

#include <cstring>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "zelph/logger/log.h"

namespace jni {
namespace {

using GetCreatedJavaVMsFn = jint (*)(JavaVM**, jsize, jsize*);
using CreateJavaVMFn = jint (*)(JavaVM**, void**, void*);

// Detaches the thread from the VM when the thread ends, if the bridge attached it. C++
// thread-local destructors run before the VM's own thread-exit handling, while the thread
// has no Java frames left.
class AttachGuard {
 public:
  ~AttachGuard() {
    if (vm_ != nullptr) vm_->DetachCurrentThread();
  }
  void Attached(JavaVM* vm) { vm_ = vm; }

 private:
  JavaVM* vm_ = nullptr;
};

thread_local AttachGuard attach_guard;

void LogCreationResult(jint result) {
  switch (result) {
    case JNI_OK:
      ZELPH_LOG(ZelphSeverityLevel::kInfo, "JavaVM created successfully");
      break;
    case JNI_EVERSION:
      ZELPH_LOG(ZelphSeverityLevel::kError,
                "\n\n!!! VM is oudated and doesn't meet requirements !!!\n");
      break;
    case JNI_ENOMEM:
      ZELPH_LOG(ZelphSeverityLevel::kError, "\n\n!!! Not enough memory for JVM !!!\n");
      break;
    case JNI_EEXIST:
      ZELPH_LOG(ZelphSeverityLevel::kError, "\n\nJNI already exist\n");
      break;
    case JNI_EINVAL:
      ZELPH_LOG(ZelphSeverityLevel::kError, "\n\n!!! Invalid agument for launching JVM !!!\n");
      break;
    default:
      ZELPH_LOG(ZelphSeverityLevel::kError,
                "\n\n!!! Problems while creating JVM: error code {} !!!\n", result);
      break;
  }
}

void LogCreationArguments(const JavaVMInitArgs& args) {
  if (!CheckSeverity(ZelphSeverityLevel::kDebug)) return;
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Invoke JNI_GetCreatedJavaVMs(...) with follow arguments:");
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "version: {:#X}", args.version);
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "ignore unrecognized: {}",
            static_cast<int>(args.ignoreUnrecognized));
  for (jint i = 0; i < args.nOptions; ++i) {
    ZELPH_LOG(ZelphSeverityLevel::kInfo, "jvm option[{}]: {}", i, args.options[i].optionString);
  }
}

// Creates the VM; the creating thread is attached by the creation and detached when it ends.
void CreateVm(const zelph::sys::DynamicLibrary& library, JavaVM** vm, JavaVMInitArgs* args) {
  auto create = reinterpret_cast<CreateJavaVMFn>(library.Symbol("JNI_CreateJavaVM"));
  if (create == nullptr) return;
  LogCreationArguments(*args);
  JNIEnv* creator_env = nullptr;
  const jint result = create(vm, reinterpret_cast<void**>(&creator_env), args);
  if (result == JNI_OK && *vm != nullptr) attach_guard.Attached(*vm);
  LogCreationResult(result);
}

}  // namespace

JvmRegistry& JvmRegistry::GetInstance() {
  static JvmRegistry registry;
  return registry;
}

void JvmRegistry::Set(const std::string& name, JavaVM* vm) {
  std::scoped_lock lock(mutex_);
  vms_[name] = vm;
  if (name.empty()) default_vm_.store(vm, std::memory_order_release);
}

JavaVM* JvmRegistry::Find(const std::string& name) const {
  if (name.empty()) return Default();
  std::scoped_lock lock(mutex_);
  const auto found = vms_.find(name);
  return found == vms_.end() ? nullptr : found->second;
}

std::filesystem::path JvmLibraryPath(const std::filesystem::path& jdk_home) {
  return jdk_home / "lib" / "server" / "libjvm.so";
}

zelph::sys::DynamicLibrary LoadJvmLibrary(const std::string& path) {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Loading libjvm.so: '{}'", path);
  try {
    return zelph::sys::DynamicLibrary::Open(path);
  } catch (const std::exception& error) {
    throw std::runtime_error(
        fmt::format("Cannot load Java virtual machine DLL (libjvm.so): {}, error code: {}", path,
                    error.what()));
  }
}

JavaVM* LoadJvmLibraryAndCreate(JavaVM** vm, const std::string& path, JavaVMInitArgs* args) {
  zelph::sys::DynamicLibrary library = LoadJvmLibrary(path);
  // A VM keeps running code of the library until the process ends.
  library.KeepLoaded();
  *vm = nullptr;
  try {
    auto get_created =
        reinterpret_cast<GetCreatedJavaVMsFn>(library.Symbol("JNI_GetCreatedJavaVMs"));
    jsize count = 0;
    if (get_created != nullptr && get_created(vm, 1, &count) == JNI_OK && count > 0) {
      ZELPH_LOG(ZelphSeverityLevel::kDebug, "Count of created jvm: {}", count);
    } else {
      CreateVm(library, vm, args);
    }
  } catch (...) {
    std::cerr << "error" << std::endl;
  }
  return *vm;
}

JavaVM* CreateJvm(const std::string& path, const std::vector<std::string>& options,
                  const std::string& name) {
  // Private, zero-terminated copies of the option texts, released with the arguments.
  std::vector<std::unique_ptr<char[]>> texts;
  std::vector<JavaVMOption> entries(options.size());
  for (size_t i = 0; i < options.size(); ++i) {
    texts.push_back(std::make_unique<char[]>(options[i].size() + 1));
    std::memcpy(texts.back().get(), options[i].c_str(), options[i].size() + 1);
    entries[i].optionString = texts.back().get();
    entries[i].extraInfo = nullptr;
  }
  JavaVMInitArgs args{};
  args.version = JNI_VERSION_1_6;
  args.nOptions = static_cast<jint>(entries.size());
  args.options = entries.data();
  args.ignoreUnrecognized = JNI_FALSE;

  JavaVM* vm = nullptr;
  LoadJvmLibraryAndCreate(&vm, path, &args);
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Free vm argument options");
  JvmRegistry::GetInstance().Set(name, vm);
  return vm;
}

JavaVM* GetJavaVM(const std::string& name) { return JvmRegistry::GetInstance().Find(name); }

JNIEnv* GetJniEnv() { return GetJniEnv(JvmRegistry::GetInstance().Default()); }

JNIEnv* GetJniEnv(JavaVM* vm) {
  if (vm == nullptr) return nullptr;
  JNIEnv* env = nullptr;
  const jint result = vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_6);
  if (result == JNI_OK) return env;
  if (result != JNI_EDETACHED) return nullptr;
  if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) return nullptr;
  attach_guard.Attached(vm);
  return env;
}

}  // namespace jni
