// Links: ends, the source port's linked set, and transmission by port kinds.
#include <gtest/gtest.h>

#include "capturing_logger.h"
#include "test_model.h"
#include "zelph/model/link.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"

namespace zelph::testing {
namespace {

Port* PortOf(const std::shared_ptr<TestWorker>& worker, PortType type, const char* name) {
  return worker->FindPortByName(type, name, false);
}

Port* Output(const std::shared_ptr<TestWorker>& worker) {
  return PortOf(worker, PortType::output, "output");
}
Port* Input(const std::shared_ptr<TestWorker>& worker) {
  return PortOf(worker, PortType::input, "input");
}

TEST(LinkTest, LinkedSetFollowsTheEnds) {
  auto a = MakeTestWorker(Script::kPassThrough);
  auto b = MakeTestWorker(Script::kPassThrough);
  auto c = MakeTestWorker(Script::kPassThrough);
  Link to_b(a, Output(a), b, Input(b));
  Link to_c(a, Output(a), c, Input(c));
  EXPECT_EQ(Output(a)->GetLinkedPortCount(), 2u);
  EXPECT_NE(to_b.GetId(), to_c.GetId());
  to_b.Unlink();
  EXPECT_EQ(Output(a)->GetLinkedPortCount(), 1u);
  EXPECT_FALSE(to_b.GetSrcWorker());
  EXPECT_FALSE(to_b.GetDstWorker());
  EXPECT_EQ(to_b.GetSrcPort(), nullptr);

  Link plugged;
  plugged.Plug(c, Input(c));
  EXPECT_EQ(plugged.GetDstWorker(), c);
  EXPECT_FALSE(plugged.GetSrcWorker());
  Port unknown;
  EXPECT_TRUE(plugged.Plug(b, &unknown));
  EXPECT_FALSE(plugged.GetSrcWorker());
  plugged.Plug(b, Output(b));
  EXPECT_EQ(Output(b)->GetLinkedPortCount(), 1u);

  CapturingLogger log;
  plugged.Unplug(Input(a));  // neither end, by id
  EXPECT_EQ(log.Text(), "[trace] DetachLinkFromPort\n");
  plugged.Unplug(Input(c));
  EXPECT_EQ(Output(b)->GetLinkedPortCount(), 0u);
  EXPECT_FALSE(plugged.GetDstWorker());
  EXPECT_EQ(plugged.GetSrcWorker(), b);
}

// A replaced end leaves nothing behind in the old source port's set: the entry would outlive
// the link and, once its worker is gone, point to a freed port.
TEST(LinkTest, ReplacedEndLeavesNoStaleEntry) {
  struct Case {
    const char* name;
    void (*replace)(Link&, const std::shared_ptr<TestWorker>&);
    bool source_replaced;
  };
  const Case cases[] = {
      {"SetSrcPort", [](Link& l, const std::shared_ptr<TestWorker>& w) { l.SetSrcPort(Output(w)); },
       true},
      {"Plug output", [](Link& l, const std::shared_ptr<TestWorker>& w) { l.Plug(w, Output(w)); },
       true},
      {"SetDestPort",
       [](Link& l, const std::shared_ptr<TestWorker>& w) { l.SetDestPort(Input(w)); }, false},
      {"Plug input", [](Link& l, const std::shared_ptr<TestWorker>& w) { l.Plug(w, Input(w)); },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto a = MakeTestWorker(Script::kPassThrough);
    auto b = MakeTestWorker(Script::kPassThrough);
    auto replacement = MakeTestWorker(Script::kPassThrough);
    Link link(a, Output(a), b, Input(b));
    c.replace(link, replacement);
    if (c.source_replaced) {
      EXPECT_EQ(Output(a)->GetLinkedPortCount(), 0u);
      EXPECT_EQ(Output(replacement)->GetLinkedPortCount(), 1u);
    } else {
      EXPECT_EQ(Output(a)->GetLinkedPortCount(), 1u);
      Output(a)->ForEachLinkedPorts([&](Port* port) { EXPECT_EQ(port, Input(replacement)); });
    }
  }
}

TEST(TransmitTest, OutputToInputSharesTheDataObject) {
  auto a = MakeTestWorker(Script::kPassThrough);
  auto b = MakeTestWorker(Script::kPassThrough);
  Link link(a, Output(a), b, Input(b));
  auto data = std::make_shared<PortDataScalar>(std::string("x"));
  Output(a)->SetData(data);
  link.TransmitData();
  EXPECT_EQ(Input(b)->GetData(), data);
  data->Set(std::string("changed"));
  EXPECT_EQ(CastToScalar(Input(b)->GetData().get())->GetStr(), "changed");
  Output(a)->ResetData();
  link.TransmitData();
  EXPECT_FALSE(Input(b)->GetData());
}

// Every pair of port kinds: what reaches the destination, or the error line.
TEST(TransmitTest, RulesByPortKinds) {
  struct Case {
    PortType from;
    const char* from_name;
    PortType to;
    const char* to_name;
    std::shared_ptr<IPortData> source_data;
    std::string expected_property;  // destination's "label" or "count" as text; "-" unset
    std::string expected_input;     // destination input's scalar text; "-" no data
    std::string expected_log;
  };
  auto scalar = [](const char* text) {
    return std::make_shared<PortDataScalar>(std::string(text));
  };
  const Case cases[] = {
      {PortType::output, "output", PortType::input_control, "label", scalar("hello"), "hello", "-",
       ""},
      {PortType::output, "output", PortType::input_control, "count", scalar("12.7"), "12", "-", ""},
      {PortType::output, "output", PortType::input_control, "label",
       std::make_shared<PortDataScalar>(), "-", "-", ""},
      {PortType::output, "output", PortType::input_control, "label",
       std::make_shared<PortDataNumbers>(), "-", "-", ""},
      {PortType::output_control, "label", PortType::input, "input", nullptr, "-", "source label",
       ""},
      {PortType::output_control, "label", PortType::input_control, "label", nullptr, "source label",
       "-", ""},
      {PortType::input, "input", PortType::output, "output", scalar("x"), "-", "-",
       "[error] Transmitter can't be created: 'Unknown transmitter type', src type: 'input', "
       "dest type: 'output'\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(PortTypeToString(c.from)) + " -> " + PortTypeToString(c.to) + " " +
                 c.to_name);
    auto a = MakeTestWorker(Script::kPassThrough);
    auto b = MakeTestWorker(Script::kPassThrough);
    a->SetPropertyValue("label", std::string("source label"));
    Port* from = PortOf(a, c.from, c.from_name);
    Port* to = PortOf(b, c.to, c.to_name);
    from->SetData(c.source_data);
    Link link(a, from, b, to);
    CapturingLogger log(ZelphSeverityLevel::kInfo);
    link.TransmitData();
    EXPECT_EQ(log.Text(), c.expected_log);
    const std::string property = b->GetProperties()->GetValueAsString(c.to_name, "-");
    EXPECT_EQ(property, c.expected_property);
    auto input = Input(b)->GetData();
    EXPECT_EQ(input ? CastToScalar(input.get())->GetStr() : "-", c.expected_input);
  }
}

TEST(TransmitTest, SkipsWhenTheDestinationDeclinesTheInput) {
  for (int answer : {-1, 0, 1}) {
    auto a = MakeTestWorker(Script::kPassThrough);
    auto b = MakeTestWorker(Script::kPassThrough);
    b->SetInputNecessary(answer);
    Link link(a, Output(a), b, Input(b));
    Output(a)->SetData(std::make_shared<PortDataScalar>(1));
    CapturingLogger log;
    link.TransmitDataIfNecessary();
    EXPECT_EQ(Input(b)->GetData() != nullptr, answer != 0) << answer;
    EXPECT_EQ(log.Text().find("Skip transmit data PassThrough[output] -> PassThrough[input]") !=
                  std::string::npos,
              answer == 0);
  }
}

}  // namespace
}  // namespace zelph::testing
