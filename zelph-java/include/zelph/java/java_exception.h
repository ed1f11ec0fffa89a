// java_exception.h
//
// jni::JavaException: a pending Java exception taken over into C++. Its what() is the trace
// text: the exception's toString(), one "\n    <frame>" line per stack frame, then for each
// cause "\nCaused by: <toString()>" and its frames. An IOError with a cause is described by
// its cause alone. A cause chain that comes back to an exception already described ends
// there.
//
//   env->CallVoidMethod(object, method);
//   jni::ThrowIfJavaException(env);  // takes, clears and throws what the call raised
//
// Handlers catch jni::JavaException before std::exception, to use the Java message and class.
// The Throwable members the conversion calls are looked up once per process, by its first
// conversion; afterwards converting takes no lock and makes no global reference.
#pragma once

#include <jni.h>

#include <stdexcept>
#include <string>

namespace jni {

class JavaException : public std::runtime_error {
 public:
  // Takes the thread's pending Java exception and clears it; with none pending every text is
  // empty. Throws std::runtime_error "Java method not found '{}' with signature '{}'" when
  // the VM lacks a Throwable method the conversion calls.
  explicit JavaException(JNIEnv* env);
  JavaException(const JavaException&) = default;
  JavaException& operator=(const JavaException&) = default;
  // The source's message and class name are left empty.
  JavaException(JavaException&& other) noexcept;
  JavaException& operator=(JavaException&& other) noexcept;
  ~JavaException() override = default;

  // getMessage() of the Java exception, or its class name when that is null.
  const std::string& GetJavaMessage() const { return java_message_; }
  // The Java class name in dotted form, such as "java.lang.IllegalStateException".
  const std::string& GetJavaClassName() const { return java_class_name_; }

 private:
  struct Texts {
    std::string trace;
    std::string message;
    std::string class_name;
  };
  explicit JavaException(Texts texts);
  static Texts Take(JNIEnv* env);

  std::string java_message_;
  std::string java_class_name_;
};

// Throws a JavaException when a Java exception is pending on the thread; returns otherwise.
void ThrowIfJavaException(JNIEnv* env);

}  // namespace jni
