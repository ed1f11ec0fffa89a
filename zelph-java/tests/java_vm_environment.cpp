// java_vm_environment.cpp
//
// The global test environment that starts the VM.
#include "java_vm_environment.h"

#include <gtest/gtest.h>

#include <csignal>

namespace zelph::testing {
namespace {

JavaVmStart vm_start;

class JavaVmEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // A host handles SIGINT itself; the VM must leave it alone (the installation's -Xrs).
    std::signal(SIGINT, HostInterruptHandler);
    vm_start = StartJavaVm(ZELPH_JAVA_VM_SETUP, {"-Xcheck:jni"});
  }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new JavaVmEnvironment);

}  // namespace

const JavaVmStart& TestVm() { return vm_start; }

void HostInterruptHandler(int) {}

}  // namespace zelph::testing
