// statistic_test.cpp
//
// Statistic documents pinned as goldens: the fixed member order, the stage texts and the
// order numbering, the duration summary over none to eleven executions, non-finite values as
// strings, every kind of summary; and what the statistic takes from a worker (its texts,
// with empty error texts for a disabled worker at a reset, and one summary per port of a
// known data kind, in port order).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "port_data_builders.h"
#include "test_model.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/statistic.h"

namespace zelph::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const Statistic::Clock::time_point kStart = Statistic::Clock::time_point() + seconds(1000);

// Replaces every `from` in `text` by `to`.
std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The document text, with the statistic's random id written as "ID".
std::string Rendered(const Statistic& statistic) {
  const StatisticDocument document = statistic.GetDocument();
  if (!document.data) return "(not rendered)";
  return Replace(document.data->GetStr(), statistic.id, "ID");
}

// Runs the chain's statistic through executions of the given lengths, numbered 1, 2, ...
void Execute(Statistic& statistic, const std::vector<milliseconds>& lengths) {
  std::int64_t order = 0;
  for (const milliseconds length : lengths) {
    statistic.BeginExecution(kStart);
    statistic.EndExecution(kStart + length, ++order);
  }
}

TEST(StatisticTest, AFreshStatisticHasItsOwnUuidAndNoDocument) {
  const Statistic first("w", "worker");
  const Statistic second("w", "worker");
  // 8-4-4-4-12 lower-case hexadecimal digits, version 4, the standard variant.
  ASSERT_EQ(first.id.size(), 36u);
  for (std::size_t i = 0; i < first.id.size(); ++i) {
    const char c = first.id[i];
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    EXPECT_TRUE(dash ? c == '-' : (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << first.id;
  }
  EXPECT_EQ(first.id[14], '4');
  EXPECT_NE(std::string("89ab").find(first.id[19]), std::string::npos);
  EXPECT_NE(first.id, second.id);
  EXPECT_EQ(first.stage, kStageInit);
  EXPECT_EQ(first.order, 0);
  EXPECT_EQ(first.GetDocument().data, nullptr);
}

TEST(StatisticTest, ChainDocuments) {
  Statistic chain("chain-1", "chain");
  chain.Reset(kStageLoad, 2);
  EXPECT_EQ(Rendered(chain),
            R"({"id":"ID","object_id":"chain-1","type":"chain","name":"","stage":"load","order":2,)"
            R"("error_message":"","error_class_name":"","stack_trace":"","system_name":"",)"
            R"("duration":{"last":0.0,"min":0.0,"max":0.0,"average":0.0,"range":0.0},)"
            R"("details":[]})");

  // The writer's doubles read back as the same value (here 7/3), not always in the
  // fewest digits.
  Execute(chain, {seconds(1), seconds(2), seconds(4)});
  EXPECT_EQ(Rendered(chain),
            R"({"id":"ID","object_id":"chain-1","type":"chain","name":"","stage":"executed",)"
            R"("order":3,"error_message":"","error_class_name":"","stack_trace":"",)"
            R"("system_name":"","duration":{"last":4.0,"min":1.0,"max":4.0,)"
            R"("average":2.3333333333333337,"range":3.0},"details":[]})");
  EXPECT_EQ(std::stod("2.3333333333333337"), 7.0 / 3);
}

TEST(StatisticTest, DurationsOfTheLastTenExecutions) {
  struct Case {
    std::vector<milliseconds> lengths;
    std::string duration;
  };
  std::vector<milliseconds> one_to_eleven;
  for (int i = 1; i <= 11; ++i) one_to_eleven.push_back(seconds(i));
  const Case kCases[] = {
      {{}, R"({"last":0.0,"min":0.0,"max":0.0,"average":0.0,"range":0.0})"},
      {{milliseconds(1500)}, R"({"last":1.5,"min":1.5,"max":1.5,"average":1.5,"range":0.0})"},
      {{seconds(1), seconds(2)}, R"({"last":2.0,"min":1.0,"max":2.0,"average":1.5,"range":1.0})"},
      {{seconds(2), seconds(8), seconds(1), seconds(4)},
       R"({"last":4.0,"min":1.0,"max":8.0,"average":3.75,"range":7.0})"},
      // The first of eleven is dropped.
      {one_to_eleven, R"({"last":11.0,"min":2.0,"max":11.0,"average":6.5,"range":9.0})"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.lengths.size());
    Statistic chain("chain-1", "chain");
    chain.Reset(kStageInit, 0);
    Execute(chain, c.lengths);
    EXPECT_NE(Rendered(chain).find(R"("duration":)" + c.duration + ","), std::string::npos)
        << Rendered(chain);
    EXPECT_LE(chain.durations.size(), Statistic::kMaxDurations);
  }
}

TEST(StatisticTest, StageTexts) {
  const std::pair<int, const char*> kCases[] = {{0, "init"}, {1, "executing"}, {2, "executed"},
                                                {3, "load"}, {4, "undefined"}, {-1, "undefined"}};
  for (const auto& [stage, text] : kCases) EXPECT_STREQ(StatisticStageName(stage), text);
}

TEST(StatisticTest, SummariesInTheDocument) {
  Statistic worker("w-1", "worker");
  const double inf = std::numeric_limits<double>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const auto infinite = static_cast<float>(inf);
  // Channel 0 begins with NaN, which the range keeps; channel 1 holds both infinities.
  std::vector<float> values(4 * 2 * 2, 1.0f);
  values[0] = nan;
  values[3] = -infinite;
  values[13] = infinite;
  const std::vector<char> bytes = Bytes(values);
  auto mat = std::make_shared<PortDataMat>();
  const std::size_t dims[] = {4, 2};
  mat->SetDataAndCopy(dims, 2, 2, kDepth32F, bytes.data(), bytes.size());
  worker.AddDetail(std::make_shared<MatStatisticDetail>("m", mat));
  worker.AddDetail(std::make_shared<NumbersStatisticDetail>(
      "n", MakeNumbers(DataTypeShort::GetInstance(), Bytes(std::vector<std::int16_t>{-1, 2}), 2)));
  worker.AddDetail(std::make_shared<NumbersStatisticDetail>(
      "d", MakeNumbers(
               DataTypeDouble::GetInstance(),
               Bytes(std::vector<double>{std::numeric_limits<double>::quiet_NaN(), inf, -inf, 0.1}),
               4)));
  worker.AddDetail(std::make_shared<NumbersStatisticDetail>(
      "z", MakeNumbers(DataTypeInt32::GetInstance(), Bytes(std::vector<int>{1, 2, 3}), 0)));
  worker.AddDetail(std::make_shared<ScalarStatisticDetail>(
      "s", std::make_shared<PortDataScalar>(std::string("say \"hi\""))));
  worker.AddDetail(nullptr);
  EXPECT_EQ(
      Rendered(worker),
      R"({"id":"ID","object_id":"w-1","type":"worker","name":"","stage":"init","order":0,)"
      R"("error_message":"","error_class_name":"","stack_trace":"","system_name":"",)"
      R"("duration":{"last":0.0,"min":0.0,"max":0.0,"average":0.0,"range":0.0},"details":[)"
      R"({"id":"m","@type":"MatStatisticDetail","initialized":true,"depth":5,"dims":[4,2],)"
      R"("channels":[{"min":"NaN","max":"NaN"},{"min":"-Infinity","max":"Infinity"}]},)"
      R"({"id":"n","@type":"NumbersStatisticDetail","initialized":true,"blockLength":2,)"
      R"("numberOfBlocks":1,"dataType":"short","numbers":[65535.0,2.0]},)"
      R"({"id":"d","@type":"NumbersStatisticDetail","initialized":true,"blockLength":4,)"
      R"("numberOfBlocks":1,"dataType":"double","numbers":["NaN","Infinity","-Infinity",0.1]},)"
      R"({"id":"z","@type":"NumbersStatisticDetail","initialized":true,"blockLength":0,)"
      R"("numberOfBlocks":0,"dataType":"int","numbers":[]},)"
      R"({"id":"s","@type":"ScalarStatisticDetail","initialized":true,"scalar":"say \"hi\""}]})");
}

