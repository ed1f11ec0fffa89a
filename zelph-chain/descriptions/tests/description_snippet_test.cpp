// description_snippet_test.cpp
//
// Small descriptions and what each leaves in the structure, or the error it fails with.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <variant>

#include "description_test_support.h"

namespace zelph::testing {
namespace {

// A description with one control made of `members`.
std::string WithControl(const std::string& members) {
  return R"({"controls": [{"name": "c", )" + members + "}]}";
}

BaseControl OnlyControl(const ReadResult& result) {
  EXPECT_TRUE(result.read) << result.log;
  const auto controls = result.structure.GetControls();
  EXPECT_EQ(controls.size(), 1u);
  return controls.empty() ? BaseControl() : controls[0];
}

struct ErrorCase {
  const char* what;
  std::string text;
  std::string first_error;
};

TEST(DescriptionSnippets, FailuresNameTheirReason) {
  const std::string deep32 = R"({"x": )" + std::string(31, '[') + std::string(31, ']') + "}";
  const std::string deep33 = R"({"x": )" + std::string(32, '[') + std::string(32, ']') + "}";
  ASSERT_TRUE(ReadText(deep32).read);  // 32 levels are allowed

  const ErrorCase cases[] = {
      {"no name", R"({"controls": [{"value_type": "int32", "edition_type": "value"}]})",
       "Json control 'name' expected"},
      {"no value type", WithControl(R"("edition_type": "value")"),
       "Json control 'c' 'value_type' expected"},
      {"unknown value type", WithControl(R"("value_type": "bogus", "edition_type": "value")"),
       "Json control 'c' unsupported value_type: 'bogus'"},
      {"no edition kind", WithControl(R"("value_type": "int32")"),
       "Json control 'c' 'edition_type' expected"},
      {"edition kind unknown", WithControl(R"("value_type": "int32", "edition_type": "unknown")"),
       "Json control 'c' unsupported edition_type: 'unknown'"},
      {"edition kind case", WithControl(R"("value_type": "int32", "type": "Enum")"),
       "Json control 'c' unsupported edition_type: 'Enum'"},
      {"int32 letters",
       WithControl(R"("value_type": "int32", "edition_type": "value", "default": "abc")"),
       "Exception: invalid stoi argument, property: c"},
      {"int32 too big",
       WithControl(R"("value_type": "int", "edition_type": "value", "default": 2147483648)"),
       "Exception: stoi argument out of range, property: c"},
      {"double letters",
       WithControl(R"("value_type": "double", "edition_type": "value", "default": "x")"),
       "Exception: invalid stod argument, property: c"},
      {"float too big",
       WithControl(R"("value_type": "float", "edition_type": "value", "default": "1e400")"),
       "Exception: stod argument out of range, property: c"},
      {"int64 letters",
       WithControl(R"("value_type": "int64", "edition_type": "value", "default": "x")"),
       "Exception: invalid stoll argument, property: c"},
      {"short too big",
       WithControl(R"("value_type": "short", "edition_type": "value",)"
                   R"( "default": "99999999999999999999")"),
       "Exception: stoll argument out of range, property: c"},
      {"unknown port type", R"({"in_ports": [{"data_type_name": "hologram"}]})",
       "Data type not found: hologram"},
      {"object for text", R"({"name": {"first": "a"}})", "Nested object or array not parsed"},
      {"array for flag", R"({"options": {"behavior": {"input": [1]}}})",
       "Nested object or array not parsed"},
      {"object item value",
       WithControl(R"("value_type": "int32", "edition_type": "enum",)"
                   R"( "items": [{"value": {}}])"),
       "Unsupported default enum item type Object,Array,Null json control name: 'c'"},
      {"control not an object", R"({"controls": [1]})", "Expected opening brace"},
      {"tags not an array", R"({"tags": "a"})", "Expected opening bracket"},
      {"root array", "[]", "Expected opening brace"},
      {"empty text", "", "Empty text"},
      {"missing colon", R"({"name" "x"})", "Expected colon"},
      {"trailing comma", R"({"name": "x",})", "Expected member name"},
      {"truncated", R"({"name": "x")", "Expected comma or closing brace"},
      {"bad literal", R"({"name": tru})", "Invalid value"},
      {"33 levels", deep33, "Exceeded nesting limit (32)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ReadResult result = ReadText(c.text);
    EXPECT_FALSE(result.read);
    EXPECT_EQ(FirstError(result.log), c.first_error);
  }
}

TEST(DescriptionSnippets, ItemValueNullLogsAndKeepsAnEmptyValue) {
  const ReadResult result = ReadText(WithControl(
      R"("value_type": "int32", "edition_type": "enum", "items": [{"caption": "A", "value": null}])"));
  EXPECT_EQ(FirstError(result.log),
            "Unsupported default enum item type Object,Array,Null json control name: 'c'");
  const auto items = OnlyControl(result).GetValues();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].value, "");
  EXPECT_EQ(items[0].caption, "A");
}

struct FieldCase {
  const char* what;
  std::string text;
  std::function<void(const BaseModelStructure&)> check;
};

std::function<void(const BaseModelStructure&)> Flags(std::uint32_t flags) {
  return [flags](const BaseModelStructure& s) { EXPECT_EQ(s.GetOptionalFlags(), flags); };
}

std::function<void(const BaseModelStructure&)> Stage(ExecutionStage stage) {
  return [stage](const BaseModelStructure& s) { EXPECT_EQ(s.GetExecutionStage(), stage); };
}

TEST(DescriptionSnippets, OptionsAndTopLevelFields) {
  const FieldCase cases[] = {
      {"last input key wins (off)",
       R"({"options": {"behavior": {"input": true}, "usage": {"as_input": false}}})", Flags(0)},
      {"last input key wins (on)",
       R"({"options": {"usage": {"as_input": false}, "behavior": {"input": true}}})",
       Flags(kInputModel)},
      {"roles", R"({"options": {"role": {"main": 1, "settings": 1}}})",
       Flags(kMainRole | kSettingsRole)},
      {"string flag clears",
       R"({"options": {"role": {"main": 1, "settings": 1}}, )"
       R"("options": {"role": {"main": "true"}}})",
       Flags(kSettingsRole)},
      {"fraction flag is off", R"({"options": {"behavior": {"output": 1.0, "data": 2}}})",
       Flags(kDataModel)},
      {"all behavior bits",
       R"({"options": {"behavior": {"input": 1, "output": 1, "data": 1,)"
       R"( "copy": 1}, "usage": {"path": {"relative": true}}}})",
       Flags(kInputModel | kOutputModel | kDataModel | kCopyModel | kRelativePathModel)},
      {"stage loading_time", R"({"options": {"stage": "loading_time"}})",
       Stage(ExecutionStage::kLoadingTime)},
      {"stage run_time", R"({"options": {"stage": "run_time"}})", Stage(ExecutionStage::kRunTime)},
      {"stage kLoadingTime", R"({"options": {"stage": "kLoadingTime"}})",
       Stage(ExecutionStage::kRunTime)},
      {"stage number", R"({"options": {"stage": 1}})", Stage(ExecutionStage::kRunTime)},
      {"uuid lower-cased", R"({"uuid": "ABCDEF01-AAAA-4BBB-8CCC-DDDDEEEEFFFF"})",
       [](const BaseModelStructure& s) {
         EXPECT_EQ(s.GetUuid(), "abcdef01-aaaa-4bbb-8ccc-ddddeeeeffff");
       }},
      {"id after uuid wins", R"({"uuid": "AA", "id": "Bb"})",
       [](const BaseModelStructure& s) { EXPECT_EQ(s.GetUuid(), "bb"); }},
      {"number as text", R"({"version": 1.50, "name": true, "caption": null})",
       [](const BaseModelStructure& s) {
         EXPECT_EQ(s.GetVersion(), "1.50");
         EXPECT_EQ(s.GetName(), "true");
         EXPECT_EQ(s.GetCaption(), "null");
       }},
      {"escapes resolved", R"({"name": "a\"b\u00e9\n"})",
       [](const BaseModelStructure& s) { EXPECT_EQ(s.GetName(), "a\"b\xc3\xa9\n"); }},
      {"tags append", R"({"tags": ["b", 1], "tags": ["a", "b"]})",
       [](const BaseModelStructure& s) {
         EXPECT_EQ(s.GetTags(), (std::set<std::string>{"1", "a", "b"}));
       }},
      {"text after the root is not read", R"({"name": "x"} garbage ]]])",
       [](const BaseModelStructure& s) { EXPECT_EQ(s.GetName(), "x"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ReadResult result = ReadText(c.text);
    EXPECT_TRUE(result.read) << result.log;
    c.check(result.structure);
  }
}

struct ControlCase {
  const char* what;
  std::string members;
  std::function<void(const BaseControl&)> check;
};

template <typename T>
std::function<void(const BaseControl&)> Default(T expected) {
  return [expected](const BaseControl& control) {
    const PropertyValue value = control.GetDefault();
    EXPECT_TRUE(value.changed);
    ASSERT_TRUE(std::holds_alternative<T>(value.value)) << value.value.index();
    EXPECT_EQ(std::get<T>(value.value), expected);
  };
}

std::function<void(const BaseControl&)> Resource(bool expected) {
  return [expected](const BaseControl& control) { EXPECT_EQ(control.IsResource(), expected); };
}

std::function<void(const BaseControl&)> Parity(ControlParity expected) {
  return [expected](const BaseControl& control) { EXPECT_EQ(control.GetParity(), expected); };
}

TEST(DescriptionSnippets, ControlConversions) {
  const ControlCase cases[] = {
      {"bool true", R"("value_type": "bool", "type": "value", "default": true)", Default(true)},
      {"bool text true", R"("value_type": "bool", "type": "value", "default": "true")",
       Default(true)},
      {"bool 1", R"("value_type": "bool", "type": "value", "default": 1)", Default(false)},
      {"int32 fraction", R"("value_type": "int32", "type": "value", "default": 2.5)", Default(2)},
      {"int32 none", R"("value_type": "int32", "type": "value")", Default(0)},
      {"short", R"("value_type": "short", "type": "value", "default": "-12")", Default(-12LL)},
      {"int64", R"("value_type": "long", "type": "value", "default": 9007199254740993)",
       Default(9007199254740993LL)},
      {"float", R"("value_type": "float", "type": "value", "default": "1.5")", Default(1.5)},
      {"double none", R"("value_type": "double", "type": "value")", Default(0.0)},
      {"str keeps the token", R"("value_type": "str", "type": "text", "default": 12.50)",
       Default(std::string("12.50"))},
      {"scalar null", R"("value_type": "scalar", "type": "text", "default": null)",
       Default(std::string("null"))},
      {"object holding an array",
       R"("value_type": "String", "type": "text", "default": {"a": [true, null]})",
       Default(std::string("{\n  \"a\": [\n    1,\n    null\n  ]\n}"))},
      {"writer escapes a quote",
       R"("value_type": "String", "type": "text", "default": {"q": "say \"hi\"\\"})",
       Default(std::string("{\n  \"q\": \"say \\\"hi\\\"\\\\\"\n}"))},
      {"writer keeps number tokens",
       R"("value_type": "String", "type": "text", "default": [1234567, 1.5e3, -0.0, false])",
       Default(std::string("[\n  1234567,\n  1.5e3,\n  -0.0,\n  0\n]"))},
      {"writer nests", R"("value_type": "String", "type": "text", "default": [[[]], {"k": {}}])",
       Default(std::string("[\n  [\n    []\n  ],\n  {\n    \"k\": {}\n  }\n]"))},
      {"folder is a resource", R"("value_type": "str", "type": "folder")", Resource(true)},
      {"file is a resource", R"("value_type": "str", "type": "file")", Resource(true)},
      {"file_to_save is a resource", R"("value_type": "str", "type": "file_to_save")",
       Resource(true)},
      {"text is no resource", R"("value_type": "str", "type": "text")", Resource(false)},
      {"folder, resource false", R"("value_type": "str", "type": "folder", "resource": false)",
       Resource(false)},
      {"text, resource 1", R"("value_type": "str", "type": "text", "resource": 1)", Resource(true)},
      {"even and odd", R"("value_type": "int32", "type": "range", "is_odd": 1, "is_even": true)",
       Parity(ControlParity::kEven)},
      {"odd", R"("value_type": "int32", "type": "range", "is_odd": true)",
       Parity(ControlParity::kOdd)},
      {"no parity", R"("value_type": "int32", "type": "range", "is_odd": "yes")",
       Parity(ControlParity::kAny)},
      {"bounds", R"("value_type": "int32", "type": "range", "min": 0, "max": true)",
       [](const BaseControl& c) {
         EXPECT_TRUE(c.HasMin());
         EXPECT_EQ(c.GetMin(), 0.0);
         EXPECT_EQ(c.GetMax(), 1.0);
       }},
      {"no max", R"("value_type": "int32", "type": "range", "min": -2.5e1)",
       [](const BaseControl& c) {
         EXPECT_EQ(c.GetMin(), -25.0);
         EXPECT_FALSE(c.HasMax());
       }},
      {"edition rows", R"("value_type": "str", "type": "text", "edition_rows": true)",
       [](const BaseControl& c) { EXPECT_EQ(c.GetEditionRows(), 1); }},
      {"edition rows fraction", R"("value_type": "str", "type": "text", "edition_rows": 2.5)",
       [](const BaseControl& c) { EXPECT_EQ(c.GetEditionRows(), 0); }},
      {"sub_type and edition_type", R"("sub_type": "double", "edition_type": "color")",
       [](const BaseControl& c) {
         EXPECT_TRUE(DataTypeDouble::Equals(c.GetValueType()));
         EXPECT_EQ(c.GetEditionKind(), ControlKind::kColor);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.check(OnlyControl(ReadText(WithControl(c.members))));
  }
}

TEST(DescriptionSnippets, ValueTypeWithoutConversionLogsAndKeepsZero) {
  const ReadResult result =
      ReadText(WithControl(R"("value_type": "mat", "type": "value", "default": "7")"));
  EXPECT_EQ(FirstError(result.log), "Unsupported number conversion of property");
  EXPECT_EQ(std::get<int>(OnlyControl(result).GetDefault().value), 0);
}

TEST(DescriptionSnippets, ControlConvertedBeforeAFailingOneStays) {
  const ReadResult result = ReadText(
      R"({"controls": [{"name": "a", "value_type": "int32", "type": "value", "default": 3},)"
      R"( {"name": "b", "value_type": "int32", "type": "value", "default": "x"}]})");
  EXPECT_FALSE(result.read);
  ASSERT_EQ(result.structure.GetControls().size(), 1u);
  EXPECT_EQ(result.structure.GetControls()[0].GetName(), "a");
}

TEST(DescriptionSnippets, TraceLineNamesTheFirstRoleBit) {
  const struct {
    const char* options;
    const char* line;
  } cases[] = {
      {R"({"behavior": {"input": 1, "output": 1}})", "[trace] Input model: "},
      {R"({"behavior": {"output": 1}, "usage": {"path": {"relative": 1}}})",
       "[trace] Output model, "},
      {R"({"usage": {"path": {"relative": 1}}})", "[trace] Relative path model: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string text = std::string(R"({"name": "m", "options": )") + c.options + "}";
    const ReadResult result = ReadText(text);
    EXPECT_NE(result.log.find(std::string(c.line) + ".m uuid:  [0] role: "), std::string::npos)
        << result.log;
  }
  EXPECT_EQ(ReadText(R"({"options": {"behavior": {"data": 1}}})").log.find("[trace]"),
            std::string::npos);
}

}  // namespace
}  // namespace zelph::testing
