// readable_objects.cpp
#include "readable_objects.h"

#include "zelph/model/data_process.h"
#include "zelph/model/data_type.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/model/property.h"
#include "zelph/projects/object_status.h"
#include "zelph/projects/project.h"
#include "zelph/projects/statistic.h"
#include "zelph/testing/service_fixtures.h"

namespace zelph::testing {

ReadableObjects::ReadableObjects(ServiceHarness& harness)
    : line(harness.NewProject()), settings(harness.NewProject()) {
  harness.UploadChain(line, "line.json");
  harness.UploadChain(settings, "main_settings.json");
  harness.ListApps();
  project = harness.ProjectOf(line);
  const std::shared_ptr<IDataProcess> scale = project->GetWorker("scale");
  scale->GetProperties()->SetValue("gain", 3);
  project->GetWorker("sink")->GetProperties()->SetValue("label", std::string("end"));
  scale->GetSystemProperties()->SetValue("weight", 0.25);
  project->SetObjectStatus(kLineChainId, static_cast<int>(ObjectStatus::kReady));
  project->SetObjectStatus(kLineScaleId, static_cast<int>(ObjectStatus::kExecuting));
  scale->SetError(ErrorKind::kExecution, "scale failed", "at scale()", "ScaleError");
  statistic = std::make_shared<Statistic>(kLineScaleId, "worker");
  statistic->ResetFromWorker(*scale, kStageLoad, 0);
  project->GetStatistics().Set(kLineScaleId, statistic);
  project->SetCache("/input:x", std::make_shared<PortDataScalar>(std::string("2.5")));
  auto numbers = std::make_shared<PortDataNumbers>();
  numbers->SetDataAndCopy(Pattern(8).data(), 8, DataTypeInt32::GetInstance());
  project->SetCache("/worker:scale/output:output", numbers);
  project->SetCache("/preview:" + std::string(kLineScaleId),
                    std::make_shared<PortDataScalar>(std::string("[1, 2]")));
}

std::int64_t ReadableObjects::Stamp(const std::string& key) const {
  return project->GetCache(key).modified;
}

std::int64_t ReadableObjects::StatusTime(const std::string& id) const {
  return project->GetObjectStatuses().Find(id).value()->time.load();
}

}  // namespace zelph::testing
