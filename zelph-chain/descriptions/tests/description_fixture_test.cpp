// description_fixture_test.cpp
//
// Whole description files through DeserializeModelFromJsonFile: what each one leaves in
// the model, and the first error it logs.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <variant>

#include "description_test_support.h"

namespace zelph::testing {
namespace {

struct FixtureCase {
  const char* file;
  bool read;
  const char* first_error;  // empty when nothing is logged at error level
  std::function<void(const BaseModelStructure&)> check;
};

void CheckMinimal(const BaseModelStructure& s) {
  EXPECT_EQ(s.GetStructureAsJson(), "{}\n");
  EXPECT_EQ(s.GetExecutionStage(), ExecutionStage::kRunTime);
  EXPECT_EQ(s.GetOptionalFlags(), 0u);
  EXPECT_EQ(s.GetName(), "");
  EXPECT_FALSE(s.HasControls());
  EXPECT_TRUE(s.GetPorts().empty());
}

void CheckFull(const BaseModelStructure& s) {
  EXPECT_EQ(s.GetVersion(), "1.2.0");
  EXPECT_EQ(s.GetUuid(), "6b1c2d3e-0000-4000-8000-00000000abcd");
  EXPECT_EQ(s.GetName(), "Threshold");
  EXPECT_EQ(s.GetCaption(), "Threshold image");
  EXPECT_EQ(s.GetDescription(), "Turns grey into black and white");
  EXPECT_EQ(s.GetCategory(), "imaging");
  EXPECT_EQ(s.GetLanguage(), "java");
  EXPECT_EQ(s.GetHelpFile(), "threshold.html");
  EXPECT_EQ(s.GetUrl(), "https://example.invalid/threshold");
  EXPECT_EQ(s.GetTags(), (std::set<std::string>{"binary", "image"}));
  EXPECT_EQ(s.GetRoleClassName(), "filter");
  EXPECT_EQ(s.GetOwnerName(), "Imaging");
  EXPECT_EQ(s.GetOwnerId(), "own-1");
  EXPECT_EQ(s.GetOwnerContextId(), "ctx-1");
  EXPECT_EQ(s.GetOptionalFlags(), kDataModel | kCopyModel | kRelativePathModel);
  EXPECT_EQ(s.GetExecutionStage(), ExecutionStage::kLoadingTime);
  EXPECT_EQ(s.GetJavaClass(), "org/example/Threshold");
  EXPECT_EQ(s.GetJavaNewInstanceMethod(), "create");
  EXPECT_EQ(s.GetJavaNewInstanceMethodSignature(), "()Lorg/example/Threshold;");

  ASSERT_EQ(s.GetPorts().size(), 2u);
  const Port* image = s.GetPorts()[0];
  EXPECT_EQ(image->GetType(), PortType::input);
  EXPECT_TRUE(DataTypeMat::Equals(image->GetDataType()));
  EXPECT_EQ(image->GetName(), "image");
  EXPECT_EQ(image->GetCaption(), "Image");
  EXPECT_EQ(image->GetHint(), "grey image");
  EXPECT_EQ(image->GetAliases(), (std::set<std::string>{"input", "src"}));
  EXPECT_FALSE(image->IsOptional());
  const Port* binary = s.GetPorts()[1];
  EXPECT_EQ(binary->GetType(), PortType::output);
  EXPECT_EQ(binary->GetName(), "binary");
  EXPECT_TRUE(binary->IsOptional());

  const auto controls = s.GetControls();
  ASSERT_EQ(controls.size(), 3u);
  const BaseControl& level = controls[0];
  EXPECT_EQ(level.GetName(), "level");
  EXPECT_EQ(level.GetCaption(), "Level");
  EXPECT_EQ(level.GetHint(), "0..255");
  EXPECT_EQ(level.GetDescription(), "cut-off");
  EXPECT_TRUE(DataTypeInt32::Equals(level.GetValueType()));
  EXPECT_EQ(level.GetValueTypeName(), "int32");
  EXPECT_EQ(level.GetEditionKind(), ControlKind::kRange);
  EXPECT_EQ(level.GetMin(), 0.0);
  EXPECT_EQ(level.GetMax(), 255.0);
  EXPECT_EQ(std::get<int>(level.GetDefault().value), 128);
  EXPECT_TRUE(level.GetDefault().changed);
  EXPECT_EQ(level.GetParity(), ControlParity::kOdd);
  EXPECT_TRUE(level.IsAdvanced());
  EXPECT_FALSE(level.IsResource());
  EXPECT_EQ(level.GetSettingsId(), "lvl");

  const BaseControl& mode = controls[1];
  EXPECT_TRUE(DataTypeScalar::Equals(mode.GetValueType()) ||
              DataTypeStr::Equals(mode.GetValueType()));
  EXPECT_EQ(mode.GetEditionKind(), ControlKind::kEnum);
  EXPECT_EQ(std::get<std::string>(mode.GetDefault().value), "binary");
  const auto items = mode.GetValues();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].value, "binary");
  EXPECT_EQ(items[0].caption, "Binary");
  EXPECT_EQ(items[1].value, "2");
  EXPECT_EQ(items[1].caption, "Otsu");
  EXPECT_FALSE(mode.HasMin());

