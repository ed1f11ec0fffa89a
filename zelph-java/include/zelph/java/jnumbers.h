// jnumbers.h
//
// JNumbers: number blocks between PortDataNumbers and the Java SNumbers (byte, short, int,
// long, float or double arrays); the elements are copied once each way.
#pragma once

#include <jni.h>

#include <memory>

#include "zelph/java/java_data.h"
#include "zelph/model/port_data_numbers.h"

class JNumbers : public JData {
 public:
  JNumbers();

  // Hands the flag word over, then setInitialized(false), or the block length and a new Java
  // array of the elements. Throws std::runtime_error for an element type without Java array
  // or more elements than a Java array holds, and jni::JavaException.
  static void WriteNumbers(JNIEnv* env, jobject data, const PortDataNumbers* numbers);
  // New numbers with the Java flag word, plus (when the word has the initialized bit and there
  // is an array) a copy of the array and the block length; none when the VM cannot give the
  // array's elements. Throws
  // std::runtime_error "JNumbers::Read unsupported array data type" for an array of another
  // kind, and jni::JavaException.
  static std::unique_ptr<PortDataNumbers> ReadNumbers(JNIEnv* env, jobject data);
};

void InitializeJNumbersClass(JNIEnv* env);
