// java_data.h
//
// The Java Data objects of ports (SMat, SScalar, SNumbers of the Java model API) from the
// native side: JData, the wrapper that creates one; the mapping between the Java DataType
// kinds and the framework's data types; and the small calls on any Data object.
//
// Three native types cross: DataTypeMat (JSMat), DataTypeScalar (JScalar) and
// DataTypeNumbers (JNumbers). A Java kind maps to the native type of the same uuid.
//
//   std::unique_ptr<JData> wrapper = CreateJavaDataWrapper(port.GetDataType());
//   jobject data = wrapper->CreateInstance(env);  // then handed to the Java port
//
// Threads: no lock; each call runs on the calling thread with its own environment. The
// bindings and the cached Java kinds are written once by the start.
#pragma once

#include <jni.h>

#include <memory>

#include "zelph/java/java_class.h"
#include "zelph/model/data_type.h"

class JData : public JavaClass {
 public:
  JData(const char* class_name, jclass cls, jmethodID constructor, IDataType* type);

  // The native type whose values the Java object carries.
  IDataType* GetDataType() const { return type_; }

 private:
  IDataType* type_;
};

// A wrapper of the Java class for DataTypeMat, DataTypeScalar or DataTypeNumbers (tested in
// that order); for another type (or none) logs "Unknown data type: '{}'" at error level and
// returns none.
std::unique_ptr<JData> CreateJavaDataWrapper(const IDataType* type);

// The DataType group of the bindings, then the three Java kinds, once per process.
void InitializeJDataTypeClass(JNIEnv* env);
// DataType.ofTypeName(name) as a global reference. Throws jni::JavaException.
jobject JavaDataTypeOfName(JNIEnv* env, const char* name);
// The cached Java kind (global reference) of a native type that crosses; null otherwise.
jobject JavaDataTypeOf(const IDataType* type);
// The registered native type of a Java Data object's kind, or null.
IDataType* GetNativeDataType(JNIEnv* env, jobject data);

// data.getFlags(), data.setFlags(flags), data.setInitialized(false). Throw
// jni::JavaException.
long long GetJavaDataFlags(JNIEnv* env, jobject data);
void SetJavaDataFlags(JNIEnv* env, jobject data, long long flags);
void SetJavaDataNotInitialized(JNIEnv* env, jobject data);

// The ports of an ExecutionVisibleResultsInformation (a local reference, possibly null).
// Throws jni::JavaException.
jobjectArray GetVisibleResultPorts(JNIEnv* env, jobject information);