// A run only notes the matrices; their ranges are scanned when a document is first rendered,
// once per matrix object, and every later run with the same object reuses them. The bytes
// are written in place here, which no producer may do, only to see when they are read.
TEST(StatisticTest, MatrixRangesAreReadWhenRenderedAndOncePerObject) {
  const auto worker = MakeTestWorker(Script::kFailing);
  Port* output = worker->FindPortByName(PortType::output, "output", false);
  const auto frame = MakeMat(kDepth8U, 1, {3, 9}, 2);
  output->SetData(frame);
  Statistic statistic(worker->GetId(), "worker");
  const auto run = [&](std::int64_t order) {
    statistic.BeginWorkerExecution(kStart);
    statistic.FinishFromWorker(*worker, kStart + milliseconds(1), order);
  };
  const auto channels = [&] {
    const std::string text = Rendered(statistic);
    const auto begin = text.find(R"("channels":)");
    return begin == std::string::npos ? text
                                      : text.substr(begin, text.find(']', begin) + 1 - begin);
  };

  run(1);
  frame->GetData()[0] = 1;  // after the run, before the first read: the read sees it
  EXPECT_EQ(channels(), R"("channels":[{"min":1.0,"max":9.0}])");
  frame->GetData()[0] = 0;  // after the first read: neither a new run nor a read scans again
  run(2);
  EXPECT_EQ(channels(), R"("channels":[{"min":1.0,"max":9.0}])");
  // A new object on the port is scanned for itself.
  output->SetData(MakeMat(kDepth8U, 1, {4, 5}, 2));
  run(3);
  EXPECT_EQ(channels(), R"("channels":[{"min":4.0,"max":5.0}])");
}

