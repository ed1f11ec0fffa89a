// description_file.cpp
#include "description_file.h"

#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>

namespace zelph::descriptions {

std::optional<std::string> ReadDescriptionFile(const char* path) {
  if (path == nullptr) return std::nullopt;
  const std::filesystem::path file(path);
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error) return std::nullopt;
  std::ifstream stream(file, std::ios::binary);
  if (!stream) return std::nullopt;
  try {
    std::string text(static_cast<std::size_t>(size), '\0');
    stream.read(text.data(), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(stream.gcount()) != size) return std::nullopt;
    return text;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  } catch (const std::length_error&) {
    return std::nullopt;
  }
}

}  // namespace zelph::descriptions
