// chainfile_bench.cpp
//
// Chain files of N workers (half Constant, half Sink) and 2N links, in the project form
// that both back-ends read: reading with each back-end against a bare RapidJSON parse of
// the same text into a document, writing with each writer, and building the live chain.
// The readers report "ratio": the time of a bare parse over the time of a read, with the
// bare parses run beside each read benchmark so that both see the same machine load.
#include <benchmark/benchmark.h>

#include "zelph/config/rapidjson.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <sstream>
#include <string>

#include "chain_test_models.h"
#include "zelph/chainfiles/chain_builder.h"
#include "zelph/chainfiles/chain_document_reader.h"
#include "zelph/chainfiles/chain_stream_reader.h"
#include "zelph/chainfiles/chain_writer.h"
#include "zelph/chains/linked_chain.h"

namespace {

std::string WorkerId(int i) { return fmt::format("{:08x}-0000-4000-8000-000000000000", i); }
std::string PortId(int i) { return fmt::format("{:08x}-0000-4000-8000-00000000ffff", i); }

std::string ChainText(int workers) {
  std::string text = R"({"app":"zelph-project","version":"1.1","zelph_chain":{"executor":{"uuid":)"
                     R"("6a1e0d4c-6f4e-4c62-9a3b-0c1d2e3f4a5b","name":"bench"},"blocks":[)";
  const int half = workers / 2;
  for (int i = 0; i < workers; ++i) {
    const bool constant = i < half;
    if (i != 0) text += ',';
    text += fmt::format(
        R"({{"uuid":"{}","executor_id":"{}","executor_name":"{}","ports":[{{"uuid":"{}",)"
        R"("type":{},"data_type_uuid":"869bc442-bd01-4094-afc1-783b9ed1c24e","name":"{}"}}],)"
        R"("properties":[{{"name":"value","type":"scalar","value":"42"}},)"
        R"({{"name":"factor","type":"double","value":0.25}}],"system":{{"name":"w{}"}}}})",
        WorkerId(i), constant ? zelph::testing::kConstantModel : zelph::testing::kSinkModel,
        constant ? "Constant" : "Sink", PortId(i), constant ? 2 : 1, constant ? "out" : "in", i);
  }
  text += R"(],"links":[)";
  for (int link = 0; link < 2 * workers; ++link) {
    if (link != 0) text += ',';
    const int source = link % half;
    const int destination = half + (link / 4 + link) % (workers - half);
    text += fmt::format(R"({{"uuid":"l{}","src_port_uuid":"{}","dest_port_uuid":"{}"}})", link,
                        PortId(source), PortId(destination));
  }
  return text + "]}}";
}

const std::string& Text(int workers) {
  static std::map<int, std::string> texts;
  auto& text = texts[workers];
  if (text.empty()) text = ChainText(workers);
  return text;
}

void SetBytes(benchmark::State& state, std::size_t size) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BareParse(const std::string& text) {
  rapidjson::Document document;
  document.Parse(text.data(), text.size());
  benchmark::DoNotOptimize(document.IsObject());
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The median time of a few bare parses of `text`.
double BareParseSeconds(const std::string& text) {
  std::array<double, 5> seconds{};
  for (double& run : seconds) {
    const auto start = std::chrono::steady_clock::now();
    BareParse(text);
    run = SecondsSince(start);
  }
  std::sort(seconds.begin(), seconds.end());
  return seconds[seconds.size() / 2];
}

void BM_BareRapidJsonParse(benchmark::State& state) {
  const std::string& text = Text(static_cast<int>(state.range(0)));
  for (auto _ : state) BareParse(text);
  SetBytes(state, text.size());
}

template <typename Read>
void ReadAgainstBareParse(benchmark::State& state, Read read) {
  const std::string& text = Text(static_cast<int>(state.range(0)));
  const double bare = BareParseSeconds(text);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    zelph::DataChain chain;
    benchmark::DoNotOptimize(read(text.data(), text.size(), chain));
  }
  const double per_read = SecondsSince(start) / static_cast<double>(state.iterations());
  state.counters["ratio"] = bare / per_read;
  SetBytes(state, text.size());
}

void BM_ReadStream(benchmark::State& state) {
  ReadAgainstBareParse(state, zelph::ReadChainMiniJson);
}

void BM_ReadDocument(benchmark::State& state) {
  ReadAgainstBareParse(state, zelph::ReadChainJsonText);
}

void BM_Build(benchmark::State& state) {
  zelph::testing::RegisterChainTestModels();
  const std::string& text = Text(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto chain = zelph::LinkedChain::Create();
    benchmark::DoNotOptimize(ParseChain(text, JsonParser::kMiniJson, chain));
  }
}

void BM_Write(benchmark::State& state, JsonParser parser) {
  zelph::testing::RegisterChainTestModels();
  auto chain = zelph::LinkedChain::Create();
  ParseChain(Text(static_cast<int>(state.range(0))), JsonParser::kMiniJson, chain);
  std::size_t size = 0;
  for (auto _ : state) {
    std::ostringstream out;
    WriteChainAsJson(parser, chain, out);
    size = out.str().size();
  }
  SetBytes(state, size);
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(500)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_BareRapidJsonParse)->Apply(Sizes);
BENCHMARK(BM_ReadStream)->Apply(Sizes);
BENCHMARK(BM_ReadDocument)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Write, compact, JsonParser::kMiniJson)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Write, document, JsonParser::kRapidJson)->Apply(Sizes);
BENCHMARK(BM_Build)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
