// known_folders.cpp
//
// Linux answers for the known folders: the FHS variable-state folder for shared application
// data, the environment and the password database for the user's folders.
#include "zelph/platform/known_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace zelph::sys {
namespace {

std::string HomeFromPasswordDatabase() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) != 0 || !result ||
      !result->pw_dir || !*result->pw_dir) {
    return {};
  }
  return result->pw_dir;
}

std::string NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace

std::string TempFolder() {
  std::string folder = std::filesystem::temp_directory_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string CommonAppDataFolder() { return "/var/lib"; }

std::string UserProfileFolder() {
  std::string home = NonEmptyEnv("HOME");
  if (home.empty()) home = HomeFromPasswordDatabase();
  if (home.empty()) throw std::runtime_error("[zelph_logger] Failed user profile dir");
  return home;
}

std::string UserDocumentsFolder() {
  std::string documents = NonEmptyEnv("XDG_DOCUMENTS_DIR");
  if (!documents.empty()) return documents;
  try {
    return (std::filesystem::path(UserProfileFolder()) / "Documents").string();
  } catch (const std::runtime_error&) {
    throw std::runtime_error("Failed user documents dir");
  }
}

}  // namespace zelph::sys
