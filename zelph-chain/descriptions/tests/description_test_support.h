// description_test_support.h
//
// Reads descriptions the way plug-ins do (through the exported entry points, into a model)
// and captures what the reader logs.
#pragma once

#include <memory>
#include <string>

#include "capturing_logger.h"
#include "zelph/descriptions/model_description_reader.h"
#include "zelph/model/data_process_model_base.h"

namespace zelph::testing {

struct ReadResult {
  bool read = false;
  BaseModelStructure structure;
  std::string log;  // "[level] text" lines
};

inline std::shared_ptr<IDataProcessModel> MakeModel() {
  return DataProcessModelBase::Create(
      [](const boost::uuids::uuid&) { return std::shared_ptr<IDataProcess>(); });
}

inline ReadResult ReadText(const std::string& text, JsonParser parser = JsonParser::kMiniJson) {
  CapturingLogger logger;
  auto model = MakeModel();
  const bool read = DeserializeModelFromJson(text.data(), text.size(), parser, model);
  return {read, model->GetStructure(), logger.Text()};
}

inline ReadResult ReadFile(const std::string& path, JsonParser parser = JsonParser::kMiniJson) {
  CapturingLogger logger;
  auto model = MakeModel();
  const bool read = DeserializeModelFromJsonFile(path.c_str(), parser, model);
  return {read, model->GetStructure(), logger.Text()};
}

inline std::string FixturePath(const std::string& name) {
  return std::string(ZELPH_DESCRIPTION_FIXTURES) + "/" + name;
}

// The first line that the reader logged at error level, without its level mark.
inline std::string FirstError(const std::string& log) {
  const std::string mark = "[error] ";
  const auto start = log.find(mark);
  if (start == std::string::npos) return {};
  const auto text = start + mark.size();
  return log.substr(text, log.find('\n', text) - text);
}

}  // namespace zelph::testing
