// Model descriptions: control bounds, option bits, tags, texts and shared description ports.
#include <gtest/gtest.h>

#include <cmath>

#include "zelph/model/model_structure.h"

namespace zelph {
namespace {

TEST(BaseControlTest, DefaultsAndBoundsFollowNaN) {
  BaseControl control;
  EXPECT_FALSE(control.HasMin());
  EXPECT_FALSE(control.HasMax());
  EXPECT_EQ(control.GetEditionRows(), -1);
  EXPECT_EQ(control.GetEditionKind(), ControlKind::kUnknown);
  EXPECT_EQ(control.GetParity(), ControlParity::kAny);
  EXPECT_TRUE(DataTypeNull::Equals(control.GetValueType()));
  EXPECT_TRUE(control.GetDefault().changed);
  EXPECT_EQ(std::get<int>(control.GetDefault().value), 0);

  control.SetMin(5);
  EXPECT_TRUE(control.HasMin());
  control.SetHasMin(false);
  EXPECT_FALSE(control.HasMin());
  control.SetHasMin(true);  // does not bring the 5 back
  EXPECT_TRUE(std::isnan(control.GetMin()));
}

TEST(BaseModelStructureTest, OptionBitsAnswerWhetherAnyWasSet) {
  BaseModelStructure structure;
  EXPECT_FALSE(structure.SetOptionalFlag(kMainRole, true));
  EXPECT_TRUE(structure.SetOptionalFlag(kMainRole, true));
  EXPECT_TRUE(structure.GetOptionalFlag(kMainRole | kSettingsRole));
  EXPECT_FALSE(structure.GetOptionalFlag(kSettingsRole));
  EXPECT_TRUE(structure.SetOptionalFlag(kMainRole | kSettingsRole, false));
  EXPECT_EQ(structure.GetOptionalFlags(), 0u);
}

TEST(BaseModelStructureTest, FieldsTagsAndText) {
  BaseModelStructure structure;
  structure.SetUuid("ABCDEF00-Aa11-4000-8000-00000000000F");
  EXPECT_EQ(structure.GetUuid(), "abcdef00-aa11-4000-8000-00000000000f");
  EXPECT_EQ(structure.GetExecutionStage(), ExecutionStage::kRunTime);

  BaseControl first;
  first.SetName("gain");
  first.SetCaption("first");
  BaseControl second = first;
  second.SetCaption("second");
  structure.AddControl(first);
  structure.AddControl(second);
  ASSERT_TRUE(structure.FindControl("gain"));
  EXPECT_EQ(structure.FindControl("gain")->GetCaption(), "first");
  EXPECT_FALSE(structure.FindControl("Gain"));

  structure.AddTag("c");
  structure.AddTag("b");
  structure.AddTag("b");
  BaseModelStructure parent;
  parent.AddTag("a");
  parent.AddTag("b");
  parent.SetName("parent");
  structure.ApplyParent(parent);
  EXPECT_EQ(structure.GetTags(), (std::set<std::string>{"a", "b", "c"}));
  EXPECT_EQ(structure.GetName(), "");

  structure.SetCategory("filters");
  structure.SetName("Blur");
  EXPECT_EQ(structure.ToString(),
            "filters.Blur uuid: abcdef00-aa11-4000-8000-00000000000f [2] role: ");
}

TEST(BaseModelStructureTest, TextConversions) {
  EXPECT_EQ(ControlKindToString(static_cast<ControlKind>(9)), "unknown");
  EXPECT_EQ(ControlKindToString(ControlKind::kFileToSave), "file_to_save");
  EXPECT_EQ(StringToControlKind("Enum"), ControlKind::kUnknown);
  EXPECT_EQ(StringToControlKind("color"), ControlKind::kColor);
  EXPECT_EQ(StringToControlKind("unknown"), ControlKind::kUnknown);

  struct Case {
    const char* text;
    ExecutionStage stage;
  };
  for (const Case& c :
       {Case{"loading_time", ExecutionStage::kLoadingTime},
        Case{"kLoadingTime", ExecutionStage::kLoadingTime},
        Case{"kRunTime", ExecutionStage::kRunTime}, Case{"run_time ", ExecutionStage::kUnknown},
        Case{"Run_time", ExecutionStage::kUnknown}}) {
    EXPECT_EQ(StringToExecutionStage(c.text), c.stage) << c.text;
  }
  EXPECT_EQ(ExecutionStageToString(ExecutionStage::kUnknown), "kUnknown");
  EXPECT_EQ(ExecutionStageToString(static_cast<ExecutionStage>(3)), "Unsupported stage");
}

// Copies share the description ports; the ports live until the last copy goes (no leak,
// no dangling pointer: both show under the sanitizers).
TEST(BaseModelStructureTest, CopiesShareDescriptionPorts) {
  auto original = std::make_unique<BaseModelStructure>();
  std::list<Port> ports(1);
  ports.front().SetName("output");
  ports.front().SetType(PortType::output);
  original->SetPorts(std::move(ports));
  BaseModelStructure copy = *original;
  ASSERT_EQ(copy.GetPorts().size(), 1u);
  EXPECT_EQ(copy.GetPorts()[0], original->GetPorts()[0]);
  original.reset();
  EXPECT_EQ(copy.FindPortByName(PortType::output, "output", false)->GetName(), "output");

  BaseModelStructure moved = std::move(copy);
  copy.AddPort(new Port());  // a moved-from structure still takes ports
  EXPECT_EQ(copy.GetPorts().size(), 1u);
  EXPECT_EQ(moved.GetPorts().size(), 1u);
}

}  // namespace
}  // namespace zelph
