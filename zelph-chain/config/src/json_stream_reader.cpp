// json_stream_reader.cpp
//
// RapidJSON's SAX reader serves as the lexer: one iterative, in-place parse of a private
// copy of the text records every event as twelve bytes (strings are decoded inside the
// copy and number tokens stay there, so an event only notes where its text lies) and the
// matching end of every object and array. Passes then walk the record with plain indices,
// which makes them repeatable and lets a pass reach the events before a syntax error before
// it raises that error.
#include "zelph/config/json_stream_reader.h"

#include "zelph/config/rapidjson.h"

#include <rapidjson/reader.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

namespace zelph::json {
namespace {

// RapidJSON's in-place stream (the text is decoded where it lies), with its fields in
// another order. RapidJSON copies the stream into locals around every string, number and
// run of whitespace, so the loops there run in registers; the copy reads the first two
// fields as one 16-byte load. With the read position last, that load never spans the
// 8-byte store of the position that the parser has just made, which would stall the
// processor (with InsituStringStream's order those stalls cost a third of the lexing time).
struct InPlaceStream {
  using Ch = char;
  explicit InPlaceStream(char* text) : head_(text), dst_(nullptr), src_(text) {}
  Ch Peek() const { return *src_; }
  Ch Take() { return *src_++; }
  std::size_t Tell() const { return static_cast<std::size_t>(src_ - head_); }
  void Put(Ch c) { *dst_++ = c; }
  Ch* PutBegin() { return dst_ = src_; }
  std::size_t PutEnd(Ch* begin) { return static_cast<std::size_t>(dst_ - begin); }
  char* head_;  // the start of the text
  char* dst_;   // where a decoded string is being written
  char* src_;   // the read position
};

}  // namespace
}  // namespace zelph::json

template <>
struct rapidjson::StreamTraits<zelph::json::InPlaceStream> {
  enum { copyOptimization = 1 };
};

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

// Twelve bytes per event: writing and reading the record is a large part of a reader's time.
struct Event {
  // Keys, strings and numbers: where the text starts in the copy, which is where it starts
  // in the source too (in-place decoding only ever shortens a string). Other events: the
  // byte offset in the source just after the event.
  std::uint32_t offset;
  // Keys, strings and numbers: the length of the text. Start events: the index of the
  // matching end event, or kNoEnd when the text breaks off inside the value.
  std::uint32_t size;
  EventType type;
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
    return std::string_view(text_.data() + event.offset, event.size);
  }
  // The value at `index`; past the last recorded event, a broken value.
  StreamValue ValueAt(std::size_t index) const {
    if (index >= events_.size()) return StreamValue(*this, index, ValueKind::kNull, {}, true);
    const Event& event = events_[index];
    switch (event.type) {
      case EventType::kString:
        return StreamValue(*this, index, ValueKind::kString, TextOf(event), false);
      case EventType::kNumber:
        return StreamValue(*this, index, ValueKind::kNumber, TextOf(event), false);
      case EventType::kTrue:
        return StreamValue(*this, index, ValueKind::kBoolean, "true", false);
      case EventType::kFalse:
        return StreamValue(*this, index, ValueKind::kBoolean, "false", false);
      case EventType::kStartObject:
        return StreamValue(*this, index, ValueKind::kObject, {}, false);
      case EventType::kStartArray:
        return StreamValue(*this, index, ValueKind::kArray, {}, false);
      default:
        return StreamValue(*this, index, ValueKind::kNull, "null", false);
    }
  }
  // The number of values of the array whose start event is at `index`; 0 when the text
  // breaks off inside it.
  std::size_t ElementCount(std::size_t index) const {
    if (events_[index].size == kNoEnd) return 0;
    std::size_t count = 0;
    for (std::size_t cursor = index + 1; events_[cursor].type != EventType::kEndArray;
         cursor = After(cursor)) {
      ++count;
    }
    return count;
  }
  // The index after the value at `index`, which must be complete in the record.
  std::size_t After(std::size_t index) const {
    const Event& event = At(index);
    if (event.type != EventType::kStartObject && event.type != EventType::kStartArray) {
      return index + 1;
    }
    if (event.size == kNoEnd) RaiseTextError();
    return event.size + 1;
  }
  // The index after `value`, once a callback has had it: a nested value must be consumed.
  std::size_t Next(const StreamValue& value) const {
    if (value.broken_) RaiseTextError();
    if ((value.kind_ == ValueKind::kObject || value.kind_ == ValueKind::kArray) &&
        !value.consumed_) {
      throw StreamError("Nested object or array not parsed", events_[value.index_].offset);
    }
    return After(value.index_);
  }
  [[noreturn]] void RaiseTextError() const {
    if (error_) throw *error_;
    // A complete record is never indexed past its end by the walking code.
    throw StreamError("Unexpected end of text", events_.empty() ? 0 : events_.back().offset);
  }

  // SAX handler.
  bool Null() { return Add(EventType::kNull, Position(), 0); }
  bool Bool(bool value) { return Add(value ? EventType::kTrue : EventType::kFalse, Position(), 0); }
  bool RawNumber(const char*, rapidjson::SizeType length, bool) {
    // RapidJSON lexes a number on a local copy of the stream and moves the stream on only
    // after this call, so the stream still stands at the token, which stays in place. (The
    // pointer argument is not the token's start in this mode.)
    return Add(EventType::kNumber, Position(), length);
  }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    return Add(EventType::kString, OffsetOf(text), length);
  }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    return Add(EventType::kKey, OffsetOf(text), length);
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
  std::size_t Position() const { return stream_->Tell(); }
  std::size_t OffsetOf(const char* text) const {
    return static_cast<std::size_t>(text - text_.data());
  }
  bool Add(EventType type, std::size_t offset, std::size_t size) {
    events_.emplace_back(static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(size),
                         type);
    return true;
  }
  bool Open(EventType type) {
    if (depth_ == kMaxStreamDepth) {
      depth_exceeded_ = true;
      return false;
    }
    open_[depth_++] = static_cast<std::uint32_t>(events_.size());
    return Add(type, Position(), kNoEnd);
  }
  bool Close(EventType type) {
    events_[open_[--depth_]].size = static_cast<std::uint32_t>(events_.size());
    return Add(type, Position(), 0);
  }

  std::vector<Event> events_;
  // The text with a NUL after it, decoded in place; holds the text of every event.
  std::string text_;
  std::optional<StreamError> error_;
  // Only while lexing: the start events of the open objects and arrays.
  std::array<std::uint32_t, kMaxStreamDepth> open_{};
  int depth_ = 0;
  bool depth_exceeded_ = false;
  InPlaceStream* stream_ = nullptr;
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
  InPlaceStream stream(text_.data());
  stream_ = &stream;
  // Typical texts hold one event per 6-10 bytes; the cap keeps a huge length from
  // reserving memory that geometric growth would only take when needed.
  constexpr std::size_t kReserveCap = std::size_t{1} << 22;
  events_.reserve(std::min(length / 6 + 4, kReserveCap));
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
}

