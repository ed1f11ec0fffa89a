// java_text_test.cpp
//
// The UTF-8 / UTF-16 conversion of texts crossing into Java, and the JNI signature rules.
#include <gtest/gtest.h>

#include "zelph/java/java_text.h"
#include "zelph/java/jni_lookup.h"

namespace {

TEST(JavaText, ValidTextSurvivesBothWays) {
  const std::string texts[] = {"", "plain", "Grüße", "日本", "a😀z", std::string("nul\0in", 6)};
  for (const std::string& text : texts) {
    EXPECT_EQ(jni::Utf16ToUtf8(jni::Utf8ToUtf16(text)), text) << text;
  }
  EXPECT_EQ(jni::Utf8ToUtf16("a😀z"), u"a\xD83D\xDE00z");
}

TEST(JavaText, BrokenSequencesBecomeReplacementCharacters) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"\xFF", u"\xFFFD"},                                // no lead byte
      {"a\xC3", u"a\xFFFD"},                              // cut short
      {"\xC0\xAF", u"\xFFFD\xFFFD"},                      // overlong
      {"\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},            // a surrogate written as UTF-8
      {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},  // beyond U+10FFFF
  };
  for (const Case& c : cases) EXPECT_EQ(jni::Utf8ToUtf16(c.utf8), c.utf16);
  EXPECT_EQ(jni::Utf16ToUtf8(u"a\xD800z"), "a\xEF\xBF\xBDz");  // an unpaired surrogate
  EXPECT_EQ(jni::Utf16ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");
}

TEST(JniSignature, MethodTypesFollowTheSignatureRule) {
  struct Case {
    const char* return_type;
    std::initializer_list<const char*> arguments;
    const char* signature;
  };
  const Case cases[] = {
      {"net/morvex/executors/api/data/Data", {}, "()Lnet/morvex/executors/api/data/Data;"},
      {"Z", {"java/lang/String"}, "(Ljava/lang/String;)Z"},
      {nullptr, {"J"}, "(J)V"},
      {"Ljava/nio/file/Path;", {}, "()Ljava/nio/file/Path;"},
      {nullptr, {"Ljava/lang/String;", "[J"}, "(Ljava/lang/String;[J)V"},
      {"[Lnet/morvex/executors/api/data/Port;", {}, "()[Lnet/morvex/executors/api/data/Port;"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(jni::JavaMethodSignature(c.return_type, c.arguments), c.signature);
  }
}

TEST(JniSignature, FieldTypesFollowTheFieldRule) {
  EXPECT_EQ(jni::NormalizeJavaType("Z"), "Z");
  EXPECT_EQ(jni::NormalizeJavaType("Ljava/lang/Object;"), "Ljava/lang/Object;");
  EXPECT_EQ(jni::NormalizeJavaType("java/lang/Object"), "Ljava/lang/Object;");
}

}  // namespace
