// rapidjson.cpp
//
// Depth-limited iterative document parsing: a handler between RapidJSON's reader and the
// document counts open objects and arrays and stops the parse beyond the limit.
#include "zelph/config/rapidjson.h"

#include <rapidjson/filereadstream.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace zelph::json {
namespace {

class DepthLimitedHandler {
 public:
  explicit DepthLimitedHandler(rapidjson::Document& document) : document_(document) {}

  bool Null() { return document_.Null(); }
  bool Bool(bool value) { return document_.Bool(value); }
  bool Int(int value) { return document_.Int(value); }
  bool Uint(unsigned value) { return document_.Uint(value); }
  bool Int64(int64_t value) { return document_.Int64(value); }
  bool Uint64(uint64_t value) { return document_.Uint64(value); }
  bool Double(double value) { return document_.Double(value); }
  bool RawNumber(const char* text, rapidjson::SizeType length, bool copy) {
    return document_.RawNumber(text, length, copy);
  }
  bool String(const char* text, rapidjson::SizeType length, bool copy) {
    return document_.String(text, length, copy);
  }
  bool Key(const char* text, rapidjson::SizeType length, bool copy) {
    return document_.Key(text, length, copy);
  }
  bool StartObject() { return Enter() && document_.StartObject(); }
  bool EndObject(rapidjson::SizeType count) {
    --depth_;
    return document_.EndObject(count);
  }
  bool StartArray() { return Enter() && document_.StartArray(); }
  bool EndArray(rapidjson::SizeType count) {
    --depth_;
    return document_.EndArray(count);
  }

 private:
  bool Enter() { return ++depth_ <= kMaxDocumentDepth; }

  rapidjson::Document& document_;
  int depth_ = 0;
};

template <typename Stream>
rapidjson::ParseResult ParseStream(Stream& stream, rapidjson::Document& document) {
  rapidjson::ParseResult result;
  auto generate = [&](rapidjson::Document&) {
    DepthLimitedHandler handler(document);
    rapidjson::Reader reader;
    result = reader.Parse<rapidjson::kParseIterativeFlag>(stream, handler);
    return !result.IsError();
  };
  document.SetNull();
  document.Populate(generate);
  return result;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

rapidjson::ParseResult ParseJsonText(const char* text, std::size_t length,
                                     rapidjson::Document& document) {
  rapidjson::MemoryStream stream(text, length);
  return ParseStream(stream, document);
}

rapidjson::ParseResult ParseJsonFile(const std::string& path, rapidjson::Document& document) {
  // A directory or a FIFO opens without error on Linux and then reads as nothing (or
  // blocks): only a regular file counts as a file that can be opened.
  std::error_code error;
  if (!std::filesystem::is_regular_file(std::filesystem::path(path), error)) {
    ThrowJsonAssertion();
  }
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) ThrowJsonAssertion();
  // On the heap: readers also run on request threads with small stacks.
  constexpr std::size_t kBufferSize = 64 * 1024;
  const auto buffer = std::make_unique<char[]>(kBufferSize);
  rapidjson::FileReadStream stream(file.get(), buffer.get(), kBufferSize);
  const rapidjson::ParseResult result = ParseStream(stream, document);
  // The stream takes a read error for the end of the file: a text cut short by one must
  // not count as the file's content.
  if (std::ferror(file.get())) ThrowJsonAssertion();
  return result;
}

}  // namespace zelph::json

namespace zelph {

std::string FormatParseErrorCode(rapidjson::ParseErrorCode code) {
  return "parse error code: " + std::to_string(static_cast<int>(code));
}

}  // namespace zelph
