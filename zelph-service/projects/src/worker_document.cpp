// worker_document.cpp
//
// The worker document, written straight to a compact writer.
#include "zelph/projects/worker_document.h"

#include "zelph/config/rapidjson.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <boost/uuid/uuid_io.hpp>

#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zelph {
namespace {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

void WriteMember(JsonWriter& writer, std::string_view key, std::string_view text) {
  writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void WritePort(JsonWriter& writer, const Port& port) {
  const IDataType* data_type = port.GetDataType();
  writer.StartObject();
  WriteMember(writer, "id", port.GetId());
  writer.Key("type");
  writer.Int(static_cast<int>(port.GetType()));
  WriteMember(writer, "data_type_id",
              data_type ? boost::uuids::to_string(data_type->GetUuid()) : std::string());
  WriteMember(writer, "name", port.GetName());
  WriteMember(writer, "caption", port.GetCaption());
  writer.Key("is_optional");
  writer.Bool(port.IsOptional());
  // A port has no advanced flag of its own: clients read the optional one under this name.
  writer.Key("advanced");
  writer.Bool(port.IsOptional());
  writer.EndObject();
}

// The worker's description of its visible results, embedded as JSON; nothing when the
// text (which comes from plug-in code) is not JSON.
void WriteVisibleResults(JsonWriter& writer, IDataProcess& worker) {
  const std::string text = worker.GetVisibleResultsInformation();
  std::string_view body(text);
  if (body.starts_with(kByteOrderMark)) body.remove_prefix(kByteOrderMark.size());
  rapidjson::Document parsed;
  if (json::ParseJsonText(body.data(), body.size(), parsed).IsError()) return;
  writer.Key("visible_result_meta_information");
  if (!parsed.Accept(writer)) json::ThrowJsonAssertion();
}

}  // namespace

bool WriteWorkerAsJson(std::shared_ptr<IDataProcess> worker, std::ostream& out) {
  if (!worker) throw std::invalid_argument("no worker");
  const BaseModelStructure& structure = worker->GetStructure();
  const std::string system_name = worker->GetSystemName();
  const std::string caption = structure.GetCaption();

  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  writer.StartObject();
  WriteMember(writer, "app", "zelph-worker");
  WriteMember(writer, "id", worker->GetId());
  WriteMember(writer, "executor_id", structure.GetUuid());
  WriteMember(writer, "executor_name", caption.empty() ? structure.GetName() : caption);
  if (!system_name.empty()) WriteMember(writer, "system_name", system_name);
  writer.Key("ports");
  writer.StartArray();
  for (const Port* port : worker->GetPorts()) WritePort(writer, *port);
  writer.EndArray();
  WriteVisibleResults(writer, *worker);
  writer.EndObject();
  out.write(buffer.GetString(), static_cast<std::streamsize>(buffer.GetSize()));
  return true;
}

}  // namespace zelph
