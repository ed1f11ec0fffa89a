// jni_lookup.h
//
// Lookups of Java classes, fields and methods that fail with a readable exception, the
// builder of JNI signatures from plain type names, and a few calls every wrapper needs.
//
// Type names: a one- or two-character name ("I", "Z", "[J") and a name already in descriptor
// form ("Ljava/lang/String;", "[Ljava/lang/String;") are used as they are; any other name is a
// class name and becomes "L<name>;". A null return type means void:
//
//   jni::GetJavaMethodId(env, cls, "setMatrix", nullptr, {"[J", "I", "I", "java/nio/ByteBuffer"})
//   // looks up "([JIILjava/nio/ByteBuffer;)V"
//
// A failed lookup leaves no Java exception pending: the NoSuch...Error the VM raises with it is
// cleared, so the next JNI call of the thread runs clean.
#pragma once

#include <jni.h>

#include <initializer_list>
#include <string>

namespace jni {

// "." in the name become "/". Returns a local reference. Throws jni::JavaException with the
// VM's NoClassDefFoundError, or std::runtime_error "Java class '{}' cannot be loaded" when
// the VM raised nothing.
jclass FindJavaClass(JNIEnv* env, const char* name);
// FindJavaClass, kept as a global reference (valid on every thread, never released here).
jclass FindGlobalJavaClass(JNIEnv* env, const char* name);

// The field-type rule: one character or a descriptor as it is, else "L<type>;".
std::string NormalizeJavaType(const char* type);
// "(<argument types>)<return type>" by the signature rule.
std::string JavaMethodSignature(const char* return_type,
                                std::initializer_list<const char*> argument_types);

// Throw std::runtime_error "Java field not found '{}' with signature '{}'" (or without the
// signature part when the type is null).
jfieldID GetJavaFieldId(JNIEnv* env, jclass cls, const char* name, const char* type);
// Throw std::runtime_error "Java method not found '{}' with signature '{}'".
jmethodID GetJavaMethodId(JNIEnv* env, jclass cls, const char* name, const char* return_type,
                          std::initializer_list<const char*> argument_types = {});
jmethodID GetJavaStaticMethodId(JNIEnv* env, jclass cls, const char* name, const char* return_type,
                                std::initializer_list<const char*> argument_types = {});
// Lookups by a complete JNI signature, with the same failure.
jmethodID GetMethodIdBySignature(JNIEnv* env, jclass cls, const char* name, const char* signature);
jmethodID GetStaticMethodIdBySignature(JNIEnv* env, jclass cls, const char* name,
                                       const char* signature);

// getClass().getName() of the object, such as "java.lang.String".
std::string JavaClassName(JNIEnv* env, jobject object);

// buffer.order(order), for direct buffers over native memory. Throws jni::JavaException.
void SetByteBufferOrder(JNIEnv* env, jobject buffer, jobject order);

}  // namespace jni
