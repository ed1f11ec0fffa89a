// java_test_home.cpp
//
// Test product homes and the start of the VM from one.
#include "java_test_home.h"

#include <fstream>

#include "capturing_logger.h"
#include "zelph/config/zelph_config.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/jvm.h"
#include "zelph/java/jvm_options.h"

namespace fs = std::filesystem;

namespace zelph::testing {
namespace {

constexpr const char* kExtension = R"({"app": "executors-extension", "platforms": [
  {"technology": "jvm", "language": "java", "configuration": {"classpath": ["lib/%s"]}}]})";

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

void AddExtension(const fs::path& folder, const fs::path& jar) {
  char text[512];
  std::snprintf(text, sizeof(text), kExtension, jar.filename().c_str());
  WriteFile(folder / "extension.json", text);
  fs::create_directories(folder / "lib");
  fs::copy_file(jar, folder / "lib" / jar.filename());
}

const char* SetupName(JavaVmSetup setup) {
  switch (setup) {
    case JavaVmSetup::kGood:
      return "good";
    case JavaVmSetup::kNoJdk:
      return "no-jdk";
    case JavaVmSetup::kBadOption:
      return "bad-option";
    case JavaVmSetup::kOldApi:
      return "old-api";
    case JavaVmSetup::kNoApi:
      return "no-api";
    default:
      return "no-ext";
  }
}

fs::path MakeHome(JavaVmSetup setup, const std::string& name) {
  const fs::path home = fs::path(ZELPH_JAVA_TEST_HOMES) / name;
  fs::remove_all(home);
  fs::create_directories(home / "bin");
  fs::create_directories(home / "conf");
  fs::copy_file(ZELPH_JAVA_INSTALLED_JVM_JSON, home / "conf" / "jvm.json");
  if (setup == JavaVmSetup::kNoExtFolder) return home;
  if (setup != JavaVmSetup::kNoApi) {
    AddExtension(home / "ext" / "executors-api",
                 setup == JavaVmSetup::kOldApi ? ZELPH_JAVA_OLD_API_JAR : ZELPH_JAVA_API_JAR);
  }
  AddExtension(home / "ext" / "tests", ZELPH_JAVA_TEST_MODELS_JAR);
  WriteFile(home / "ext" / "tests" / "conf" / "jvm.json",
            R"j({"vm_options": ["-Dzelph.tests.home=$(running.home.directory)"]})j");
  return home;
}

}  // namespace

JavaVmStart StartJavaVm(JavaVmSetup setup, std::vector<std::string> arguments) {
  JavaVmStart start;
  start.home = MakeHome(setup, SetupName(setup));
  ZelphConfig* config = ZelphConfig::GetInstance();
  config->SetBinHome(start.home / "bin");
  config->SetDavodavoraRelativeDir("..");
  if (setup == JavaVmSetup::kBadOption) arguments.push_back("-Xzelph-no-such-option");
  config->SetUnrecognizedCliArgPointers(std::move(arguments));

  const fs::path jdk = setup == JavaVmSetup::kNoJdk ? start.home / "jdk" : fs::path(ZELPH_JDK_HOME);
  CapturingLogger logger(ZelphSeverityLevel::kTrace);
  try {
    JvmOptions options;
    InitializeJvmOptions(options);
    start.options = DropEmptyAndCommentedOptions(BuildJvmOptionList(options));
    start.vm = jni::CreateJvm(jni::JvmLibraryPath(jdk).string(), start.options, "");
    if (start.vm != nullptr && setup == JavaVmSetup::kGood) {
      jni::BindModelApiClasses(jni::GetJniEnv());
    }
  } catch (const std::exception& error) {
    start.error = error.what();
  }
  start.log = logger.Text();
  return start;
}

fs::path MakePluginHome(const std::string& name, std::vector<std::string> arguments,
                        JavaVmSetup setup) {
  const fs::path home = MakeHome(setup, name);
  fs::create_directories(home / "bin" / "plugins");
  fs::copy(ZELPH_JAVA_PLUGIN_DIR, home / "bin" / "plugins" / "zelph-java");
  fs::copy(ZELPH_JAVA_DEMO_MODELS_DIR, home / "ext" / "demo-models", fs::copy_options::recursive);
  ZelphConfig* config = ZelphConfig::GetInstance();
  config->SetBinHome(home / "bin");
  config->SetDavodavoraRelativeDir("..");
  config->SetJdkHome(ZELPH_JDK_HOME);
  config->SetUnrecognizedCliArgPointers(std::move(arguments));
  return home;
}

}  // namespace zelph::testing
