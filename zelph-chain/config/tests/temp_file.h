// temp_file.h
//
// A file with given content in the temporary folder, removed when the object goes.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace zelph::testing {

class TempFile {
 public:
  explicit TempFile(const std::string& content) {
    static int counter = 0;
    path_ =
        std::filesystem::temp_directory_path() / ("zelph-config-test-" + std::to_string(getpid()) +
                                                  "-" + std::to_string(counter++) + ".json");
    std::ofstream(path_, std::ios::binary) << content;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace zelph::testing
