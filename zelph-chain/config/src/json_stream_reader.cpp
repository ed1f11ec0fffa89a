// json_stream_reader.cpp
//
// RapidJSON's SAX reader serves as the lexer: one iterative, in-place parse of a private
// copy of the text records every event (strings are decoded inside the copy, so an event
// only notes where its text lies) and the matching end of every object and array. Passes then walk
// the record with plain indices, which makes them repeatable and lets a pass reach the events
// before a syntax error before it raises that error.
#include "zelph/config/json_stream_reader.h"

#include "zelph/config/rapidjson.h"

#include <rapidjson/reader.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

namespace zelph::json {
namespace {

constexpr std::uint32_t kNoEnd = std::numeric_limits<std::uint32_t>::max();
// Every offset, length and index of a record fits its 32-bit fields below this length.
constexpr std::size_t kMaxTextLength = std::numeric_limits<std::uint32_t>::max() - 1;

enum class EventType : unsigned char {
  kString,
  kNumber,
  kTrue,
  kFalse,
  kNull,
  kKey,
  kStartObject,
  kEndObject,
  kStartArray,
  kEndArray,
};

// 32-bit fields keep a record small (texts are limited to kMaxTextLength).
struct Event {
  EventType type;
  std::uint32_t text_offset = 0;  // into the copy, for keys, strings and numbers
  std::uint32_t text_length = 0;
  std::uint32_t end = kNoEnd;  // for a start event: the index of its end event
  std::uint32_t position = 0;  // byte offset in the source just after the event
};

const char* SyntaxErrorText(rapidjson::ParseErrorCode code) {
  switch (code) {
    case rapidjson::kParseErrorDocumentEmpty:
      return "Empty text";
    case rapidjson::kParseErrorValueInvalid:
      return "Invalid value";
    case rapidjson::kParseErrorObjectMissName:
      return "Expected member name";
    case rapidjson::kParseErrorObjectMissColon:
      return "Expected colon";
    case rapidjson::kParseErrorObjectMissCommaOrCurlyBracket:
      return "Expected comma or closing brace";
    case rapidjson::kParseErrorArrayMissCommaOrSquareBracket:
      return "Expected comma or closing bracket";
    case rapidjson::kParseErrorStringUnicodeEscapeInvalidHex:
      return "Invalid unicode escape";
    case rapidjson::kParseErrorStringUnicodeSurrogateInvalid:
      return "Invalid surrogate pair";
    case rapidjson::kParseErrorStringEscapeInvalid:
      return "Invalid escape";
    case rapidjson::kParseErrorStringMissQuotationMark:
      return "Unterminated string";
    case rapidjson::kParseErrorStringInvalidEncoding:
      return "Invalid encoding in string";
    case rapidjson::kParseErrorNumberTooBig:
      return "Number too big";
    case rapidjson::kParseErrorNumberMissFraction:
      return "Expected digits after decimal point";
    case rapidjson::kParseErrorNumberMissExponent:
      return "Expected digits in exponent";
    default:
      return "Syntax error";
  }
}

}  // namespace

StreamError::StreamError(const std::string& text, std::size_t offset)
    : std::runtime_error(text), offset_(offset) {}

// The events of one lexed text and, when the text is broken, the error that follows them.
class StreamRecord {
 public:
  StreamRecord(const char* text, std::size_t length);

  // The event at `index`; past the last recorded event, the text's own error.
  const Event& At(std::size_t index) const {
    if (index < events_.size()) return events_[index];
    RaiseTextError();
  }
  std::string_view TextOf(const Event& event) const {
    return std::string_view(text_.data() + event.text_offset, event.text_length);
  }
  // The index after the value at `index`, which must be complete in the record.
  std::size_t After(std::size_t index) const {
    const Event& event = At(index);
    if (event.type != EventType::kStartObject && event.type != EventType::kStartArray) {
      return index + 1;
    }
    if (event.end == kNoEnd) RaiseTextError();
    return event.end + 1;
  }

