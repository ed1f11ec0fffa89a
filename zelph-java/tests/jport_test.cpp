// jport_test.cpp
//
// Ports of Java workers: the Java port they make or adopt, ids, ports of types that do not
// cross, the lifetime of matrix views, and local references on native threads.
#include <gtest/gtest.h>

#include <thread>

#include "capturing_logger.h"
#include "java_test_support.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_data.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jni_lookup.h"
#include "zelph/java/jport.h"
#include "zelph/java/jscalar.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/model/uuid.h"

namespace zelph::testing {
namespace {

constexpr const char* kPortClass = "net/morvex/executors/api/data/Port";

// Calls a no-argument method of a Java object that returns an object (a local reference).
jobject CallGetter(JNIEnv* env, jobject object, const char* cls, const char* name,
                   const char* return_type) {
  jni::LocalRef<jclass> found(env, jni::FindJavaClass(env, cls));
  const jmethodID method = jni::GetJavaMethodId(env, found.get(), name, return_type);
  jobject result = env->CallObjectMethod(object, method);
  jni::ThrowIfJavaException(env);
  return result;
}

std::string JavaUuid(JNIEnv* env, const JPort& port) {
  jni::LocalRef<> uuid(env,
                       CallGetter(env, port.GetObject(), kPortClass, "getUuid", "java/util/UUID"));
  if (!uuid) return "";
  jni::LocalRef<> text(
      env, CallGetter(env, uuid.get(), "java/util/UUID", "toString", "java/lang/String"));
  return jni::JavaStringToUtf8(env, static_cast<jstring>(text.get()));
}

// The buffer the Java SMat of a port holds (a local reference, possibly null).
jobject JavaBuffer(JNIEnv* env, jobject port) {
  jni::LocalRef<> data(env, JPort::GetJavaData(env, port));
  jobject buffer = env->CallObjectMethod(data.get(), jni::bound.mat.get_byte_buffer);
  jni::ThrowIfJavaException(env);
  return buffer;
}

std::shared_ptr<PortDataMat> Matrix(size_t width, size_t height) {
  const size_t dims[] = {width, height};
  return std::make_shared<PortDataMat>(dims, 2, kDepth8U, 1);
}

TEST(JPort, JavaPortCarriesNameTypeCodeUuidKindAndData) {
  struct Case {
    PortType type;
    int code;
  };
  const Case cases[] = {{PortType::input, 1},
                        {PortType::output, 2},
                        {PortType::input_control, 1},
                        {PortType::output_control, 2},
                        {PortType::unknown, 0}};
  JNIEnv* env = Env();
  jni::LocalRef<jclass> port_class(env, jni::FindJavaClass(env, kPortClass));
  const jmethodID get_code = jni::GetJavaMethodId(env, port_class.get(), "getPortTypeCode", "I");
  const jmethodID is_connected = jni::GetJavaMethodId(env, port_class.get(), "isConnected", "Z");
  for (const Case& c : cases) {
    SCOPED_TRACE(PortTypeToString(c.type));
    const auto port = NewJavaPort(env, c.type, "näme", DataTypeScalar::GetInstance());
    jni::LocalRef<> name(
        env, CallGetter(env, port->GetObject(), kPortClass, "getName", "java/lang/String"));
    EXPECT_EQ(jni::JavaStringToUtf8(env, static_cast<jstring>(name.get())), "näme");
    EXPECT_EQ(env->CallIntMethod(port->GetObject(), get_code), c.code);
    jni::ThrowIfJavaException(env);
    EXPECT_EQ(JavaUuid(env, *port), port->GetId());
    jni::LocalRef<> kind(env, env->GetObjectField(port->GetObject(), jni::bound.port.data_type));
    EXPECT_TRUE(env->IsSameObject(kind.get(), jni::bound.data_type.scalar));
    jni::LocalRef<> data(env, JPort::GetJavaData(env, port->GetObject()));
    EXPECT_TRUE(env->IsInstanceOf(data.get(), jni::bound.scalar.cls));
    port->SetConnected(env, true);
    EXPECT_TRUE(env->CallBooleanMethod(port->GetObject(), is_connected));
    jni::ThrowIfJavaException(env);
  }
}

TEST(JPort, VisibleResultsNameTheirModelAndPorts) {
  JNIEnv* env = Env();
  const auto first = NewJavaPort(env, PortType::output, "a", DataTypeMat::GetInstance());
  const auto second = NewJavaPort(env, PortType::output, "b", DataTypeMat::GetInstance());
  jni::LocalRef<jobjectArray> ports(env, env->NewObjectArray(2, jni::bound.port.cls, nullptr));
  env->SetObjectArrayElement(ports.get(), 0, first->GetObject());
  env->SetObjectArrayElement(ports.get(), 1, second->GetObject());
  const jmethodID make =
      jni::GetJavaMethodId(env, jni::bound.visible_results.cls, "<init>", nullptr,
                           {"java/lang/String", "[Lnet/morvex/executors/api/data/Port;"});
  jni::LocalRef<jstring> model(env, jni::NewJavaString(env, "default"));
  jni::LocalRef<> information(
      env, env->NewObject(jni::bound.visible_results.cls, make, model.get(), ports.get()));
  jni::ThrowIfJavaException(env);

  jni::LocalRef<jobjectArray> listed(env, GetVisibleResultPorts(env, information.get()));
  ASSERT_EQ(env->GetArrayLength(listed.get()), 2);
  jni::LocalRef<> listed_first(env, env->GetObjectArrayElement(listed.get(), 0));
  EXPECT_TRUE(env->IsSameObject(listed_first.get(), first->GetObject()));
  jni::LocalRef<jstring> json(env, static_cast<jstring>(env->CallObjectMethod(
                                       information.get(), jni::bound.visible_results.json_string)));
  jni::ThrowIfJavaException(env);
  EXPECT_EQ(jni::JavaStringToUtf8(env, json.get()), R"({"model":"default","ports":[{"id":")" +
                                                        first->GetId() + R"("},{"id":")" +
                                                        second->GetId() + R"("}]})");
}

