// jsmat.cpp
//
// Matrices between PortDataMat and SMat, and the SMat group of the bindings.
#include "zelph/java/jsmat.h"

#include <stdexcept>
#include <vector>

#include "bind_group.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/java_text.h"
#include "zelph/logger/log.h"

using jni::bound;

namespace {

// The address handed out for a matrix without bytes: a direct buffer needs one.
char empty_matrix_bytes;

}  // namespace

JSMat::JSMat()
    : JData(jni::kMatClass, bound.mat.cls, bound.mat.constructor, DataTypeMat::GetInstance()) {}

void InitializeJSMatClass(JNIEnv* env) {
  jni::BindGroup(env, bound.mat, jni::kMatClass, [&](jclass cls) {
    jni::MatClass& group = bound.mat;
    const char* kBuffer = "java/nio/ByteBuffer";
    group.constructor = jni::GetMethodIdBySignature(env, cls, "<init>", "()V");
    group.set_byte_buffer = jni::GetJavaMethodId(env, cls, "setByteBuffer", nullptr, {kBuffer});
    group.get_byte_buffer = jni::GetJavaMethodId(env, cls, "getByteBuffer", kBuffer);
    jni::GetJavaMethodId(env, cls, "getDimX", "J");
    jni::GetJavaMethodId(env, cls, "getDimY", "J");
    jni::GetJavaMethodId(env, cls, "getDim", "J", {"I"});
    jni::GetJavaMethodId(env, cls, "setNumberOfChannels", nullptr, {"I"});
    group.get_number_of_channels = jni::GetJavaMethodId(env, cls, "getNumberOfChannels", "I");
    jni::GetJavaMethodId(env, cls, "setDepthCode", nullptr, {"I"});
    group.get_depth_code = jni::GetJavaMethodId(env, cls, "getDepthCode", "I");
    jni::GetMethodIdBySignature(env, cls, "setMatrix", "(JJIILjava/nio/ByteBuffer;)V");
    group.set_matrix =
        jni::GetMethodIdBySignature(env, cls, "setMatrix", "([JIILjava/nio/ByteBuffer;)V");
    group.get_dimensions = jni::GetMethodIdBySignature(env, cls, "getDimensions", "()[J");
    group.get_dim_count = jni::GetMethodIdBySignature(env, cls, "getDimCount", "()I");
  });
}

void JSMat::WriteMat(JNIEnv* env, jobject data, const PortDataMat* mat) {
  SetJavaDataFlags(env, data, mat->GetFlags());
  if (!mat->IsInitialized()) {
    SetJavaDataNotInitialized(env, data);
    return;
  }
  if (!DataTypeMat::Equals(mat->GetDataType())) {
    throw std::runtime_error("JSMat::Write unsupported data type");
  }
  void* bytes = mat->GetData() != nullptr ? mat->GetData() : &empty_matrix_bytes;
  jni::LocalRef<> view(env, env->NewDirectByteBuffer(
                                bytes, static_cast<jlong>(mat->GetData() ? mat->GetSize() : 0)));
  if (!view) {
    if (env->ExceptionCheck()) env->ExceptionClear();
    throw std::runtime_error(
        "java exception occurs during NewDirectByteBuffer or JNI access to direct buffers is not "
        "supported by this virtual machine");
  }
  // The matrix is shared (caches, other workers, previews) and never changes once published:
  // Java gets it read-only. A read-only view starts in big-endian order, so the order follows.
  jni::LocalRef<> buffer(env,
                         env->CallObjectMethod(view.get(), bound.byte_buffer.as_read_only_buffer));
  jni::ThrowIfJavaException(env);
  jni::SetByteBufferOrder(env, buffer.get(), bound.byte_order.native);
  const jsize dims_count = mat->GetDimsSize();
  jni::LocalRef<jlongArray> dims(env, env->NewLongArray(dims_count));
  jni::ThrowIfJavaException(env);
  if (dims_count > 0) {
    // size_t and jlong have the same width; a size beyond the jlong range arrives negative.
    env->SetLongArrayRegion(dims.get(), 0, dims_count,
                            reinterpret_cast<const jlong*>(mat->GetDims()));
  }
  env->CallVoidMethod(data, bound.mat.set_matrix, dims.get(), static_cast<jint>(mat->GetChannels()),
                      static_cast<jint>(mat->GetDepth()), buffer.get());
  jni::ThrowIfJavaException(env);
}

std::unique_ptr<PortDataMat> JSMat::ReadMat(JNIEnv* env, jobject data) {
  auto mat = std::make_unique<PortDataMat>();
  mat->SetFlags(GetJavaDataFlags(env, data));
  if (!mat->IsInitialized()) return mat;

  jni::LocalRef<> buffer(env, env->CallObjectMethod(data, bound.mat.get_byte_buffer));
  jni::ThrowIfJavaException(env);
  if (!buffer) return mat;
  const void* bytes = env->GetDirectBufferAddress(buffer.get());
  const jlong capacity = env->GetDirectBufferCapacity(buffer.get());
  if (capacity < 0 || (bytes == nullptr && capacity != 0)) return mat;

  const jint dims_count = env->CallIntMethod(data, bound.mat.get_dim_count);
  jni::ThrowIfJavaException(env);
  jni::LocalRef<jlongArray> dims_array(
      env, static_cast<jlongArray>(env->CallObjectMethod(data, bound.mat.get_dimensions)));
  jni::ThrowIfJavaException(env);
  // Only the dimensions actually read count, never more than the matrix announces.
  std::vector<size_t> dims;
  if (dims_array) {
    const jsize length = env->GetArrayLength(dims_array.get());
    if (length > dims_count) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Not enought dims size to store dimensions");
    } else {
      dims.resize(static_cast<size_t>(length));
      env->GetLongArrayRegion(dims_array.get(), 0, length, reinterpret_cast<jlong*>(dims.data()));
    }
  }
  const jint channels = env->CallIntMethod(data, bound.mat.get_number_of_channels);
  jni::ThrowIfJavaException(env);
  const jint depth_code = env->CallIntMethod(data, bound.mat.get_depth_code);
  jni::ThrowIfJavaException(env);

  auto read = std::make_unique<PortDataMat>();
  read->SetDataAndCopy(dims.data(), static_cast<int>(dims.size()), channels,
                       MatDepthFromCode(depth_code), static_cast<const char*>(bytes),
                       static_cast<size_t>(capacity));
  // Consumers walk a matrix by its dimensions: a buffer too short for them is never passed on.
  if (read->IsInitialized() && !read->HasCompleteBuffer()) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Matrix from Java refused: its buffer of {} bytes is shorter than its dimensions, "
              "{} channels and depth {} need",
              capacity, channels, depth_code);
    read->ResetData();
  }
  return read;
}

void JSMat::DetachBuffer(JNIEnv* env, jobject data) {
  env->CallVoidMethod(data, bound.mat.set_byte_buffer, nullptr);
  jni::ThrowIfJavaException(env);
}
