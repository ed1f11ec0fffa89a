// java_models.cpp
#include "zelph/java/java_models.h"

#include <cstdint>

#include "zelph/config/zelph_config.h"
#include "zelph/descriptions/model_description_reader.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jexecution_block.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process_model_base.h"
#include "zelph/plugins/simple_plugins_manager.h"

std::vector<std::string> ReadModelDescriptions(JNIEnv* env, jobjectArray descriptions) {
  std::vector<std::string> texts;
  const jsize count = env->GetArrayLength(descriptions);
  texts.reserve(static_cast<size_t>(count));
  for (jsize i = 0; i < count; ++i) {
    jni::LocalRef<jstring> text(env,
                                static_cast<jstring>(env->GetObjectArrayElement(descriptions, i)));
    if (!text) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Java model description [{}] is null", i);
      continue;
    }
    texts.push_back(jni::JavaStringToUtf8(env, text.get()));
  }
  return texts;
}

void RegisterJavaModels(const std::vector<std::string>& descriptions, const std::string& session,
                        SimplePluginsManager& manager) {
  if (descriptions.empty()) return;
  const std::uint64_t count_before = manager.GetModelCount();
  for (size_t i = 0; i < descriptions.size(); ++i) {
    const std::string& text = descriptions[i];
    auto model = DataProcessModelBase::Create(&CreateJExecutionBlock);
    // The length counts the terminating zero. A description the reader refuses still makes a
    // model, registered with what was read: sessions list the models of a Java extension as
    // its descriptions name them, and the reader has logged why the rest is missing.
    DeserializeModelFromJson(text.c_str(), text.size() + 1, JsonParser::kMiniJson, model);
    if (manager.AddModel(model, session)) {
      ZELPH_LOG(ZelphSeverityLevel::kTrace, "Registered session model (Java) [{}]: {}", i,
                model->ToString());
    }
  }
  if (ZelphConfig::GetInstance()->CheckSeverity(ZelphSeverityLevel::kDebug)) {
    const std::uint64_t count_now = manager.GetModelCount();
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Count of registered models: {}", count_now);
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Count of new registered models: {}",
              count_now - count_before);
  }
}
