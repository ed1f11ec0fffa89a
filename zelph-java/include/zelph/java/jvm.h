// jvm.h
//
// The Java VM of the process and the JNI environments of its threads. The bridge loads the
// JDK's libjvm.so at run time (never linking it), reuses a VM that already runs in the process
// or creates one with the Invocation API (JNI 1.6), and keeps it in a registry under a name;
// the system uses the empty name only. The VM is never destroyed and libjvm.so never
// unloaded.
//
//   JavaVM* vm = jni::CreateJvm(jni::JvmLibraryPath(jdk_home), options, "");
//   ...
//   JNIEnv* env = jni::GetJniEnv();  // on any thread; null when no VM runs
//
// Threads: any thread obtains its environment with GetJniEnv, which attaches the thread on
// first use. A thread that the bridge attached (the thread that created the VM included) is
// detached again when it ends, so short-lived threads leave no Java thread behind. A
// JNIEnv* belongs to its thread and is never handed to another.
#pragma once

#include <jni.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "zelph/platform/dynamic_library.h"

namespace jni {

// The VMs of the process by name. Entries are written by CreateJvm only; reads take no lock
// for the empty name, which every JNI call of the bridge looks up.
class JvmRegistry {
 public:
  static JvmRegistry& GetInstance();

  // Replaces the entry (a null VM is stored too).
  void Set(const std::string& name, JavaVM* vm);
  // The VM of that name, or null; an unknown name adds no entry.
  JavaVM* Find(const std::string& name) const;
  // The VM under the empty name, or null. Lock-free.
  JavaVM* Default() const { return default_vm_.load(std::memory_order_acquire); }

 private:
  JvmRegistry() = default;

  mutable std::mutex mutex_;
  std::map<std::string, JavaVM*> vms_;
  std::atomic<JavaVM*> default_vm_{nullptr};
};

// <JDK home>/lib/server/libjvm.so.
std::filesystem::path JvmLibraryPath(const std::filesystem::path& jdk_home);

// Loads the Java VM library (UTF-8 path). Throws std::runtime_error "Cannot load Java virtual
// machine DLL (libjvm.so): {path}, error code: {loader's reason}".
zelph::sys::DynamicLibrary LoadJvmLibrary(const std::string& path);

// Loads the library, reuses the VM it already runs (the options are then not applied) or
// creates one with `args`, and stores it in *vm (null when none is available: a failed
// creation is logged, not thrown). The library stays loaded for good. Exceptions of
// LoadJvmLibrary pass through, before anything else is done.
JavaVM* LoadJvmLibraryAndCreate(JavaVM** vm, const std::string& path, JavaVMInitArgs* args);

// Builds the creation arguments from `options` (in order, none ignored), creates or reuses
// the VM, registers it under `name` (also when null) and returns it. Call it on the thread
// that loads the plug-in, before other threads use the bridge.
JavaVM* CreateJvm(const std::string& path, const std::vector<std::string>& options,
                  const std::string& name);

// The VM registered under `name`, or null.
JavaVM* GetJavaVM(const std::string& name);

// The calling thread's environment for the VM under the empty name, attaching the thread
// (as a non-daemon thread without name) when it is not attached; null when there is no VM
// or attaching fails.
JNIEnv* GetJniEnv();
// The same for a given VM; null for a null VM.
JNIEnv* GetJniEnv(JavaVM* vm);

}  // namespace jni
