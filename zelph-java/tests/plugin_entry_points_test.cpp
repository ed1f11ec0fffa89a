// plugin_entry_points_test.cpp
//
// The plug-in's entry points as the plug-in manager drives them: the start, a second start
// that reuses the VM, the models of a session registered once however often they are asked
// for, the run hooks and the end of a session; and the model descriptions that are left out.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "capturing_logger.h"
#include "java_test_support.h"
#include "plugin_environment.h"
#include "zelph/java/java_models.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jni_lookup.h"
#include "zelph/model/data_process_model.h"
#include "zelph/platform/dynamic_library.h"
#include "zelph/plugins/plugin_entry_points.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

SimplePluginsManager& Manager() { return *SimplePluginsManager::GetInstance(); }

std::vector<std::string> NamesOf(const std::vector<std::shared_ptr<IDataProcessModel>>& models) {
  std::vector<std::string> names;
  for (const auto& model : models) names.push_back(model->GetStructure().GetName());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(JavaPlugin, LoadStartsTheVmAndTheJavaExecutionSystem) {
  const PluginLoad& load = LoadedPlugin();
  ASSERT_EQ(load.result, 0) << load.log;
  EXPECT_THAT(load.log,
              HasSubstr("[info] Using JDK (Java Developer Kit): \"" ZELPH_JDK_HOME "\")"));
  EXPECT_THAT(load.log, HasSubstr("[info] JavaVM created successfully"));
  EXPECT_THAT(load.log, HasSubstr("-Xcheck:jni"));
  EXPECT_THAT(load.log, HasSubstr("[debug] Before StaticJavaInitialization"));
  EXPECT_THAT(load.log, HasSubstr("[info] InitializeExecutionSystem"));
  // The plug-in contributes no models of its own at load.
  EXPECT_TRUE(Manager().GetModels("").empty());
}

TEST(JavaPlugin, SecondLoadModelsReusesTheVmAndStartsJavaAgain) {
  const auto library = zelph::sys::DynamicLibrary::Open(PluginLibrary().string());
  const auto load_models = reinterpret_cast<LoadModelsPtr>(library.Symbol("LoadModels"));
  ASSERT_NE(load_models, nullptr);
  PluginModels models;
  CapturingLogger logger;
  EXPECT_EQ(load_models(&models, "", ""), 0);
  EXPECT_TRUE(models.empty());
  EXPECT_THAT(logger.Text(), HasSubstr("[debug] Count of created jvm: 1"));
  EXPECT_THAT(logger.Text(), Not(HasSubstr("JavaVM created successfully")));
  EXPECT_THAT(logger.Text(), HasSubstr("[info] InitializeExecutionSystem"));
}

TEST(JavaPlugin, ModelsOfASessionAreRegisteredOnceWhenAskedTwice) {
  const std::vector<std::string> expected{
      "BoxBlur",        "Echo",      "Faulty",    "Format", "Grey",       "InputWriter",
      "Invert",         "Lingering", "MatInvert", "NoOp",   "NotAModel",  "NumbersScale",
      "ParameterProbe", "Pass",      "Preview",   "Repeat", "ScalarJoin", "Scale",
      "Slow",           "Sum",       "Threshold"};
  CapturingLogger logger;
  Manager().RegisterAvailableModels("Asked-Twice");
  const auto models = Manager().GetModels("asked-twice");
  EXPECT_EQ(NamesOf(models), expected);
  const std::string first = logger.Text();
  EXPECT_THAT(first, HasSubstr("[debug] ZelphJava session: Asked-Twice, available models: 21"));
  EXPECT_THAT(first, HasSubstr("[debug] Register available models session: Asked-Twice"));
  EXPECT_THAT(first, HasSubstr("[trace] Registered session model (Java) [0]: "));
  EXPECT_THAT(first, HasSubstr("[debug] Count of new registered models: 21"));

  logger.Clear();
  Manager().RegisterAvailableModels("Asked-Twice");
  EXPECT_EQ(Manager().GetModels("asked-twice"), models);
  EXPECT_THAT(logger.Text(), HasSubstr("[debug] Count of new registered models: 0"));
  EXPECT_THAT(logger.Text(), Not(HasSubstr("Registered session model")));

  logger.Clear();
  Manager().ClearRegisteredModels("Asked-Twice");
  EXPECT_TRUE(Manager().GetModels("asked-twice").empty());
  EXPECT_THAT(logger.Text(), HasSubstr("[debug] Clear Java plugin session: Asked-Twice"));
}

TEST(JavaPlugin, RunsAreBracketedByTheJavaSide) {
  CapturingLogger logger;
  Manager().BeforeExecutingAll("any");
  Manager().AfterExecutingAll("any");
  EXPECT_THAT(logger.Text(), HasSubstr("[debug] Java plugin BeforeExecutingAll\n"
                                       "[debug] Java plugin AfterExecutingAll"));
  EXPECT_THAT(logger.Text(), Not(HasSubstr("[error]")));
}

TEST(JavaModels, NullDescriptionsAreLeftOutWithAnErrorLine) {
  JNIEnv* env = Env();
  jni::LocalRef<jclass> text_class(env, jni::FindJavaClass(env, "java/lang/String"));
  jni::LocalRef<jobjectArray> array(env, env->NewObjectArray(3, text_class.get(), nullptr));
  jni::LocalRef<jstring> first(env, jni::NewJavaString(env, "first"));
  jni::LocalRef<jstring> third(env, jni::NewJavaString(env, "third"));
  env->SetObjectArrayElement(array.get(), 0, first.get());
  env->SetObjectArrayElement(array.get(), 2, third.get());
  CapturingLogger logger;
  EXPECT_EQ(ReadModelDescriptions(env, array.get()), (std::vector<std::string>{"first", "third"}));
  EXPECT_THAT(logger.Text(), HasSubstr("[error] Java model description [1] is null"));
}

TEST(JavaModels, DescriptionsThatCannotBeReadAreStillRegistered) {
  const std::string readable_id = "9c0d0000-0000-4000-8000-000000000001";
  const std::string broken_id = "9c0d0000-0000-4000-8000-000000000002";
  const std::vector<std::string> descriptions{
      R"({"uuid": ")" + readable_id + R"(", "name": "Readable", "java": {"class": "a.B"}})",
      R"({"uuid": ")" + broken_id +
          R"(", "name": "Broken", "controls": [{"name": "c", "value_type": "no_such_type"}]})"};
  CapturingLogger logger;
  RegisterJavaModels(descriptions, "Unreadable", Manager());
  EXPECT_NE(Manager().FindModel(readable_id, "unreadable"), nullptr);
  EXPECT_NE(Manager().FindModel(broken_id, "unreadable"), nullptr);
  EXPECT_THAT(logger.Text(), HasSubstr("[debug] Count of new registered models: 2"));
  Manager().ClearRegisteredModels("Unreadable");
}

}  // namespace
}  // namespace zelph::testing
