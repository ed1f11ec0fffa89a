#include "zelph/config/text_file.h"

#include <gtest/gtest.h>

#include <string>

#include "temp_file.h"

namespace {

TEST(TextFileTest, ReadsRegularFilesWholeAndRefusesTheRest) {
  const std::string content("{\"a\":1}\0tail", 12);
  zelph::testing::TempFile file(content);
  std::string text = "old";
  EXPECT_TRUE(zelph::ReadTextFile(file.Path(), text));
  EXPECT_EQ(text, content);

  zelph::testing::TempFile empty("");
  EXPECT_TRUE(zelph::ReadTextFile(empty.Path(), text));
  EXPECT_EQ(text, "");

  for (const char* path : {"/tmp", "/dev/null", "/proc/self/status", "/nonexistent.json", ""}) {
    text = "old";
    EXPECT_FALSE(zelph::ReadTextFile(path, text)) << path;
    EXPECT_EQ(text, "") << path;
  }
}

}  // namespace
