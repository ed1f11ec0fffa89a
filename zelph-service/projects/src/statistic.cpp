// statistic.cpp
//
// The statistic's operations and its JSON document.
#include "zelph/projects/statistic.h"

#include "zelph/config/rapidjson.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numeric>
#include <string_view>
#include <utility>

#include "zelph/model/port.h"
#include "zelph/model/uuid.h"

namespace zelph {
namespace {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

void WriteText(JsonWriter& writer, std::string_view text) {
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void WriteMember(JsonWriter& writer, std::string_view key, std::string_view text) {
  writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
  WriteText(writer, text);
}

// JSON has no NaN or infinities: clients read them as these strings.
void WriteNumber(JsonWriter& writer, double value) {
  if (std::isnan(value)) {
    writer.String("NaN");
  } else if (std::isinf(value)) {
    writer.String(value > 0 ? "Infinity" : "-Infinity");
  } else {
    writer.Double(value);
  }
}

void WriteDurations(JsonWriter& writer, const std::deque<double>& durations) {
  double last = 0, min = 0, max = 0, average = 0;
  if (!durations.empty()) {
    last = durations.back();
    const auto [low, high] = std::minmax_element(durations.begin(), durations.end());
    min = *low;
    max = *high;
    average = std::accumulate(durations.begin(), durations.end(), 0.0) /
              static_cast<double>(durations.size());
  }
  writer.Key("duration");
  writer.StartObject();
  writer.Key("last");
  WriteNumber(writer, last);
  writer.Key("min");
  WriteNumber(writer, min);
  writer.Key("max");
  WriteNumber(writer, max);
  writer.Key("average");
  WriteNumber(writer, average);
  writer.Key("range");
  WriteNumber(writer, max - min);
  writer.EndObject();
}

void WriteDetailHead(JsonWriter& writer, const StatisticDetail& detail, std::string_view kind,
                     bool initialized) {
  WriteMember(writer, "id", detail.port_id);
  WriteMember(writer, "@type", kind);
  writer.Key("initialized");
  writer.Bool(initialized);
}

void WriteMatDetail(JsonWriter& writer, const MatStatisticDetail& detail) {
  WriteDetailHead(writer, detail, "MatStatisticDetail", detail.initialized);
  writer.Key("depth");
  writer.Int(detail.depth);
  writer.Key("dims");
  writer.StartArray();
  for (const std::size_t dim : detail.dims) writer.Uint64(dim);
  writer.EndArray();
  writer.Key("channels");
  writer.StartArray();
  for (const auto& [max, min] : detail.Channels()) {
    writer.StartObject();
    writer.Key("min");
    WriteNumber(writer, min);
    writer.Key("max");
    WriteNumber(writer, max);
    writer.EndObject();
  }
  writer.EndArray();
}

void WriteNumbersDetail(JsonWriter& writer, const NumbersStatisticDetail& detail) {
  WriteDetailHead(writer, detail, "NumbersStatisticDetail", detail.initialized);
  writer.Key("blockLength");
  writer.Int(detail.block_length);
  writer.Key("numberOfBlocks");
  writer.Uint64(detail.number_of_blocks);
  WriteMember(writer, "dataType",
              detail.element_data_type ? detail.element_data_type->GetName() : "");
  writer.Key("numbers");
  writer.StartArray();
  for (const double number : detail.numbers) WriteNumber(writer, number);
  writer.EndArray();
}

void WriteScalarDetail(JsonWriter& writer, const ScalarStatisticDetail& detail) {
  WriteDetailHead(writer, detail, "ScalarStatisticDetail", detail.initialized);
  WriteMember(writer, "scalar", detail.scalar);
}

// A summary of a kind the document does not know is left out.
void WriteDetail(JsonWriter& writer, const StatisticDetail& detail) {
  if (const auto* mat = dynamic_cast<const MatStatisticDetail*>(&detail)) {
    writer.StartObject();
    WriteMatDetail(writer, *mat);
    writer.EndObject();
  } else if (const auto* numbers = dynamic_cast<const NumbersStatisticDetail*>(&detail)) {
    writer.StartObject();
    WriteNumbersDetail(writer, *numbers);
    writer.EndObject();
  } else if (const auto* scalar = dynamic_cast<const ScalarStatisticDetail*>(&detail)) {
    writer.StartObject();
    WriteScalarDetail(writer, *scalar);
    writer.EndObject();
  }
}

// The document text; the caller holds the statistic's lock.
std::string Render(const Statistic& statistic) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  writer.StartObject();
  WriteMember(writer, "id", statistic.id);
  WriteMember(writer, "object_id", statistic.object_id);
  WriteMember(writer, "type", statistic.type);
  WriteMember(writer, "name", statistic.name);
  WriteMember(writer, "stage", StatisticStageName(statistic.stage));
  writer.Key("order");
  writer.Int64(statistic.order);
  WriteMember(writer, "error_message", statistic.error_message);
  WriteMember(writer, "error_class_name", statistic.error_class_name);
  WriteMember(writer, "stack_trace", statistic.stack_trace);
  WriteMember(writer, "system_name", statistic.system_name);
  WriteDurations(writer, statistic.durations);
  writer.Key("details");
  writer.StartArray();
  for (const auto& detail : statistic.details) {
    if (detail) WriteDetail(writer, *detail);
  }
  writer.EndArray();
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

struct ErrorTexts {
  std::string message;
  std::string stack_trace;
  std::string class_name;
};

ErrorTexts ReadErrors(IDataProcess& worker) {
  return {worker.GetLastError(), worker.GetStackTrace(), worker.GetErrorClassName()};
}

// Summaries of the matrix, number and scalar data on the worker's ports, in port order.
std::vector<std::shared_ptr<StatisticDetail>> SummarisePorts(const IDataProcess& worker) {
  std::vector<std::shared_ptr<StatisticDetail>> summaries;
  for (const Port* port : worker.GetPorts()) {
    const std::shared_ptr<IPortData> data = port->GetData();
    if (!data) continue;
    const IDataType* type = data->GetDataType();
    if (DataTypeMat::Equals(type)) {
      summaries.push_back(std::make_shared<MatStatisticDetail>(port->GetId(), data));
    }
    if (DataTypeNumbers::Equals(type)) {
      summaries.push_back(std::make_shared<NumbersStatisticDetail>(port->GetId(), data));
    }
    if (DataTypeScalar::Equals(type)) {
      summaries.push_back(std::make_shared<ScalarStatisticDetail>(port->GetId(), data));
    }
  }
  return summaries;
}

}  // namespace

const char* StatisticStageName(int stage) {
  switch (stage) {
    case kStageInit:
      return "init";
    case kStageExecuting:
      return "executing";
    case kStageExecuted:
      return "executed";
    case kStageLoad:
      return "load";
    default:
      return "undefined";
  }
}

Statistic::Statistic(const std::string& object_id, const std::string& type)
    : id(NewUuidText()), object_id(object_id), type(type) {}

void Statistic::ResetFromWorker(IDataProcess& worker, int new_stage, std::int64_t new_order) {
  std::string worker_name = worker.GetName();
  std::string worker_system_name = worker.GetSystemName();
  ErrorTexts errors = worker.IsEnabled() ? ReadErrors(worker) : ErrorTexts{};
  {
    std::unique_lock guard(lock);
    stage = new_stage;
    name = std::move(worker_name);
    system_name = std::move(worker_system_name);
    order = new_order;
    error_message = std::move(errors.message);
    stack_trace = std::move(errors.stack_trace);
    error_class_name = std::move(errors.class_name);
  }
  UpdateJson();
}

void Statistic::Reset(int new_stage, std::int64_t new_order) {
  {
    std::unique_lock guard(lock);
    stage = new_stage;
    order = new_order;
  }
  UpdateJson();
}

void Statistic::BeginWorkerExecution(Clock::time_point now) {
  {
    std::unique_lock guard(lock);
    stage = kStageExecuting;
    start = now;
    details.clear();
  }
  UpdateJson();
}

void Statistic::BeginExecution(Clock::time_point now) {
  std::unique_lock guard(lock);
  // The document keeps showing the state before this change.
  RenderPending();
  stage = kStageExecuting;
  start = now;
}

void Statistic::FinishFromWorker(IDataProcess& worker, Clock::time_point end,
                                 std::int64_t new_order) {
  ErrorTexts errors = ReadErrors(worker);
  std::vector<std::shared_ptr<StatisticDetail>> summaries = SummarisePorts(worker);
  {
    std::unique_lock guard(lock);
    error_message = std::move(errors.message);
    stack_trace = std::move(errors.stack_trace);
    error_class_name = std::move(errors.class_name);
    AddDuration(end);
    stage = kStageExecuted;
    order = new_order;
    details.insert(details.end(), std::make_move_iterator(summaries.begin()),
                   std::make_move_iterator(summaries.end()));
  }
  UpdateJson();
}

void Statistic::EndExecution(Clock::time_point end, std::int64_t new_order) {
  {
    std::unique_lock guard(lock);
    AddDuration(end);
    stage = kStageExecuted;
    order = new_order;
  }
  UpdateJson();
}

void Statistic::AddDetail(std::shared_ptr<StatisticDetail> detail) {
  {
    std::unique_lock guard(lock);
    details.push_back(std::move(detail));
  }
  UpdateJson();
}

void Statistic::AddDuration(Clock::time_point end) {
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(end - start);
  durations.push_back(static_cast<double>(nanoseconds.count()) * 1e-9);
  if (durations.size() > kMaxDurations) durations.pop_front();
}

void Statistic::UpdateJson() {
  const auto now = std::chrono::system_clock::now();
  std::unique_lock guard(lock);
  pending_ = true;
  changed_ = now;
}

void Statistic::RenderPending() const {
  if (!pending_) return;
  document_.data = std::make_shared<const PortDataScalar>(Render(*this));
  document_.rendered = changed_;
  pending_ = false;
}

StatisticDocument Statistic::GetDocument() const {
  {
    std::shared_lock guard(lock);
    if (!pending_) return document_;
  }
  std::unique_lock guard(lock);
  RenderPending();
  return document_;
}

}  // namespace zelph
