// json_dump.h
//
// Reads a whole text with the streaming reader into a short description of what the
// callbacks saw: {name:value,...} and [value,...], strings as s"text", numbers by token,
// true/false/null as t/f/n. What was seen before an error is kept in `seen`.
#pragma once

#include <string>

#include "zelph/config/json_stream_reader.h"

namespace zelph::json::testing {

inline void Dump(StreamValue& value, std::string& out) {
  if (value.IsObject()) {
    out += '{';
    bool first = true;
    value.ReadObject([&](std::string_view name, StreamValue& member) {
      if (!first) out += ',';
      first = false;
      out.append(name);
      out += ':';
      Dump(member, out);
    });
    out += '}';
  } else if (value.IsArray()) {
    out += '[';
    bool first = true;
    value.ReadArray([&](StreamValue& element) {
      if (!first) out += ',';
      first = false;
      Dump(element, out);
    });
    out += ']';
  } else if (value.IsString()) {
    out += "s\"";
    out.append(value.Text());
    out += '"';
  } else if (value.IsNumber()) {
    out.append(value.Text());
  } else {
    out += value.Text().front();
  }
}

struct DumpResult {
  std::string seen;
  std::string error;  // empty when the text read whole
};

inline DumpResult DumpText(const std::string& text) {
  DumpResult result;
  try {
    StreamReader reader(text.data(), text.size());
    reader.ReadRoot([&](StreamValue& root) { Dump(root, result.seen); });
  } catch (const StreamError& error) {
    result.error = error.what();
  }
  return result;
}

}  // namespace zelph::json::testing
