// Worker properties: typed reads, enabled state, stores converted by control type, bindings.
#include <gtest/gtest.h>

#include "capturing_logger.h"
#include "test_model.h"
#include "zelph/model/property_keys.h"

namespace zelph::testing {
namespace {

BaseControl Control(const std::string& name, IDataType* type) {
  BaseControl control;
  control.SetName(name);
  control.SetValueType(type);
  return control;
}

// A worker whose description has one control per value type.
std::shared_ptr<IDataProcess> WorkerWithTypedControls() {
  auto model = MakeTestModel(Script::kNoOp);
  BaseModelStructure structure = MakeTestStructure("Typed");
  structure.AddControl(Control("i64", DataTypeInt64::GetInstance()));
  structure.AddControl(Control("f", DataTypeFloat::GetInstance()));
  structure.AddControl(Control("d", DataTypeDouble::GetInstance()));
  structure.AddControl(Control("b", DataTypeBool::GetInstance()));
  structure.AddControl(Control("s", DataTypeScalar::GetInstance()));
  structure.AddControl(Control("m", DataTypeMat::GetInstance()));
  model->SetStructure(std::move(structure));
  return model->CreateAndInitializeWorker(model, "s");
}

TEST(WorkerPropertiesTest, NewWorkerReadsDefaults) {
  auto worker = MakeTestWorker(Script::kNoOp);
  EXPECT_TRUE(worker->IsEnabled());
  EXPECT_EQ(worker->GetSystemName(), "");
  EXPECT_EQ(worker->GetCurrentDir(), "");
  EXPECT_EQ(worker->GetPropertyInt32("x", 7), 7);
  EXPECT_EQ(worker->GetPropertyDouble("x", 2.5), 2.5);
  EXPECT_EQ(worker->GetPropertyString("x", "d"), "d");

  worker->SetCurrentDir("/data/in");
  EXPECT_EQ(worker->GetCurrentDir(), "/data/in");
  bool marked = false;
  worker->GetProperties()->ForEach([&](const std::string& key, PropertyValue& value) {
    if (key == sys::kCurrentWorkingFolder) marked = value.changed;
  });
  EXPECT_TRUE(marked);
}

TEST(WorkerPropertiesTest, SystemBagDecidesEnabledAndName) {
  auto worker = MakeTestWorker(Script::kNoOp);
  worker->GetProperties()->SetValue(sys::kEnabled, true);
  worker->GetProperties()->SetValue(sys::kName, std::string("user name"));
  worker->GetSystemProperties()->SetValue("enabled", false);
  EXPECT_FALSE(worker->IsEnabled());
  worker->GetSystemProperties()->SetValue("enabled", std::string("yes"));
  EXPECT_FALSE(worker->IsEnabled());
  EXPECT_EQ(worker->GetSystemName(), "");
  worker->GetSystemProperties()->SetValue("name", std::string("system name"));
  EXPECT_EQ(worker->GetSystemName(), "system name");
}

// A worker never holds a null bag: handing it none installs an empty one.
TEST(WorkerPropertiesTest, NullBagBecomesEmptyBag) {
  auto worker = MakeTestWorker(Script::kNoOp);
  worker->SetProperties(nullptr);
  ASSERT_NE(worker->GetProperties(), nullptr);
  EXPECT_TRUE(worker->IsEnabled());
  EXPECT_EQ(worker->GetCurrentDir(), "");
  worker->SetPropertyValue("count", 3);
  EXPECT_EQ(worker->GetPropertyInt32("count", 0), 3);
}

TEST(WorkerPropertiesTest, StoresConvertToTheControlType) {
  auto worker = WorkerWithTypedControls();
  struct Case {
    const char* control;
    PropertyVariant given;
    PropertyVariant stored;
  };
  const Case cases[] = {
      {"count", std::string("12.7"), 12},
      {"count", 4294967297LL, 1},
      {"count", -3.9, -3},
      {"count", true, 1},
      {"i64", 2.9, 2LL},
      {"i64", std::string(" 42x"), 42LL},
      {"f", std::string("12.7"), 12.7},
      {"d", 5, 5.0},
      {"b", std::string("12.7"), false},
      {"b", std::string("true"), true},
      {"b", 0.0, false},
      {"label", 0.5, std::string("0.500000")},
      {"s", false, std::string("false")},
      {"s", 12LL, std::string("12")},
      {"not a control", 2.5, 2.5},
  };
  for (const Case& c : cases) {
    std::visit([&](const auto& value) { worker->SetPropertyValue(c.control, value); }, c.given);
    EXPECT_EQ(worker->GetProperties()->GetValue(c.control), c.stored)
        << c.control << " given alternative " << c.given.index();
  }
}

TEST(WorkerPropertiesTest, UnsupportedControlTypeIsStoredAsIsWithWarning) {
  auto worker = WorkerWithTypedControls();
  CapturingLogger log;
  worker->SetPropertyValue("m", std::string("picture"));
  EXPECT_EQ(worker->GetProperties()->GetValue("m"), PropertyVariant(std::string("picture")));
  EXPECT_EQ(log.Text(), "[warning] Unsupported data type mat property: m saved as is\n");
  log.Clear();
  worker->SetPropertyValue("not a control", "text");  // a literal is text, not bool
  EXPECT_EQ(worker->GetProperties()->GetValue("not a control"),
            PropertyVariant(std::string("text")));
  EXPECT_EQ(log.Text(), "");
}

class BindingWorker : public TestWorker {
 public:
  BindingWorker() : TestWorker(boost::uuids::uuid{}, Script::kNoOp) {}
  using IDataProcess::BindProperty;
};

TEST(WorkerPropertiesTest, BindingsReceiveConvertedValues) {
  BindingWorker worker;
  int bound = 0;
  std::vector<int> seen;
  worker.BindProperty<int>("count", &bound, [&](const int& value) { seen.push_back(value); });
  std::string text;
  worker.BindProperty<std::string>("label", &text);

  PropertyValue forty_two{true, std::string("42")};
  EXPECT_TRUE(worker.UpdateChangedProperty("count", forty_two));
  EXPECT_EQ(bound, 42);
  EXPECT_EQ(seen, std::vector<int>{42});
  PropertyValue half{true, 0.5};
  EXPECT_TRUE(worker.UpdateChangedProperty("label", half));
  EXPECT_EQ(text, "0.500000");
  EXPECT_TRUE(worker.UpdateChangedProperty("unbound", half));
  EXPECT_EQ(seen.size(), 1u);
}

}  // namespace
}  // namespace zelph::testing
