// description_bench.cpp
//
// Reading model descriptions as a plug-in registers them: 500 generated descriptions of
// about 2 KB each (ports, controls with enumeration items and an object default), each read
// into a new model. Reported per model.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "zelph/descriptions/model_description_reader.h"
#include "zelph/model/data_process_model_base.h"

namespace {

constexpr int kModels = 500;

std::string Description(int index) {
  const std::string n = std::to_string(index);
  std::string text =
      R"({"app": "executer", "version": "1.0.)" + n + R"(", "uuid": "6B1C2D3E-0000-4000-8000-)" +
      std::to_string(100000000000 + index) + R"(", "name": "Model)" + n +
      R"(", "caption": "Model number )" + n +
      R"(", "description": "A generated model used to time the reader",)"
      R"( "category": "bench", "language": "java", "tags": ["bench", "generated"],)"
      R"( "options": {"role": {"main": 0, "class_name": "worker"},)"
      R"( "behavior": {"input": 0, "output": 0, "data": 0}, "stage": "run_time"},)"
      R"( "java": {"class": "org/example/Model)" +
      n +
      R"(", "new_instance_method": "create"},)"
      R"( "in_ports": [{"data_type_name": "mat", "name": "image", "alias": ["src"]},)"
      R"( {"data_type_name": "numbers", "name": "values", "is_optional": 1}],)"
      R"( "out_ports": [{"data_type_name": "mat", "name": "result"}], "controls": [)";
  const char* const types[] = {"int32", "double", "String", "bool", "int64", "float"};
  for (int c = 0; c < 6; ++c) {
    if (c > 0) text += ", ";
    const std::string name = "param" + std::to_string(c);
    text += R"({"name": ")" + name + R"(", "value_type": ")" + types[c] +
            R"(", "edition_type": "enum", "caption": "Parameter )" + std::to_string(c) +
            R"(", "hint": "a hint for the user", "min": 0, "max": 100, "default": )" +
            (c == 2   ? R"({"mode": [1, 2, "three"]})"
             : c == 3 ? "true"
                      : "7") +
            R"(, "items": [{"caption": "Seven", "value": 7}, {"caption": "Eight", "value": 8}]})";
  }
  return text + "]}";
}

void BM_ReadDescriptions(benchmark::State& state) {
  std::vector<std::string> texts;
  std::size_t bytes = 0;
  for (int i = 0; i < kModels; ++i) {
    texts.push_back(Description(i));
    bytes += texts.back().size();
  }
  const auto factory = [](const boost::uuids::uuid&) { return std::shared_ptr<IDataProcess>(); };
  for (auto _ : state) {
    for (const std::string& text : texts) {
      auto model = DataProcessModelBase::Create(factory);
      if (!DeserializeModelFromJson(text.data(), text.size(), JsonParser::kMiniJson, model)) {
        state.SkipWithError("a description failed to read");
        return;
      }
      benchmark::DoNotOptimize(model);
    }
  }
  state.SetItemsProcessed(state.iterations() * kModels);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
  state.counters["bytes_per_model"] = static_cast<double>(bytes) / kModels;
  state.counters["us_per_model"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kModels) / 1e6,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadDescriptions)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
