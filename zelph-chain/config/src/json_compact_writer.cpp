// json_compact_writer.cpp
//
// RapidJSON's Writer over a small buffered adapter to std::ostream (RapidJSON's own
// stream wrapper puts one character at a time).
#include "zelph/config/json_compact_writer.h"

#include "zelph/config/rapidjson.h"

#include <rapidjson/writer.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace zelph::json {
namespace {

class BufferedOStream {
 public:
  using Ch = char;
  explicit BufferedOStream(std::ostream& out) : out_(out) { buffer_.reserve(kCapacity); }

  void Put(char c) {
    buffer_.push_back(c);
    if (buffer_.size() >= kCapacity) Flush();
  }
  void Flush() {
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kCapacity = 64 * 1024;
  std::ostream& out_;
  std::string buffer_;
};

rapidjson::SizeType CheckedSize(std::string_view text) {
  RAPIDJSON_ASSERT(text.size() <= std::numeric_limits<rapidjson::SizeType>::max());
  return static_cast<rapidjson::SizeType>(text.size());
}

}  // namespace

class CompactWriter::Impl {
 public:
  explicit Impl(std::ostream& out) : stream(out), writer(stream) {}

  BufferedOStream stream;
  rapidjson::Writer<BufferedOStream> writer;
  // One entry per open container, true for objects: RapidJSON's writer would take a key
  // outside an object as a string value.
  std::vector<bool> in_object;
};

CompactWriter::CompactWriter(std::ostream& out) : impl_(std::make_unique<Impl>(out)) {}

CompactWriter::~CompactWriter() { impl_->stream.Flush(); }

void CompactWriter::StartObject() {
  impl_->writer.StartObject();
  impl_->in_object.push_back(true);
}

void CompactWriter::EndObject() {
  impl_->writer.EndObject();
  impl_->in_object.pop_back();
}

void CompactWriter::StartArray() {
  impl_->writer.StartArray();
  impl_->in_object.push_back(false);
}

void CompactWriter::EndArray() {
  impl_->writer.EndArray();
  impl_->in_object.pop_back();
}

void CompactWriter::Key(std::string_view name) {
  RAPIDJSON_ASSERT(!impl_->in_object.empty() && impl_->in_object.back());
  impl_->writer.Key(name.data(), CheckedSize(name));
}

void CompactWriter::String(std::string_view text) {
  impl_->writer.String(text.data(), CheckedSize(text));
}

void CompactWriter::Bool(bool value) { impl_->writer.Bool(value); }
void CompactWriter::Int(int value) { impl_->writer.Int(value); }
void CompactWriter::Int64(long long value) { impl_->writer.Int64(value); }
void CompactWriter::Null() { impl_->writer.Null(); }

void CompactWriter::Double(double value) {
  if (!std::isfinite(value)) {
    impl_->writer.Null();
    return;
  }
  // std::to_chars without a precision gives the shortest text that reads back exactly.
  char text[32];
  const auto result = std::to_chars(text, text + sizeof(text), value);
  impl_->writer.RawValue(text, static_cast<std::size_t>(result.ptr - text), rapidjson::kNumberType);
}

void CompactWriter::RawNumber(std::string_view token) {
  RAPIDJSON_ASSERT(!token.empty());
  impl_->writer.RawValue(token.data(), token.size(), rapidjson::kNumberType);
}

bool CompactWriter::IsComplete() const { return impl_->writer.IsComplete(); }

void CompactWriter::Flush() { impl_->stream.Flush(); }

}  // namespace zelph::json
