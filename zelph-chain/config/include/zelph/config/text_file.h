// text_file.h
//
// Reads a whole file into memory for the streaming JSON readers, refusing what is not a
// plain readable file: directories, FIFOs and special files (which open without error on
// Linux and report no usable size), and files that cannot be read to their end.
#pragma once

#include <string>

#include "zelph/chain/export.h"

namespace zelph {

// Replaces `text` with the content of the regular file at `path` (UTF-8) and returns true;
// returns false, with `text` empty, when the file cannot be read whole. Thread-safe.
ZELPH_CHAIN_API bool ReadTextFile(const std::string& path, std::string& text);

}  // namespace zelph
