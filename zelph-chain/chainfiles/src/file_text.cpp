// file_text.cpp
#include "zelph/chainfiles/file_text.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace zelph {

std::optional<std::string> ReadRegularFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error) || error) return std::nullopt;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > std::string().max_size()) return std::nullopt;

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) return std::nullopt;
  std::string text(static_cast<std::size_t>(size), '\0');
  if (size != 0 && std::fread(text.data(), 1, text.size(), file.get()) != text.size()) {
    return std::nullopt;
  }
  // A file that grew since its size was taken would otherwise be read in part.
  if (std::fgetc(file.get()) != EOF) return std::nullopt;
  return text;
}

}  // namespace zelph
