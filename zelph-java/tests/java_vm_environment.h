// java_vm_environment.h
//
// The VM of a Java test process. Each test program is built for one JavaVmSetup
// (ZELPH_JAVA_VM_SETUP); a global test environment starts the VM from that setup's home once,
// with -Xcheck:jni, before the first test.
#pragma once

#include "java_test_home.h"

namespace zelph::testing {

// The outcome of the start; valid while the tests run.
const JavaVmStart& TestVm();

// The SIGINT handler the environment installs before it starts the VM.
void HostInterruptHandler(int signal);

}  // namespace zelph::testing
