// description_format.cpp
#include "description_format.h"

#include <fmt/format.h>

#include <stdexcept>
#include <string_view>

#include "data_type_lookup.h"
#include "default_value_writer.h"
#include "json_values.h"
#include "zelph/config/config_log.h"
#include "zelph/model/property_keys.h"

namespace zelph::descriptions {

namespace {

using json::StreamValue;

void SetFlag(BaseModelStructure& structure, OptionalFlag bit, const StreamValue& value) {
  structure.SetOptionalFlag(bit, FlagOf(value));
}

void ReadRole(StreamValue& role, BaseModelStructure& structure) {
  role.ReadObject([&](std::string_view key, StreamValue& value) {
    if (key == "main") {
      SetFlag(structure, kMainRole, value);
    } else if (key == "settings") {
      SetFlag(structure, kSettingsRole, value);
    } else if (key == "class_name") {
      structure.SetRoleClassName(TextOf(value));
    } else {
      Ignore(value);
    }
  });
}

void ReadOwner(StreamValue& owner, BaseModelStructure& structure) {
  owner.ReadObject([&](std::string_view key, StreamValue& value) {
    if (key == "name") {
      structure.SetOwnerName(TextOf(value));
    } else if (key == "id") {
      structure.SetOwnerId(TextOf(value));
    } else if (key == "context_id") {
      structure.SetOwnerContextId(TextOf(value));
    } else {
      Ignore(value);
    }
  });
}

void ReadBehavior(StreamValue& behavior, BaseModelStructure& structure) {
  behavior.ReadObject([&](std::string_view key, StreamValue& value) {
    if (key == "input") {
      SetFlag(structure, kInputModel, value);
    } else if (key == "output") {
      SetFlag(structure, kOutputModel, value);
    } else if (key == "data") {
      SetFlag(structure, kDataModel, value);
    } else if (key == "copy") {
      SetFlag(structure, kCopyModel, value);
    } else {
      Ignore(value);
    }
  });
}

void ReadUsage(StreamValue& usage, BaseModelStructure& structure) {
  usage.ReadObject([&](std::string_view key, StreamValue& value) {
    if (key == "as_input") {
      SetFlag(structure, kInputModel, value);
    } else if (key == "path") {
      value.ReadObject([&](std::string_view path_key, StreamValue& path_value) {
        if (path_key == "relative") {
          SetFlag(structure, kRelativePathModel, path_value);
        } else {
          Ignore(path_value);
        }
      });
    } else {
      Ignore(value);
    }
  });
}

void ReadOptions(StreamValue& options, BaseModelStructure& structure) {
  options.ReadObject([&](std::string_view key, StreamValue& value) {
    if (key == "role") {
      ReadRole(value, structure);
    } else if (key == "owner") {
      ReadOwner(value, structure);
    } else if (key == "behavior") {
      ReadBehavior(value, structure);
    } else if (key == "usage") {
      ReadUsage(value, structure);
    } else if (key == "stage") {
      structure.SetExecutionStage(TextOf(value) == stage::kLoadingTime
                                      ? ExecutionStage::kLoadingTime
                                      : ExecutionStage::kRunTime);
    } else {
      Ignore(value);
    }
  });
}

void ReadJava(StreamValue& java, BaseModelStructure& structure) {
  java.ReadObject([&](std::string_view key, StreamValue& value) {
    if (key == "class") {
      structure.SetJavaClass(TextOf(value));
    } else if (key == "new_instance_method") {
      structure.SetJavaNewInstanceMethod(TextOf(value));
    } else if (key == "new_instance_method_signature") {
      structure.SetJavaNewInstanceMethodSignature(TextOf(value));
    } else {
      Ignore(value);
    }
  });
}

void ReadItem(StreamValue& item_value, JsonControl& control) {
  JsonEnumItem item;
  item_value.ReadObject([&](std::string_view key, StreamValue& value) {
    if (key == "caption") {
      item.caption = TextOf(value);
    } else if (key == "value") {
      if (value.IsObjectOrArray() || value.IsNull()) {
        ZELPH_CONFIG_LOG(ZelphSeverityLevel::kError,
                         "Unsupported default enum item type Object,Array,Null json control "
                         "name: '{}'",
                         control.name);
        // A nested value left unread fails the read; null leaves the value empty.
      } else {
        item.value = TextOf(value);
      }
    } else {
      Ignore(value);
    }
  });
  control.items.push_back(std::move(item));
}

void CheckControl(const JsonControl& control) {
  if (control.name.empty()) throw std::runtime_error("Json control 'name' expected");
  if (control.value_type_name.empty()) {
    throw std::runtime_error(fmt::format("Json control '{}' 'value_type' expected", control.name));
  }
  if (FindDataType(control.value_type_name) == nullptr) {
    throw std::runtime_error(fmt::format("Json control '{}' unsupported value_type: '{}'",
                                         control.name, control.value_type_name));
  }
  if (control.edition_kind.empty()) {
    throw std::runtime_error(
        fmt::format("Json control '{}' 'edition_type' expected", control.name));
  }
  if (StringToControlKind(control.edition_kind.c_str()) == ControlKind::kUnknown) {
    throw std::runtime_error(fmt::format("Json control '{}' unsupported edition_type: '{}'",
                                         control.name, control.edition_kind));
  }
}

void ReadControlMember(std::string_view key, StreamValue& value, JsonControl& control) {
  if (key == "name") {
    control.name = TextOf(value);
  } else if (key == "value_type" || key == "sub_type") {
    control.value_type_name = TextOf(value);
  } else if (key == "type" || key == "edition_type") {
    control.edition_kind = TextOf(value);
  } else if (key == "caption") {
    control.caption = TextOf(value);
  } else if (key == "hint") {
    control.hint = TextOf(value);
  } else if (key == "description") {
    control.description = TextOf(value);
  } else if (key == "value_class_name") {
    control.value_class_name = TextOf(value);
  } else if (key == "settings_id") {
    control.settings_id = TextOf(value);
  } else if (key == "alias") {
    ReadTexts(value, control.aliases);
  } else if (key == "is_odd") {
    control.odd = FlagOf(value);
  } else if (key == "is_even") {
    control.even = FlagOf(value);
  } else if (key == "min") {
    control.min = NumberOf(value);
  } else if (key == "max") {
    control.max = NumberOf(value);
  } else if (key == "default") {
    control.default_text = value.IsObjectOrArray() ? WriteDefaultValue(value) : TextOf(value);
  } else if (key == "items") {
    value.ReadArray([&](StreamValue& item) { ReadItem(item, control); });
  } else if (key == "multiline") {
    control.multiline = FlagOf(value);
  } else if (key == "edition_rows") {
    control.edition_rows = IntegerOf(value);
  } else if (key == "resource") {
    control.resource = FlagOf(value);
  } else if (key == "advanced") {
    control.advanced = FlagOf(value);
  } else {
    Ignore(value);
  }
}

void ReadControls(StreamValue& controls, CollectedDescription& collected) {
  controls.ReadArray([&](StreamValue& element) {
    JsonControl control;
    element.ReadObject(
        [&](std::string_view key, StreamValue& value) { ReadControlMember(key, value, control); });
    CheckControl(control);
    collected.controls.push_back(std::move(control));
  });
}

void ReadPorts(StreamValue& ports, PortType type, CollectedDescription& collected) {
  ports.ReadArray([&](StreamValue& element) {
    JsonPort port;
    port.type = type;
    element.ReadObject([&](std::string_view key, StreamValue& value) {
      if (key == "data_type_name" || key == "value_type") {
        port.data_type_name = TextOf(value);
      } else if (key == "name") {
        port.name = TextOf(value);
      } else if (key == "caption") {
        port.caption = TextOf(value);
      } else if (key == "hint") {
        port.hint = TextOf(value);
      } else if (key == "alias") {
        ReadTexts(value, port.aliases);
      } else if (key == "is_optional" || key == "advanced") {
        port.optional = FlagOf(value);
      } else {
        Ignore(value);
      }
    });
    collected.ports.push_back(std::move(port));
  });
}

void ReadTags(StreamValue& tags, BaseModelStructure& structure) {
  tags.ReadArray([&](StreamValue& tag) { structure.AddTag(TextOf(tag)); });
}

}  // namespace

void ReadDescription(const json::StreamReader& reader, BaseModelStructure& structure,
                     CollectedDescription& collected) {
  reader.ReadObject([&](std::string_view key, StreamValue& value) {
    if (key == "app") {
      collected.app = TextOf(value);
    } else if (key == "version") {
      structure.SetVersion(TextOf(value));
    } else if (key == "uuid" || key == "id") {
      structure.SetUuid(TextOf(value));
    } else if (key == "name") {
      structure.SetName(TextOf(value));
    } else if (key == "caption") {
      structure.SetCaption(TextOf(value));
    } else if (key == "description") {
      structure.SetDescription(TextOf(value));
    } else if (key == "category") {
      structure.SetCategory(TextOf(value));
    } else if (key == "language") {
      structure.SetLanguage(TextOf(value));
    } else if (key == "help_file") {
      structure.SetHelpFile(TextOf(value));
    } else if (key == "url") {
      structure.SetUrl(TextOf(value));
    } else if (key == "tags") {
      ReadTags(value, structure);
    } else if (key == "options") {
      ReadOptions(value, structure);
    } else if (key == "java") {
      ReadJava(value, structure);
    } else if (key == "in_ports") {
      ReadPorts(value, PortType::input, collected);
    } else if (key == "out_ports") {
      ReadPorts(value, PortType::output, collected);
    } else if (key == "controls") {
      ReadControls(value, collected);
    } else {
      Ignore(value);
    }
  });
}

void ReadParentDescription(const json::StreamReader& reader, BaseModelStructure& structure) {
  reader.ReadObject([&](std::string_view key, StreamValue& value) {
    if (key == "tags") {
      ReadTags(value, structure);
    } else {
      Ignore(value);
    }
  });
}

}  // namespace zelph::descriptions
