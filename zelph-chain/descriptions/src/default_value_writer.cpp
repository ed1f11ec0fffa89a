// default_value_writer.cpp
#include "default_value_writer.h"

#include <string_view>
#include <vector>

namespace zelph::descriptions {

namespace {

void AppendEscaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "\\u00";
          out += kHex[(c >> 4) & 0xf];
          out += kHex[c & 0xf];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

class IndentedWriter final : public json::WalkHandler {
 public:
  std::string TakeText() { return std::move(text_); }

  void BeginObject() override { Open('{'); }
  void Member(std::string_view name) override {
    NextItem();
    AppendEscaped(text_, name);
    text_ += ": ";
    member_pending_ = true;
  }
  void EndObject() override { Close('}'); }
  void BeginArray() override { Open('['); }
  void EndArray() override { Close(']'); }

  void Scalar(const json::StreamValue& value) override {
    BeginValue();
    switch (value.Kind()) {
      case json::ValueKind::kString:
        AppendEscaped(text_, value.Text());
        break;
      case json::ValueKind::kBoolean:
        text_ += value.Bool() ? '1' : '0';
        break;
      default:  // numbers keep their token; null is "null"
        text_ += value.Text();
    }
  }

 private:
  // An array element starts on its own line; a member's value follows its key.
  void BeginValue() {
    if (member_pending_) {
      member_pending_ = false;
    } else if (!item_counts_.empty()) {
      NextItem();
    }
  }
  void NextItem() {
    text_ += item_counts_.back()++ == 0 ? "\n" : ",\n";
    Indent(item_counts_.size());
  }
  void Indent(std::size_t depth) { text_.append(2 * depth, ' '); }
  void Open(char bracket) {
    BeginValue();
    text_ += bracket;
    item_counts_.push_back(0);
  }
  void Close(char bracket) {
    const bool empty = item_counts_.back() == 0;
    item_counts_.pop_back();
    if (!empty) {
      text_ += '\n';
      Indent(item_counts_.size());
    }
    text_ += bracket;
  }

  std::string text_;
  std::vector<std::size_t> item_counts_;  // per open object or array
  bool member_pending_ = false;
};

}  // namespace

std::string WriteDefaultValue(json::StreamValue& value) {
  IndentedWriter writer;
  value.Walk(writer);
  return writer.TakeText();
}

}  // namespace zelph::descriptions
