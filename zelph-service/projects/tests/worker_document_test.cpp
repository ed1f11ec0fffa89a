// worker_document_test.cpp
//
// Worker documents pinned as goldens: the model's caption or else its name, the system name
// only when there is one, ports with their optional flag repeated as "advanced", and the
// visible-result description embedded as JSON (after a byte-order mark too, and unchanged)
// or left out when it is not JSON.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings_chain.h"
#include "zelph/projects/worker_document.h"

namespace zelph::testing {
namespace {

constexpr char kWorkerId[] = "aaaaaaaa-0000-4000-8000-0000000000b1";

struct PortShape {
  const char* id;
  const char* name;
  PortType type;
  const char* caption;
  bool optional;
};

std::shared_ptr<SettingsTestWorker> MakeWorker(const std::string& caption,
                                               const std::string& system_name,
                                               const std::vector<PortShape>& ports,
                                               const std::string& visible_results) {
  BaseModelStructure structure;
  structure.SetName("Blur");
  structure.SetCaption(caption);
  structure.SetUuid("33333333-3333-4333-8333-333333333333");
  for (const PortShape& shape : ports) {
    auto* port = new Port();
    port->SetName(shape.name);
    port->SetType(shape.type);
    port->SetCaption(shape.caption);
    port->SetOptional(shape.optional);
    port->SetDataType(DataTypeMat::GetInstance());
    structure.AddPort(port);
  }
  const auto model = MakeSettingsModel(std::move(structure));
  auto worker = std::dynamic_pointer_cast<SettingsTestWorker>(
      model->CreateAndInitializeWorker(model, kWorkerId, "test"));
  if (!system_name.empty()) worker->GetSystemProperties()->SetValue("name", system_name);
  // Readable port ids in place of the derived ones.
  for (std::size_t i = 0; i < ports.size(); ++i) worker->GetPorts().at(i)->SetId(ports[i].id);
  worker->visible_results = visible_results;
  return worker;
}

std::string Document(const std::shared_ptr<IDataProcess>& worker) {
  std::ostringstream out;
  EXPECT_TRUE(WriteWorkerAsJson(worker, out));
  return out.str();
}

constexpr char kHead[] = R"({"app":"zelph-worker","id":"aaaaaaaa-0000-4000-8000-0000000000b1",)"
                         R"("executor_id":"33333333-3333-4333-8333-333333333333",)";

TEST(WorkerDocumentTest, Documents) {
  struct Case {
    const char* name;
    std::shared_ptr<SettingsTestWorker> worker;
    std::string document;
  };
  const std::vector<PortShape> ports = {{"in", "input", PortType::input, "Image in", false},
                                        {"out", "output", PortType::output, "", true}};
  const std::string kPorts =
      R"("ports":[{"id":"in","type":1,"data_type_id":"031fc202-0193-4933-ab2e-d81492ce67e0",)"
      R"("name":"input","caption":"Image in","is_optional":false,"advanced":false},)"
      R"({"id":"out","type":2,"data_type_id":"031fc202-0193-4933-ab2e-d81492ce67e0",)"
      R"("name":"output","caption":"","is_optional":true,"advanced":true}])";
  const Case kCases[] = {
      {"name for an empty caption, description after a byte-order mark, as it is",
       MakeWorker("", "blur", ports, "\xEF\xBB\xBF{\"model\": \"default\", \"ports\": []}"),
       std::string(kHead) + R"("executor_name":"Blur","system_name":"blur",)" + kPorts +
           R"(,"visible_result_meta_information":{"model":"default","ports":[]}})"},
      {"caption, no system name, no ports, an empty object",
       MakeWorker("Gaussian blur", "", {}, "{}"),
       std::string(kHead) +
           R"("executor_name":"Gaussian blur","ports":[],"visible_result_meta_information":{}})"},
      {"any JSON value", MakeWorker("", "", {}, " [1, 2.5, null, \"\\u00e9\"] "),
       std::string(kHead) + R"("executor_name":"Blur","ports":[],)" +
           R"("visible_result_meta_information":[1,2.5,null,")"
           "\xC3\xA9"
           R"("]})"},
      {"not JSON", MakeWorker("", "", {}, "not json"),
       std::string(kHead) + R"("executor_name":"Blur","ports":[]})"},
      {"empty", MakeWorker("", "", {}, ""),
       std::string(kHead) + R"("executor_name":"Blur","ports":[]})"},
      {"more than one value", MakeWorker("", "", {}, "{} {}"),
       std::string(kHead) + R"("executor_name":"Blur","ports":[]})"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Document(c.worker), c.document);
  }
}

TEST(WorkerDocumentTest, AnEmptyWorkerIsRefused) {
  std::ostringstream out;
  EXPECT_THROW(WriteWorkerAsJson(nullptr, out), std::invalid_argument);
}

}  // namespace
}  // namespace zelph::testing
