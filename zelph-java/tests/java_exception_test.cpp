// java_exception_test.cpp
//
// Java exceptions taken into C++ (trace text, message, class) and the lookups that fail
// with readable errors, leaving no Java error pending.
#include <gtest/gtest.h>

#include <sstream>

#include "capturing_logger.h"
#include "java_test_support.h"
#include "zelph/java/java_class.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jni_lookup.h"

namespace zelph::testing {
namespace {

int CountOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST(JavaException, TraceTextDescribesTheExceptionAndEveryCause) {
  struct Case {
    const char* thrower;
    const char* class_name;
    const char* message;
    const char* first_line;
    int causes;
  };
  const Case cases[] = {
      {"causeChain", "java.lang.IllegalStateException", "outer",
       "java.lang.IllegalStateException: outer", 1},
      {"threeDeep", "java.lang.IllegalStateException", "top",
       "java.lang.IllegalStateException: top", 2},
      // An IOError is described by its cause alone.
      {"ioErrorWithCause", "java.io.IOException", "disk gone", "java.io.IOException: disk gone", 0},
      {"ioErrorWithoutCause", "java.io.IOError", "java.io.IOError", "java.io.IOError", 0},
      {"withoutMessage", "java.lang.UnsupportedOperationException",
       "java.lang.UnsupportedOperationException", "java.lang.UnsupportedOperationException", 0},
      // A cause chain that loops ends at the first exception met again.
      {"causeLoop", "java.lang.IllegalStateException", "looped",
       "java.lang.IllegalStateException: looped", 2},
  };
  JNIEnv* env = Env();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.thrower);
    const jni::JavaException thrown = ThrownBy(env, "Throwers", c.thrower);
    EXPECT_FALSE(env->ExceptionCheck());
    EXPECT_EQ(thrown.GetJavaClassName(), c.class_name);
    EXPECT_EQ(thrown.GetJavaMessage(), c.message);
    const std::string trace = thrown.what();
    EXPECT_EQ(trace.substr(0, trace.find('\n')), c.first_line);
    EXPECT_EQ(CountOf(trace, "\nCaused by: "), c.causes) << trace;
    EXPECT_NE(trace.find("\n    net.morvex.executors.tests.Throwers."), std::string::npos);
    std::istringstream lines(trace);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
      EXPECT_TRUE(line.starts_with("    ") || line.starts_with("Caused by: ")) << line;
    }
  }
  const jni::JavaException chain = ThrownBy(env, "Throwers", "causeChain");
  EXPECT_NE(std::string(chain.what()).find("\nCaused by: java.io.IOException: inner\n    "),
            std::string::npos);
}

TEST(JavaException, MoveLeavesTheSourceTextsEmpty) {
  jni::JavaException source = ThrownBy(Env(), "Throwers", "causeChain");
  const jni::JavaException target(std::move(source));
  EXPECT_EQ(target.GetJavaMessage(), "outer");
  EXPECT_TRUE(source.GetJavaMessage().empty());
  EXPECT_TRUE(source.GetJavaClassName().empty());
  EXPECT_TRUE(jni::JavaException(Env()).GetJavaMessage().empty());  // nothing pending
}

TEST(JniLookup, FailedLookupsThrowReadableErrorsAndLeaveNothingPending) {
  JNIEnv* env = Env();
  jni::LocalRef<jclass> text(env, jni::FindJavaClass(env, "java.lang.String"));
  struct Case {
    const char* name;
    std::function<void()> lookup;
    const char* message;
  };
  const Case cases[] = {
      {"method", [&] { jni::GetJavaMethodId(env, text.get(), "nope", nullptr, {"J"}); },
       "Java method not found 'nope' with signature '(J)V'"},
      {"static method",
       [&] { jni::GetJavaStaticMethodId(env, text.get(), "nope", "java/lang/String"); },
       "Java method not found 'nope' with signature '()Ljava/lang/String;'"},
      {"field", [&] { jni::GetJavaFieldId(env, text.get(), "nope", "I"); },
       "Java field not found 'nope' with signature 'I'"},
      {"field without type", [&] { jni::GetJavaFieldId(env, text.get(), "nope", nullptr); },
       "Java field not found 'nope'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      c.lookup();
      ADD_FAILURE() << "found";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(std::string(error.what()), c.message);
    }
    EXPECT_FALSE(env->ExceptionCheck());
  }
  try {
    jni::FindJavaClass(env, "no.such.Class");
    ADD_FAILURE() << "found";
  } catch (const jni::JavaException& error) {
    EXPECT_EQ(error.GetJavaClassName(), "java.lang.NoClassDefFoundError");
    EXPECT_EQ(error.GetJavaMessage(), "no/such/Class");
  }
  EXPECT_FALSE(env->ExceptionCheck());
}

TEST(JniLookup, DottedClassNamesAndClassNamesOfObjects) {
  JNIEnv* env = Env();
  jni::LocalRef<jclass> dotted(env, jni::FindJavaClass(env, "java.lang.String"));
  jni::LocalRef<jclass> slashed(env, env->FindClass("java/lang/String"));
  EXPECT_TRUE(env->IsSameObject(dotted.get(), slashed.get()));
  jni::LocalRef<jstring> text(env, jni::NewJavaString(env, "x"));
  EXPECT_EQ(jni::JavaClassName(env, text.get()), "java.lang.String");
}

TEST(JavaClass, CreatesItsObjectOnceAndRecordsLookups) {
  JNIEnv* env = Env();
  const jclass object_class = jni::FindGlobalJavaClass(env, "java/lang/Object");
  JavaClass wrapper("java/lang/Object", object_class,
                    jni::GetMethodIdBySignature(env, object_class, "<init>", "()V"));
  EXPECT_TRUE(wrapper.MethodsInitialized());
  CapturingLogger logger(ZelphSeverityLevel::kError);
  const jobject created = wrapper.CreateInstance(env);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(logger.Text(), "");
  EXPECT_EQ(wrapper.CreateInstance(env), created);
  EXPECT_EQ(logger.Text(), "[error] What going on here?\n");
  EXPECT_NE(wrapper.GetMethodId(env, "hashCode", "I"), nullptr);
  EXPECT_TRUE(wrapper.MethodsInitialized());

  JavaClass classless("", nullptr, nullptr);
  EXPECT_EQ(classless.GetMethodId(env, "hashCode", "I"), nullptr);
  EXPECT_FALSE(classless.MethodsInitialized());
  EXPECT_EQ(classless.CreateInstance(env), nullptr);
  env->DeleteGlobalRef(object_class);
}

}  // namespace
}  // namespace zelph::testing
