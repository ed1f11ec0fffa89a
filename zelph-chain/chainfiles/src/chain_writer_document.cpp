// chain_writer_document.cpp
//
// The document chain writer (kRapidJson). It builds the whole document before it writes,
// so a failure leaves the stream untouched. The executor starts from the chain's executor
// text, so members that no reader interprets survive a read and a write; block properties
// are converted to the value type of the model's control of the same name.
#include "chain_writer_document.h"

#include "zelph/config/rapidjson.h"

#include <rapidjson/ostreamwrapper.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <variant>

#include "chain_writer_values.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/config/zelph_config.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"

namespace zelph {
namespace {

using JsonValue = rapidjson::Value;
using Allocator = rapidjson::Document::AllocatorType;

enum class TargetClass { kNone, kBoolean, kInteger, kFloating, kText };

TargetClass TargetClassOf(const IDataType* type) {
  if (type == nullptr) return TargetClass::kNone;
  if (DataTypeBool::Equals(type)) return TargetClass::kBoolean;
  if (DataTypeInt32::Equals(type) || DataTypeInt64::Equals(type)) return TargetClass::kInteger;
  if (DataTypeDouble::Equals(type) || DataTypeFloat::Equals(type)) return TargetClass::kFloating;
  if (DataTypeStr::Equals(type) || DataTypeScalar::Equals(type)) return TargetClass::kText;
  return TargetClass::kNone;
}

JsonValue Text(std::string_view text, Allocator& allocator) {
  return JsonValue(text.data(), static_cast<rapidjson::SizeType>(text.size()), allocator);
}

JsonValue Double(double value) {
  JsonValue number;
  if (std::isfinite(value)) {
    number.SetDouble(value);
  }  // else null: JSON has no NaN or infinity
  return number;
}

// Leading blanks and a sign accepted, trailing text ignored; none when no number can be
// read or it is out of range.
std::optional<long long> ParseLeadingInteger(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || errno == ERANGE) return std::nullopt;
  return value;
}

std::optional<double> ParseLeadingDouble(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || errno == ERANGE) return std::nullopt;
  return value;
}

JsonValue ConvertValue(const PropertyVariant& value, TargetClass target, Allocator& allocator) {
  return std::visit(
      [&](const auto& held) -> JsonValue {
        using T = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<T, std::string>) {
          if (target == TargetClass::kBoolean) return JsonValue(held == "true");
          if (target == TargetClass::kInteger) {
            if (auto number = ParseLeadingInteger(held))
              return JsonValue(static_cast<int64_t>(*number));
          }
          if (target == TargetClass::kFloating) {
            if (auto number = ParseLeadingDouble(held)) return Double(*number);
          }
          return Text(held, allocator);
        } else if constexpr (std::is_same_v<T, bool>) {
          if (target == TargetClass::kText)
            return JsonValue(rapidjson::StringRef(held ? "true" : "false"));
          return JsonValue(held);
        } else if constexpr (std::is_same_v<T, double>) {
          if (target == TargetClass::kText) return Text(std::to_string(held), allocator);
          return Double(held);
        } else {
          if (target == TargetClass::kText) return Text(std::to_string(held), allocator);
          return JsonValue(static_cast<int64_t>(held));
        }
      },
      value);
}

// Replaces the value of an existing member in its place, or appends the member.
void SetMember(JsonValue& object, std::string_view key, JsonValue value, Allocator& allocator) {
  auto member = object.FindMember(Text(key, allocator));
  if (member != object.MemberEnd()) {
    member->value = std::move(value);
  } else {
    object.AddMember(Text(key, allocator), std::move(value), allocator);
  }
}

JsonValue& FindOrAddObject(JsonValue& object, std::string_view key, Allocator& allocator) {
  auto member = object.FindMember(Text(key, allocator));
  if (member == object.MemberEnd()) {
    object.AddMember(Text(key, allocator), JsonValue(rapidjson::kObjectType), allocator);
    return (object.MemberEnd() - 1)->value;
  }
  return member->value;
}

JsonValue BuildExecutor(IDataProcessChain& chain, Allocator& allocator) {
  rapidjson::Document start;
  const std::string& text = chain.GetExecutor();
  if (!text.empty()) json::ParseJsonText(text.data(), text.size(), start);
  JsonValue executor;
  if (!start.HasParseError() && start.IsObject()) {
    executor.CopyFrom(start, allocator);
  } else {
    executor.SetObject();
  }
  executor.EraseMember("uuid");  // keeps the order of the other members
  SetMember(executor, "id", Text(chain.GetId(), allocator), allocator);
  for (auto [key, value] : {std::pair<const char*, std::string>{"name", chain.GetName()},
                            {"category", chain.GetCategory()},
                            {"description", chain.GetDescription()}}) {
    if (!value.empty()) SetMember(executor, key, Text(value, allocator), allocator);
  }
  // An existing "options" that is not an object fails here ("Something wrong in JSON file!").
  JsonValue& options = FindOrAddObject(executor, "options", allocator);
  JsonValue& execution = FindOrAddObject(options, "execution", allocator);
  SetMember(execution, "all", JsonValue(chain.GetExecutionOption(chain::ExecutionOption::kAll)),
            allocator);
  SetMember(execution, "multithreading",
            JsonValue(chain.GetExecutionOption(chain::ExecutionOption::kMultithreading)),
            allocator);
  SetMember(execution, "ignore_exceptions",
            JsonValue(chain.GetExecutionOption(chain::ExecutionOption::kIgnoreExceptions)),
            allocator);
  return executor;
}

