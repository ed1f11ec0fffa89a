// working_folder.h
//
// The program works in its own folder, so that relative paths of the command line and the
// configuration resolve there.
#pragma once

#include <string>

namespace zelph::host {

// Makes the folder of `program_path` (argv[0] as the caller wrote it, without its last
// element) the working directory and prints "Setting current OS directory to <folder>".
// Throws std::runtime_error "Failed change current working dir to: '{}', error: {}" with
// the folder and the errno value; a path without a folder part fails with the empty folder.
void ChangeToProgramFolder(const std::string& program_path);

}  // namespace zelph::host
