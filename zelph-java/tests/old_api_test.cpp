// old_api_test.cpp
//
// A model API without Parameters.setLong and without Previewable: the Parameters group fails
// (and is looked up again by the next start) while the groups before it stay bound; a missing
// Previewable is only a warning.
#include <gtest/gtest.h>

#include "capturing_logger.h"
#include "java_vm_environment.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/jvm.h"

namespace zelph::testing {
namespace {

TEST(OldApi, StartFailsAtTheMissingMethodAndTriesItAgainNextTime) {
  ASSERT_NE(TestVm().vm, nullptr) << TestVm().error;
  JNIEnv* env = jni::GetJniEnv();
  for (int start = 0; start < 2; ++start) {
    try {
      jni::BindModelApiClasses(env);
      ADD_FAILURE() << "bound";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(std::string(error.what()),
                "Java method not found 'setLong' with signature "
                "'(Ljava/lang/String;J)Lnet/morvex/executors/api/parameters/Parameters;'");
    }
    EXPECT_FALSE(env->ExceptionCheck());
    EXPECT_TRUE(jni::bound.uuid.bound && jni::bound.io_error.bound);
    EXPECT_FALSE(jni::bound.parameters.bound);
    EXPECT_NE(jni::bound.parameters.set_boolean, nullptr);  // found before the failure
    EXPECT_FALSE(jni::bound.data_type.bound);
  }
}

TEST(OldApi, MissingPreviewableIsAWarning) {
  JNIEnv* env = jni::GetJniEnv();
  ASSERT_NE(env, nullptr);
  CapturingLogger logger(ZelphSeverityLevel::kWarning);
  jni::BindPreviewableClass(env);
  EXPECT_EQ(
      logger.Text().rfind("[warning] Failed initialize JPreviewable: "
                          "java.lang.NoClassDefFoundError: net/morvex/executors/api/Previewable",
                          0),
      0u)
      << logger.Text();
  EXPECT_FALSE(jni::bound.previewable.bound);
  EXPECT_FALSE(env->ExceptionCheck());
  jni::BindDataClass(env);  // the other groups still bind
  EXPECT_TRUE(jni::bound.data.bound);
}

}  // namespace
}  // namespace zelph::testing
