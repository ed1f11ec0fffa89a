// port_link_test.cpp
//
// Which ports a linked chain reports as touched by a link, after each kind of link edit:
// through the chain (add, remove, clear) and through the link itself (plug, unplug, unlink,
// copy and move assignment; a copy of a link is not the chain's). Three recorder workers A, B and C
// start joined as A -> B -> C.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>

#include "recorder_model.h"
#include "zelph/model/link.h"
#include "zelph/model/port.h"

namespace zelph::testing {
namespace {

struct Line {
  ChainFixture fixture{ExecutionStrategyType::kBase};
  Link* first = nullptr;   // A.output -> B.input
  Link* second = nullptr;  // B.output -> C.input

  Line() {
    for (const char* name : {"A", "B", "C"}) fixture.Add(name);
    first = fixture.Connect("A", "B");
    second = fixture.Connect("B", "C");
  }
  // "B.extra": the worker's port of that name.
  Port* At(const std::string& name) {
    const std::string port = name.substr(2);
    const bool input = port == "input" || port == "second";
    return fixture.Worker(name.substr(0, 1))
        .FindPortByName(input ? PortType::input : PortType::output, port, false);
  }
  std::shared_ptr<IDataProcess> Owner(const std::string& name) {
    return fixture.chain->FindWorker(name.substr(0, 1));
  }
  void Plug(Link* link, const std::string& name) { link->Plug(Owner(name), At(name)); }
};

struct Case {
  const char* name;
  std::function<void(Line&)> edit;
  std::set<std::string> touched;
};

const Case kCases[] = {
    {"as built", [](Line&) {}, {"A.output", "B.input", "B.output", "C.input"}},
    {"link removed",
     [](Line& line) { line.fixture.chain->RemoveLink(line.second->GetId()); },
     {"A.output", "B.input"}},
    {"destination plugged elsewhere",
     [](Line& line) { line.Plug(line.first, "C.second"); },
     {"A.output", "C.second", "B.output", "C.input"}},
    {"source plugged elsewhere",
     [](Line& line) { line.Plug(line.first, "B.extra"); },
     {"B.extra", "B.input", "B.output", "C.input"}},
    {"destination unplugged",
     [](Line& line) { line.first->Unplug(line.At("B.input")); },
     {"A.output", "B.output", "C.input"}},
    {"source set to none",
     [](Line& line) { line.second->SetSrcPort(nullptr); },
     {"A.output", "B.input", "C.input"}},
    {"unlinked", [](Line& line) { line.first->Unlink(); }, {"B.output", "C.input"}},
    {"assigned the other link's ends",
     [](Line& line) { *line.first = *line.second; },
     {"B.output", "C.input"}},
    {"move-assigned a copy of the other link",
     [](Line& line) { *line.first = Link(*line.second); },
     {"B.output", "C.input"}},
    {"copy of a link unlinked",
     [](Line& line) {
       Link copy(*line.first);
       copy.Unlink();
     },
     {"A.output", "B.input", "B.output", "C.input"}},
    {"one of two links on a port removed",
     [](Line& line) {
       line.fixture.Connect("A", "C", "output", "second");
       line.fixture.chain->RemoveLink(line.first->GetId());
     },
     {"A.output", "C.second", "B.output", "C.input"}},
    {"removed link edited afterwards",
     [](Line& line) {
       line.fixture.chain->RemoveLink(line.first->GetId());
       line.Plug(line.first, "C.second");
     },
     {"B.output", "C.input"}},
    {"link added with its ends",
     [](Line& line) {
       line.fixture.chain->AddLink(
           new Link(line.Owner("A"), line.At("A.extra"), line.Owner("C"), line.At("C.second")));
     },
     {"A.output", "A.extra", "B.input", "B.output", "C.input", "C.second"}},
    {"cleared", [](Line& line) { line.fixture.chain->Clear(); }, {}},
};

TEST(PortLinkTest, ChainReportsExactlyThePortsThatLinksTouchAfterEachEdit) {
  const char* const kPorts[] = {"input", "second", "output", "extra"};
  for (const Case& c : kCases) {
    Line line;
    // Ids first: a cleared chain no longer holds its workers.
    std::map<std::string, std::string> ids;
    for (const char* worker : {"A", "B", "C"}) {
      for (const char* port : kPorts) {
        const std::string name = std::string(worker) + "." + port;
        ids[name] = line.At(name)->GetId();
      }
    }
    c.edit(line);
    for (const auto& [name, id] : ids) {
      EXPECT_EQ(line.fixture.chain->HasLinksConnectedWithPort(id), c.touched.count(name) != 0)
          << c.name << ": " << name;
    }
  }
}

}  // namespace
}  // namespace zelph::testing
