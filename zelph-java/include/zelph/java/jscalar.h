// jscalar.h
//
// JScalar: scalars between PortDataScalar and the Java SScalar; the text is copied both ways.
#pragma once

#include <jni.h>

#include <memory>

#include "zelph/java/java_data.h"
#include "zelph/model/port_data_scalar.h"

class JScalar : public JData {
 public:
  JScalar();

  // Hands the flag word over, then setInitialized(false) or setValue(text). Throws
  // jni::JavaException.
  static void WriteScalar(JNIEnv* env, jobject data, const PortDataScalar* scalar);
  // A new scalar with the Java flag word; its text when the word has the initialized bit
  // (a null text leaves it empty). Throws jni::JavaException.
  static std::unique_ptr<PortDataScalar> ReadScalar(JNIEnv* env, jobject data);
};
