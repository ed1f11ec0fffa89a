// description_file.h
//
// Reads a description file whole. Only regular files are read: a directory, a FIFO or a
// device is treated as a file that cannot be opened, so a read never blocks or runs
// without end.
#pragma once

#include <optional>
#include <string>

namespace zelph::descriptions {

// The content of the file at the UTF-8 `path`; empty when it is no regular file or cannot
// be read whole.
std::optional<std::string> ReadDescriptionFile(const char* path);

}  // namespace zelph::descriptions
