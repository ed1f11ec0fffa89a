// chain_stream_reader.cpp
//
// The streaming back-end's chain reader, written member by member as the format lists its
// keys. Which failures end the whole read and which only drop one element is part of the
// format: a port check, a value that does not fit its declared type and a nested value
// where a scalar belongs end the read; a property without name or type, of an unknown type
// or with a null value is dropped with a log line.
#include "zelph/chainfiles/chain_stream_reader.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "zelph/chainfiles/chain_file_forms.h"
#include "zelph/config/json_stream_reader.h"
#include "zelph/config/text_file.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_type.h"
#include "zelph/model/numeric_text.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph {
namespace {

using json::StreamValue;
using json::ValueKind;

constexpr std::string_view kSystemPrefix = "$__system.";

// A scalar taken out of its StreamValue, which lives only during its callback. The text
// is a view into the reader, which outlives every use. Only the conversions that the
// kind can need are made.
struct ScalarValue {
  ValueKind kind = ValueKind::kNull;  // a missing value counts as null
  std::string_view text;
  int int32 = 0;
  double number = 0.0;
  bool boolean = false;
};

// Objects and arrays are left unread, which ends the read with the reader's
// "Nested object or array not parsed" when the callback returns.
ScalarValue CaptureScalar(const StreamValue& value) {
  ScalarValue scalar;
  scalar.kind = value.Kind();
  scalar.text = value.Text();
  if (scalar.kind == ValueKind::kNumber) {
    scalar.int32 = value.Int32();
    scalar.number = value.Number();
  } else if (scalar.kind == ValueKind::kBoolean) {
    scalar.boolean = value.Bool();
  }
  return scalar;
}

// A member that the format expects as a string: a non-string scalar is taken as its JSON
// text; an object or array is left unread and so ends the read.
std::string TextOf(const StreamValue& value) { return std::string(value.Text()); }

// Execution options accept true/false or a number whose integer value is non-zero.
bool OptionOf(const StreamValue& value) {
  return value.IsBoolean() ? value.Bool() : value.Int32() != 0;
}

// Data types by the exact name a file gives them. A file names a handful of types
// thousands of times, and each registry look-up compares the name with every type's
// aliases; the registry is taken to stay as it is for the length of one read.
class DataTypeNames {
 public:
  const IDataType* Find(std::string_view name) {
    for (const auto& [known, type] : found_) {
      if (known == name) return type;
    }
    const IDataType* type = SimplePluginsManager::GetInstance()->FindDataType(std::string(name));
    found_.emplace_back(name, type);
    return type;
  }

 private:
  std::vector<std::pair<std::string, const IDataType*>> found_;  // misses too, as null
};

std::string FormatNumberConversionError(const std::string& name) {
  return fmt::format("Failed number conversion of property: {}", QuoteClientText(name));
}

std::string FormatStringConversionError(const std::string& name) {
  return fmt::format("Failed parse string property: {}", QuoteClientText(name));
}

void LogUnsupportedValue(const std::string& name) {
  ZELPH_LOG(ZelphSeverityLevel::kError,
            "Unsupported data type Object,Array,Null for property: '{}'", QuoteClientText(name));
}

bool IsIgnoredProperty(std::string_view name) {
  return name == "__system.create_preview" || name == "__system.collect_statistic" ||
         name == "__system.autorun.enabled" || name == "__system.tiled.view" ||
         name == "__system.throw.input_data_exception" || name == "$__system.working_directory";
}

std::string RenameLegacyProperty(std::string name) {
  if (name == "__system.name") return "$__system.name";
  if (name == "__system.enabled") return "$__system.enabled";
  return name;
}

// A system value is typed by its JSON form alone.
void SetSystemValue(const std::string& name, const ScalarValue& value, Property& system) {
  switch (value.kind) {
    case ValueKind::kString:
      system.SetValue(name, std::string(value.text));
      break;
    case ValueKind::kNumber:
      system.SetValue(name, value.number);
      break;
    case ValueKind::kBoolean:
      system.SetValue(name, value.boolean);
      break;
    default:
      LogUnsupportedValue(name);
      break;
  }
}

void ConvertNumberProperty(const ScalarValue& value, const std::string& name, const IDataType* type,
                           Property& bag) {
  if (DataTypeInt32::Equals(type) || DataTypeShort::Equals(type) || DataTypeByte::Equals(type)) {
    bag.SetValue(name, value.int32);
  } else if (DataTypeInt64::Equals(type)) {
    bag.SetValue(name, text::StoLL(std::string(value.text)));
  } else if (DataTypeFloat::Equals(type) || DataTypeDouble::Equals(type)) {
    bag.SetValue(name, value.number);
  } else {
    throw std::runtime_error(FormatNumberConversionError(name));
  }
}

// One property element into `bag` (and, for "$__system." names, into `system` when
// given). False when the element is refused; throws when the whole read must end.
bool ReadTypedProperty(StreamValue& element, DataTypeNames& types, Property& bag,
                       Property* system) {
  // One captured object keeps the callback small enough for std::function to hold it
  // without an allocation.
  struct {
    std::string_view name;
    std::string_view type_name;
    ScalarValue value;
  } read;
  element.ReadObject([&read](std::string_view key, StreamValue& member) {
    if (key == "name") {
      read.name = member.Text();
    } else if (key == "type") {
      read.type_name = member.Text();
    } else if (key == "value") {
      read.value = CaptureScalar(member);
    } else {
      member.Skip();
    }
  });
  const ScalarValue& value = read.value;
  const std::string_view type_name = read.type_name;
  std::string name(read.name);

  if (name.empty()) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Property name is required");
    return false;
  }
  if (type_name.empty()) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Property type is required");
    return false;
  }
  const IDataType* type = types.Find(type_name);
  if (type == nullptr) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Data type not found '{}'", QuoteClientText(type_name));
    return false;
  }
  if (IsIgnoredProperty(name)) return true;
  name = RenameLegacyProperty(std::move(name));

  switch (value.kind) {
    case ValueKind::kString:
      if (!DataTypeScalar::Equals(type) && !DataTypeStr::Equals(type)) {
        throw std::runtime_error(FormatStringConversionError(name));
      }
      bag.SetValue(name, std::string(value.text));
      break;
    case ValueKind::kNumber:
      ConvertNumberProperty(value, name, type, bag);
      break;
    case ValueKind::kBoolean:
      if (DataTypeBool::Equals(type)) {
        bag.SetValue(name, value.boolean);
      } else {
        ZELPH_LOG(ZelphSeverityLevel::kError, "Failed bool conversion for property: {}",
                  QuoteClientText(name));
      }
      break;
    default:
      LogUnsupportedValue(name);
      return false;
  }

  if (system != nullptr && name.starts_with(kSystemPrefix)) {
    const std::string short_name = name.substr(kSystemPrefix.size());
    SetSystemValue(short_name, value, *system);
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Convert legacy system property: '{}' into: '{}'",
              QuoteClientText(name), QuoteClientText(short_name));
  }
  return true;
}