TEST(StatisticTest, ADocumentShowsTheStateOfTheLastChangeStampedWhenItWasMade) {
  Statistic chain("c", "chain");
  const auto before_reset = std::chrono::system_clock::now();
  chain.Reset(kStageInit, 1);
  const auto after_reset = std::chrono::system_clock::now();
  // Not read in between: the chain's start still does not show.
  chain.BeginExecution(kStart);
  const StatisticDocument document = chain.GetDocument();
  EXPECT_NE(document.data->GetStr().find(R"("stage":"init")"), std::string::npos);
  EXPECT_GE(document.rendered, before_reset);
  EXPECT_LE(document.rendered, after_reset);
  // Read again without a change: the same document.
  EXPECT_EQ(chain.GetDocument().data, document.data);
}

TEST(StatisticTest, ExecutionStartsAreRenderedForWorkersOnly) {
  Statistic chain("c", "chain");
  chain.Reset(kStageInit, 1);
  const StatisticDocument before = chain.GetDocument();
  chain.BeginExecution(kStart);
  EXPECT_EQ(chain.GetDocument().data, before.data);
  EXPECT_EQ(chain.stage, kStageExecuting);

  Statistic worker("w", "worker");
  worker.AddDetail(std::make_shared<ScalarStatisticDetail>(
      "s", std::make_shared<PortDataScalar>(std::string("x"))));
  const auto rendered_before = std::chrono::system_clock::now();
  worker.BeginWorkerExecution(kStart);
  EXPECT_NE(Rendered(worker).find(R"("stage":"executing")"), std::string::npos);
  EXPECT_NE(Rendered(worker).find(R"("details":[])"), std::string::npos);
  EXPECT_GE(worker.GetDocument().rendered, rendered_before);
  EXPECT_EQ(worker.start, kStart);
}

