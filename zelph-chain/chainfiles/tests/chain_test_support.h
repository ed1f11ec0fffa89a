// chain_test_support.h
//
// Helpers for the chain file tests: fixture texts, a readable dump of a property bag, and
// an equality check of two DataChain structures field by field.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "zelph/chainfiles/data_chain.h"

namespace zelph::testing {

inline std::string FixturePath(const std::string& name) {
  return std::string(ZELPH_CHAINFILES_FIXTURES) + "/" + name;
}

inline std::string FixtureText(const std::string& name) {
  std::ifstream in(FixturePath(name), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

inline std::map<std::string, PropertyVariant> Entries(const Property& bag) {
  std::map<std::string, PropertyVariant> entries;
  const_cast<Property&>(bag).ForEach(
      [&](const std::string& key, PropertyValue& value) { entries.emplace(key, value.value); });
  return entries;
}

// Everything but the executor text, which only the document reader fills.
inline void ExpectSameChain(const DataChain& a, const DataChain& b) {
  EXPECT_EQ(a.app, b.app);
  EXPECT_EQ(a.version, b.version);
  EXPECT_EQ(a.id, b.id);
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.description, b.description);
  EXPECT_EQ(a.category, b.category);
  EXPECT_EQ(a.all, b.all);
  EXPECT_EQ(a.multithreading, b.multithreading);
  EXPECT_EQ(a.ignore_exceptions, b.ignore_exceptions);
  EXPECT_EQ(Entries(a.properties), Entries(b.properties));
  ASSERT_EQ(a.workers.size(), b.workers.size());
  for (std::size_t i = 0; i < a.workers.size(); ++i) {
    const DataWorker& x = a.workers[i];
    const DataWorker& y = b.workers[i];
    SCOPED_TRACE(x.ToString());
    EXPECT_EQ(x.id, y.id);
    EXPECT_EQ(x.executor_id, y.executor_id);
    EXPECT_EQ(x.execution_stage, y.execution_stage);
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(Entries(x.properties), Entries(y.properties));
    EXPECT_EQ(Entries(x.system), Entries(y.system));
    ASSERT_EQ(x.ports.size(), y.ports.size());
    for (std::size_t p = 0; p < x.ports.size(); ++p) {
      EXPECT_EQ(x.ports[p].id, y.ports[p].id);
      EXPECT_EQ(x.ports[p].kind, y.ports[p].kind);
      EXPECT_EQ(x.ports[p].data_type_id, y.ports[p].data_type_id);
      EXPECT_EQ(x.ports[p].name, y.ports[p].name);
    }
  }
  ASSERT_EQ(a.links.size(), b.links.size());
  for (std::size_t i = 0; i < a.links.size(); ++i) {
    EXPECT_EQ(a.links[i].ToString(), b.links[i].ToString());
  }
}

}  // namespace zelph::testing
