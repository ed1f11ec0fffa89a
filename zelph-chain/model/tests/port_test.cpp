// port_test.cpp
//
// Ports: derived ids, copy and move, the linked set, and the holder's lookups.
#include "zelph/model/port.h"

#include <gtest/gtest.h>

#include <boost/functional/hash.hpp>
#include <boost/uuid/string_generator.hpp>

#include <memory>
#include <string>

#include "zelph/model/port_data_scalar.h"

namespace zelph {
namespace {

const boost::uuids::uuid kWorker =
    boost::uuids::string_generator()("00112233-4455-6677-8899-aabbccddeeff");

std::string IdOf(const boost::uuids::uuid& worker, PortType type, const std::string& name) {
  Port port;
  port.SetType(type);
  port.SetName(name);
  port.GenerateId(worker);
  return port.GetId();
}

TEST(PortIdTest, WorkedExampleAndHashAgreeWithBoostOfThisRelease) {
  EXPECT_EQ(HashPortName("output"), 0x9998168a94fc1664ULL);
  EXPECT_EQ(HashPortName(""), 0u);
  EXPECT_EQ(IdOf(kWorker, PortType::output, "output"), "00112233-0200-0000-6416-fc948a169899");
  EXPECT_EQ(MakePortId(kWorker, PortType::output, "output"),
            IdOf(kWorker, PortType::output, "output"));
  EXPECT_EQ(MakePortId(kWorker, PortType::input_control, ""),
            "00112233-0300-0000-0000-000000000000");
  // Boost 1.74's hash of a string is the hash written out here; later releases differ, the
  // ids must not. Names with bytes 0x80-0xFF take the signed-char path.
  for (const std::string& name :
       {std::string("input"), std::string("\xC3\xA9t\xC3\xA9"), std::string(300, 'x')}) {
    EXPECT_EQ(HashPortName(name), boost::hash<std::string>()(name)) << name;
  }
}

TEST(PortIdTest, IdsDependOnWorkerPrefixTypeAndName) {
  const std::string id = IdOf(kWorker, PortType::input, "image");
  EXPECT_EQ(id.substr(0, 18), "00112233-0100-0000");
  EXPECT_EQ(id, IdOf(kWorker, PortType::input, "image"));
  EXPECT_NE(id, IdOf(kWorker, PortType::output, "image"));
  EXPECT_NE(id, IdOf(kWorker, PortType::input, "Image"));
  // Only the first four bytes of the worker uuid count: workers sharing them collide.
  const auto sibling = boost::uuids::string_generator()("00112233-ffff-ffff-ffff-ffffffffffff");
  EXPECT_EQ(id, IdOf(sibling, PortType::input, "image"));
}

TEST(PortTest, DefaultsAndText) {
  Port port;
  EXPECT_EQ(port.GetType(), PortType::unknown);
  EXPECT_EQ(port.GetDataType(), DataTypeNull::GetInstance());
  EXPECT_EQ(port.GetData(), nullptr);
  EXPECT_TRUE(port.GetAliases().empty());
  EXPECT_EQ(port.GetLinkedPortCount(), 0u);
  EXPECT_FALSE(port.IsOptional());
  port.SetId("id1");
  port.SetName("in");
  EXPECT_EQ(port.ToString(), "Port id: id1, name: in, type: null");
  port.SetDataType(nullptr);
  EXPECT_EQ(port.ToString(), "Port id: id1, name: in, type: ");

  const struct {
    PortType type;
    const char* text;
  } texts[] = {{PortType::input, "input"},
               {PortType::output, "output"},
               {PortType::input_control, "input_control"},
               {PortType::output_control, "output_control"},
               {PortType::unknown, "unknown"},
               {static_cast<PortType>(9), "Unknown port type"}};
  for (const auto& t : texts) EXPECT_STREQ(PortTypeToString(t.type), t.text);
}

TEST(PortTest, CopiesShareDataAndMovesLeaveTypeBehind) {
  Port port;
  port.SetType(PortType::output);
  port.SetOptional(true);
  port.SetName("out");
  port.AddAlias("o");
  port.AddAlias("o");
  auto data = std::make_shared<PortDataScalar>(3);
  port.SetData(data);

  Port copy(port);
  EXPECT_EQ(copy.GetData(), data);
  copy.ResetData();
  EXPECT_EQ(port.GetData(), data);
  EXPECT_EQ(copy.GetAliases().size(), 1u);

  Port moved(std::move(port));
  EXPECT_EQ(moved.GetName(), "out");
  EXPECT_EQ(moved.GetData(), data);
  EXPECT_EQ(port.GetType(), PortType::output);  // NOLINT(bugprone-use-after-move)
  EXPECT_TRUE(port.IsOptional());
  EXPECT_EQ(port.GetName(), "");
  EXPECT_EQ(port.GetData(), nullptr);
  EXPECT_TRUE(port.GetAliases().empty());

  Port assigned;
  assigned = std::move(moved);
  EXPECT_TRUE(assigned.HasAlias("o"));
  EXPECT_FALSE(assigned.HasAlias("O"));
  EXPECT_TRUE(moved.GetAliases().empty());  // NOLINT(bugprone-use-after-move)
}

TEST(PortTest, LinkedSetIsKeyedById) {
  Port source, a, b, twin;
  a.SetId("b-id");
  b.SetId("a-id");
  twin.SetId("b-id");
  source.AddLinkedPort(&a);
  source.AddLinkedPort(&a);
  source.AddLinkedPort(&twin);
  source.AddLinkedPort(&b);
  source.AddLinkedPort(nullptr);
  EXPECT_EQ(source.GetLinkedPortCount(), 2u);
  std::string order;
  source.ForEachLinkedPorts([&](Port* port) { order += port->GetId() + ";"; });
  EXPECT_EQ(order, "a-id;b-id;");
  EXPECT_EQ(source.RemoveLinkedPort("unknown"), nullptr);
  EXPECT_EQ(source.GetLinkedPortCount(), 2u);
  EXPECT_EQ(source.RemoveLinkedPort("b-id"), &a);
  EXPECT_EQ(source.GetLinkedPortCount(), 1u);
}

TEST(PortHolderTest, LookupsByTypeIndexIdAndName) {
  Port ports[4];
  const PortType types[] = {PortType::input, PortType::output, PortType::input_control,
                            PortType::output};
  PortHolder holder;
  for (int i = 0; i < 4; ++i) {
    ports[i].SetType(types[i]);
    ports[i].SetName("p" + std::to_string(i));
    ports[i].SetId("id" + std::to_string(i));
    holder.AddPort(&ports[i]);
  }
  ports[3].AddAlias("p1");  // an alias of a later port never beats an earlier name
  ports[1].AddAlias("result");

  EXPECT_EQ(holder.FindPortByIdx(PortType::output, 1), &ports[3]);
  EXPECT_EQ(holder.FindPortByIdx(PortType::output, 2), nullptr);
  EXPECT_EQ(holder.GetPortCount(PortType::output), 2u);
  EXPECT_EQ(holder.FindPorts(PortType::output), (std::vector<Port*>{&ports[1], &ports[3]}));
  EXPECT_EQ(holder.FindPortById("id2"), &ports[2]);
  EXPECT_EQ(holder.FindPortById(PortType::input, "id2"), nullptr);
  EXPECT_EQ(holder.FindPortByName(PortType::output, "result", true), &ports[1]);
  EXPECT_EQ(holder.FindPortByName(PortType::output, "result", false), nullptr);
  EXPECT_EQ(holder.FindPortByName(PortType::output, "p1", true), &ports[1]);
  EXPECT_EQ(holder.FindPortByName(PortType::input, "p1", true), nullptr);

  PortHolder copy(holder);
  EXPECT_EQ(copy.GetPorts(), holder.GetPorts());
  PortHolder moved(std::move(holder));
  EXPECT_EQ(moved.GetPorts().size(), 4u);
  EXPECT_TRUE(holder.GetPorts().empty());  // NOLINT(bugprone-use-after-move)
}

}  // namespace
}  // namespace zelph
