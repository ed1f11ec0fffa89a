// jnumbers.cpp
//
// Number blocks between PortDataNumbers and SNumbers, and the SNumbers group of the bindings.
#include "zelph/java/jnumbers.h"

#include <fmt/format.h>

#include <limits>
#include <stdexcept>

#include "bind_group.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/java_text.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"

using jni::bound;

namespace {

// A new Java array of `length` elements copied from `values`, as a local reference.
template <typename Array, typename Element>
jni::LocalRef<> NewJavaArray(JNIEnv* env, Array (JNIEnv::*make)(jsize),
                             void (JNIEnv::*copy)(Array, jsize, jsize, const Element*),
                             const void* values, jsize length) {
  jni::LocalRef<> array(env, (env->*make)(length));
  jni::ThrowIfJavaException(env);
  if (length > 0) {
    (env->*copy)(static_cast<Array>(array.get()), 0, length, static_cast<const Element*>(values));
  }
  return array;
}

jni::LocalRef<> ToJavaArray(JNIEnv* env, const PortDataNumbers* numbers) {
  const size_t count = numbers->GetLength();
  if (count > static_cast<size_t>(std::numeric_limits<jsize>::max())) {
    throw std::runtime_error(fmt::format("Too many numbers for a Java array: {} elements", count));
  }
  const auto length = static_cast<jsize>(count);
  const IDataType* type = numbers->GetElementDataType();
  if (DataTypeFloat::Equals(type)) {
    return NewJavaArray(env, &JNIEnv::NewFloatArray, &JNIEnv::SetFloatArrayRegion,
                        numbers->ToFloatArray(false), length);
  }
  if (DataTypeInt32::Equals(type)) {
    return NewJavaArray(env, &JNIEnv::NewIntArray, &JNIEnv::SetIntArrayRegion,
                        numbers->ToIntArray(false), length);
  }
  if (DataTypeDouble::Equals(type)) {
    return NewJavaArray(env, &JNIEnv::NewDoubleArray, &JNIEnv::SetDoubleArrayRegion,
                        numbers->ToDoubleArray(false), length);
  }
  if (DataTypeShort::Equals(type)) {
    return NewJavaArray(env, &JNIEnv::NewShortArray, &JNIEnv::SetShortArrayRegion,
                        numbers->ToShortArray(false), length);
  }
  if (DataTypeByte::Equals(type)) {
    return NewJavaArray(env, &JNIEnv::NewByteArray, &JNIEnv::SetByteArrayRegion,
                        numbers->ToByteArray(false), length);
  }
  if (DataTypeInt64::Equals(type)) {
    return NewJavaArray(env, &JNIEnv::NewLongArray, &JNIEnv::SetLongArrayRegion,
                        numbers->ToInt64Array(false), length);
  }
  throw std::runtime_error(fmt::format("Write unsupported element data type array: {}",
                                       type != nullptr ? type->GetName() : ""));
}

struct ArrayKind {
  jmethodID jni::NumbersClass::*test;
  const char* timer;
  IDataType* (*type)();
};

// The order in which an array's kind is asked.
const ArrayKind kReadKinds[] = {
    {&jni::NumbersClass::is_int_array, "JNumbers::IsIntArray", &DataTypeInt32::GetInstance},
    {&jni::NumbersClass::is_double_array, "JNumbers::IsDoubleArray", &DataTypeDouble::GetInstance},
    {&jni::NumbersClass::is_float_array, "JNumbers::IsFloatArray", &DataTypeFloat::GetInstance},
    {&jni::NumbersClass::is_byte_array, "JNumbers::IsByteArray", &DataTypeByte::GetInstance},
    {&jni::NumbersClass::is_short_array, "JNumbers::IsShortArray", &DataTypeShort::GetInstance},
    {&jni::NumbersClass::is_long_array, "JNumbers::IsLongArray", &DataTypeInt64::GetInstance},
};

IDataType* ArrayElementType(JNIEnv* env, jobject data) {
  for (const ArrayKind& kind : kReadKinds) {
    zelph::Timer timer(kind.timer);
    const jboolean answer = env->CallBooleanMethod(data, bound.numbers.*kind.test);
    jni::ThrowIfJavaException(env);
    if (answer) return kind.type();
  }
  throw std::runtime_error("JNumbers::Read unsupported array data type");
}

// Unpins a pinned array without copying back, also when the copy throws.
class PinnedArray {
 public:
  PinnedArray(JNIEnv* env, jarray array)
      : env_(env), array_(array), elements_(env->GetPrimitiveArrayCritical(array, nullptr)) {}
  ~PinnedArray() {
    if (elements_ != nullptr) env_->ReleasePrimitiveArrayCritical(array_, elements_, JNI_ABORT);
  }
  PinnedArray(const PinnedArray&) = delete;
  PinnedArray& operator=(const PinnedArray&) = delete;

