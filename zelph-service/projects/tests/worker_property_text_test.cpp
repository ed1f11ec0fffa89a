// worker_property_text_test.cpp
//
// Texts stored into worker properties by the value type of the model's control of that
// name: the conversion table, texts kept whole, and the warning for a type without a
// conversion.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "capturing_logger.h"
#include "settings_chain.h"
#include "zelph/projects/worker_property_text.h"

namespace zelph::testing {
namespace {

BaseControl ControlOf(const std::string& name, const IDataType* type) {
  BaseControl control;
  control.SetName(name);
  control.SetValueType(type);
  control.SetValueTypeName(type->GetName());
  return control;
}

std::shared_ptr<IDataProcess> WorkerWithEveryControlType() {
  BaseModelStructure structure;
  structure.SetName("Typed");
  structure.SetUuid("44444444-4444-4444-8444-444444444444");
  structure.AddControl(ControlOf("int", DataTypeInt32::GetInstance()));
  structure.AddControl(ControlOf("long", DataTypeInt64::GetInstance()));
  structure.AddControl(ControlOf("double", DataTypeDouble::GetInstance()));
  structure.AddControl(ControlOf("float", DataTypeFloat::GetInstance()));
  structure.AddControl(ControlOf("bool", DataTypeBool::GetInstance()));
  structure.AddControl(ControlOf("scalar", DataTypeScalar::GetInstance()));
  structure.AddControl(ControlOf("text", DataTypeStr::GetInstance()));
  structure.AddControl(ControlOf("picture", DataTypeMat::GetInstance()));
  structure.AddControl(ControlOf("small", DataTypeShort::GetInstance()));
  const auto model = MakeSettingsModel(std::move(structure));
  return model->CreateAndInitializeWorker(model, "aaaaaaaa-0000-4000-8000-0000000000c1", "test");
}

TEST(SetWorkerPropertyFromStringTest, ConvertsTheTextByTheControlsValueType) {
  struct Case {
    const char* control;
    std::string text;
    PropertyVariant stored;
  };
  const std::string long_text(1 << 20, 'x');
  const std::string with_nul("a\0b", 3);
  const Case kCases[] = {
      {"int", "12abc", 12},
      {"int", "abc", 0},
      {"int", " -7", -7},
      {"int", "99999999999", INT_MAX},
      {"int", "", 0},
      {"long", "9000000000x", 9000000000LL},
      {"long", "99999999999999999999", LLONG_MAX},
      {"double", "2.5e3", 2500.0},
      {"double", "abc", 0.0},
      {"float", "0.1", 0.1},
      {"bool", "true", true},
      {"bool", "True", false},
      {"bool", "1", false},
      {"bool", "yes", false},
      {"bool", "true ", false},
      {"scalar", long_text, long_text},
      {"text", with_nul, with_nul},
      {"text", "12", std::string("12")},
      {"missing", "12", std::string("12")},
      {"missing", long_text, long_text},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.control) + " <- " + c.text.substr(0, 24));
    const auto worker = WorkerWithEveryControlType();
    CapturingLogger log;
    SetWorkerPropertyFromString(*worker, c.control, c.text);
    EXPECT_EQ(worker->GetProperties()->GetValue(c.control), c.stored);
    int marked = 0;
    worker->GetProperties()->ForEachChanged([&](const std::string&, PropertyValue&) {
      ++marked;
      return false;
    });
    EXPECT_EQ(marked, 1);
    EXPECT_EQ(log.Text().find("[warning]"), std::string::npos) << log.Text();
  }
}

TEST(SetWorkerPropertyFromStringTest, ATypeWithoutAConversionKeepsTheTextAndWarns) {
  const auto worker = WorkerWithEveryControlType();
  CapturingLogger log;
  SetWorkerPropertyFromString(*worker, "picture", "12");
  SetWorkerPropertyFromString(*worker, "small", "34");
  EXPECT_EQ(worker->GetProperties()->GetValue("picture"), PropertyVariant(std::string("12")));
  EXPECT_EQ(worker->GetProperties()->GetValue("small"), PropertyVariant(std::string("34")));
  EXPECT_EQ(log.Text(),
            "[warning] Unsupported data type mat property: picture saved as is\n"
            "[warning] Unsupported data type short property: small saved as is\n");
}

}  // namespace
}  // namespace zelph::testing