  // SAX handler.
  bool Null() { return Add(EventType::kNull); }
  bool Bool(bool value) { return Add(value ? EventType::kTrue : EventType::kFalse); }
  bool RawNumber(const char*, rapidjson::SizeType length, bool) {
    // RapidJSON lexes a number on a local copy of an in-place stream and moves the stream
    // on only after this call, so the stream still stands at the token, which stays in
    // place. (The pointer argument is not the token's start in this mode.)
    return AddText(EventType::kNumber, stream_->Tell(), length);
  }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    return AddText(EventType::kString, static_cast<std::size_t>(text - text_.data()), length);
  }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    return AddText(EventType::kKey, static_cast<std::size_t>(text - text_.data()), length);
  }
  bool StartObject() { return Open(EventType::kStartObject); }
  bool EndObject(rapidjson::SizeType) { return Close(EventType::kEndObject); }
  bool StartArray() { return Open(EventType::kStartArray); }
  bool EndArray(rapidjson::SizeType) { return Close(EventType::kEndArray); }
  // Numbers arrive as raw tokens; these are never called.
  bool Int(int) { return false; }
  bool Uint(unsigned) { return false; }
  bool Int64(int64_t) { return false; }
  bool Uint64(uint64_t) { return false; }
  bool Double(double) { return false; }

 private:
  [[noreturn]] void RaiseTextError() const {
    if (error_) throw *error_;
    // A complete record is never indexed past its end by the walking code.
    throw StreamError("Unexpected end of text", events_.empty() ? 0 : events_.back().position);
  }
  bool Add(EventType type) {
    events_.push_back(Event{type, 0, 0, kNoEnd, static_cast<std::uint32_t>(stream_->Tell())});
    return true;
  }
  bool AddText(EventType type, std::size_t offset, std::size_t length) {
    events_.push_back(Event{type, static_cast<std::uint32_t>(offset),
                            static_cast<std::uint32_t>(length), kNoEnd,
                            static_cast<std::uint32_t>(stream_->Tell())});
    return true;
  }
  bool Open(EventType type) {
    if (open_.size() >= static_cast<std::size_t>(kMaxStreamDepth)) {
      depth_exceeded_ = true;
      return false;
    }
    open_.push_back(events_.size());
    return Add(type);
  }
  bool Close(EventType type) {
    events_[open_.back()].end = static_cast<std::uint32_t>(events_.size());
    open_.pop_back();
    return Add(type);
  }

  std::vector<Event> events_;
  // The text with a NUL after it, decoded in place; holds the text of every event.
  std::string text_;
  std::optional<StreamError> error_;
  // Only while lexing.
  std::vector<std::size_t> open_;
  rapidjson::InsituStringStream* stream_ = nullptr;
  bool depth_exceeded_ = false;
};

StreamRecord::StreamRecord(const char* text, std::size_t length) {
  if (length > kMaxTextLength) {
    error_.emplace("Text too long", 0);
    return;
  }
  // The terminating NUL bounds the parse: the stream never looks past it.
  text_.reserve(length + 1);
  if (length > 0) text_.assign(text, length);
  text_.push_back('\0');
  rapidjson::InsituStringStream stream(text_.data());
  stream_ = &stream;
  // Typical texts hold one event per 8-16 bytes; the cap keeps a huge length from
  // reserving memory that geometric growth would only take when needed.
  constexpr std::size_t kReserveCap = std::size_t{1} << 20;
  events_.reserve(std::min(length / 12 + 4, kReserveCap));
  rapidjson::Reader reader;
  constexpr unsigned kFlags = rapidjson::kParseInsituFlag | rapidjson::kParseIterativeFlag |
                              rapidjson::kParseStopWhenDoneFlag |
                              rapidjson::kParseNumbersAsStringsFlag;
  const rapidjson::ParseResult result = reader.Parse<kFlags>(stream, *this);
  if (result.IsError()) {
    error_.emplace(depth_exceeded_ ? "Exceeded nesting limit (32)" : SyntaxErrorText(result.Code()),
                   result.Offset());
  }
  stream_ = nullptr;
  open_ = {};
}

ValueKind StreamValue::Kind() const {
  switch (record_.At(index_).type) {
    case EventType::kString:
      return ValueKind::kString;
    case EventType::kNumber:
      return ValueKind::kNumber;
    case EventType::kTrue:
    case EventType::kFalse:
      return ValueKind::kBoolean;
    case EventType::kStartObject:
      return ValueKind::kObject;
    case EventType::kStartArray:
      return ValueKind::kArray;
    default:
      return ValueKind::kNull;
  }
}