  const char* elements() const { return static_cast<const char*>(elements_); }

 private:
  JNIEnv* env_;
  jarray array_;
  void* elements_;
};

}  // namespace

JNumbers::JNumbers()
    : JData(jni::kNumbersClass, bound.numbers.cls, bound.numbers.constructor,
            DataTypeNumbers::GetInstance()) {}

void InitializeJNumbersClass(JNIEnv* env) {
  jni::BindGroup(env, bound.numbers, jni::kNumbersClass, [&](jclass cls) {
    jni::NumbersClass& group = bound.numbers;
    group.constructor = jni::GetMethodIdBySignature(env, cls, "<init>", "()V");
    group.is_byte_array = jni::GetJavaMethodId(env, cls, "isByteArray", "Z");
    group.is_short_array = jni::GetJavaMethodId(env, cls, "isShortArray", "Z");
    group.is_int_array = jni::GetJavaMethodId(env, cls, "isIntArray", "Z");
    group.is_long_array = jni::GetJavaMethodId(env, cls, "isLongArray", "Z");
    group.is_double_array = jni::GetJavaMethodId(env, cls, "isDoubleArray", "Z");
    group.is_float_array = jni::GetJavaMethodId(env, cls, "isFloatArray", "Z");
    jni::GetJavaMethodId(env, cls, "getArray", "java/lang/Object");
    group.set_array = jni::GetJavaMethodId(env, cls, "setArray", nullptr, {"java/lang/Object"});
    group.block_length = jni::GetJavaFieldId(env, cls, "blockLength", "I");
    group.array = jni::GetJavaFieldId(env, cls, "array", "java/lang/Object");
  });
}

void JNumbers::WriteNumbers(JNIEnv* env, jobject data, const PortDataNumbers* numbers) {
  SetJavaDataFlags(env, data, numbers->GetFlags());
  if (!numbers->IsInitialized()) {
    SetJavaDataNotInitialized(env, data);
    return;
  }
  env->SetIntField(data, bound.numbers.block_length, numbers->GetBlockLength());
  jni::LocalRef<> array = ToJavaArray(env, numbers);
  env->CallVoidMethod(data, bound.numbers.set_array, array.get());
  jni::ThrowIfJavaException(env);
}

std::unique_ptr<PortDataNumbers> JNumbers::ReadNumbers(JNIEnv* env, jobject data) {
  auto numbers = std::make_unique<PortDataNumbers>();
  numbers->SetFlags(GetJavaDataFlags(env, data));
  // An array left from an earlier value is no value: a port cleared before a run that then
  // wrote nothing must come back empty, as matrices and scalars do.
  if (!numbers->IsInitialized()) return numbers;
  jni::LocalRef<jarray> array(env,
                              static_cast<jarray>(env->GetObjectField(data, bound.numbers.array)));
  if (!array) return numbers;
  const jsize length = env->GetArrayLength(array.get());
  IDataType* type = ArrayElementType(env, data);
  const size_t bytes = static_cast<size_t>(length) * numbers->GetElementSizeBytes(type);
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Numbers flags: {}", numbers->GetFlags());
  {
    // No JNI call while the elements are pinned.
    PinnedArray pinned(env, array.get());
    if (pinned.elements() == nullptr) {
      if (env->ExceptionCheck()) env->ExceptionClear();
      return nullptr;
    }
    numbers->SetDataAndCopy(pinned.elements(), bytes, type);
  }
  numbers->SetBlockLength(env->GetIntField(data, bound.numbers.block_length));
  return numbers;
}
