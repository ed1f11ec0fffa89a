#include "zelph/platform/known_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

// Restores one environment variable when the test ends.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { old_.empty() ? unsetenv(name_) : setenv(name_, old_.c_str(), 1); }

 private:
  const char* name_;
  std::string old_;
};

TEST(KnownFoldersTest, TempFolderEndsWithSeparatorAndMustExist) {
  ScopedEnv tmp("TMPDIR", "/tmp");
  EXPECT_EQ(zelph::sys::TempFolder(), "/tmp/");
  ScopedEnv missing("TMPDIR", "/nonexistent/zelph-temp");
  EXPECT_THROW(zelph::sys::TempFolder(), std::filesystem::filesystem_error);
}

TEST(KnownFoldersTest, UserFoldersFollowTheEnvironment) {
  ScopedEnv home("HOME", "/home/someone");
  ScopedEnv documents("XDG_DOCUMENTS_DIR", nullptr);
  EXPECT_EQ(zelph::sys::UserProfileFolder(), "/home/someone");
  EXPECT_EQ(zelph::sys::UserDocumentsFolder(), "/home/someone/Documents");
  ScopedEnv xdg("XDG_DOCUMENTS_DIR", "/data/docs");
  EXPECT_EQ(zelph::sys::UserDocumentsFolder(), "/data/docs");
  EXPECT_EQ(zelph::sys::CommonAppDataFolder(), "/var/lib");
}

TEST(KnownFoldersTest, HomeFallsBackToThePasswordDatabase) {
  ScopedEnv home("HOME", nullptr);
  EXPECT_FALSE(zelph::sys::UserProfileFolder().empty());
}

}  // namespace
