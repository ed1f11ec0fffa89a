// json_bench.cpp
//
// The kMiniJson back-end on a generated chain-like text of about 10 MB: the streaming
// reader lexing and walking every value, against RapidJSON's SAX reader with a handler that
// does nothing; the guarded document parse against RapidJSON's default parse; the compact
// writer. Throughput is reported as bytes per second of JSON text.
#include "zelph/config/rapidjson.h"

#include <benchmark/benchmark.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <sstream>
#include <string>

#include "zelph/config/json_compact_writer.h"
#include "zelph/config/json_stream_reader.h"

namespace {

using zelph::json::StreamValue;

const std::string& Text() {
  static const std::string text = [] {
    std::string out = R"({"app":"zelph-chain","version":"2.0","chain":{"workers":[)";
    for (int i = 0; out.size() < 10'000'000; ++i) {
      if (i > 0) out += ',';
      out += R"({"id":"6f1c2e9a-0000-4000-8000-)" + std::to_string(100000000000 + i) +
             R"(","model":"image.threshold","caption":"Threshold \")" + std::to_string(i) +
             R"(\"","enabled":true,"stage":"run_time","position":{"x":)" +
             std::to_string(i * 13 % 997) + R"(.5,"y":-)" + std::to_string(i % 311) +
             R"(},"properties":[{"name":"level","type":"double","value":0.25},)"
             R"({"name":"count","type":"int32","value":)" +
             std::to_string(i) +
             R"(},{"name":"mask","type":"string","value":null}],"ports":[1,2,3,4.5e-3]})";
    }
    return out + "]}}";
  }();
  return text;
}

size_t Touch(StreamValue& value) {
  size_t sum = 0;
  if (value.IsObject()) {
    value.ReadObject(
        [&](std::string_view name, StreamValue& member) { sum += name.size() + Touch(member); });
  } else if (value.IsArray()) {
    value.ReadArray([&](StreamValue& element) { sum += Touch(element); });
  } else {
    sum += value.Text().size();
  }
  return sum;
}

class Copier : public zelph::json::WalkHandler {
 public:
  explicit Copier(zelph::json::CompactWriter& writer) : writer_(writer) {}
  void BeginObject() override { writer_.StartObject(); }
  void Member(std::string_view name) override { writer_.Key(name); }
  void EndObject() override { writer_.EndObject(); }
  void BeginArray() override { writer_.StartArray(); }
  void EndArray() override { writer_.EndArray(); }
  void Scalar(const StreamValue& value) override {
    if (value.IsString()) {
      writer_.String(value.Text());
    } else if (value.IsNumber()) {
      // Doubles exercise the shortest round-trip formatting.
      if (value.IsInteger()) {
        writer_.Int64(value.Integer());
      } else {
        writer_.Double(value.Number());
      }
    } else if (value.IsBoolean()) {
      writer_.Bool(value.Bool());
    } else {
      writer_.Null();
    }
  }

 private:
  zelph::json::CompactWriter& writer_;
};

void BM_StreamReaderWalk(benchmark::State& state) {
  const std::string& text = Text();
  for (auto _ : state) {
    zelph::json::StreamReader reader(text.data(), text.size());
    size_t sum = 0;
    reader.ReadRoot([&](StreamValue& root) { sum = Touch(root); });
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_StreamReaderWalk);

void BM_StreamReaderLexOnly(benchmark::State& state) {
  const std::string& text = Text();
  for (auto _ : state) {
    zelph::json::StreamReader reader(text.data(), text.size());
    benchmark::DoNotOptimize(&reader);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_StreamReaderLexOnly);

void BM_RapidJsonSaxNullHandler(benchmark::State& state) {
  const std::string& text = Text();
  for (auto _ : state) {
    rapidjson::MemoryStream stream(text.data(), text.size());
    rapidjson::BaseReaderHandler<> handler;
    rapidjson::Reader reader;
    benchmark::DoNotOptimize(reader.Parse(stream, handler).IsError());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_RapidJsonSaxNullHandler);

void BM_DocumentParseGuarded(benchmark::State& state) {
  const std::string& text = Text();
  for (auto _ : state) {
    rapidjson::Document document;
    benchmark::DoNotOptimize(zelph::json::ParseJsonText(text.data(), text.size(), document));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DocumentParseGuarded);

void BM_DocumentParseDefault(benchmark::State& state) {
  const std::string& text = Text();
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse(text.data(), text.size());
    benchmark::DoNotOptimize(document.HasParseError());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DocumentParseDefault);

// The iterative parser on the same stream without the depth guard: splits the guard's cost
// from the parser's.
void BM_DocumentParseIterative(benchmark::State& state) {
  const std::string& text = Text();
  for (auto _ : state) {
    rapidjson::Document document;
    rapidjson::MemoryStream stream(text.data(), text.size());
    document.ParseStream<rapidjson::kParseIterativeFlag>(stream);
    benchmark::DoNotOptimize(document.HasParseError());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DocumentParseIterative);

// The writer fed by a walk of a text lexed once (the walk is part of the time).
void BM_CompactWriter(benchmark::State& state) {
  const std::string& text = Text();
  zelph::json::StreamReader reader(text.data(), text.size());
  size_t written = 0;
  for (auto _ : state) {
    std::ostringstream out;
    {
      zelph::json::CompactWriter writer(out);
      Copier copier(writer);
      reader.ReadRoot([&](StreamValue& root) { root.Walk(copier); });
    }
    written = out.str().size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
  state.counters["output_bytes"] = static_cast<double>(written);
}
BENCHMARK(BM_CompactWriter);

}  // namespace

BENCHMARK_MAIN();
