// no_jdk_test.cpp
//
// A JDK without libjvm.so: the start fails with the library's path, no VM is registered, and
// the bridge works on the native side only.
#include <gtest/gtest.h>

#include <thread>

#include "java_vm_environment.h"
#include "zelph/java/jexecution_block.h"
#include "zelph/java/jport.h"
#include "zelph/java/jvm.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/model/uuid.h"

namespace zelph::testing {
namespace {

TEST(NoJdk, StartFailsWithTheLibraryPath) {
  const JavaVmStart& start = TestVm();
  EXPECT_EQ(start.vm, nullptr);
  EXPECT_EQ(start.error.rfind("Cannot load Java virtual machine DLL (libjvm.so): " +
                                  (start.home / "jdk" / "lib" / "server" / "libjvm.so").string() +
                                  ", error code: ",
                              0),
            0u)
      << start.error;
  EXPECT_EQ(jni::GetJavaVM(""), nullptr);
}

TEST(NoJdk, BridgeObjectsWorkNativelyOnEveryThread) {
  std::thread([] {
    EXPECT_EQ(jni::GetJniEnv(), nullptr);
    zelph::Port description;
    description.SetType(zelph::PortType::input);
    description.SetDataType(DataTypeScalar::GetInstance());
    JPort port(description);
    const auto scalar = std::make_shared<PortDataScalar>(std::string("kept"));
    port.SetData(scalar);
    EXPECT_EQ(port.GetData(), scalar);
    port.ResetData();
    EXPECT_EQ(port.GetData(), scalar);  // without a VM nothing changes
    port.SetId("any id");
    EXPECT_EQ(port.GetId(), "any id");
  }).join();
}

TEST(NoJdk, JavaWorkerRecordsThatThereIsNoVmAndDoesNothing) {
  const std::shared_ptr<IDataProcess> worker = CreateJExecutionBlock(zelph::NewUuid());
  worker->Initialize();
  EXPECT_EQ(worker->GetError(ErrorKind::kInitialization), "jvm not initialized");
  worker->InitializeDefaultPorts();
  worker->ApplyProperties();
  worker->Execute(zelph::ExecutionStage::kRunTime);
  EXPECT_FALSE(worker->HasError(ErrorKind::kExecution));
  EXPECT_FALSE(worker->NeedToRepeat());
  EXPECT_EQ(worker->CheckInputNecessary(nullptr), -1);
  EXPECT_EQ(worker->GetVisibleResultsInformation(), "{}");
  EXPECT_EQ(worker->CreatePreview(), nullptr);
  EXPECT_EQ(worker->GetExecutionStatus().full, "");
}

}  // namespace
}  // namespace zelph::testing
