// java_test_home.h
//
// Product homes for the Java tests and benchmarks, made fresh in the build folder, and the
// start of the process's one Java VM from such a home: the installation's option assembly,
// then the VM of the JDK the build found. A home holds conf/jvm.json (the installation's),
// ext/executors-api (the model API jar) and ext/tests (the test models jar and its own
// conf/jvm.json).
#pragma once

#include <jni.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zelph::testing {

enum class JavaVmSetup {
  kGood,         // the model API and the test models
  kNoJdk,        // a JDK folder without libjvm.so
  kBadOption,    // an option the VM refuses
  kOldApi,       // a model API without Parameters.setLong and without Previewable
  kNoExtFolder,  // a home without ext/
  kNoApi,        // the test models without the model API
};

struct JavaVmStart {
  std::filesystem::path home;
  std::vector<std::string> options;  // as handed to the VM
  JavaVM* vm = nullptr;
  std::string error;  // what stopped the start, if anything did
  std::string log;    // every line the start logged, "[level] text"
};

// Makes the home of `setup` and starts the VM from it, with `arguments` as the host's
// pass-through arguments. With kGood also binds the model API classes. Once per process.
JavaVmStart StartJavaVm(JavaVmSetup setup, std::vector<std::string> arguments);

// Makes the home `name` as an installation holds the Java plug-in: the home of `setup` plus
// bin/plugins/zelph-java/ (zelph-java.so and its extension.json) and ext/demo-models/. Then
// points the configuration at it: bin home <home>/bin, product home "..", the JDK the build
// found, and `arguments` as the host's pass-through arguments. Returns the home.
std::filesystem::path MakePluginHome(const std::string& name, std::vector<std::string> arguments,
                                     JavaVmSetup setup = JavaVmSetup::kGood);

}  // namespace zelph::testing