TEST(JPort, SecondCreationLogsAndMakesEverythingAgain) {
  JNIEnv* env = Env();
  const auto port = NewJavaPort(env, PortType::input, "in", DataTypeNumbers::GetInstance());
  jni::LocalRef<> first(env, JPort::GetJavaData(env, port->GetObject()));
  CapturingLogger logger(ZelphSeverityLevel::kError);
  EXPECT_EQ(port->CreateInstance(env), port->GetObject());
  EXPECT_EQ(logger.Text(), "[error] What going on here?\n");
  jni::LocalRef<> second(env, JPort::GetJavaData(env, port->GetObject()));
  EXPECT_FALSE(env->IsSameObject(first.get(), second.get()));
  EXPECT_TRUE(env->IsInstanceOf(second.get(), jni::bound.numbers.cls));
}

TEST(JPort, AdoptedJavaPortKeepsItsDataOrGetsSome) {
  JNIEnv* env = Env();
  zelph::Port description;
  description.SetType(PortType::output);
  description.SetName("out");
  description.SetDataType(DataTypeMat::GetInstance());

  jni::LocalRef<> bare(env, env->NewObject(jni::bound.port.cls, jni::bound.port.constructor));
  JPort adopting_bare(description);
  adopting_bare.SetObject(env, bare.get());
  jni::LocalRef<> given(env, JPort::GetJavaData(env, bare.get()));
  EXPECT_TRUE(env->IsInstanceOf(given.get(), jni::bound.mat.cls));

  JPort adopting_again(description);
  adopting_again.SetObject(env, bare.get());
  jni::LocalRef<> kept(env, JPort::GetJavaData(env, bare.get()));
  EXPECT_TRUE(env->IsSameObject(kept.get(), given.get()));
}

TEST(JPort, PortOfATypeThatDoesNotCrossHasNoJavaData) {
  JNIEnv* env = Env();
  CapturingLogger logger(ZelphSeverityLevel::kError);
  const auto port = NewJavaPort(env, PortType::input, "flag", DataTypeBool::GetInstance());
  EXPECT_EQ(logger.Text(),
            "[error] Unsupported data type 'boolean'\n[error] Unknown data type: 'boolean'\n");
  jni::LocalRef<> data(env, JPort::GetJavaData(env, port->GetObject()));
  EXPECT_FALSE(data);
  const auto scalar = std::make_shared<PortDataScalar>(std::string("1"));
  port->SetData(scalar);
  EXPECT_EQ(port->GetData(), scalar);
  port->ReadData(env);
  EXPECT_EQ(port->GetData(), scalar);
}

TEST(JPort, DataOfAnotherTypeIsNotWritten) {
  JNIEnv* env = Env();
  const auto port = NewJavaPort(env, PortType::input, "in", DataTypeScalar::GetInstance());
  CapturingLogger logger(ZelphSeverityLevel::kError);
  port->SetData(Matrix(2, 2));
  EXPECT_EQ(logger.Text().rfind("[error] Not expected type! Probably wrong usage extern API (", 0),
            0u)
      << logger.Text();
  port->SetData(nullptr);
  EXPECT_EQ(port->GetData(), nullptr);
}

