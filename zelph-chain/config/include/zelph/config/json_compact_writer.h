// json_compact_writer.h
//
// The compact JSON writer of the kMiniJson back-end: no spaces, no line breaks, members in
// the order written, strings escaped. Built on RapidJSON's Writer, which also checks the
// sequence of calls: a key outside an object, an unbalanced end or a second root value
// throws zelph::Exception "Something wrong in JSON file!".
//
//   zelph::json::CompactWriter writer(out);
//   writer.StartObject();
//   writer.Key("app");
//   writer.String("zelph-chain");
//   writer.Key("scale");
//   writer.Double(0.1);  // written as 0.1, reads back as the same double
//   writer.EndObject();  // the text is in `out` once the root value is complete
//
// Doubles are written in the shortest form that reads back to the same value; NaN and the
// infinities, which JSON cannot hold, are written as null. The writer buffers its output
// and hands it to the stream when the root value is complete, when the buffer fills and on
// Flush; after an exception the stream may hold a prefix of the text. One writer serves one
// thread; the stream must outlive it.
#pragma once

#include <iosfwd>
#include <memory>
#include <string_view>

#include "zelph/chain/export.h"

namespace zelph::json {

class ZELPH_CHAIN_API CompactWriter {
 public:
  explicit CompactWriter(std::ostream& out);
  // Flushes what is buffered.
  ~CompactWriter();
  CompactWriter(const CompactWriter&) = delete;
  CompactWriter& operator=(const CompactWriter&) = delete;

  void StartObject();
  void EndObject();
  void StartArray();
  void EndArray();
  void Key(std::string_view name);

  void String(std::string_view text);
  void Bool(bool value);
  void Int(int value);
  void Int64(long long value);
  void Double(double value);
  void Null();
  // A number token as read (StreamValue::Text of a number), written unchanged so that its
  // value and form survive a copy. The token must be a valid JSON number.
  void RawNumber(std::string_view token);

  // Whether one complete root value has been written.
  bool IsComplete() const;
  // Hands everything buffered to the stream.
  void Flush();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zelph::json