constexpr char kWorkerId[] = "aaaaaaaa-0000-4000-8000-000000000001";

// A failed worker: its errors are recorded on it and its run leaves these port data.
std::shared_ptr<TestWorker> MakeFailedWorker() {
  auto worker = MakeTestWorker(Script::kFailing, kWorkerId);
  worker->GetSystemProperties()->SetValue("name", std::string("cam"));
  worker->Execute(ExecutionStage::kRunTime);
  return worker;
}

// Port data of a kind a statistic does not summarise.
class OtherData : public PortData {
 public:
  OtherData() : PortData(DataTypeInt32::GetInstance()) {}
  void ResetData() override {}
};

TEST(StatisticTest, TextsAndSummariesOfAWorker) {
  for (const bool enabled : {true, false}) {
    SCOPED_TRACE(enabled ? "enabled" : "disabled");
    const auto worker = MakeFailedWorker();
    worker->GetSystemProperties()->SetValue("enabled", enabled);
    Statistic statistic(worker->GetId(), "worker");

    statistic.ResetFromWorker(*worker, kStageInit, 4);
    // A disabled worker shows no error after a reset, and its own once it has executed.
    const std::string errors =
        enabled ? R"("error_message":"Scripted failure","error_class_name":"ScriptedError",)"
                : R"("error_message":"","error_class_name":"",)";
    EXPECT_EQ(Rendered(statistic),
              R"({"id":"ID","object_id":"aaaaaaaa-0000-4000-8000-000000000001","type":"worker",)"
              R"("name":"Failing","stage":"init","order":4,)" +
                  errors +
                  R"("stack_trace":"","system_name":"cam","duration":{"last":0.0,"min":0.0,)"
                  R"("max":0.0,"average":0.0,"range":0.0},"details":[]})");

    Port* input = worker->FindPortByName(PortType::input, "input", false);
    Port* output = worker->FindPortByName(PortType::output, "output", false);
    Port* count = worker->FindPortByName(PortType::input_control, "count", false);
    Port* label = worker->FindPortByName(PortType::input_control, "label", false);
    input->SetData(MakeMat(kDepth8U, 1, {3, 9}, 2));
    output->SetData(MakeNumbers(DataTypeInt32::GetInstance(), Bytes(std::vector<int>{7, 8, 9}), 3));
    count->SetData(std::make_shared<PortDataScalar>(12));
    label->SetData(std::make_shared<OtherData>());
    statistic.BeginWorkerExecution(kStart);
    statistic.FinishFromWorker(*worker, kStart + milliseconds(250), 7);
    EXPECT_EQ(
        Rendered(statistic),
        Replace(Replace(Replace(R"({"id":"ID","object_id":"aaaaaaaa-0000-4000-8000-000000000001",)"
                                R"("type":"worker","name":"Failing","stage":"executed","order":7,)"
                                R"("error_message":"Scripted failure",)"
                                R"("error_class_name":"ScriptedError","stack_trace":"",)"
                                R"("system_name":"cam","duration":{"last":0.25,"min":0.25,)"
                                R"("max":0.25,"average":0.25,"range":0.0},"details":[)"
                                R"({"id":"INPUT","@type":"MatStatisticDetail",)"
                                R"("initialized":true,"depth":0,"dims":[2,1],)"
                                R"("channels":[{"min":3.0,"max":9.0}]},)"
                                R"({"id":"OUTPUT","@type":"NumbersStatisticDetail",)"
                                R"("initialized":true,"blockLength":3,"numberOfBlocks":1,)"
                                R"("dataType":"int","numbers":[7.0,8.0,9.0]},)"
                                R"({"id":"COUNT","@type":"ScalarStatisticDetail",)"
                                R"("initialized":true,"scalar":"12"}]})",
                                "INPUT", input->GetId()),
                        "OUTPUT", output->GetId()),
                "COUNT", count->GetId()));
  }
}

}  // namespace
}  // namespace zelph::testing