  const BaseControl& target = controls[2];
  EXPECT_EQ(target.GetEditionKind(), ControlKind::kFolder);
  EXPECT_TRUE(target.IsResource());
  EXPECT_TRUE(target.IsMultiline());
  EXPECT_EQ(target.GetEditionRows(), 3);
  EXPECT_EQ(target.GetValueClassName(), "java.io.File");
  EXPECT_EQ(std::get<std::string>(target.GetDefault().value), "");
}

void CheckBadControl(const BaseModelStructure& s) {
  EXPECT_EQ(s.GetName(), "Broken");
  EXPECT_EQ(s.GetCaption(), "");  // after the failing control
  EXPECT_FALSE(s.HasControls());  // collected controls are dropped
}

void CheckBadPort(const BaseModelStructure& s) {
  ASSERT_EQ(s.GetControls().size(), 1u);  // converted before the ports
  EXPECT_EQ(std::get<double>(s.GetControls()[0].GetDefault().value), 1.5);
  EXPECT_TRUE(s.GetPorts().empty());  // not even the port before the bad one
}

void CheckPortOrder(const BaseModelStructure& s) {
  ASSERT_EQ(s.GetPorts().size(), 3u);
  EXPECT_EQ(s.GetPorts()[0]->GetName(), "result");
  EXPECT_EQ(s.GetPorts()[0]->GetType(), PortType::output);
  EXPECT_TRUE(DataTypeNumbers::Equals(s.GetPorts()[0]->GetDataType()));
  EXPECT_EQ(s.GetPorts()[1]->GetName(), "factor");
  EXPECT_EQ(s.GetPorts()[2]->GetName(), "image");
  EXPECT_EQ(s.GetPorts()[2]->GetType(), PortType::input);
}

void CheckObjectDefault(const BaseModelStructure& s) {
  ASSERT_EQ(s.GetControls().size(), 1u);
  EXPECT_EQ(std::get<std::string>(s.GetControls()[0].GetDefault().value),
            "{\n"
            "  \"a\": [\n"
            "    1,\n"
            "    null\n"
            "  ],\n"
            "  \"quote \\\"x\\\"\": 1234567,\n"
            "  \"empty\": {},\n"
            "  \"list\": []\n"
            "}");
}

void CheckParentAsModel(const BaseModelStructure& s) {
  EXPECT_EQ(s.GetName(), "Parent name is not taken");
  EXPECT_FALSE(s.HasControls());
}

void CheckDeprecatedApp(const BaseModelStructure& s) { EXPECT_EQ(s.GetName(), "Old"); }

TEST(DescriptionFixtures, ReadThroughTheFileEntryPoint) {
  const FixtureCase cases[] = {
      {"minimal.json", true, "", CheckMinimal},
      {"full.json", true, "", CheckFull},
      {"bad_control.json", false, "Json control 'bad' unsupported value_type: 'no_such_type'",
       CheckBadControl},
      {"bad_port.json", false, "Data type not found: hologram", CheckBadPort},
      {"ports_out_of_order.json", true, "", CheckPortOrder},
      {"object_default.json", true, "", CheckObjectDefault},
      // As a model description, the parent's control lacks its value type.
      {"parent.json", false, "Json control 'ignored' 'value_type' expected", CheckParentAsModel},
      {"deprecated_app.json", true, "", CheckDeprecatedApp},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const ReadResult result = ReadFile(FixturePath(c.file));
    EXPECT_EQ(result.read, c.read);
    EXPECT_EQ(FirstError(result.log), c.first_error);
    c.check(result.structure);
  }
}

TEST(DescriptionFixtures, FailureLogsTheReasonThenTheWholeText) {
  const ReadResult result = ReadFile(FixturePath("bad_port.json"));
  const auto second = result.log.find("[error] {", result.log.find("Data type not found"));
  ASSERT_NE(second, std::string::npos);
  EXPECT_NE(result.log.find("\"hologram\"", second), std::string::npos);
  EXPECT_EQ(result.structure.GetStructureAsJson().substr(0, 1), "{");
}

TEST(DescriptionFixtures, DeprecatedAppWarnsWithTheStructure) {
  const ReadResult result = ReadFile(FixturePath("deprecated_app.json"));
  EXPECT_NE(result.log.find("[warning] 'app' value 'data-process-model-description' is "
                            "deprecated, using 'executer' details: legacy.Old uuid:  [0] role: "),
            std::string::npos)
      << result.log;
  EXPECT_EQ(ReadFile(FixturePath("full.json")).log.find("[warning]"), std::string::npos);
}

}  // namespace
}  // namespace zelph::testing
