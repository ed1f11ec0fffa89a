// project_preview.cpp
//
// Previews: after a worker has run, from its own preview data, and on a client's request,
// from the cached data of the port its visible-result meta information names. The image
// work runs on the service's preview pool (ServiceBackgroundTasks), one key per worker of
// the project; each task keeps the project and the data alive until it has stored its
// entry. An empty entry (no data to show) is stored at once on the caller's thread. Each
// preview of a worker draws a number from the worker's sequence, and a task stores only
// while its number is the newest, so the newest preview stays whichever finishes last.
#include <optional>
#include <stdexcept>
#include <utility>

#include "zelph/config/rapidjson.h"

#include <rapidjson/pointer.h>

#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_type.h"
#include "zelph/model/port.h"
#include "zelph/model/property_keys.h"
#include "zelph/projects/preview_value.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/projects/statistic.h"

namespace zelph {

bool Project::NeedsVisibleResult(IDataProcess& worker) const {
  return ReadChainFlag(tmp::kCreateVisibleResult) && worker.IsEnabled() && !worker.HasLastError();
}

void Project::UpdateWorkerPreview(const std::shared_ptr<IDataProcess>& worker) {
  if (!NeedsVisibleResult(*worker)) return;
  std::shared_ptr<IPortData> preview = worker->CreatePreview();
  if (preview && preview->IsInitialized() && DataTypeMat::Equals(preview->GetDataType())) {
    if (std::shared_ptr<Statistic> statistic = FindStatistic(worker->GetId())) {
      statistic->AddDetail(std::make_shared<MatStatisticDetail>(worker->GetId(), preview));
    }
  }
  StartPreview(*worker, std::move(preview));
}

void Project::BuildPreview(const std::shared_ptr<IDataProcess>& worker) {
  if (!NeedsVisibleResult(*worker)) return;
  const std::string information = worker->GetVisibleResultsInformation();
  rapidjson::Document document;
  const rapidjson::ParseResult parsed =
      json::ParseJsonText(information.data(), information.size(), document);
  if (parsed.IsError()) {
    throw std::runtime_error(
        fmt::format("Worker visible results meta information json parser error: {}",
                    static_cast<int>(parsed.Code())));
  }
  const rapidjson::Value* id = rapidjson::Pointer("/ports/0/id").Get(document);
  if (id == nullptr) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Failed find port identifier of worker visible results meta information");
    return;
  }
  if (!id->IsString()) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Unsupported port identifier json data type, string expected");
    return;
  }
  const std::string port_id(id->GetString(), id->GetStringLength());
  if (worker->FindPortById(port_id) == nullptr) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Port not found: {}", QuoteClientText(port_id));
    return;
  }
  std::shared_ptr<IPortData> data = GetCache("/cache:" + port_id).data;
  if (!data) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Cache is empty, can't build preview");
    return;
  }
  StartPreview(*worker, std::move(data));
}

void Project::StartPreview(IDataProcess& worker, std::shared_ptr<IPortData> data) {
  if (!NeedsVisibleResult(worker)) return;
  std::string worker_id = worker.GetId();
  std::uint64_t generation = 0;
  std::uint64_t sequence = 0;
  {
    std::lock_guard lock(preview_mutex_);
    generation = cache_generation_;
    sequence = ++preview_sequences_[worker_id];
    // Nothing to show: the entry is emptied now, so that right after a run a worker that
    // produced nothing no longer shows its previous picture.
    if (!data || !data->IsInitialized()) {
      SetCache("/preview:" + worker_id, nullptr);
      return;
    }
  }
  const std::optional<PropertyVariant> auto_contrast_value =
      worker.GetSystemProperties()->GetValue(sys::kAutoContrastPreviewResult);
  const bool auto_contrast = auto_contrast_value && PropertyValueToBool(*auto_contrast_value);
  std::string key = plugin_session_key_ + "/" + worker_id;
  auto task = [project = shared_from_this(), worker_id = std::move(worker_id),
               data = std::move(data), auto_contrast, generation, sequence] {
    project->StorePreview(worker_id, data, auto_contrast, generation, sequence);
  };
  if (!ServiceBackgroundTasks().SubmitPreview(key, std::move(task))) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Preview refused, the service is shutting down: {}",
              QuoteClientText(key));
  }
}

void Project::StorePreview(const std::string& worker_id, const std::shared_ptr<IPortData>& data,
                           bool auto_contrast, std::uint64_t generation, std::uint64_t sequence) {
  std::optional<std::shared_ptr<IPortData>> value = MakePreviewValue(data, auto_contrast);
  if (!value) return;
  std::lock_guard lock(preview_mutex_);
  if (generation != cache_generation_) return;
  if (auto newest = preview_sequences_.find(worker_id);
      newest == preview_sequences_.end() || newest->second != sequence) {
    return;
  }
  SetCache("/preview:" + worker_id, std::move(*value));
}

}  // namespace zelph
