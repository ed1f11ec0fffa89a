// temp_folder.h
//
// Test support: a new, empty folder in the temporary folder, removed with all it holds
// when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace zelph::sys::testing {

class TempFolder {
 public:
  // Throws std::system_error when the folder cannot be made.
  TempFolder();
  // Removes the folder and all below it, read-only folders among them.
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Writes `content` to the file `relative` below the folder, making its folders.
  std::filesystem::path WriteFile(const std::filesystem::path& relative,
                                  const std::string& content) const;

 private:
  std::filesystem::path path_;
};

}  // namespace zelph::sys::testing