void StreamValue::RaiseTextError() const { record_.RaiseTextError(); }

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

bool StreamValue::Bool() const { return Kind() == ValueKind::kBoolean && text_ == "true"; }

std::size_t StreamValue::ElementCount() const {
  if (broken_ || kind_ != ValueKind::kArray) return 0;
  return record_.ElementCount(index_);
}

void StreamValue::ReadObject(const MemberCallback& callback) {
  if (Kind() != ValueKind::kObject) {
    throw StreamError("Expected opening brace", record_.At(index_).offset);
  }
  consumed_ = true;
  std::size_t cursor = index_ + 1;
  for (;;) {
    const Event& key = record_.At(cursor);
    if (key.type == EventType::kEndObject) return;
    StreamValue value = record_.ValueAt(cursor + 1);
    callback(record_.TextOf(key), value);
    cursor = record_.Next(value);
  }
}

void StreamValue::ReadArray(const ElementCallback& callback) {
  if (Kind() != ValueKind::kArray) {
    throw StreamError("Expected opening bracket", record_.At(index_).offset);
  }
  consumed_ = true;
  std::size_t cursor = index_ + 1;
  while (record_.At(cursor).type != EventType::kEndArray) {
    StreamValue value = record_.ValueAt(cursor);
    callback(value);
    cursor = record_.Next(value);
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
        handler.Scalar(record_.ValueAt(index));
        break;
    }
  }
}

StreamReader::StreamReader(const char* text, std::size_t length)
    : record_(std::make_unique<StreamRecord>(text, length)) {}

StreamReader::~StreamReader() = default;

void StreamReader::ReadObject(const MemberCallback& callback) const {
  record_->ValueAt(0).ReadObject(callback);
}

void StreamReader::ReadArray(const ElementCallback& callback) const {
  record_->ValueAt(0).ReadArray(callback);
}

void StreamReader::ReadRoot(const std::function<void(StreamValue& root)>& callback) const {
  StreamValue root = record_->ValueAt(0);
  callback(root);
  record_->Next(root);
}

}  // namespace zelph::json
