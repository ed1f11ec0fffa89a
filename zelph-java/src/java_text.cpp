// java_text.cpp
//
// UTF-8 / UTF-16 conversion and the Java string calls over it.
#include "zelph/java/java_text.h"

#include <limits>
#include <stdexcept>

#include "zelph/java/java_exception.h"

namespace jni {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point at text[i] and the bytes it takes; U+FFFD and 1 for an invalid sequence
// (a stray or missing continuation byte, an overlong form, a surrogate, beyond U+10FFFF).
std::pair<char32_t, size_t> DecodeUtf8(std::string_view text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return {lead, 1};
  size_t length = 0;
  char32_t code = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return {kReplacement, 1};
  }
  if (i + length > text.size()) return {kReplacement, 1};
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return {kReplacement, 1};
    code = (code << 6) | (next & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return {kReplacement, 1};
  }
  return {code, length};
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto [code, length] = DecodeUtf8(text, i);
    i += length;
    if (code < 0x10000) {
      out += static_cast<char16_t>(code);
    } else {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kReplacement;
    }
    AppendUtf8(out, code);
  }
  return out;
}

jstring NewJavaString(JNIEnv* env, std::string_view text) {
  const std::u16string wide = Utf8ToUtf16(text);
  if (wide.size() > static_cast<size_t>(std::numeric_limits<jsize>::max())) {
    throw std::runtime_error("Text too long for a Java string");
  }
  jstring string =
      env->NewString(reinterpret_cast<const jchar*>(wide.data()), static_cast<jsize>(wide.size()));
  ThrowIfJavaException(env);
  return string;
}

std::string JavaStringToUtf8(JNIEnv* env, jstring text) {
  if (text == nullptr) return {};
  std::u16string wide(static_cast<size_t>(env->GetStringLength(text)), u'\0');
  env->GetStringRegion(text, 0, static_cast<jsize>(wide.size()),
                       reinterpret_cast<jchar*>(wide.data()));
  return Utf16ToUtf8(wide);
}

}  // namespace jni
