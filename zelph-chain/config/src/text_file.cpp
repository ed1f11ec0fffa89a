// text_file.cpp
//
// One size check up front and one read, verified by count, so a short read or a file that
// changes size while read is refused instead of leaving part of a text.
#include "zelph/config/text_file.h"

#include <filesystem>
#include <fstream>

namespace zelph {

bool ReadTextFile(const std::string& path, std::string& text) {
  text.clear();
  std::error_code error;
  const std::filesystem::path file_path(path);
  if (!std::filesystem::is_regular_file(file_path, error)) return false;
  const std::uintmax_t size = std::filesystem::file_size(file_path, error);
  if (error || size > text.max_size()) return false;
  std::ifstream file(file_path, std::ios::binary);
  if (!file) return false;
  std::string content(static_cast<std::size_t>(size), '\0');
  file.read(content.data(), static_cast<std::streamsize>(content.size()));
  if (static_cast<std::uintmax_t>(file.gcount()) != size || file.peek() != EOF) return false;
  text = std::move(content);
  return true;
}

}  // namespace zelph
