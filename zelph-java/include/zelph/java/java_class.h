// java_class.h
//
// JavaClass: the base of every native wrapper of one Java object. It holds the object by a
// global reference (released when the wrapper goes), the object's Java class (not owned: the
// process-wide bindings own it), a constructor, a valid flag, and a record of the methods a
// derived class looked up through GetMethodId.
//
//   class JThing : public JavaClass { ... };
//   JThing thing("net/morvex/.../Thing", jni::bound.thing.cls, jni::bound.thing.constructor);
//   jobject object = thing.CreateInstance(env);  // the wrapper keeps it
//
// Threads: no lock. A wrapper is used by the thread that runs its worker or port; its global
// references may be used from any thread, and it may be destroyed on any thread (which is
// attached to the VM for that when needed).
#pragma once

#include <jni.h>

#include <initializer_list>
#include <string>
#include <vector>

class JavaClass {
 public:
  // Any of the three may be empty or null.
  JavaClass(std::string class_name, jclass cls, jmethodID constructor);
  // Releases the object's global reference when a VM runs; never the class.
  virtual ~JavaClass();
  JavaClass(const JavaClass&) = delete;
  JavaClass& operator=(const JavaClass&) = delete;

  // Looks up the methods a derived class calls; nothing here.
  virtual void InitializeMethods(JNIEnv* env);
  // Keeps a new global reference to `object` (null keeps none), releasing the one held.
  virtual void SetObject(JNIEnv* env, jobject object);
  // The global reference to the object, or null.
  virtual jobject GetObject() const;
  // Creates the object with the no-argument constructor when the wrapper has a class and a
  // constructor and no object yet; otherwise logs "What going on here?" at error level and
  // creates nothing. Returns the object's global reference or null. Throws
  // jni::JavaException when the constructor throws.
  virtual jobject CreateInstance(JNIEnv* env);
  virtual void SetConstructor(jmethodID constructor);

  // Looks up a method of the wrapper's class (see jni::GetJavaMethodId, which throws for a
  // missing method) and records that it was found; without a class it records a failure and
  // returns null.
  jmethodID GetMethodId(JNIEnv* env, const char* name, const char* return_type,
                        std::initializer_list<const char*> argument_types = {});
  // True when every recorded lookup succeeded (also when none was made).
  bool MethodsInitialized() const;

  bool IsValid() const { return valid_; }
  void SetValid(bool valid) { valid_ = valid; }
  jclass GetClass() const { return class_; }
  const std::string& GetClassName() const { return class_name_; }

 protected:
  void SetClass(jclass cls) { class_ = cls; }

 private:
  bool valid_ = true;
  jmethodID constructor_;
  jobject object_ = nullptr;
  jclass class_;
  std::string class_name_;
  std::vector<bool> lookups_;
};
