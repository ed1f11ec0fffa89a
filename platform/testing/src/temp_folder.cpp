// temp_folder.cpp
#include "zelph/platform/testing/temp_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <fstream>
#include <system_error>

namespace zelph::sys::testing {

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zelph-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  }
  path_ = pattern;
}

TempFolder::~TempFolder() {
  namespace fs = std::filesystem;
  std::error_code ignored;
  // A folder a test made read-only gives up its entries only once it is writable again.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (fs::recursive_directory_iterator it(path_, ignored), end; it != end; it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(path_, ignored);
}

std::filesystem::path TempFolder::WriteFile(const std::filesystem::path& relative,
                                            const std::string& content) const {
  const std::filesystem::path file = path_ / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
  return file;
}

}  // namespace zelph::sys::testing
