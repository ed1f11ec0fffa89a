// chain_writer_compact.cpp
//
// The compact chain writer (kMiniJson). It streams as it goes, so it never holds more
// than the current nesting. Blocks list the ports of the model's description (with made
// ids for the ports a worker lacks) and two control ports per control, so a file written
// here can be read back into a worker of the same model.
#include "chain_writer_compact.h"

#include <boost/uuid/string_generator.hpp>
#include <boost/uuid/uuid_io.hpp>

#include <set>
#include <string_view>
#include <variant>

#include "chain_writer_values.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/config/json_compact_writer.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"

namespace zelph {
namespace {

using json::CompactWriter;

void WriteTextMember(CompactWriter& writer, std::string_view key, const std::string& text) {
  writer.Key(key);
  writer.String(text);
}

void WriteTextMemberIfSet(CompactWriter& writer, std::string_view key, const std::string& text) {
  if (!text.empty()) WriteTextMember(writer, key, text);
}

void WriteValue(CompactWriter& writer, const PropertyVariant& value) {
  std::visit(
      [&](const auto& held) {
        using T = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<T, int>) {
          writer.Int(held);
        } else if constexpr (std::is_same_v<T, long long>) {
          writer.Int64(held);
        } else if constexpr (std::is_same_v<T, double>) {
          writer.Double(held);
        } else if constexpr (std::is_same_v<T, std::string>) {
          writer.String(held);
        } else {
          writer.Bool(held);
        }
      },
      value);
}

const char* TypeNameOf(const PropertyVariant& value) {
  switch (value.index()) {
    case 0:
      return "int32";
    case 1:
      return "int64";
    case 2:
      return "double";
    case 3:
      return "scalar";
    default:
      return "boolean";
  }
}

// System keys always (but the two the worker's own state carries), other keys only when
// the model has a control of that name.
bool PassesFilter(const std::string& key, const std::set<std::string>& allowed) {
  if (key == "$__system.enabled" || key == "$__system.name") return false;
  if (key.starts_with("$__system")) return true;
  return allowed.count(key) != 0;
}

void WriteProperties(CompactWriter& writer, Property& bag, const std::set<std::string>& allowed) {
  writer.Key("properties");
  writer.StartArray();
  bag.ForEach([&](const std::string& key, PropertyValue& value) {
    if (!PassesFilter(key, allowed)) return;
    writer.StartObject();
    WriteTextMember(writer, "name", key);
    WriteTextMember(writer, "type", TypeNameOf(value.value));
    writer.Key("value");
    WriteValue(writer, value.value);
    writer.EndObject();
  });
  writer.EndArray();
}

void WriteExecutor(CompactWriter& writer, IDataProcessChain& chain) {
  writer.Key("executor");
  writer.StartObject();
  WriteTextMemberIfSet(writer, "uuid", chain.GetId());
  WriteTextMemberIfSet(writer, "name", chain.GetName());
  WriteTextMemberIfSet(writer, "category", chain.GetCategory());
  WriteTextMemberIfSet(writer, "description", chain.GetDescription());
  writer.Key("options");
  writer.StartObject();
  writer.Key("execution");
  writer.StartObject();
  writer.Key("all");
  writer.Bool(chain.GetExecutionOption(chain::ExecutionOption::kAll));
  writer.Key("multithreading");
  writer.Bool(chain.GetExecutionOption(chain::ExecutionOption::kMultithreading));
  writer.Key("ignore_exceptions");
  writer.Bool(chain.GetExecutionOption(chain::ExecutionOption::kIgnoreExceptions));
  writer.EndObject();
  writer.EndObject();
  writer.EndObject();
}

void WritePort(CompactWriter& writer, const std::string& id, int kind, const std::string& data_type,
               const std::string& name) {
  writer.StartObject();
  WriteTextMember(writer, "uuid", id);
  writer.Key("type");
  writer.Int(kind);
  WriteTextMember(writer, "data_type_uuid", data_type);
  WriteTextMember(writer, "name", name);
  writer.EndObject();
}

std::string PortIdOf(const IDataProcess& worker, const boost::uuids::uuid& worker_uuid,
                     PortType kind, const std::string& name) {
  const Port* port = worker.FindPortByName(kind, name, true);
  return port != nullptr ? port->GetId() : MakePortId(worker_uuid, kind, name);
}

void WritePorts(CompactWriter& writer, const IDataProcess& worker,
                const boost::uuids::uuid& worker_uuid, const BaseModelStructure& model) {
  writer.Key("ports");
  writer.StartArray();
  for (const Port* description : model.GetPorts()) {
    const std::string name = description->GetName();
    const IDataType* type = description->GetDataType();
    const std::string data_type = (type != nullptr && DataTypeBase::IsScalar(type))
                                      ? boost::uuids::to_string(DataTypeScalar::s_uid_)
                                      : DataTypeUuidText(type, name);
    WritePort(writer, PortIdOf(worker, worker_uuid, description->GetType(), name),
              static_cast<int>(description->GetType()), data_type, name);
  }
  const std::string scalar = boost::uuids::to_string(DataTypeScalar::s_uid_);
  for (const BaseControl& control : model.GetControls()) {
    const std::string name = control.GetName();
    for (PortType kind : {PortType::input_control, PortType::output_control}) {
      WritePort(writer, PortIdOf(worker, worker_uuid, kind, name), static_cast<int>(kind), scalar,
                name);
    }
  }
  writer.EndArray();
}

void WriteSystem(CompactWriter& writer, Property& system) {
  bool started = false;
  system.ForEach([&](const std::string& key, PropertyValue& value) {
    if (const auto* text = std::get_if<std::string>(&value.value); text && text->empty()) return;
    if (!started) {
      writer.Key("system");
      writer.StartObject();
      started = true;
    }
    writer.Key(key);
    WriteValue(writer, value.value);
  });
  if (started) writer.EndObject();
}

void WriteBlock(CompactWriter& writer, const IDataProcess& worker) {
  // A worker id that is not uuid text fails the write ("invalid uuid string").
  const boost::uuids::uuid worker_uuid = boost::uuids::string_generator()(worker.GetId());
  const BaseModelStructure& model = worker.GetStructure();
  writer.StartObject();
  WriteTextMember(writer, "uuid", boost::uuids::to_string(worker_uuid));
  WriteTextMember(writer, "executor_id", model.GetUuid());
  WriteTextMemberIfSet(writer, "execution_stage", StageMemberText(model.GetExecutionStage()));
  WriteTextMemberIfSet(writer, "executor_name", model.GetName());
  WriteTextMemberIfSet(writer, "executor_category", model.GetCategory());
  WritePorts(writer, worker, worker_uuid, model);
  std::set<std::string> control_names;
  for (const BaseControl& control : model.GetControls()) control_names.insert(control.GetName());
  WriteProperties(writer, *worker.GetProperties(), control_names);
  WriteSystem(writer, *worker.GetSystemProperties());
  writer.EndObject();
}

}  // namespace

void WriteChainCompact(IDataProcessChain& chain, std::ostream& out) {
  CompactWriter writer(out);
  writer.StartObject();
  WriteTextMember(writer, "app", "chain");
  WriteTextMember(writer, "version", "1.1");
  WriteExecutor(writer, chain);
  WriteProperties(writer, *chain.GetProperties(), {});

  const auto workers = chain.GetWorkers();
  if (!workers.empty()) {
    writer.Key("blocks");
    writer.StartArray();
    for (const auto& worker : workers) WriteBlock(writer, *worker);
    writer.EndArray();
  }
  const auto links = chain.GetLinks();
  if (!links.empty()) {
    writer.Key("links");
    writer.StartArray();
    for (const Link* link : links) {
      if (link->GetSrcPort() == nullptr || link->GetDestPort() == nullptr) continue;
      writer.StartObject();
      WriteTextMember(writer, "uuid", link->GetId());
      WriteTextMember(writer, "src_port_uuid", link->GetSrcPort()->GetId());
      WriteTextMember(writer, "dest_port_uuid", link->GetDestPort()->GetId());
      writer.EndObject();
    }
    writer.EndArray();
  }
  writer.EndObject();
  writer.Flush();
}

}  // namespace zelph