void ReadChainProperties(StreamValue& array, Property& bag) {
  DataTypeNames types;
  array.ReadArray([&](StreamValue& element) {
    if (!ReadTypedProperty(element, types, bag, nullptr)) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Failed parse property of chain");
    }
  });
}

void ReadWorkerProperties(StreamValue& array, DataTypeNames& types, DataWorker& worker) {
  array.ReadArray([&](StreamValue& element) {
    if (!ReadTypedProperty(element, types, worker.properties, &worker.system)) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Failed parse property of worker: {}",
                QuoteClientText(worker.id));
    }
  });
}

void ReadOptions(StreamValue& options, DataChain& chain) {
  options.ReadObject([&](std::string_view key, StreamValue& member) {
    if (key != "execution") {
      member.Skip();
      return;
    }
    member.ReadObject([&](std::string_view option, StreamValue& value) {
      if (option == "all") {
        chain.all = OptionOf(value);
      } else if (option == "multithreading") {
        chain.multithreading = OptionOf(value);
      } else if (option == "ignore_exceptions") {
        chain.ignore_exceptions = OptionOf(value);
      } else {
        value.Skip();
      }
    });
  });
}

void ReadExecutor(StreamValue& executor, DataChain& chain) {
  executor.ReadObject([&](std::string_view key, StreamValue& member) {
    if (key == "uuid") {
      chain.id = TextOf(member);
    } else if (key == "name") {
      chain.name = TextOf(member);
    } else if (key == "description") {
      chain.description = TextOf(member);
    } else if (key == "category") {
      chain.category = TextOf(member);
    } else if (key == "options") {
      ReadOptions(member, chain);
    } else {
      member.Skip();
    }
  });
}

void CheckPort(const DataPort& port) {
  if (port.name.empty()) throw std::runtime_error("Port name undefined");
  if (port.id.empty()) throw std::runtime_error("Port id undefined");
  if (port.data_type_id.empty()) throw std::runtime_error("Port data type is undefined");
  if (port.kind == static_cast<int>(PortType::unknown)) {
    throw std::runtime_error("Port kind is undefined");
  }
}

void ReadPorts(StreamValue& array, DataWorker& worker) {
  array.ReadArray([&](StreamValue& element) {
    DataPort port;
    element.ReadObject([&](std::string_view key, StreamValue& member) {
      if (key == "uuid") {
        port.id = TextOf(member);
      } else if (key == "name" || key == "port_name") {
        port.name = TextOf(member);
      } else if (key == "type" || key == "port_type") {
        port.SetKind(member.Int32());
      } else if (key == "data_type_uuid") {
        port.data_type_id = TextOf(member);
      } else {
        member.Skip();
      }
    });
    CheckPort(port);
    worker.ports.push_back(std::move(port));
  });
}

void ReadSystem(StreamValue& object, DataWorker& worker) {
  object.ReadObject([&](std::string_view key, StreamValue& member) {
    if (member.IsObjectOrArray()) return;  // left unread: ends the read
    SetSystemValue(std::string(key), CaptureScalar(member), worker.system);
  });
}

