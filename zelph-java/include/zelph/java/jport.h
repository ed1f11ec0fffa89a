// jport.h
//
// JPort: a port of a Java worker, which is also the native face of one Java Port object (with
// the port's name, type code, uuid, Java data type, connected mark and one Java Data object
// through which the model reads an input or writes an output).
//
// Data crosses at two points: data stored into the port (SetData, from links, caches and the
// host) is written into the Java Data object at once; after an execution the worker reads an
// output back (ReadData) into new port data, which replaces the port's data without going
// back to Java.
//
//   auto* port = new JPort(description_port);  // a copy of the framework's port
//   port->CreateInstance(env);                 // or SetObject(env, model's own Java port)
//   port->SetData(matrix);                     // the Java SMat now views the matrix
//
// A matrix reaches Java without a copy, as a read-only direct buffer over the memory of the
// PortDataMat the port holds. The port keeps that matrix alive while the view exists and
// detaches the buffer on the Java side (SMat.setByteBuffer(null)) before it lets the matrix go:
// when its data is replaced, reset or read back and when the port is destroyed.
//
// Threads: no lock; the port is used by the thread that builds or runs its worker, with that
// thread's JNI environment. The Java object is a global reference, usable on any thread.
#pragma once

#include <jni.h>

#include <memory>
#include <string>

#include "zelph/java/java_class.h"
#include "zelph/model/port.h"
#include "zelph/model/query_interface.h"

class JPort : public zelph::Port, public JavaClass, public Referable {
 public:
  // A copy of `port` (every field, the data shared), without a Java object yet.
  explicit JPort(const zelph::Port& port);
  ~JPort() override;

  // Stores the data; then, when the port is valid and the thread has a JNI environment,
  // writes it into the Java Data object (WriteData). Throws what WriteData throws; the
  // native data stays stored.
  void SetData(std::shared_ptr<IPortData> data) override;
  // ResetJavaData when the thread has a JNI environment; without one nothing changes.
  void ResetData() override;
  // Stores the id; gives the Java port the same uuid when it exists.
  void SetId(const std::string& id) override;

  // Adopts a Java port the model already has, and gives it a Data object when it has none.
  void SetObject(JNIEnv* env, jobject port) override;
  // Makes the Java port: name, type code (1 for input and input_control, 2 for output and
  // output_control, none for unknown), uuid, data type and a new Data object of the port's
  // type. A port that already has one logs "What going on here?" and sets all of that again.
  // Throws std::runtime_error "Failed create instance of JPort" and jni::JavaException.
  jobject CreateInstance(JNIEnv* env) override;

  int QueryInterface(const boost::uuids::uuid& interface_id, void** out) override;

  // Calls on the Java port; each throws jni::JavaException.
  void SetConnected(JNIEnv* env, bool connected);
  void SetData(JNIEnv* env, jobject data);
  void SetPortTypeCode(JNIEnv* env, int code);
  // Writes the Java port's dataType field.
  void SetJavaDataType(JNIEnv* env, jobject data_type);
  // setUuid(UUID.fromString(id)). An id that is not uuid text leaves the Java uuid as it is
  // (with a warning), so chain files with other port ids still load.
  void SetJavaUuid(JNIEnv* env, const std::string& id);
  // The data field of a Java port, as a local reference (possibly null).
  static jobject GetJavaData(JNIEnv* env, jobject port);

  // Drops the native data and marks the Java Data object not initialized.
  void ResetJavaData(JNIEnv* env);
  // The native data into the Java Data object, when both are of one type (else an error line
  // "Not expected type!..."). Throws std::runtime_error and jni::JavaException.
  void WriteData(JNIEnv* env);
  // The Java Data object into new native data that replaces the port's data. Throws
  // std::runtime_error and jni::JavaException.
  void ReadData(JNIEnv* env);

 private:
  // Detaches the Java buffer over a matrix this port wrote, before the matrix may go.
  void DetachNativeView(JNIEnv* env);

  // Set while the Java Data object holds a buffer over the memory of the port's matrix.
  bool java_views_native_matrix_ = false;
};

// The Port group of the bindings.
void InitializeJPortClass(JNIEnv* env);
