#include "zelph/config/json_stream_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "json_dump.h"

namespace {

using zelph::json::StreamError;
using zelph::json::StreamReader;
using zelph::json::StreamValue;
using zelph::json::testing::DumpText;

TEST(StreamReaderTest, TextsReadAsWrittenOrFailWithTheirError) {
  struct Case {
    std::string text;
    std::string seen;
    std::string error;
  };
  const Case kCases[] = {
      {R"({"a":1,"b":[true,false,null],"c":{"d":"x"}})", R"({a:1,b:[t,f,n],c:{d:s"x"}})", ""},
      {R"({"n":-0.50E+3,"i":2147483648,"z":-0})", "{n:-0.50E+3,i:2147483648,z:-0}", ""},
      {R"(["\"\\\/\b\f\n\r\t", "\u00e9\ud83d\ude00"])", "[s\"\"\\/\b\f\n\r\t\",s\"é😀\"]", ""},
      {R"({"k":1,"k":2})", "{k:1,k:2}", ""},
      {" \t\r\n{} ", "{}", ""},
      {std::string("{\"a\":1}\0garbage", 15), "{a:1}", ""},
      {"{\"a\":1} {\"b\":2}", "{a:1}", ""},
      {"\"only\"", "s\"only\"", ""},
      {"[\"\xff\xfe\"]", "[s\"\xff\xfe\"]", ""},
      {"", "", "Empty text"},
      {"   ", "", "Empty text"},
      {"\xEF\xBB\xBF{}", "", "Invalid value"},
      {R"({"a" 1})", "{a:", "Expected colon"},
      {R"({"a":1,"b":)", "{a:1,b:", "Invalid value"},
      {R"({"a":1 "b":2})", "{a:1", "Expected comma or closing brace"},
      {R"([1 2])", "[1", "Expected comma or closing bracket"},
      {R"({"a":1,})", "{a:1", "Expected member name"},
      {R"(["abc)", "[", "Unterminated string"},
      {R"(["\x"])", "[", "Invalid escape"},
      {R"(["\ud800"])", "[", "Invalid surrogate pair"},
      {R"([1.])", "[", "Expected digits after decimal point"},
      {R"([1e400])", "[", "Number too big"},
      {R"({"a":tru})", "{a:", "Invalid value"},
      {std::string(32, '[') + std::string(32, ']'), std::string(32, '[') + std::string(32, ']'),
       ""},
      {std::string(33, '[') + std::string(33, ']'), std::string(32, '['),
       "Exceeded nesting limit (32)"},
      {std::string(1000000, '['), std::string(32, '['), "Exceeded nesting limit (32)"},
  };
  for (const Case& c : kCases) {
    const auto result = DumpText(c.text);
    EXPECT_EQ(result.seen, c.seen) << c.text;
    EXPECT_EQ(result.error, c.error) << c.text;
  }
}

// Number tokens are found where the lexer leaves them: at the root, before a closing
// bracket or brace, and at the very end of the length.
TEST(StreamReaderTest, NumberTokensAtEveryPlace) {
  struct Case {
    std::string text;
    std::string seen;
  };
  const Case kCases[] = {
      {"-12.5e+3", "-12.5e+3"},
      {"0 trailing", "0"},
      {"7,8", "7"},
      {R"([-0.0,1E2,{"n":33}])", "[-0.0,1E2,{n:33}]"},
      {R"({"a":"x","b":-1})", R"({a:s"x",b:-1})"},
  };
  for (const Case& c : kCases) {
    const auto result = DumpText(c.text);
    EXPECT_EQ(result.seen, c.seen) << c.text;
    EXPECT_EQ(result.error, "") << c.text;
  }
}

TEST(StreamReaderTest, NeverReadsPastTheLength) {
  // The bytes after the length are not part of the text, and no NUL follows it.
  const std::string buffer = R"({"a":[1,2]}, "tail")";
  auto copy = std::make_unique<char[]>(11);
  std::copy_n(buffer.data(), 11, copy.get());
  std::string seen;
  StreamReader reader(copy.get(), 11);
  reader.ReadObject([&](std::string_view name, StreamValue& value) {
    seen.append(name);
    value.Skip();
  });
  EXPECT_EQ(seen, "a");

  EXPECT_THROW(StreamReader(nullptr, 0).ReadArray([](StreamValue&) {}), StreamError);

  const std::string truncated = R"({"a":123)";
  StreamReader cut(truncated.data(), 7);  // ends inside the number
  std::string number;
  EXPECT_THROW(cut.ReadObject([&](std::string_view, StreamValue& value) {
    number = std::string(value.Text());
  }),
               StreamError);
}

TEST(StreamReaderTest, ScalarViews) {
  struct Case {
    const char* value;
    std::string_view text;
    bool is_integer;
    int int32;
    long long integer;
    double number;
    bool flag;
  };
  const Case kCases[] = {
      {"7", "7", true, 7, 7, 7.0, true},
      {"0", "0", true, 0, 0, 0.0, false},
      {"-2147483648", "-2147483648", true, -2147483648, -2147483648LL, -2147483648.0, true},
      {"2147483648", "2147483648", true, 0, 2147483648LL, 2147483648.0, true},
      {"9223372036854775808", "9223372036854775808", true, 0, 0, 9223372036854775808.0, true},
      {"1.0", "1.0", false, 0, 0, 1.0, false},
      {"-2.5e1", "-2.5e1", false, 0, 0, -25.0, false},
      {"true", "true", false, 0, 1, 1.0, true},
      {"false", "false", false, 0, 0, 0.0, false},
      {"null", "null", false, 0, 0, 0.0, false},
      {"\"12\"", "12", false, 0, 0, 0.0, false},
  };
  for (const Case& c : kCases) {
    const std::string text = std::string("[") + c.value + "]";
    StreamReader reader(text.data(), text.size());
    reader.ReadArray([&](StreamValue& value) {
      EXPECT_EQ(value.Text(), c.text) << c.value;
      EXPECT_EQ(value.IsInteger(), c.is_integer) << c.value;
      EXPECT_EQ(value.Int32(), c.int32) << c.value;
      EXPECT_EQ(value.Integer(), c.integer) << c.value;
      EXPECT_EQ(value.Number(), c.number) << c.value;
      EXPECT_EQ(value.Flag(), c.flag) << c.value;
    });
  }
}

TEST(StreamReaderTest, ElementCountOfWholeArraysOnly) {
  struct Case {
    std::string text;
    std::size_t count;
  };
  const Case kCases[] = {
      {R"({"v":[]})", 0},
      {R"({"v":[1,"a",{"b":[2,3]},[4,[5]],null]})", 5},
      {R"({"v":{"a":1,"b":2}})", 0},
      {R"({"v":"[1,2]"})", 0},
      {R"({"v":[1,2,{"b":)", 0},
      {R"({"v":[1,2])", 2},
  };
  for (const Case& c : kCases) {
    StreamReader reader(c.text.data(), c.text.size());
    std::size_t count = 99;
    try {
      reader.ReadObject([&](std::string_view, StreamValue& value) {
        count = value.ElementCount();
        value.Skip();
      });
    } catch (const StreamError&) {
      // the broken texts fail once the pass goes on; the count was taken before
    }
    EXPECT_EQ(count, c.count) << c.text;
  }
}

TEST(StreamReaderTest, NestedValuesMustBeReadSkippedOrWalked) {
  const std::string text = R"({"a":{"x":[1,{"y":2}]},"b":3})";
  StreamReader reader(text.data(), text.size());

  std::vector<std::string> names;
  reader.ReadObject([&](std::string_view name, StreamValue& value) {
    names.emplace_back(name);
    if (value.IsObject()) value.Skip();
  });
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));

  names.clear();
  try {
    reader.ReadObject([&](std::string_view name, StreamValue&) { names.emplace_back(name); });
    FAIL() << "an unread object passed";
  } catch (const StreamError& error) {
    EXPECT_STREQ(error.what(), "Nested object or array not parsed");
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a"}));

  struct Case {
    bool object;
    std::string error;
  };
  for (const Case& c :
       {Case{true, "Expected opening bracket"}, Case{false, "Expected opening brace"}}) {
    try {
      reader.ReadObject([&](std::string_view, StreamValue& value) {
        if (c.object) {
          value.ReadArray([](StreamValue& element) { element.Skip(); });
        } else {
          value.ReadObject([](std::string_view, StreamValue& member) { member.Skip(); });
        }
        value.Skip();
      });
      FAIL() << c.error;
    } catch (const StreamError& error) {
      EXPECT_EQ(error.what(), c.error);
    }
  }
  EXPECT_THROW(StreamReader("[1]", 3).ReadObject([](std::string_view, StreamValue&) {}),
               StreamError);
}