std::string_view StreamValue::Text() const {
  const Event& event = record_.At(index_);
  switch (event.type) {
    case EventType::kString:
    case EventType::kNumber:
      return record_.TextOf(event);
    case EventType::kTrue:
      return "true";
    case EventType::kFalse:
      return "false";
    case EventType::kNull:
      return "null";
    default:
      return {};
  }
}

bool StreamValue::IsInteger() const {
  if (!IsNumber()) return false;
  // RapidJSON has checked the syntax: a token is an integer exactly when it has no
  // fraction and no exponent.
  return Text().find_first_of(".eE") == std::string_view::npos;
}

namespace {

template <typename Integer>
Integer ParseWhole(std::string_view token) {
  Integer value = 0;
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  return error == std::errc() && end == token.data() + token.size() ? value : 0;
}

}  // namespace

int StreamValue::Int32() const { return IsInteger() ? ParseWhole<int>(Text()) : 0; }

long long StreamValue::Integer() const {
  if (IsBoolean()) return Bool() ? 1 : 0;
  return IsInteger() ? ParseWhole<long long>(Text()) : 0;
}

double StreamValue::Number() const {
  if (IsBoolean()) return Bool() ? 1.0 : 0.0;
  if (!IsNumber()) return 0.0;
  // A token in place is followed by the rest of the text, not by a terminator.
  const std::string token(Text());
  return std::strtod(token.c_str(), nullptr);
}

bool StreamValue::Flag() const {
  if (IsBoolean()) return Bool();
  return IsInteger() && Text().find_first_of("123456789") != std::string_view::npos;
}

bool StreamValue::Bool() const { return record_.At(index_).type == EventType::kTrue; }

void StreamValue::ReadObject(const MemberCallback& callback) {
  const Event& start = record_.At(index_);
  if (start.type != EventType::kStartObject) {
    throw StreamError("Expected opening brace", start.position);
  }
  consumed_ = true;
  std::size_t cursor = index_ + 1;
  while (record_.At(cursor).type != EventType::kEndObject) {
    const std::string_view name = record_.TextOf(record_.At(cursor));
    StreamValue value(record_, cursor + 1);
    callback(name, value);
    cursor = value.Next();
  }
}

void StreamValue::ReadArray(const ElementCallback& callback) {
  const Event& start = record_.At(index_);
  if (start.type != EventType::kStartArray) {
    throw StreamError("Expected opening bracket", start.position);
  }
  consumed_ = true;
  std::size_t cursor = index_ + 1;
  while (record_.At(cursor).type != EventType::kEndArray) {
    StreamValue value(record_, cursor);
    callback(value);
    cursor = value.Next();
  }
}

void StreamValue::Skip() {
  record_.After(index_);
  consumed_ = true;
}

void StreamValue::Walk(WalkHandler& handler) {
  consumed_ = true;
  const std::size_t end = record_.After(index_);
  for (std::size_t index = index_; index < end; ++index) {
    const Event& event = record_.At(index);
    switch (event.type) {
      case EventType::kStartObject:
        handler.BeginObject();
        break;
      case EventType::kEndObject:
        handler.EndObject();
        break;
      case EventType::kStartArray:
        handler.BeginArray();
        break;
      case EventType::kEndArray:
        handler.EndArray();
        break;
      case EventType::kKey:
        handler.Member(record_.TextOf(event));
        break;
      default:
        handler.Scalar(StreamValue(record_, index));
        break;
    }
  }
}

std::size_t StreamValue::Next() const {
  if (IsObjectOrArray() && !consumed_) {
    throw StreamError("Nested object or array not parsed", record_.At(index_).position);
  }
  return record_.After(index_);
}

StreamReader::StreamReader(const char* text, std::size_t length)
    : record_(std::make_unique<StreamRecord>(text, length)) {}

StreamReader::~StreamReader() = default;

void StreamReader::ReadObject(const MemberCallback& callback) const {
  StreamValue(*record_, 0).ReadObject(callback);
}

void StreamReader::ReadArray(const ElementCallback& callback) const {
  StreamValue(*record_, 0).ReadArray(callback);
}

void StreamReader::ReadRoot(const std::function<void(StreamValue& root)>& callback) const {
  StreamValue root(*record_, 0);
  callback(root);
  root.Next();
}

}  // namespace zelph::json
