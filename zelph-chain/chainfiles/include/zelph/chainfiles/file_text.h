// file_text.h
//
// Reads a whole file into memory for the readers that need the text in one piece. Only
// regular files are taken (a folder or a pseudo-file of /proc reports no usable size), and
// the size and the read are checked, so a short read never passes as a whole file.
#pragma once

#include <optional>
#include <string>

namespace zelph {

// The file's bytes, or nothing when `path` is not a regular file or cannot be read whole.
std::optional<std::string> ReadRegularFile(const std::string& path);

}  // namespace zelph
