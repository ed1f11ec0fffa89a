// json_stream_reader.h
//
// The streaming JSON reader of the kMiniJson back-end: a pull API that walks a JSON text
// member by member in file order, so a reader can be written the way its format is
// described, key by key.
//
//   zelph::json::StreamReader reader(text, length);
//   reader.ReadObject([&](std::string_view name, zelph::json::StreamValue& value) {
//     if (name == "name") {
//       model.name = value.Text();
//     } else if (name == "ports") {
//       value.ReadArray([&](zelph::json::StreamValue& port) { ReadPort(port); });
//     } else {
//       value.Skip();  // a nested object or array must be read, skipped or walked
//     }
//   });
//
// Rules:
// - The input is a byte range; no terminating NUL is needed and nothing past `length` is
//   read. Reading ends with the root value: bytes after it (a NUL counted in the length,
//   trailing garbage) are never looked at.
// - Every scalar keeps its text: the decoded string (escapes and surrogate pairs turned into
//   UTF-8, other bytes taken unchanged), the number token exactly as written ("-0.50E+3"),
//   or the words true, false and null.
// - An object or array value handed to a callback must be read (ReadObject, ReadArray),
//   skipped (Skip) or walked (Walk) before the callback returns; otherwise the read fails
//   with "Nested object or array not parsed".
// - Reading an object where the text holds another value fails with "Expected opening
//   brace", an array likewise with "Expected opening bracket".
// - At most kMaxStreamDepth objects and arrays may be open at once; a deeper text fails with
//   "Exceeded nesting limit (32)".
// - A syntax error fails only when the read reaches it: everything the callbacks stored from
//   the text before the error point stays stored.
// - Failures are StreamError exceptions (a std::runtime_error); an exception thrown by a
//   callback passes through unchanged.
//
// The text is lexed once, when the reader is made; each ReadObject/ReadArray on the reader
// is one pass over the root, so a format can be scanned twice (first for a version key,
// then for its content). The reader refers to the text only while it is being made; it owns
// copies of everything it hands out, and string views stay valid while the reader lives.
// One reader serves one thread at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "zelph/chain/export.h"

namespace zelph::json {

inline constexpr int kMaxStreamDepth = 32;

// A failed streaming read. Offset() is the byte offset in the text where the syntax error
// was found, or at the offending value for the rule errors.
class ZELPH_CHAIN_API StreamError : public std::runtime_error {
 public:
  StreamError(const std::string& text, std::size_t offset);
  std::size_t Offset() const { return offset_; }

 private:
  std::size_t offset_;
};

enum class ValueKind { kString, kNumber, kBoolean, kNull, kObject, kArray };

class StreamValue;
class StreamRecord;

using MemberCallback = std::function<void(std::string_view name, StreamValue& value)>;
using ElementCallback = std::function<void(StreamValue& value)>;

// Receives a nested value event by event (StreamValue::Walk). Scalars arrive as values
// whose accessors work as usual; the value is valid only during the call.
class ZELPH_CHAIN_API WalkHandler {
 public:
  virtual ~WalkHandler() = default;
  virtual void BeginObject() = 0;
  virtual void Member(std::string_view name) = 0;
  virtual void EndObject() = 0;
  virtual void BeginArray() = 0;
  virtual void EndArray() = 0;
  virtual void Scalar(const StreamValue& value) = 0;
};

// One value of the text, as a callback receives it. Valid only during that callback.
class ZELPH_CHAIN_API StreamValue {
 public:
  StreamValue(const StreamValue&) = delete;
  StreamValue& operator=(const StreamValue&) = delete;

  ValueKind Kind() const {
    if (broken_) RaiseTextError();
    return kind_;
  }
  bool IsObject() const { return Kind() == ValueKind::kObject; }
  bool IsArray() const { return Kind() == ValueKind::kArray; }
  bool IsString() const { return Kind() == ValueKind::kString; }
  bool IsNumber() const { return Kind() == ValueKind::kNumber; }
  bool IsBoolean() const { return Kind() == ValueKind::kBoolean; }
  bool IsNull() const { return Kind() == ValueKind::kNull; }
  bool IsObjectOrArray() const { return IsObject() || IsArray(); }

  // The scalar's text (see the file comment); empty for an object or array.
  std::string_view Text() const {
    if (broken_) RaiseTextError();
    return text_;
  }
  // A number written as an optional minus and digits only (no fraction, no exponent).
  bool IsInteger() const;
  // The value of an integer number within the 32-bit signed range; 0 for anything else.
  int Int32() const;
  // The value of an integer number within the 64-bit signed range; true counts 1; 0 for
  // anything else (fractions, exponents, larger integers, other kinds).
  long long Integer() const;
  // The value of a number; true counts 1; 0 for anything else.
  double Number() const;
  // True for true and for a non-zero integer number; false for everything else.
  bool Flag() const;
  // True only for the JSON value true.
  bool Bool() const;

  // The number of elements of an array that the text holds whole, so a reader can make
  // room before reading; 0 for any other value and for an array the text breaks off in.
  // Never fails.
  std::size_t ElementCount() const;

  // Read this object member by member, or this array element by element. Fail with
  // "Expected opening brace" / "Expected opening bracket" when the value is of another kind.
  void ReadObject(const MemberCallback& callback);
  void ReadArray(const ElementCallback& callback);
  // Passes over the value whole. Fails when the text breaks off inside it.
  void Skip();
  // Hands the value to `handler` event by event, nested values included.
  void Walk(WalkHandler& handler);

 private:
  friend class StreamRecord;
  // Made by the record, which copies the kind and text in, so the accessors above need no
  // look-up. A broken value stands where the text breaks off; looking at it raises the
  // text's error.
  StreamValue(const StreamRecord& record, std::size_t index, ValueKind kind, std::string_view text,
              bool broken)
      : record_(record), index_(index), text_(text), kind_(kind), broken_(broken) {}
  [[noreturn]] void RaiseTextError() const;

  const StreamRecord& record_;
  std::size_t index_;
  std::string_view text_;
  ValueKind kind_;
  bool broken_;
  bool consumed_ = false;
};

class ZELPH_CHAIN_API StreamReader {
 public:
  // Lexes `length` bytes of `text` at once. Never throws for a bad text: its error is kept
  // and raised by the pass that reaches it.
  StreamReader(const char* text, std::size_t length);
  ~StreamReader();
  StreamReader(const StreamReader&) = delete;
  StreamReader& operator=(const StreamReader&) = delete;

  // One pass over the root, which must be an object (an array).
  void ReadObject(const MemberCallback& callback) const;
  void ReadArray(const ElementCallback& callback) const;
  // One pass over the root whatever its kind.
  void ReadRoot(const std::function<void(StreamValue& root)>& callback) const;

 private:
  std::unique_ptr<StreamRecord> record_;
};

}  // namespace zelph::json
