// jsmat.h
//
// JSMat: matrices between PortDataMat and the Java SMat. A matrix goes to Java without a copy:
// the SMat gets a read-only direct byte buffer over the PortDataMat's own memory, in the
// machine's byte order, valid only while that PortDataMat lives and keeps its storage (the
// port that wrote it detaches the buffer before it lets the matrix go). Read-only because the
// matrix is shared and never written once published: a model that writes it gets
// java.nio.ReadOnlyBufferException. A matrix comes back as one copy of
// the Java buffer, checked against its dimensions.
#pragma once

#include <jni.h>

#include <memory>

#include "zelph/java/java_data.h"
#include "zelph/model/port_data_mat.h"

class JSMat : public JData {
 public:
  JSMat();

  // Hands the flag word over, then either setInitialized(false) (no value) or the matrix
  // (dimensions, channels, depth code and a read-only buffer over its memory). Throws
  // std::runtime_error for data of another type or when the VM makes no direct buffer, and
  // jni::JavaException.
  static void WriteMat(JNIEnv* env, jobject data, const PortDataMat* mat);
  // A new matrix: the Java flag word alone when it lacks the initialized bit or the buffer
  // is not direct; otherwise a copy of the buffer with the dimensions read, and a fresh flag
  // word. A buffer shorter than its dimensions need is refused (logged, no data). Throws
  // jni::JavaException.
  static std::unique_ptr<PortDataMat> ReadMat(JNIEnv* env, jobject data);
  // setByteBuffer(null): the SMat lets go of a buffer over native memory. Throws
  // jni::JavaException.
  static void DetachBuffer(JNIEnv* env, jobject data);
};

void InitializeJSMatClass(JNIEnv* env);