TEST(StreamReaderTest, WalkDeliversEveryEventOfTheValue) {
  class Recorder : public zelph::json::WalkHandler {
   public:
    void BeginObject() override { out += '{'; }
    void Member(std::string_view name) override { out.append(name).append(":"); }
    void EndObject() override { out += '}'; }
    void BeginArray() override { out += '['; }
    void EndArray() override { out += ']'; }
    void Scalar(const StreamValue& value) override { out.append(value.Text()).append(","); }
    std::string out;
  };
  const std::string text = R"({"d":{"a":[1,"s",null],"b":{}},"after":true})";
  StreamReader reader(text.data(), text.size());
  Recorder recorder;
  std::string after;
  reader.ReadObject([&](std::string_view name, StreamValue& value) {
    if (name == "d") {
      value.Walk(recorder);
    } else {
      after = value.Text();
    }
  });
  EXPECT_EQ(recorder.out, "{a:[1,s,null,]b:{}}");
  EXPECT_EQ(after, "true");
}

// Callbacks keep what they stored before a syntax error, and a second pass over the same
// reader sees the same values.
TEST(StreamReaderTest, StoredBeforeAnErrorStaysAndPassesRepeat) {
  const std::string text = R"({"app":"zelph-chain","uuid":"abc","ports":[{"n":1},{"n":)";
  StreamReader reader(text.data(), text.size());
  for (int pass = 0; pass < 2; ++pass) {
    std::map<std::string, std::string> stored;
    std::vector<int> ports;
    EXPECT_THROW(reader.ReadObject([&](std::string_view name, StreamValue& value) {
      if (value.IsArray()) {
        value.ReadArray([&](StreamValue& port) {
          port.ReadObject([&](std::string_view, StreamValue& n) { ports.push_back(n.Int32()); });
        });
      } else {
        stored[std::string(name)] = value.Text();
      }
    }),
                 StreamError);
    EXPECT_EQ(stored,
              (std::map<std::string, std::string>{{"app", "zelph-chain"}, {"uuid", "abc"}}));
    EXPECT_EQ(ports, std::vector<int>{1});
  }
}

TEST(StreamReaderTest, CallbackExceptionsPassThrough) {
  const std::string text = R"({"a":1})";
  StreamReader reader(text.data(), text.size());
  EXPECT_THROW(
      reader.ReadObject([](std::string_view, StreamValue&) { throw std::logic_error("x"); }),
      std::logic_error);
}

}  // namespace