bool IsPortsKey(std::string_view key) {
  return key == "ports" || key == "in_ports" || key == "out_ports" || key == "in_control_ports" ||
         key == "out_control_ports";
}

void ReadWorkers(StreamValue& array, DataChain& chain) {
  DataTypeNames types;
  chain.workers.reserve(chain.workers.size() + array.ElementCount());
  array.ReadArray([&](StreamValue& element) {
    DataWorker worker;
    element.ReadObject([&](std::string_view key, StreamValue& member) {
      if (key == "uuid") {
        worker.id = TextOf(member);
      } else if (key == "executor_id" || key == "model_uuid") {
        worker.executor_id = TextOf(member);
      } else if (key == "executor_name" || key == "model_name") {
        worker.name = TextOf(member);
      } else if (key == "execution_stage") {
        worker.SetExecutionStage(TextOf(member));
      } else if (IsPortsKey(key)) {
        ReadPorts(member, worker);
      } else if (key == "properties" || key == "primitives" || key == "parameters") {
        ReadWorkerProperties(member, types, worker);
      } else if (key == "system") {
        ReadSystem(member, worker);
      } else {
        member.Skip();
      }
    });
    chain.workers.push_back(std::move(worker));
  });
}

void ReadLinks(StreamValue& array, DataChain& chain) {
  chain.links.reserve(chain.links.size() + array.ElementCount());
  array.ReadArray([&](StreamValue& element) {
    DataLink link;
    element.ReadObject([&](std::string_view key, StreamValue& member) {
      if (key == "uuid") {
        link.id = TextOf(member);
      } else if (key == "src_port_uuid") {
        link.src_port_id = TextOf(member);
      } else if (key == "dest_port_uuid") {
        link.dst_port_id = TextOf(member);
      } else if (key == "src_data_process_uuid") {
        link.src_worker_id = TextOf(member);
      } else if (key == "dest_data_process_uuid") {
        link.dst_worker_id = TextOf(member);
      } else {
        member.Skip();
      }
    });
    chain.links.push_back(std::move(link));
  });
}

// The members that a chain section and a nested "chain" object share. False when `key`
// is none of them.
bool ReadChainBodyMember(std::string_view key, StreamValue& member, DataChain& chain) {
  if (key == "properties" || key == "primitives") {
    ReadChainProperties(member, chain.properties);
  } else if (key == "blocks" || key == "data_processes") {
    ReadWorkers(member, chain);
  } else if (key == "links") {
    ReadLinks(member, chain);
  } else if (key == "options") {
    ReadOptions(member, chain);
  } else {
    return false;
  }
  return true;
}

void ReadNestedChain(StreamValue& object, DataChain& chain) {
  object.ReadObject([&](std::string_view key, StreamValue& member) {
    if (key == "uuid") {
      chain.id = TextOf(member);
    } else if (!ReadChainBodyMember(key, member, chain)) {
      member.Skip();
    }
  });
}

void ReadChainSectionMember(std::string_view key, StreamValue& member, DataChain& chain) {
  if (key == "executor") {
    ReadExecutor(member, chain);
  } else if (key == "chain") {
    ReadNestedChain(member, chain);
  } else if (!ReadChainBodyMember(key, member, chain)) {
    member.Skip();  // "app" and "version" are taken from the root only
  }
}

}  // namespace

bool ReadChainMiniJson(const char* text, std::size_t length, DataChain& chain) {
  try {
    json::StreamReader reader(text, length);
    reader.ReadObject([&](std::string_view key, StreamValue& member) {
      if (key == "app") {
        chain.app = TextOf(member);
      } else if (key == "version") {
        chain.version = TextOf(member);
      } else {
        member.Skip();
      }
    });
    if (chain.app.empty()) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Expected 'app' key 'zelph-chain', 'zelph-project'");
      return false;
    }
    switch (ClassifyChainApp(chain.app)) {
      case ChainFileForm::kRoot:
        reader.ReadObject([&](std::string_view key, StreamValue& member) {
          ReadChainSectionMember(key, member, chain);
        });
        return true;
      case ChainFileForm::kProject:
        reader.ReadObject([&](std::string_view key, StreamValue& member) {
          if (key == "zelph_chain" || key == "chain") {
            member.ReadObject([&](std::string_view section_key, StreamValue& section_member) {
              ReadChainSectionMember(section_key, section_member, chain);
            });
          } else {
            member.Skip();
          }
        });
        return true;
      case ChainFileForm::kNone:
        return false;
    }
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "{}", e.what());
  }
  return false;
}

bool ReadChainMiniJsonFile(const char* path, DataChain& chain) {
  const std::string file_path = path ? path : "";
  std::string text;
  if (!ReadTextFile(file_path, text)) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed load file: {}", QuoteClientText(file_path));
    return false;
  }
  return ReadChainMiniJson(text.data(), text.size(), chain);
}

}  // namespace zelph