TEST(JPort, IdThatIsNoUuidLeavesTheJavaUuid) {
  JNIEnv* env = Env();
  const auto port = NewJavaPort(env, PortType::input, "in", DataTypeScalar::GetInstance());
  const std::string uuid = port->GetId();
  CapturingLogger logger(ZelphSeverityLevel::kWarning);
  port->SetId("port-from-a-chain-file");
  EXPECT_EQ(port->GetId(), "port-from-a-chain-file");
  EXPECT_EQ(JavaUuid(env, *port), uuid);
  EXPECT_NE(logger.Text().find("is not a uuid"), std::string::npos);
  EXPECT_FALSE(env->ExceptionCheck());
  port->SetId("port\n[2026-12-11] [critical] x");
  EXPECT_NE(logger.Text().find(R"(Port id 'port\n[2026-12-11] [critical] x' is not a uuid)"),
            std::string::npos)
      << logger.Text();

  const std::string next = zelph::NewUuidText();
  port->SetId(next);
  EXPECT_EQ(JavaUuid(env, *port), next);
}

TEST(JPort, JavaLetsGoOfAMatrixBeforeThePortDoes) {
  JNIEnv* env = Env();
  struct Case {
    const char* name;
    std::function<void(std::unique_ptr<JPort>&)> release;
  };
  const Case cases[] = {
      {"reset", [](std::unique_ptr<JPort>& port) { port->ResetData(); }},
      {"replaced by data without value",
       [](std::unique_ptr<JPort>& port) { port->SetData(std::make_shared<PortDataMat>()); }},
      {"replaced by nothing", [](std::unique_ptr<JPort>& port) { port->SetData(nullptr); }},
      {"read back", [env](std::unique_ptr<JPort>& port) { port->ReadData(env); }},
      {"destroyed", [](std::unique_ptr<JPort>& port) { port.reset(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto port = NewJavaPort(env, PortType::input, "in", DataTypeMat::GetInstance());
    const jobject java_port = env->NewGlobalRef(port->GetObject());
    std::weak_ptr<PortDataMat> freed;
    {
      const std::shared_ptr<PortDataMat> mat = Matrix(64, 64);
      freed = mat;
      port->SetData(mat);
      jni::LocalRef<> buffer(env, JavaBuffer(env, java_port));
      ASSERT_TRUE(buffer);
      EXPECT_EQ(env->GetDirectBufferAddress(buffer.get()), mat->GetData());
    }
    c.release(port);
    EXPECT_TRUE(freed.expired());
    jni::LocalRef<> buffer(env, JavaBuffer(env, java_port));
    EXPECT_FALSE(buffer) << "Java still views the freed matrix";
    env->DeleteGlobalRef(java_port);
  }
}

TEST(JPort, InvalidPortStoresDataOnlyNatively) {
  // A port whose worker failed its Java start is not valid: stores stay native.
  JNIEnv* env = Env();
  const auto port = NewJavaPort(env, PortType::input, "in", DataTypeScalar::GetInstance());
  port->SetValid(false);
  const auto scalar = std::make_shared<PortDataScalar>(std::string("native only"));
  port->SetData(scalar);
  EXPECT_EQ(port->GetData(), scalar);
  jni::LocalRef<> data(env, JPort::GetJavaData(env, port->GetObject()));
  EXPECT_FALSE(JScalar::ReadScalar(env, data.get())->IsInitialized());
}

TEST(JPort, NativeThreadsPileUpNoLocalReferences) {
  const std::string output = CapturedStandardOutput([] {
    std::thread([] {
      JNIEnv* env = Env();
      EchoRig echo(env);
      for (int i = 0; i < 100; ++i) {
        echo.RoundTrip(std::make_shared<PortDataScalar>(std::to_string(i)));
        echo.RoundTrip(Matrix(8, 8));
        auto numbers = std::make_shared<PortDataNumbers>();
        const int values[] = {1, 2, 3};
        numbers->SetDataAndCopy(reinterpret_cast<const char*>(values), sizeof(values),
                                DataTypeInt32::GetInstance());
        echo.RoundTrip(numbers);
        echo.Release();
        echo.Input(DataTypeScalar::GetInstance()).SetId(zelph::NewUuidText());
        ThrownBy(env, "Throwers", "causeChain");
        jni::LocalRef<jstring> text(env, jni::NewJavaString(env, "x"));
        jni::JavaClassName(env, text.get());
      }
    }).join();
  });
  EXPECT_EQ(output.find("JNI local refs"), std::string::npos) << output;
}

}  // namespace
}  // namespace zelph::testing
