#include "zelph/config/json_compact_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "json_dump.h"
#include "zelph/chain/exception.h"
#include "zelph/config/json_stream_reader.h"

namespace {

using zelph::json::CompactWriter;
using zelph::json::StreamReader;
using zelph::json::StreamValue;

TEST(CompactWriterTest, WritesCompactEscapedText) {
  std::ostringstream out;
  CompactWriter writer(out);
  writer.StartObject();
  writer.Key("s");
  writer.String(std::string_view("q\"b\\n\n\x01\0z", 9));
  writer.Key("a");
  writer.StartArray();
  writer.Bool(true);
  writer.Bool(false);
  writer.Null();
  writer.Int(-7);
  writer.Int64(9007199254740993LL);
  writer.RawNumber("-0.50E+3");
  writer.EndArray();
  writer.EndObject();
  EXPECT_TRUE(writer.IsComplete());
  EXPECT_EQ(out.str(),
            R"({"s":"q\"b\\n\n\u0001\u0000z","a":[true,false,null,-7,9007199254740993,-0.50E+3]})");
}

TEST(CompactWriterTest, DoublesReadBackToTheSameValue) {
  const double kValues[] = {0.1,
                            1.0 / 3.0,
                            1e300,
                            -2.5e-308,
                            5e-324,
                            123456789.0,
                            1234567,
                            -0.0,
                            1e21,
                            0.30000000000000004,
                            std::numeric_limits<double>::max()};
  std::ostringstream out;
  {
    CompactWriter writer(out);
    writer.StartArray();
    for (double value : kValues) writer.Double(value);
    writer.EndArray();
  }
  const std::string text = out.str();
  StreamReader reader(text.data(), text.size());
  std::size_t index = 0;
  reader.ReadArray([&](StreamValue& value) {
    ASSERT_LT(index, std::size(kValues));
    EXPECT_EQ(value.Number(), kValues[index]) << value.Text();
    EXPECT_EQ(std::signbit(value.Number()), std::signbit(kValues[index])) << value.Text();
    ++index;
  });
  EXPECT_EQ(index, std::size(kValues));
  EXPECT_NE(text.find("[0.1,"), std::string::npos) << text;
}

TEST(CompactWriterTest, NonFiniteDoublesBecomeNull) {
  std::ostringstream out;
  {
    CompactWriter writer(out);
    writer.StartArray();
    writer.Double(std::numeric_limits<double>::quiet_NaN());
    writer.Double(std::numeric_limits<double>::infinity());
    writer.Double(-std::numeric_limits<double>::infinity());
    writer.EndArray();
  }
  EXPECT_EQ(out.str(), "[null,null,null]");
}

TEST(CompactWriterTest, MisuseThrowsInsteadOfWritingBrokenText) {
  const auto kMisuses = {
      +[](CompactWriter& writer) { writer.Key("outside"); },
      +[](CompactWriter& writer) {
        writer.StartObject();
        writer.EndArray();
      },
      +[](CompactWriter& writer) {
        writer.StartObject();
        writer.Int(1);
      },
      +[](CompactWriter& writer) {
        writer.Null();
        writer.Null();
      },
      +[](CompactWriter& writer) { writer.RawNumber(""); },
  };
  for (const auto misuse : kMisuses) {
    std::ostringstream out;
    CompactWriter writer(out);
    EXPECT_THROW(misuse(writer), zelph::Exception);
  }
}

// What the streaming reader reads, the writer writes back to the same text.
TEST(CompactWriterTest, CopiesAStreamedTextExactly) {
  const std::string text =
      R"({"app":"zelph-chain","version":"1.0","workers":[{"id":"w\u00e9","x":-1.50E+2,)"
      R"("on":true,"none":null,"tags":[],"deep":{"a":[[1],[2,{"b":"\"q\""}]]}}]})";
  class Copier : public zelph::json::WalkHandler {
   public:
    explicit Copier(CompactWriter& writer) : writer_(writer) {}
    void BeginObject() override { writer_.StartObject(); }
    void Member(std::string_view name) override { writer_.Key(name); }
    void EndObject() override { writer_.EndObject(); }
    void BeginArray() override { writer_.StartArray(); }
    void EndArray() override { writer_.EndArray(); }
    void Scalar(const StreamValue& value) override {
      if (value.IsString()) {
        writer_.String(value.Text());
      } else if (value.IsNumber()) {
        writer_.RawNumber(value.Text());
      } else if (value.IsBoolean()) {
        writer_.Bool(value.Bool());
      } else {
        writer_.Null();
      }
    }

   private:
    CompactWriter& writer_;
  };
  std::ostringstream out;
  {
    CompactWriter writer(out);
    Copier copier(writer);
    StreamReader reader(text.data(), text.size());
    reader.ReadRoot([&](StreamValue& root) { root.Walk(copier); });
  }
  EXPECT_EQ(zelph::json::testing::DumpText(out.str()).seen,
            zelph::json::testing::DumpText(text).seen);
  EXPECT_EQ(out.str(),
            R"({"app":"zelph-chain","version":"1.0","workers":[{"id":"wé","x":-1.50E+2,)"
            R"("on":true,"none":null,"tags":[],"deep":{"a":[[1],[2,{"b":"\"q\""}]]}}]})");
}

}  // namespace
