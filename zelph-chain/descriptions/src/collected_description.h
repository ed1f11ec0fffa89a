// collected_description.h
//
// What the description format collects while a document is parsed, before anything is
// checked against the data-type table and converted into controls and ports: the controls
// and ports as written, and the "app" text, which is judged once the whole text is read.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "zelph/model/port.h"

namespace zelph::descriptions {

struct JsonEnumItem {
  std::string caption;
  std::string value;
};

struct JsonControl {
  std::string name;
  std::string hint;
  std::string caption;
  std::string description;
  std::string value_type_name;
  std::string value_class_name;
  std::string settings_id;
  std::string edition_kind;
  std::set<std::string> aliases;  // read, but controls keep no aliases
  std::vector<JsonEnumItem> items;
  bool even = false;
  bool odd = false;
  std::optional<double> min;
  std::optional<double> max;
  std::string default_text;
  bool multiline = false;
  int edition_rows = -1;
  std::optional<bool> resource;  // empty when the key was not given
  bool advanced = false;
};

struct JsonPort {
  std::string data_type_name;
  std::string name;
  std::set<std::string> aliases;
  PortType type = PortType::input;
  std::string caption;
  std::string hint;
  bool optional = false;
};

struct CollectedDescription {
  std::string app;
  std::vector<JsonControl> controls;  // in document order
  std::vector<JsonPort> ports;        // "in_ports" and "out_ports" in document order
};

}  // namespace zelph::descriptions