bool PassesChainFilter(const std::string& key, const PropertyVariant& value) {
  if (key == "$__system.enabled" || key == "$__system.name") return false;
  if (key.starts_with("__tmp.") || key.starts_with("$__zelph.") ||
      key.starts_with("$__system.working_directory")) {
    return false;
  }
  if (key == "execution.strategy") {
    if (const auto* name = std::get_if<std::string>(&value)) {
      return ExecutionStrategyFromString(*name) !=
             ZelphConfig::GetInstance()->GetExecuteStrategyType();
    }
  }
  return true;
}

JsonValue NameValue(const std::string& name, JsonValue value, Allocator& allocator) {
  JsonValue object(rapidjson::kObjectType);
  object.AddMember("name", Text(name, allocator), allocator);
  object.AddMember("value", std::move(value), allocator);
  return object;
}

// The four system entries that carry their default are left out, but only when they hold
// the type they should; an entry of another type is written as it is.
bool IsDefaultSystemEntry(const std::string& key, const PropertyVariant& value) {
  if (key == "enabled") {
    const auto* flag = std::get_if<bool>(&value);
    return flag != nullptr && *flag;
  }
  if (key == "caption" || key == "description" || key == "name") {
    const auto* text = std::get_if<std::string>(&value);
    return text != nullptr && text->empty();
  }
  return false;
}

JsonValue BuildBlock(const IDataProcess& worker, Allocator& allocator) {
  const BaseModelStructure& model = worker.GetStructure();
  JsonValue block(rapidjson::kObjectType);
  block.AddMember("uuid", Text(worker.GetId(), allocator), allocator);
  block.AddMember("executor_id", Text(model.GetUuid(), allocator), allocator);
  const std::string stage = StageMemberText(model.GetExecutionStage());
  if (!stage.empty()) block.AddMember("execution_stage", Text(stage, allocator), allocator);
  if (!model.GetName().empty()) {
    block.AddMember("executor_name", Text(model.GetName(), allocator), allocator);
  }
  if (!model.GetCategory().empty()) {
    block.AddMember("executor_category", Text(model.GetCategory(), allocator), allocator);
  }

  JsonValue ports(rapidjson::kArrayType);
  for (const Port* port : worker.GetPorts()) {
    JsonValue entry(rapidjson::kObjectType);
    entry.AddMember("uuid", Text(port->GetId(), allocator), allocator);
    entry.AddMember("type", static_cast<int>(port->GetType()), allocator);
    entry.AddMember("data_type_uuid",
                    Text(DataTypeUuidText(port->GetDataType(), port->GetName()), allocator),
                    allocator);
    entry.AddMember("name", Text(port->GetName(), allocator), allocator);
    ports.PushBack(std::move(entry), allocator);
  }
  block.AddMember("ports", std::move(ports), allocator);

  JsonValue parameters(rapidjson::kArrayType);
  worker.GetProperties()->ForEach([&](const std::string& key, PropertyValue& value) {
    if (key == "$__system.enabled" || key == "$__system.name") return;
    auto control = model.FindControl(key);
    if (!control || control->GetValueType() == nullptr) return;
    parameters.PushBack(
        NameValue(key, ConvertValue(value.value, TargetClassOf(control->GetValueType()), allocator),
                  allocator),
        allocator);
  });
  block.AddMember("parameters", std::move(parameters), allocator);

  JsonValue system(rapidjson::kObjectType);
  worker.GetSystemProperties()->ForEach([&](const std::string& key, PropertyValue& value) {
    if (IsDefaultSystemEntry(key, value.value)) return;
    system.AddMember(Text(key, allocator), ConvertValue(value.value, TargetClass::kNone, allocator),
                     allocator);
  });
  block.AddMember("system", std::move(system), allocator);
  return block;
}

}  // namespace

void WriteChainDocument(IDataProcessChain& chain, std::ostream& out) {
  rapidjson::Document document(rapidjson::kObjectType);
  Allocator& allocator = document.GetAllocator();
  document.AddMember("app", "chain", allocator);
  document.AddMember("version", "1.1", allocator);
  document.AddMember("executor", BuildExecutor(chain, allocator), allocator);

  JsonValue properties(rapidjson::kArrayType);
  chain.GetProperties()->ForEach([&](const std::string& key, PropertyValue& value) {
    if (!PassesChainFilter(key, value.value)) return;
    properties.PushBack(
        NameValue(key, ConvertValue(value.value, TargetClass::kNone, allocator), allocator),
        allocator);
  });
  if (!properties.Empty()) document.AddMember("properties", std::move(properties), allocator);

  JsonValue blocks(rapidjson::kArrayType);
  for (const auto& worker : chain.GetWorkers()) {
    blocks.PushBack(BuildBlock(*worker, allocator), allocator);
  }
  document.AddMember("blocks", std::move(blocks), allocator);

  JsonValue links(rapidjson::kArrayType);
  for (const Link* link : chain.GetLinks()) {
    if (link->GetSrcPort() == nullptr || link->GetDestPort() == nullptr) continue;
    JsonValue entry(rapidjson::kObjectType);
    entry.AddMember("uuid", Text(link->GetId(), allocator), allocator);
    entry.AddMember("src_port_uuid", Text(link->GetSrcPort()->GetId(), allocator), allocator);
    entry.AddMember("dest_port_uuid", Text(link->GetDestPort()->GetId(), allocator), allocator);
    links.PushBack(std::move(entry), allocator);
  }
  document.AddMember("links", std::move(links), allocator);

  rapidjson::StringBuffer buffer;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
  writer.SetIndent(' ', 4);
  document.Accept(writer);
  out.write(buffer.GetString(), static_cast<std::streamsize>(buffer.GetSize()));
}

}  // namespace zelph
